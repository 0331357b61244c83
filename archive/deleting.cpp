// Deleting entries of the open archive through the console tool, in one run on a worker
// thread under the progress dialog.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/textconv.h"

bool Archiver::CanBeChanged() const {
    return IsUpdatableKind(GetArchiveKind(archivePath));
}

int Archiver::DeleteItems(const std::vector<std::wstring>& names) {
    return DeleteEntries(PathsInFolderShown(names));
}

int Archiver::DeleteEntries(const std::vector<std::wstring>& paths) {
    if (!CanBeChanged()) {
        MessageBoxW(AppState.mainWindow, L"Operation is not supported.", L"Varnix File Opener",
                    MB_OK);
        return -1;
    }

    std::vector<std::wstring> entries;
    std::wstring refused;
    for (const std::wstring& entry : paths) {
        if (IsListableName(entry))
            entries.push_back(entry);
        else
            refused += L"\n" + entry;
    }

    jobFailure.clear();
    if (!entries.empty()) {
        RunUnderProgress(
            L"Delete Files", L"Deleting Files ... ",
            [this, &entries](const std::atomic<int32_t>* stop) {
                mode = ModeDelete;
                // The password that opened the archive answers the tool when it needs one
                // to open it (encrypted names); without one the user is asked.
                ConsoleSession session(*this);
                session.cancelled = stop;
                if (!password.empty())
                    session.SetPassword(WideToUtf8(password));
                ToolRun run;
                if (!MakeItemsRun(archivePath, L"d", entries, false, run))
                    jobFailure = listFileFailure;
                else
                    RunToolOnArchive(run, session, archivePath);
                if (session.RunFailed())
                    jobFailure = session.FailureMessage();
                mode = ModeNone;
            },
            progressDelay);
    }
    if (!jobFailure.empty())
        MessageBoxW(AppState.mainWindow, jobFailure.c_str(), L"Varnix File Opener", MB_OK);
    if (!refused.empty()) {
        std::wstring text = L"These entries were not deleted: their names cannot be handed "
                            L"to the archive tool." +
                            refused;
        MessageBoxW(AppState.mainWindow, text.c_str(), L"Varnix File Opener", MB_OK);
    }

    Refresh();
    return 0;
}
