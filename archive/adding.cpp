// Adding files to an archive through the console tool, on a worker thread under the
// progress dialog.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/library/extraction.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "ui/outcomedialog.h"
#include "ui/progressdialog.h"

#include <map>

const wchar_t listFileFailure[] = L"The archive could not be changed.\nThe list of names for the "
                                  L"archive tool could not be written in the Temp folder.";

const wchar_t zipPasswordMessage[] =
    L"A ZIP archive's password can hold only ASCII characters: letters without accents, "
    L"digits, blanks and punctuation. Choose a 7z archive for this password.";

namespace {

void ShowMessage(const wchar_t* text) {
    MessageBoxW(AppState.mainWindow, text, L"Varnix File Opener", MB_OK);
}

// The absolute form of a path, however long; "" when there is none.
std::wstring FullPathName(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    return full;
}

// A path as the file functions and the tool take it: no trailing backslash (a drive root
// keeps its own).
std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// The files the tool will report: one for each file, all those inside each folder.
uint64_t CountFilesToAdd(const std::vector<std::wstring>& entries) {
    uint64_t count = 0;
    for (const std::wstring& entry : entries)
        count += IsDirectory(entry) ? static_cast<uint64_t>(CountFiles(entry, true)) : 1;
    return count;
}

// Rebuilds the archive folder `folder` inside `scratch` and copies the entries into it,
// so that the tool, run inside `scratch`, stores them under that folder. Links inside
// dropped folders are not followed: they are named in `skippedLinks`. Returns the number
// of files staged.
int StageFiles(const std::wstring& scratch, const std::wstring& folder,
               const std::vector<std::wstring>& entries, const std::atomic<int32_t>& cancelled,
               std::vector<std::wstring>& skippedLinks) {
    CreateDirectoryW(scratch.c_str(), nullptr);
    std::wstring target = scratch;
    std::vector<std::string> components;
    SplitText(WideToUtf8(folder), '\\', components);
    for (const std::string& component : components) {
        target += L"\\" + Utf8ToWide(component);
        CreateDirectoryW(target.c_str(), nullptr);
    }
    int count = 0;
    for (const std::wstring& entry : entries) {
        if (cancelled)
            break;
        std::wstring destination = target + L"\\" + FileNamePart(entry);
        // A dropped folder may hold the scratch folder (a user's profile, a drive's root):
        // that is never copied into itself.
        if (IsDirectory(entry))
            count += CopyFolderTree(entry, destination, &cancelled, scratch, &skippedLinks);
        else if (CopyOneFile(entry, destination, false, &cancelled))
            ++count;
    }
    return count;
}

// The entries of the runs that add `entries` to the root, in as few runs as can be. The
// tool stores an entry under its own name, without its folder, and refuses two of one name
// in a run: a name that comes again goes into the next run, which replaces the entry as
// the later pick of that name always did.
std::vector<std::vector<std::wstring>> RunsByName(const std::vector<std::wstring>& entries) {
    std::vector<std::vector<std::wstring>> runs;
    std::map<std::wstring, size_t> picks; // names in capitals, as the tool compares them
    for (const std::wstring& entry : entries) {
        if (!IsListableName(entry))
            continue; // a path Windows gives no file has nothing to add
        std::wstring name = FileNamePart(entry);
        CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
        size_t run = picks[name]++;
        if (run == runs.size())
            runs.emplace_back();
        runs[run].push_back(entry);
    }
    return runs;
}

// How many of the files and folders picked the tool left out themselves (not a file inside a
// folder picked).
size_t CountSkipped(const std::vector<std::wstring>& picked,
                    const std::vector<FaultyEntry>& skipped) {
    size_t count = 0;
    for (const std::wstring& path : picked) {
        for (const FaultyEntry& file : skipped) {
            if (_wcsicmp(file.path.c_str(), path.c_str()) == 0) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Takes what a run of the tool did into the job's account. False when the job is to stop:
// the run failed or was stopped.
bool NoteRun(Archiver& archiver, const ConsoleSession& session) {
    switch (session.RunEnd()) {
    case JobEnd::Success:
        return true;
    case JobEnd::Warnings:
        for (const FaultyEntry& file : session.SkippedFiles())
            archiver.skippedFiles.push_back(file);
        return true;
    case JobEnd::Failure:
        archiver.jobFailure = session.FailureMessage();
        return false;
    case JobEnd::Cancelled:
        archiver.cancelled = 1; // a declined password stops the job as Cancel does
        return false;
    }
    return false;
}

DWORD WINAPI AddJob(void* parameter) {
    auto archiver = static_cast<Archiver*>(parameter);
    archiver->mode = ModeAdd;

    ConsoleSession session(*archiver);
    session.cancelled = &archiver->cancelled;
    if (!archiver->password.empty())
        session.SetPassword(WideToUtf8(archiver->password));
    // Told that the job has a password, the tool asks for it and the session answers.
    const bool askPassword = session.passwordKnown;

    std::vector<std::wstring> entries;
    for (const std::wstring& file : archiver->files)
        entries.push_back(WithoutTrailingBackslash(file));

    if (!archiver->subPath.empty()) {
        archiver->RemoveTempFolder();
        // A folder of our own: everything in it goes into the archive.
        archiver->tmpPath = MakeScratchFolder(L"Quorp");
        if (archiver->tmpPath.empty())
            archiver->jobFailure = L"The archive could not be changed.\nNo scratch folder "
                                   L"could be made in the Temp folder.";
        std::vector<std::wstring> skippedLinks;
        int count = archiver->tmpPath.empty()
                        ? 0
                        : StageFiles(archiver->tmpPath, Utf8ToWide(archiver->subPath), entries,
                                     archiver->cancelled, skippedLinks);
        if (!skippedLinks.empty() && !archiver->cancelled) {
            archiver->jobNotice = L"These links were not added: a link is not followed into "
                                  L"the place it leads to.";
            for (const std::wstring& link : skippedLinks)
                archiver->jobNotice += L"\n" + link;
        }
        progressTotal = count;
        if (count != 0 && !archiver->cancelled) {
            ToolRun run = MakeFolderRun(archiver->archivePath, archiver->tmpPath, askPassword);
            RunToolOnArchive(run, session, archiver->archivePath);
            NoteRun(*archiver, session);
        }
    } else {
        progressTotal = CountFilesToAdd(entries);
        const bool archiveExisted = PathExists(archiver->archivePath);
        size_t sources = 0;
        for (const std::vector<std::wstring>& names : RunsByName(entries)) {
            if (archiver->cancelled || session.passwordDeclined)
                break;
            ToolRun run;
            if (!MakeItemsRun(archiver->archivePath, L"a", names, askPassword, run)) {
                archiver->jobFailure = listFileFailure;
                break;
            }
            sources += names.size();
            RunToolOnArchive(run, session, archiver->archivePath);
            if (!NoteRun(*archiver, session))
                break;
        }
        // A new archive that got none of its files is no archive the user asked for.
        if (!archiveExisted && archiver->jobFailure.empty() && sources > 0 &&
            CountSkipped(entries, archiver->skippedFiles) >= sources) {
            DeleteFileW(archiver->archivePath.c_str());
            archiver->jobFailure = L"The archive " + FileNamePart(archiver->archivePath) +
                                   L" was not made: none of its files could be read.";
        }
    }

    FinishProgress();
    archiver->mode = ModeNone;
    archiver->files.clear();
    return 0;
}

} // namespace

int Archiver::AddFiles(const std::vector<std::wstring>& newFiles) {
    // Refused until the job starts.
    lastOutcome = JobOutcome();
    lastOutcome.end = JobEnd::Failure;
    int kind = GetArchiveKind(archivePath);
    if (!CanBeChanged()) {
        ShowMessage(L"Operation is not supported.");
        return -1;
    }
    // The tool gets the path as one quoted argument; it is also where the files go when
    // the tool runs inside the staging folder, so it must not be relative.
    std::wstring fullPath = FullPathName(archivePath);
    if (!IsUsableToolPath(archivePath) || fullPath.empty()) {
        ShowMessage(L"The archive's name is not a valid file name.");
        return -1;
    }
    archivePath = fullPath;
    // A folder of the archive is rebuilt on disk for the tool: its name has to be one that
    // Windows takes as it is.
    std::wstring folder = Utf8ToWide(subPath);
    if (!folder.empty() && SafeItemPath(folder) != folder) {
        ShowMessage(L"Files cannot be added into this folder: its name is not a valid "
                    L"Windows folder name.");
        return -1;
    }

    if (kind == ArchiveKindZip && !ZipTakesPassword(password)) {
        ShowMessage(zipPasswordMessage);
        return -1;
    }

    // A path that names nothing would leave the tool an archive with nothing in it.
    std::vector<std::wstring> present;
    std::wstring missing;
    for (const std::wstring& file : newFiles) {
        if (PathExists(file))
            present.push_back(file);
        else
            missing += L"\n" + file;
    }
    if (present.empty()) {
        ShowMessage(
            (L"Nothing was added to the archive: these files were not found." + missing).c_str());
        return -1;
    }

    ResetProgress();
    files = present;
    cancelled = 0;
    jobFailure.clear();
    jobNotice.clear();
    skippedFiles.clear();
    lastOutcome.end = JobEnd::Success;
    Job job;
    if (!job.Start(AddJob, this)) {
        lastOutcome.end = JobEnd::Failure;
        return 0;
    }
    if (!ShowProgress(L"Add Files", L"Adding Files "))
        cancelled = 1; // the running tool is stopped, and no further run starts
    job.Wait();
    if (cancelled)
        lastOutcome.end = JobEnd::Cancelled;
    if (!jobFailure.empty()) {
        lastOutcome.end = JobEnd::Failure;
        ShowMessage(jobFailure.c_str());
    }
    if (!skippedFiles.empty() && lastOutcome.end != JobEnd::Failure) {
        // Added, but not all: said as a warning, never as a success.
        JobOutcome told;
        told.end = JobEnd::Warnings;
        told.headline = L"Not every file could be added to " + FileNamePart(archivePath) + L".";
        told.listTitle = L"The archive tool could not read these files:";
        told.entries = skippedFiles;
        ShowOutcome(AppState.mainWindow, told);
        lastOutcome.AtLeast(JobEnd::Warnings);
    }
    if (!missing.empty()) {
        ShowMessage((L"These files were not found and were not added:" + missing).c_str());
        lastOutcome.AtLeast(JobEnd::Warnings);
    }
    if (!jobNotice.empty()) {
        ShowMessage(jobNotice.c_str());
        lastOutcome.AtLeast(JobEnd::Warnings);
    }
    return 0;
}

int Archiver::AddToArchive(const std::wstring& archive, const std::vector<std::wstring>& newFiles,
                           const std::wstring& newPassword) {
    archivePath = archive;
    subPath.clear();
    password = newPassword;
    AddFiles(newFiles);
    return 0;
}
