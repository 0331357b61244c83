#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How a job ended. Every route says it the same way: the window and the shell verbs with
// one message, the process with its exit code. From the best end to the worst.
enum class JobEnd {
    Success,  // everything asked was done
    Warnings, // done, but something is to be known (names changed, files left out)
    Failure,  // not all was done, or the archive is damaged
    Cancelled,
};

// The process's exit code for a job's end: 0 success, 1 warnings, 2 failure, 255
// cancelled.
int ExitCodeOf(JobEnd end);

// Why an entry or a file did not come through whole.
enum class Fault {
    None,
    CrcError,
    DataError,
    UnsupportedMethod,
    WrongPassword,
    CutShort,        // its data ends early
    HeadersError,    // the archive's description of it is damaged
    DataAfterEnd,    // more data follows it than it says it has
    Unavailable,     // its data is in a volume that is not there
    PossiblyDamaged, // written from a compressed stream that failed its own check
    DiskFull,
    AccessDenied,
    InUse,          // another program holds the file
    NameTooLong,    // the path is longer than Windows allows, or nested too deep
    InvalidName,    // a name Windows cannot give a file
    FolderInTheWay, // a folder of that name is where the file is to go
    FileInTheWay,   // a file is where a folder it goes into is to be
    NotFound,
    CannotRead,
    CannotWrite, // any other failure of the disk
    NotMarked,   // the file could not be marked as downloaded from the Internet
};

// What the user reads for a fault: "CRC error", "disk full", ...
std::wstring FaultText(Fault fault);
// The fault a failed system call stands for (a Windows error code).
Fault FaultOfSystemError(DWORD error);

struct FaultyEntry {
    FaultyEntry() = default;
    FaultyEntry(std::wstring entryPath, Fault entryFault, std::wstring words = std::wstring())
        : path(std::move(entryPath)), fault(entryFault), why(std::move(words)) {}

    std::wstring path; // the entry's path in the archive, or a file's on the disk
    Fault fault = Fault::None;
    std::wstring why; // said instead of the fault's own words, when not empty
};

// An entry written under another name than it has in the archive, to be valid on Windows.
struct RenamedEntry {
    std::wstring stored;  // as the archive names it
    std::wstring written; // as the disk has it, relative to the destination
};

// What a job did not do as asked, for the user.
struct JobOutcome {
    JobEnd end = JobEnd::Success;
    // The first sentence: what happened, with the archive's name.
    std::wstring headline;
    // Sentences after it: what is wrong with the archive, what to do.
    std::vector<std::wstring> notes;
    // What the list below is ("Not extracted:"), and the entries on it.
    std::wstring listTitle;
    std::vector<FaultyEntry> entries;
    std::vector<RenamedEntry> renamed;

    // Whether the user is to be told anything: every end but a plain success and a cancel.
    bool NeedsSaying() const {
        return end == JobEnd::Failure || end == JobEnd::Warnings ||
               (end == JobEnd::Success && (!notes.empty() || !renamed.empty()));
    }
    // The end gets no better than it is: a failure stays a failure.
    void AtLeast(JobEnd worse);
};

// How many entries a message names before it says how many more there are.
constexpr size_t namedInMessage = 20;

// The message: the headline, the notes, then the entries (the first twenty and how many
// more), then the names that were changed.
std::wstring OutcomeText(const JobOutcome& outcome, size_t shown = namedInMessage);
// The same with every entry named, for the clipboard.
std::wstring OutcomeFullText(const JobOutcome& outcome);
// Whether the message leaves entries out that the clipboard would have.
bool OutcomeHasMore(const JobOutcome& outcome, size_t shown = namedInMessage);
