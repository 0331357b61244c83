#include "app/verbs.h"

#include "app/appstate.h"
#include "app/commandline.h"
#include "archive/archiver.h"
#include "archive/extracttofolder.h"
#include "archive/jobthread.h"
#include "ui/adddialog.h"
#include "ui/folderpicker.h"
#include "ui/outcomedialog.h"
#include "ui/quickadd.h"

// A verb's extraction runs on a job thread. Most are over in a moment; one that takes
// longer shows the progress dialog, whose Cancel stops it. How it ended is said as the
// window says it (nothing for a plain success or a cancel), and is the exit code.
static int Extract(const std::wstring& archive,
                   const std::function<int(CancelFlag cancelled, ExtractReport& report)>& work) {
    ExtractReport report;
    int result = 1;
    if (!RunUnderProgress(
            L"Extract Files", L"Extracting Files ... ",
            [&](CancelFlag cancelled) { result = work(cancelled, report); }, progressDelay))
        report = ExtractReport(); // no thread for the job: nothing was done
    JobOutcome outcome = ExtractOutcome(archive, result, report);
    if (outcome.NeedsSaying())
        ShowOutcome(AppState.mainWindow, outcome);
    return ExitCodeOf(outcome.end);
}

// "Extract Here": next to the archive.
static int ExtractHere(const std::wstring& archive) {
    if (archive.empty())
        return ExitCodeOf(JobEnd::Failure); // a line too short to name an archive
    return Extract(archive, [&](CancelFlag cancelled, ExtractReport& report) {
        return ExtractAll(archive, ArchiveFolder(archive), &report, cancelled);
    });
}

// "Extract files...": to a folder the user picks, starting at the archive's own.
static int ExtractTo(const std::wstring& archive) {
    if (archive.empty())
        return ExitCodeOf(JobEnd::Failure);
    std::wstring folder;
    if (!BrowseForFolder(AppState.mainWindow, ArchiveFolder(archive), folder))
        return ExitCodeOf(JobEnd::Cancelled);
    return Extract(archive, [&](CancelFlag cancelled, ExtractReport& report) {
        return ExtractAll(archive, folder, &report, cancelled);
    });
}

// "Extract to Folder": into a new folder beside the archive, named after it.
static int ExtractToFolder(const std::wstring& archive) {
    if (archive.empty())
        return ExitCodeOf(JobEnd::Failure);
    return Extract(archive, [&](CancelFlag cancelled, ExtractReport& report) {
        return ExtractToNewFolder(archive, cancelled, &report);
    });
}

bool DispatchVerb(const std::wstring& commandLine, int& exitCode) {
    exitCode = 0;
    if (commandLine.empty())
        return false;
    VerbRequest request = ParseVerb(commandLine);
    switch (request.verb) {
    case Verb::ExtractHere:
        exitCode = ExtractHere(request.argument);
        return true;
    case Verb::ExtractTo:
        exitCode = ExtractTo(request.argument);
        return true;
    case Verb::ExtractToFolder:
        exitCode = ExtractToFolder(request.argument);
        return true;
    case Verb::AddRequest:
        exitCode = CollectAddRequest(request.argument);
        return true;
    case Verb::QuickAdd7z:
        exitCode = CollectQuickAddRequest(request.argument, AddFormat::SevenZip);
        return true;
    case Verb::QuickAddZip:
        exitCode = CollectQuickAddRequest(request.argument, AddFormat::Zip);
        return true;
    case Verb::None:
        break;
    }
    return false;
}
