// Getting entries out of an archive: opening one, extracting a selection, extracting all.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/library/extraction.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "ui/progressdialog.h"

#include <shellapi.h>

const wchar_t extractFailureMessage[] =
    L"Some files could not be extracted. The disk may be full or the folder read-only, an "
    L"entry may be damaged, need another password, or have a path too long for Windows.";

int Archiver::OpenItem(const std::wstring& path) {
    // Only an entry of the folder shown.
    ArchiveTree::Node item = tree.Find(WideToUtf8(path));
    if (item == ArchiveTree::none || item == ArchiveTree::root ||
        tree.Parent(item) != tree.Find(subPath))
        return 0;

    if (tree.IsFolder(item)) {
        ListFolder(tree.Path(item));
        return GetRowCount();
    }
    OpenEntry(path);
    return 0;
}

void Archiver::OpenEntry(const std::wstring& path) {
    std::wstring extractedPath;
    if (!ExtractItemToTemp(path, extractedPath))
        return;
    if (IsArchivePath(path)) {
        // An archive inside the archive opens in a second window of the program.
        ShellExecuteW(AppState.mainWindow, L"open", ModuleFileName(nullptr).c_str(),
                      extractedPath.c_str(), nullptr, SW_SHOW);
    } else {
        ShellExecuteW(AppState.mainWindow, L"open", extractedPath.c_str(), nullptr, nullptr,
                      SW_SHOW);
    }
}

std::wstring MissingVolumeMessage(const std::wstring& volume) {
    return L"The volume \"" + volume +
           L"\" of this set is missing. Put every volume of the set in one folder, and try "
           L"again.";
}

std::wstring ExtractFailureText(const ExtractReport& report) {
    if (!report.missingVolume.empty())
        return MissingVolumeMessage(report.missingVolume);
    std::wstring text = extractFailureMessage;
    if (report.failedEntries.empty())
        return text;
    text += L"\n\nNot extracted:";
    const size_t shown = 12;
    for (size_t i = 0; i < report.failedEntries.size() && i < shown; ++i)
        text += L"\n" + report.failedEntries[i];
    if (report.failedEntries.size() > shown)
        text += L"\n... and " + std::to_wstring(report.failedEntries.size() - shown) + L" more";
    return text;
}

bool Archiver::ExtractItemToTemp(const std::wstring& path, std::wstring& extractedPath) {
    RemoveTempFolder();
    tmpPath = MakeScratchFolder(L"Quorp");
    if (tmpPath.empty() || !ExtractEntriesToScratch({path}, tmpPath))
        return false;
    // Where the extraction put it, which for odd names is not the name itself.
    extractedPath = tmpPath + L"\\" + SafeItemPath(path);
    return true;
}

bool Archiver::ExtractEntriesToScratch(const std::vector<std::wstring>& paths,
                                       const std::wstring& folder) {
    ArchiveContents contents;
    contents.password = password;
    ExtractReport report;
    int result = 1;
    // A big entry takes a while: the window keeps painting, and Cancel stops it.
    RunUnderProgress(
        L"Extract Files", L"Extracting Files ... ",
        [&](const std::atomic<int32_t>* stop) {
            mode = ModeExtract;
            ExtractOptions options;
            options.names = &paths;
            options.cancelled = stop;
            options.askBeforeReplacing = false; // a fresh scratch folder of our own
            result = ExtractArchive(archivePath, GetArchiveKind(archivePath), folder, contents,
                                    options, &report);
            mode = ModeNone;
        },
        progressDelay);
    if (result != 0 && !report.userStopped)
        MessageBoxW(AppState.mainWindow, ExtractFailureText(report).c_str(), L"Varnix File Opener",
                    MB_OK);
    return result == 0;
}

static DWORD WINAPI ExtractJob(void* parameter) {
    auto archiver = static_cast<Archiver*>(parameter);
    archiver->mode = ModeExtract;
    archiver->RemoveTempFolder();

    const std::vector<std::wstring>& names = archiver->files;
    // An empty list would mean every entry: a cancel before the job began extracts nothing
    // instead.
    if (!archiver->cancelled && !names.empty()) {
        ArchiveContents contents;
        contents.password = archiver->password;
        ExtractOptions options;
        options.names = &names;
        options.cancelled = &archiver->cancelled;
        ExtractReport report;
        if (ExtractArchive(archiver->archivePath, GetArchiveKind(archiver->archivePath),
                           archiver->destFolder, contents, options, &report) != 0) {
            if (!report.userStopped)
                archiver->jobFailure = ExtractFailureText(report);
        }
    }
    FinishProgress();
    archiver->mode = ModeNone;
    archiver->files.clear();
    return 0;
}

int Archiver::ExtractItems(const std::vector<std::wstring>& names, const std::wstring& folder) {
    return ExtractEntries(PathsInFolderShown(names), folder);
}

int Archiver::ExtractEntries(const std::vector<std::wstring>& paths, const std::wstring& folder) {
    replaceAll = 0;
    jobFailure.clear();
    ResetProgress();
    files = paths;
    destFolder = folder;
    cancelled = 0;

    Job job;
    if (!job.Start(ExtractJob, this))
        return 0;
    if (!ShowProgress(L"Extract Files", L"Extracting Files ... "))
        cancelled = 1; // the extraction stops at the library's next call
    job.Wait();
    if (!jobFailure.empty() && !cancelled)
        MessageBoxW(AppState.mainWindow, jobFailure.c_str(), L"Varnix File Opener", MB_OK);
    return 0;
}

int ExtractAll(const std::wstring& archive, const std::wstring& folder, ExtractReport* report,
               CancelFlag cancelled) {
    int kind = GetArchiveKind(archive);
    if (kind == ArchiveKindNone)
        return -1;
    ArchiveContents contents;
    ExtractOptions options;
    options.cancelled = cancelled;
    return ExtractArchive(archive, kind, folder, contents, options, report);
}
