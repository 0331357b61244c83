#include "app/varnix.h"

#include "app/appstate.h"
#include "app/commandline.h"
#include "app/verbs.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "shell/registration.h"
#include "shell/unregistration.h"
#include "ui/dragout.h"
#include "ui/mainfrm.h"
#include "ui/settings.h"
#include "ui/windowquestions.h"
#include "win/messageloop.h"

#include <commctrl.h>
#include <gdiplus.h>
#include <objbase.h>

#include <cwchar>

int Run(const std::wstring& commandLine, int showCommand) {
    win::MessageLoop loop;
    CMainFrame frame(loop);
    // A double-clicked archive arrives as the whole, unquoted command line. One too long
    // for the field is left out rather than cut into the name of another file.
    if (!commandLine.empty() && IsArchivePath(commandLine) &&
        commandLine.size() < _countof(AppState.settings.lastPath))
        wcscpy_s(AppState.settings.lastPath, commandLine.c_str());

    if (!frame.CreateFrame()) {
        OutputDebugStringW(L"Main window creation failed!\n");
        return 0;
    }
    ShowWindow(frame.hwnd(), showCommand);
    // The frame and its view (with the open archive) go when the loop has ended.
    return loop.Run();
}

int VarnixMain(HINSTANCE instance, const std::wstring& commandLine, int showCommand) {
    // OLE, not COM alone: rows are dragged out of the window.
    OleInitialize(nullptr);

    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    ClearAppState();
    UseWindowQuestions();
    LoadSettings(AppState.settings);
    AppState.instance = instance;

    // A command-line run ends right after its verb: no settings are saved and nothing is
    // shut down, the process simply ends.
    if (HasUnregisterSwitch(commandLine)) {
        UnregisterAssociations();
        UnregisterVerbs();
        return 0;
    }

    RegisterWithShell(instance);

    if (HasRegisterSwitch(commandLine))
        return 0;
    int verbExitCode = 0;
    if (DispatchVerb(commandLine, verbExitCode))
        return verbExitCode;

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);

    ClearDragLeftovers();
    int result = Run(commandLine, showCommand);

    // The open archive goes (with its scratch folder) while COM is still up.
    ReleaseArchiver();
    RemoveDragScratch();
    // Files copied from the disk stay on the clipboard after the program has gone.
    OleFlushClipboard();
    OleUninitialize();
    SaveSettings(AppState.settings);
    Gdiplus::GdiplusShutdown(gdiplusToken);
    return result;
}
