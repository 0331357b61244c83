#include "app/verbs.h"

#include "app/appstate.h"
#include "app/commandline.h"
#include "archive/archiver.h"
#include "archive/extracttofolder.h"
#include "archive/jobthread.h"
#include "ui/adddialog.h"
#include "ui/folderpicker.h"

// A verb's extraction runs on a job thread. Most are over in a moment; one that takes
// longer shows the progress dialog, whose Cancel stops it.
static void Extract(const std::function<void(CancelFlag cancelled)>& work) {
    RunUnderProgress(L"Extract Files", L"Extracting Files ... ", work, progressDelay);
}

// "Extract Here": next to the archive, silently.
static void ExtractHere(const std::wstring& archive) {
    if (archive.empty())
        return; // a line too short to name an archive
    Extract([&](CancelFlag cancelled) {
        ExtractAll(archive, ArchiveFolder(archive), nullptr, cancelled);
    });
}

// "Extract files...": to a folder the user picks, starting at the archive's own.
static void ExtractTo(const std::wstring& archive) {
    if (archive.empty())
        return;
    std::wstring folder;
    if (BrowseForFolder(AppState.mainWindow, ArchiveFolder(archive), folder))
        Extract([&](CancelFlag cancelled) { ExtractAll(archive, folder, nullptr, cancelled); });
}

// "Extract to Folder": into a new folder beside the archive, named after it, silently.
static void ExtractToFolder(const std::wstring& archive) {
    if (!archive.empty())
        Extract([&](CancelFlag cancelled) { ExtractToNewFolder(archive, cancelled); });
}

bool DispatchVerb(const std::wstring& commandLine) {
    if (commandLine.empty())
        return false;
    VerbRequest request = ParseVerb(commandLine);
    switch (request.verb) {
    case Verb::ExtractHere:
        ExtractHere(request.argument);
        return true;
    case Verb::ExtractTo:
        ExtractTo(request.argument);
        return true;
    case Verb::ExtractToFolder:
        ExtractToFolder(request.argument);
        return true;
    case Verb::AddRequest:
        CollectAddRequest(request.argument);
        return true;
    case Verb::None:
        break;
    }
    return false;
}
