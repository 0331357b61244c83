// Deleting entries of the open archive through the console tool, on the calling thread.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/textconv.h"

bool Archiver::CanBeChanged() const {
    return IsUpdatableKind(GetArchiveKind(archivePath));
}

int Archiver::DeleteItems(const std::vector<std::wstring>& names) {
    if (!CanBeChanged()) {
        MessageBoxW(AppState.mainWindow, L"Operation is not supported.", L"Varnix File Opener",
                    MB_OK);
        return -1;
    }

    mode = ModeDelete;
    // The password that opened the archive answers the tool when it needs one to open it
    // (encrypted names); without one the user is asked once for all the runs.
    ConsoleSession session(*this);
    if (!password.empty())
        session.SetPassword(WideToUtf8(password));
    std::wstring refused;
    for (const std::wstring& name : names) {
        if (session.passwordDeclined)
            break;
        std::wstring entry = subPath.empty() ? name : Utf8ToWide(subPath) + L"\\" + name;
        ToolRun run;
        if (!MakeItemsRun(archivePath, L"d", {entry}, false, run)) {
            refused += L"\n" + name;
            continue;
        }
        RunTool(run, session);
        DiscardRun(run);
        if (session.RunFailed()) {
            MessageBoxW(AppState.mainWindow, session.FailureMessage().c_str(),
                        L"Varnix File Opener", MB_OK);
            break;
        }
    }
    mode = ModeNone;
    if (!refused.empty()) {
        std::wstring text = L"These entries were not deleted: their names cannot be handed "
                            L"to the archive tool." +
                            refused;
        MessageBoxW(AppState.mainWindow, text.c_str(), L"Varnix File Opener", MB_OK);
    }

    Refresh();
    return 0;
}
