// Getting entries out of an archive: opening one, extracting a selection, extracting all.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/library/extraction.h"
#include "archive/library/sevenzip.h"
#include "archive/progress.h"
#include "archive/shownpath.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "archive/questions.h"

#include <shellapi.h>

const wchar_t extractFailureMessage[] = L"Some files could not be extracted";

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
    // Each opened entry gets a folder of its own, kept while the archive is open: its
    // program may save into it at any time, and the save is offered back to the archive.
    std::wstring folder = edits.MakeFolder();
    if (folder.empty()) {
        User().Tell(FileNamePart(path) + L" could not be opened: no scratch folder could be "
                                         L"made in the Temp folder.");
        return;
    }
    std::wstring extractedPath;
    if (!ExtractEntryInto(path, folder, extractedPath)) {
        DeleteFolderTree(nullptr, folder);
        return;
    }
    edits.Watch(path, extractedPath);
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

std::wstring OpenProblemText(const std::wstring& archiveName, uint32_t openErrors) {
    if (openErrors & sevenzip::ErrorUnexpectedEnd)
        return archiveName + L" is cut short: its end is missing, so it cannot be opened. It "
                             L"may be an unfinished download or copy.";
    if (openErrors & (sevenzip::ErrorHeaders | sevenzip::ErrorEncryptedHeaders |
                      sevenzip::ErrorData | sevenzip::ErrorCrc))
        return archiveName + L" is damaged: its headers cannot be read, so it cannot be opened.";
    return archiveName + L" could not be opened. It may be damaged, incomplete, or not an "
                         L"archive.";
}

JobOutcome ExtractOutcome(const std::wstring& archivePath, int result,
                          const ExtractReport& report) {
    const std::wstring name = FileNamePart(archivePath);
    JobOutcome outcome;
    if (result == -1) {
        outcome.end = JobEnd::Failure;
        outcome.headline = name + L" is not an archive this program reads.";
        return outcome;
    }
    if (report.userStopped) {
        outcome.end = JobEnd::Cancelled;
        return outcome;
    }
    if (!report.missingVolume.empty()) {
        outcome.end = JobEnd::Failure;
        outcome.headline = MissingVolumeMessage(report.missingVolume);
        return outcome;
    }
    if (!report.opened) {
        outcome.end = JobEnd::Failure;
        outcome.headline = OpenProblemText(name, report.openErrors);
        return outcome;
    }

    // Entries are named as the list shows them.
    for (const FaultyEntry& failed : report.failed)
        outcome.entries.push_back({ShownPath(failed.path), failed.fault, failed.why});
    // Whatever came out of a stream that failed its own check may be damaged: named, not
    // removed, as the user may still want what is whole in them.
    if (report.health.streamFault != Fault::None) {
        for (const std::wstring& written : report.written)
            outcome.entries.push_back({ShownPath(written), Fault::PossiblyDamaged});
    }
    // As the list shows them (a path that leads out as stored, with slashes), and a
    // backslash inside a name as the backslash it is.
    for (RenamedEntry renamed : report.renamed) {
        std::wstring shown = ShownPath(renamed.stored);
        if (shown.size() >= 2 && shown.front() == L'"' && shown.back() == L'"')
            shown = shown.substr(1, shown.size() - 2);
        for (wchar_t& c : shown) {
            if (c == backslashInName)
                c = L'\\';
        }
        outcome.renamed.push_back({shown, renamed.written});
    }
    outcome.notes = HealthNotes(report.health, name);
    if (report.stoppedEarly)
        outcome.notes.push_back(L"The extraction stopped at a fault it could not read past: the "
                                L"entries after it were not extracted.");

    if (!report.failed.empty() || report.health.Damaged() || report.stoppedEarly || result != 0)
        outcome.end = JobEnd::Failure;
    else if (!report.renamed.empty() || report.health.warnings != 0)
        outcome.end = JobEnd::Warnings;

    if (!report.failed.empty())
        outcome.headline = std::wstring(extractFailureMessage) + L" from " + name + L".";
    else if (outcome.end == JobEnd::Failure && report.written.empty())
        outcome.headline = L"Nothing could be extracted from " + name + L".";
    else if (outcome.end == JobEnd::Failure)
        outcome.headline = L"The files of " + name + L" may not all have come out whole.";
    else
        outcome.headline = L"Every file of " + name + L" was extracted.";
    if (report.health.streamFault != Fault::None && !report.failed.empty())
        outcome.listTitle = L"Not extracted, or possibly damaged:";
    else if (report.health.streamFault != Fault::None)
        outcome.listTitle = L"Extracted, but possibly damaged:";
    else
        outcome.listTitle = L"Not extracted:";
    return outcome;
}

bool Archiver::ExtractEntryInto(const std::wstring& path, const std::wstring& folder,
                                std::wstring& extractedPath) {
    if (!ExtractEntriesToScratch({path}, folder))
        return false;
    // Where the extraction put it, which for odd names is not the name itself.
    extractedPath =
        lastWrittenFile_.empty() ? folder + L"\\" + WrittenPath(path) : lastWrittenFile_;
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
            EntryChoice choice = ChoiceOf(paths);
            ExtractOptions options;
            options.names = &choice.names;
            options.indices = &choice.indices;
            options.notByName = &choice.notByName;
            options.cancelled = stop;
            options.askBeforeReplacing = false; // a fresh scratch folder of our own
            result = ExtractArchive(archivePath, GetArchiveKind(archivePath), folder, contents,
                                    options, &report);
            lastWrittenFile_ =
                report.writtenFiles.size() == 1 ? report.writtenFiles[0] : std::wstring();
            mode = ModeNone;
        },
        progressDelay);
    // Opening it needs it whole: a name changed to be valid is no failure here.
    JobOutcome outcome = ExtractOutcome(archivePath, result, report);
    if (outcome.end == JobEnd::Failure)
        User().TellOutcome(outcome);
    return result == 0;
}

static DWORD WINAPI ExtractJob(void* parameter) {
    auto archiver = static_cast<Archiver*>(parameter);
    archiver->mode = ModeExtract;
    archiver->RemoveTempFolder();

    const EntryChoice& choice = archiver->extractChoice();
    // An empty list would mean every entry: a cancel before the job began extracts nothing
    // instead.
    if (!archiver->cancelled && !choice.empty()) {
        ArchiveContents contents;
        contents.password = archiver->password;
        ExtractOptions options;
        options.names = &choice.names;
        options.indices = &choice.indices;
        options.notByName = &choice.notByName;
        options.cancelled = &archiver->cancelled;
        ExtractReport report;
        int result = ExtractArchive(archiver->archivePath, GetArchiveKind(archiver->archivePath),
                                    archiver->destFolder, contents, options, &report);
        archiver->lastOutcome = ExtractOutcome(archiver->archivePath, result, report);
    }
    User().EndProgress();
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
    lastOutcome = JobOutcome();
    ResetProgress();
    extractChoice_ = ChoiceOf(paths);
    destFolder = folder;
    cancelled = 0;

    Job job;
    if (!job.Start(ExtractJob, this))
        return 0;
    if (!User().ShowProgress(L"Extract Files", L"Extracting Files ... "))
        cancelled = 1; // the extraction stops at the library's next call
    job.Wait();
    if (cancelled)
        lastOutcome.end = JobEnd::Cancelled;
    if (lastOutcome.NeedsSaying())
        User().TellOutcome(lastOutcome);
    return 0;
}

EntryChoice Archiver::ChoiceOf(const std::vector<std::wstring>& paths) const {
    EntryChoice choice;
    for (const std::wstring& path : paths) {
        uint32_t index = tree.DuplicateIndex(tree.Find(WideToUtf8(path)));
        if (index != ArchiveTree::noIndex)
            choice.indices.push_back(index);
        else
            choice.names.push_back(path);
    }
    choice.notByName = tree.DuplicateIndices();
    return choice;
}

std::wstring Archiver::WrittenPath(const std::wstring& path) const {
    std::wstring stored = path;
    if (stored.size() >= 2 && stored.front() == L'"' && stored.back() == L'"')
        stored = stored.substr(1, stored.size() - 2); // shown as stored, between quotes
    if (tree.DuplicateIndex(tree.Find(WideToUtf8(path))) != ArchiveTree::noIndex) {
        size_t mark = stored.rfind(L" [");
        if (mark != std::wstring::npos)
            stored.erase(mark);
    }
    return SafeItemPath(stored);
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
