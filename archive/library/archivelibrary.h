#pragma once

#include "archive/library/sevenzip.h"
#include "win/comptr.h"
#include "win/handle.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CInFileStream;
class StreamFeeder;

// The library and the archive handler whose items are read, loaded for one operation. A
// .tar.gz is read as a tar inside a gzip, and a split set as an archive inside the joined
// volumes: the handlers they are read through are kept as long as the one inside. Handlers
// go before the library that holds their code.
struct OpenedArchive {
    OpenedArchive();
    ~OpenedArchive();
    OpenedArchive(const OpenedArchive&) = delete;
    OpenedArchive& operator=(const OpenedArchive&) = delete;

    win::Module lib;
    std::vector<win::ComPtr<sevenzip::IInArchive>> outers; // outermost first
    win::ComPtr<sevenzip::IInArchive> archive;
    win::ComPtr<CInFileStream> file;                 // the file opened: how far a reading is
    std::vector<win::ComPtr<CInFileStream>> volumes; // the set's other volumes, when opened
    std::vector<std::wstring> volumePaths;           // and their paths
    // Unpacks a compressed file for the archive inside when its handler hands out no stream.
    std::unique_ptr<StreamFeeder> feeder;
    std::wstring path; // the file opened: the first volume of a set
    int format = -1;   // of `archive`, in the library's list; -1 when unknown
    // Of the compressed file or split set around it (a .tar.gz: gzip); -1 when none is.
    int outerFormat = -1;
    // The archive's names could be read only with its password.
    bool namesEncrypted = false;
    // Its items are known only while they are extracted, front to back (a tar inside a
    // compressed file): they are listed and extracted in one pass each.
    bool sequential = false;
    // The name of an item without one: the contained file's, from the archive's own name
    // ("notes.txt.gz" -> "notes.txt").
    std::wstring defaultItemName = L"[Content]";
    // A volume of the set that is not there, when that is why the open failed.
    std::wstring missingVolume;
    // Why the open failed, when the handler said: its error flags (sevenzip::ErrorFlag),
    // cut short or damaged.
    uint32_t openErrors = 0;
};

// A cancel flag the job's progress dialog sets; the library's callbacks stop the work when
// they find it set. May be null.
using CancelFlag = const std::atomic<int32_t>*;

inline bool IsCancelled(CancelFlag cancelled) {
    return cancelled && *cancelled != 0;
}

// Full path of core\7z.dll beside the running program.
std::wstring GetLibraryPath();

// Loads the library and opens `archiveName`: a volume of a set from the set's first volume,
// with the handler of `kind` first, then the others that name its extension, then those
// whose signature it carries (a .zip that is really a 7z opens). An archive inside a
// compressed file or a split set is opened through it. `password` holds
// the known password (empty: none) and, after a successful open, the one that opened the
// archive, typed by the user if the library asked. A typed password that does not open
// the archive's names is said to be wrong and asked for again, until the user declines.
// Returns 0 when opened, 1 otherwise.
int OpenArchive(OpenedArchive& opened, const std::wstring& archiveName, int kind,
                std::wstring* password, CancelFlag cancelled = nullptr);

// Closes the archive's files now and lets a thread of its own close the handler: freeing
// what it holds for a million entries takes a moment nobody needs to wait for.
void CloseInBackground(std::unique_ptr<OpenedArchive> opened);

// What the library's callbacks ask of the rest of the program.
enum ArchiveRequest {
    RequestPassword = 1,      // data: a wide buffer of `capacity` characters for the password
    RequestTotal = 2,         // data: the total amount of work (uint64_t), or null
    RequestCompleted = 3,     // data: the amount done (uint64_t), or null
    RequestReplace = 4,       // data: a ReplaceQuestion, whose answer is filled in
    RequestWrongPassword = 5, // no data: the password typed for the names did not open them
};

// Why an entry meets a file that the same extraction wrote a moment ago.
enum class NameClash {
    None,         // the file was there before the extraction
    SameName,     // the archive holds the name twice
    LetterCase,   // the names differ only in letter case, which Windows does not tell apart
    TrailingDots, // they differ only in dots or blanks at the end, which Windows drops
    MadeValid,    // characters Windows does not allow were replaced, and the names met
};

// An extraction found a file where an entry is to go.
struct ReplaceQuestion {
    std::wstring path;         // the file on disk
    std::wstring entry;        // the entry's path in the archive
    NameClash clash;           // why, when this extraction wrote the file
    std::wstring earlierEntry; // then: the entry it wrote the file from
    std::wstring keptName;     // the entry's name when both are kept
    int answer;                // a ReplaceAnswer, filled in
};
// 0 handled, 1 refused or cancelled.
int HandleArchiveRequest(int request, void* data, size_t capacity);

// What the user is told when the password typed for an archive's names did not open it.
extern const wchar_t wrongPasswordMessage[];

// A library callback's answer to "what is the password": the known one, or, when none is
// defined yet, the one the user types (asked once per callback). E_ABORT when declined.
// `typed`, when given, is set when the user typed it just now.
HRESULT GivePassword(bool& passwordDefined, std::wstring& password, BSTR* out,
                     bool* typed = nullptr);
// How often the user has declined to give a password, in this process.
extern std::atomic<int> passwordsDeclined;
