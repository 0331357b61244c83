// What the browser's tests share: a disk folder to browse, a document type of our own,
// the real window made in this process, and answers to the program's message boxes.
#pragma once

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/library/listing.h"
#include "archive/textconv.h"
#include "res/resource.h"
#include "shell/iconcache.h"
#include "shell/paths.h"
#include "shell/registry.h"
#include "support/testsupport.h"
#include "ui/dragout.h"
#include "ui/folderbrowser.h"
#include "ui/mainfrm.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>

namespace browser_testing {

using namespace testing_support;

inline std::vector<std::wstring> Names(const FolderBrowser& model) {
    std::vector<std::wstring> names;
    for (int i = 0; i < model.rows().Count(); ++i)
        names.push_back(model.rows().Name(i));
    return names;
}

// A disk folder to browse: a subfolder, an archive, a damaged one, a document.
struct DiskFolder {
    DiskFolder() {
        MakeFolder(scratch / L"sub");
        WriteTextFile(scratch / L"sub\\inner.txt", "inner");
        CopyFileW(TestData(L"nested.zip").c_str(), (scratch / L"set.zip").c_str(), FALSE);
        WriteTextFile(scratch / L"broken.zip", "not a zip");
        WriteTextFile(scratch / L"doc.varnixtest", "a document");
    }
    int Index(const FolderBrowser& model, const std::wstring& name) const {
        std::vector<std::wstring> names = Names(model);
        auto found = std::find(names.begin(), names.end(), name);
        return found == names.end() ? -1 : static_cast<int>(found - names.begin());
    }
    ScratchFolder scratch;
};

// Documents of a kind of our own open with the stand-in tool, which leaves a mark.
struct TestDocumentType {
    TestDocumentType() {
        std::wstring command = L"\"" + ProgramFolder() + L"\\fake_tool.exe\" touch \"%1\"";
        RegSetString(HKEY_CLASSES_ROOT, L".varnixtest", L"VarnixTest.document");
        RegSetString(HKEY_CLASSES_ROOT, L"VarnixTest.document\\shell\\open\\command", command);
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }
    ~TestDocumentType() {
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, L".varnixtest");
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, L"VarnixTest.document");
    }
};

// The real window, as start-up makes it, on a folder of the test's own.
struct Window {
    explicit Window(const std::wstring& start) : frame(loop) {
        ClearAppState();
        wcscpy_s(AppState.settings.lastPath, start.c_str());
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&controls);
        EXPECT_NE(frame.CreateFrame(), nullptr);
        ShowWindow(frame.hwnd(), SW_SHOW);
        Pump();
    }
    ~Window() {
        // As the program ends: the archive is left (its watch of opened entries stopped)
        // before it goes.
        frame.view().model().CloseArchive();
        if (frame.hwnd())
            DestroyWindow(frame.hwnd());
        Pump();
        ReleaseArchiver();
        AppState.mainWindow = nullptr;
    }
    static void Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The text of a part of the status line.
    std::wstring Status(int part) {
        wchar_t text[256] = {};
        SendMessageW(frame.statusBar(), SB_GETTEXTW, static_cast<WPARAM>(part),
                     reinterpret_cast<LPARAM>(text));
        return text;
    }
    int ColumnWidth(int column) const {
        return ListView_GetColumnWidth(const_cast<Window*>(this)->frame.view().list(), column);
    }
    win::MessageLoop loop;
    CMainFrame frame;
};

// Answers every message box of the program: Yes where it asks, OK where it tells; keeps
// the texts.
struct MessageAnswers {
    MessageAnswers()
        : answerer(DialogWithCaption(L"Varnix File Opener"), [this](HWND box) {
              texts.push_back(MessageText(box));
              PressButton(GetDlgItem(box, IDYES) ? IDYES : IDOK)(box);
          }) {}
    bool Saw(const std::wstring& start) const {
        for (const std::wstring& text : texts) {
            if (text.rfind(start, 0) == 0)
                return true;
        }
        return false;
    }
    std::vector<std::wstring> texts;
    DialogAnswerer answerer;
};

} // namespace browser_testing
