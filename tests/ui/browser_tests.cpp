// The real browser window (frame and view) made in this process: start-up, the keyboard,
// moving about, drops, the commands and their messages, and the window's placement.
#include "browser_window.h"

#include <gtest/gtest.h>

namespace {

using namespace browser_testing;

TEST(MainWindow, TitleToolbarTooltipsAndNoMenu) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    EXPECT_EQ(AppState.mainWindow, window.frame.hwnd());
    wchar_t title[256] = {};
    GetWindowTextW(window.frame.hwnd(), title, 256);
    EXPECT_STREQ(title, L"Varnix File Opener - Ver 1.0");
    EXPECT_EQ(GetMenu(window.frame.hwnd()), nullptr);

    HWND toolbar = window.frame.toolbar();
    ASSERT_EQ(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    const int commands[] = {ID_ADD, ID_EXTRACT, ID_DELETE, ID_TEST};
    const wchar_t* texts[] = {L"Add", L"Extract", L"Delete", L"Test"};
    // The tips name each command's key.
    const wchar_t* tips[] = {L"Add files to archive (Alt+A)",
                             L"Extract to the specified folder (Alt+E)", L"Delete files (Del)",
                             L"Test archive for errors (Alt+T)"};
    for (int i = 0; i < 4; ++i) {
        TBBUTTON button = {};
        SendMessageW(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(button.idCommand, commands[i]);
        EXPECT_TRUE(button.fsStyle & BTNS_SHOWTEXT);
        wchar_t text[64] = {};
        SendMessageW(toolbar, TB_GETBUTTONTEXTW, commands[i], reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, texts[i]);
        NMTTDISPINFOW tip = {};
        tip.hdr.code = TTN_GETDISPINFOW;
        tip.hdr.idFrom = static_cast<UINT_PTR>(commands[i]);
        SendMessageW(window.frame.hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
        EXPECT_STREQ(tip.szText, tips[i]);
    }
    DWORD size = static_cast<DWORD>(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
    EXPECT_EQ(LOWORD(size), 56);
    EXPECT_EQ(HIWORD(size), 56);

    // The status line says what the list holds.
    EXPECT_EQ(LOWORD(SendMessageW(window.frame.statusBar(), SB_GETTEXTLENGTHW, 0, 0)),
              wcslen(L"1 folder, 3 files"));
}

TEST(MainWindow, DeleteIsAKeyOfTheWholeWindowButEditsTheTextOfABox) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    // In the list it deletes the selection, or says there is none.
    SetFocus(view.list());
    ListView_SetItemState(view.list(), -1, 0, LVIS_SELECTED);
    {
        DialogAnswerer user(
            DialogWithText(L"No files selected. You need to select files this operation"),
            PressButton(IDOK));
        MSG key = {view.list(), WM_KEYDOWN, VK_DELETE, 0, 0, {}};
        EXPECT_TRUE(window.frame.PreTranslateMessage(key));
        EXPECT_EQ(user.answered(), 1);
    }
    // In the path box and the find box it deletes a character, never a file.
    ListView_SetItemState(view.list(), disk.Index(view.model(), L"doc.varnixtest"), LVIS_SELECTED,
                          LVIS_SELECTED);
    for (HWND box : {view.pathBox(), view.findBox()}) {
        SetFocus(box);
        SetWindowTextW(box, L"abc");
        SendMessageW(box, EM_SETSEL, 0, 0);
        MSG key = {box, WM_KEYDOWN, VK_DELETE, 0, 0, {}};
        if (!window.frame.PreTranslateMessage(key)) {
            TranslateMessage(&key);
            DispatchMessageW(&key);
        }
        wchar_t text[16] = {};
        GetWindowTextW(box, text, 16);
        EXPECT_STREQ(text, L"bc");
    }
    EXPECT_TRUE(FileExists(disk.scratch / L"doc.varnixtest"));
}

TEST(BrowserView, StartsOnTheLastFolderWhereEnterAndBackspaceMove) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    EXPECT_EQ(model.folder(), disk.scratch.path());
    EXPECT_EQ(ListView_GetItemCount(view.list()), 5);
    wchar_t path[300] = {};
    GetWindowTextW(view.pathBox(), path, 300);
    EXPECT_EQ(std::wstring(path), disk.scratch.path() + L"\\");
    // Column widths by default.
    EXPECT_EQ(window.ColumnWidth(0), 350);
    EXPECT_EQ(window.ColumnWidth(3), 150);

    // Enter on the focused row opens it; the first row of the folder is selected after.
    view.SelectRow(disk.Index(model, L"sub"));
    SetFocus(view.list());
    MSG enter = {view.list(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(view.PreTranslateMessage(enter));
    EXPECT_EQ(model.folder(), disk.scratch / L"sub");
    EXPECT_EQ(ListView_GetNextItem(view.list(), -1, LVNI_SELECTED), 0);
    // Backspace goes up, as the up row does.
    MSG back = {view.list(), WM_KEYDOWN, VK_BACK, 0, 0, {}};
    EXPECT_TRUE(view.PreTranslateMessage(back));
    EXPECT_EQ(model.folder(), disk.scratch.path());

    // A typed folder and Enter list it.
    SetWindowTextW(view.pathBox(), (disk.scratch / L"sub").c_str());
    SetFocus(view.pathBox());
    MSG typed = {view.pathBox(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(view.PreTranslateMessage(typed));
    EXPECT_EQ(model.folder(), disk.scratch / L"sub");
}

TEST(BrowserView, ATypedPathOpensAnArchiveAndAFolderInsideIt) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    MSG typed = {view.pathBox(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    auto type = [&](const std::wstring& text) {
        SetWindowTextW(view.pathBox(), text.c_str());
        SetFocus(view.pathBox());
        EXPECT_TRUE(view.PreTranslateMessage(typed));
    };
    type(disk.scratch / L"set.zip");
    ASSERT_NE(model.archive(), nullptr);
    EXPECT_EQ(model.archive()->subPath, "");
    type(disk.scratch / L"set.zip\\docs\\deep");
    ASSERT_NE(model.archive(), nullptr);
    EXPECT_EQ(model.archive()->subPath, "docs\\deep");
    EXPECT_EQ(ControlText(view.locationBar(), IDC_PATH), disk.scratch / L"set.zip\\docs\\deep");

    // A path that names nothing: said, and the box shows the place shown again.
    DialogAnswerer told(MessageBeginningWith(L"Windows cannot find"), PressButton(IDOK));
    type(disk.scratch / L"nothing\\here");
    EXPECT_EQ(told.answered(), 1);
    EXPECT_EQ(model.archive()->subPath, "docs\\deep");
    EXPECT_EQ(ControlText(view.locationBar(), IDC_PATH), disk.scratch / L"set.zip\\docs\\deep");
}

TEST(BrowserView, TheListHasTheKeyboardAndAFocusedRowAfterEveryMove) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    auto focusedName = [&] {
        return view.model().rows().Get(ListView_GetNextItem(view.list(), -1, LVNI_FOCUSED)).name;
    };
    EXPECT_EQ(GetFocus(), view.list());
    EXPECT_EQ(focusedName(), L"..");
    view.ActivateRow(disk.Index(view.model(), L"sub"));
    EXPECT_EQ(GetFocus(), view.list());
    EXPECT_EQ(focusedName(), L"..");
    // Going up focuses the folder just left, as Explorer does.
    view.ActivateRow(0);
    EXPECT_EQ(focusedName(), L"sub");
    view.ActivateRow(disk.Index(view.model(), L"set.zip"));
    view.ActivateRow(disk.Index(view.model(), L"docs"));
    view.ActivateRow(0);
    EXPECT_EQ(focusedName(), L"docs");
    view.ActivateRow(0); // out of the archive
    EXPECT_EQ(focusedName(), L"set.zip");
    EXPECT_EQ(GetFocus(), view.list());
}

TEST(BrowserView, AStartArchiveThatCannotBeOpenedIsSaidOnceAndTheDesktopListed) {
    DiskFolder disk;
    for (const wchar_t* name : {L"broken.zip", L"moved.zip"}) {
        DialogAnswerer told(MessageBeginningWith(L"Couldn't open the file."), PressButton(IDOK));
        Window window(disk.scratch / name);
        CVarnixView& view = window.frame.view();
        EXPECT_EQ(told.answered(), 1) << Narrow(name);
        EXPECT_EQ(view.model().archive(), nullptr);
        EXPECT_EQ(view.model().GetCurrentPath(), view.model().locations().Places()[0]->path);
        EXPECT_GT(ListView_GetItemCount(view.list()), 0);
        EXPECT_EQ(SendMessageW(view.locationBar(), CB_GETCURSEL, 0, 0), view.model().locations().Current());
    }
}

TEST(BrowserView, AnEmptyFolderReachedByActivationShowsAnEmptyList) {
    ScratchFolder scratch;
    MakeFolder(scratch / L"empty");
    Window window(scratch.path());
    CVarnixView& view = window.frame.view();
    ASSERT_EQ(ListView_GetItemCount(view.list()), 2); // "..", "empty"
    view.ActivateRow(1);
    EXPECT_EQ(view.model().folder(), scratch / L"empty");
    EXPECT_EQ(ListView_GetItemCount(view.list()), 1); // only its up row
}

TEST(BrowserView, ColumnWidthsGoByPositionAcrossTheModes) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    SetWindowPos(window.frame.hwnd(), nullptr, 0, 0, 1200, 600, SWP_NOZORDER); // room for all
    ListView_SetColumnWidth(view.list(), 2, 222);                              // Type in disk mode
    view.ActivateRow(disk.Index(view.model(), L"set.zip"));
    ASSERT_NE(view.model().archive(), nullptr);
    EXPECT_EQ(ListView_GetItemCount(view.list()), view.model().rows().Count());
    EXPECT_EQ(window.ColumnWidth(2), 222); // Packed in archive mode
    EXPECT_EQ(window.ColumnWidth(4), 150);
    EXPECT_EQ(AppState.settings.columnWidths[2], 222);

    // Leaving inside the archive records the folder that holds it.
    DestroyWindow(window.frame.hwnd());
    Window::Pump();
    EXPECT_EQ(std::wstring(AppState.settings.lastPath), disk.scratch.path());
    EXPECT_TRUE(AppState.settings.hasPlacement);
}

// A drop from the shell: the files in an HDROP, as the shell hands them over.
HDROP MakeDrop(const std::vector<std::wstring>& files) {
    std::wstring list;
    for (const std::wstring& file : files)
        list += file + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                 sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST(BrowserView, DroppedFilesLandInTheFolderShown) {
    DiskFolder disk;
    std::wstring dropped = disk.scratch / L"dropped.txt";
    WriteTextFile(dropped, "dropped");
    {
        // On a disk folder there is no archive to take them.
        Window window(disk.scratch.path());
        DialogAnswerer user(DialogWithText(L"Please open an archive file first."),
                            PressButton(IDOK));
        SendMessageW(window.frame.view().hwnd(), WM_DROPFILES,
                     reinterpret_cast<WPARAM>(MakeDrop({dropped})), 0);
        EXPECT_EQ(user.answered(), 1);
    }
    std::wstring archive = disk.scratch / L"set.zip";
    Window window(archive);
    CVarnixView& view = window.frame.view();
    ASSERT_NE(view.model().archive(), nullptr);
    view.ActivateRow(disk.Index(view.model(), L"docs"));
    SendMessageW(view.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dropped})), 0);
    EXPECT_EQ(view.model().archive()->subPath, "docs");
    EXPECT_GE(disk.Index(view.model(), L"dropped.txt"), 0);
    std::vector<std::wstring> entries = ArchiveEntries(archive);
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"docs\\dropped.txt"), entries.end());

    // Rows dragged out of this window and dropped back onto it: nothing is added.
    std::wstring own = DragScratchFolder() + L"\\own.txt";
    MakeFolder(DragScratchFolder());
    WriteTextFile(own, "own");
    SendMessageW(view.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({own})), 0);
    EXPECT_EQ(ArchiveEntries(archive), entries);
    RemoveDragScratch();
}

TEST(BrowserView, ADroppedFolderIsStagedWithoutItsLinksOrTheScratchFolder) {
    DiskFolder disk;
    std::wstring archive = disk.scratch / L"set.zip";
    Window window(archive);
    CVarnixView& view = window.frame.view();
    ASSERT_NE(view.model().archive(), nullptr);
    view.ActivateRow(disk.Index(view.model(), L"docs"));

    // A link back to its own parent is not followed: said, and left out.
    {
        DialogAnswerer told(MessageBeginningWith(L"These links were not added"), PressButton(IDOK));
        view.model().commands().AddDroppedFiles({TestData(L"linkloop")});
        EXPECT_EQ(told.answered(), 1);
    }
    // A folder that holds the Temp folder, where the files are staged: the staging folder
    // is not copied into itself.
    wchar_t local[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE);
    WriteTextFile(std::wstring(local) + L"\\varnix-local.txt", "local");
    view.model().commands().AddDroppedFiles({local});
    std::vector<std::wstring> entries = ArchiveEntries(archive);
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"docs\\linkloop\\inner\\kept.txt"),
              entries.end());
    EXPECT_NE(std::find(entries.begin(), entries.end(), L"docs\\Local\\varnix-local.txt"),
              entries.end());
    for (const std::wstring& entry : entries) {
        EXPECT_EQ(entry.find(L"\\loop"), std::wstring::npos) << Narrow(entry);
        EXPECT_EQ(entry.find(L"docs\\Local", 1), std::wstring::npos) << Narrow(entry);
    }
    DeleteFileW((std::wstring(local) + L"\\varnix-local.txt").c_str());
}

TEST(BrowserView, CommandsSayWhenTheyCannotAct) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    struct {
        std::function<void()> act;
        const wchar_t* message;
    } cases[] = {
        // Nothing selected but the up row.
        {[&] {
             view.SelectRow(0);
             view.OnExtract();
         },
         L"No files selected. You need to select files this operation"},
        {[&] {
             model.commands().ExtractSelection({1, 2});
         },
         L"No files selected. You need to select files this operation"},
        {[&] {
             std::vector<int> document = {disk.Index(model, L"doc.varnixtest")};
             DialogAnswerer picker(DialogWithText(L"Please select a folder to extract to..."),
                                   PressButton(IDOK));
             model.commands().ExtractSelection(document);
         },
         L"doc.varnixtest is not valid archive file."},
        {[&] { model.commands().AddDroppedFiles({disk.scratch / L"sub"}); },
         L"Please open an archive file first."},
        {[&] {
             CopyFileW(Fixture(L"rar5-folders.rar").c_str(), (disk.scratch / L"set.rar").c_str(),
                       FALSE);
             model.BrowseFolder(disk.scratch.path());
             view.ActivateRow(disk.Index(model, L"set.rar"));
             model.commands().AddSelection({1});
         },
         L"Operation is not supported."},
    };
    for (const auto& refused : cases) {
        DialogAnswerer user(DialogWithText(refused.message), PressButton(IDOK));
        refused.act();
        EXPECT_EQ(user.answered(), 1) << Narrow(refused.message);
    }
}

TEST(BrowserView, ARefreshThatFailsLeavesTheArchivesFolderOnDisk) {
    DiskFolder disk;
    std::wstring archive = disk.scratch / L"set.zip";
    Window window(archive);
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    view.ActivateRow(disk.Index(model, L"docs"));
    // Another program spoils the archive meanwhile.
    WriteTextFile(archive, "no longer a zip");
    {
        MessageAnswers user;
        view.SelectRow(disk.Index(model, L"readme.txt"));
        view.OnDelete();
        EXPECT_TRUE(user.Saw(L"Couldn't open the file."));
    }
    EXPECT_EQ(model.archive(), nullptr);
    EXPECT_EQ(model.folder(), disk.scratch.path());
    EXPECT_GE(disk.Index(model, L"set.zip"), 0);
    EXPECT_EQ(ListView_GetItemCount(view.list()), model.rows().Count());
    EXPECT_EQ(ControlText(view.locationBar(), IDC_PATH), disk.scratch.path() + L"\\");
}

TEST(BrowserView, CancellingAnOpenSaysNothingAndStaysWhereItWas) {
    DiskFolder disk;
    CopyFileW(TestData(L"headers.7z").c_str(), (disk.scratch / L"headers.7z").c_str(), FALSE);
    CopyFileW(TestData(L"slow.tar.gz").c_str(), (disk.scratch / L"slow.tar.gz").c_str(), FALSE);
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    int rows = model.rows().Count();
    DialogAnswerer failure(MessageBeginningWith(L"Couldn't open the file."), PressButton(IDOK));
    {
        // Cancel on the progress dialog of a long listing.
        DialogAnswerer cancelProgress(DialogWithCaption(L"Open File"), PressButton(IDCANCEL));
        view.ActivateRow(disk.Index(model, L"slow.tar.gz"));
        EXPECT_EQ(cancelProgress.answered(), 1);
    }
    {
        // The password prompt declined.
        DialogAnswerer declined(DialogWithText(L"Enter password:"), PressButton(IDCANCEL));
        view.ActivateRow(disk.Index(model, L"headers.7z"));
        EXPECT_EQ(declined.answered(), 1);
    }
    EXPECT_EQ(failure.answered(), 0);
    EXPECT_EQ(model.archive(), nullptr);
    EXPECT_EQ(model.folder(), disk.scratch.path());
    EXPECT_EQ(model.rows().Count(), rows);
}

TEST(BrowserView, TestSaysWhetherEntriesAreWholeAndNamesTheDamagedOnes) {
    DiskFolder disk;
    CopyFileW(TestData(L"crc.zip").c_str(), (disk.scratch / L"crc.zip").c_str(), FALSE);
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    std::wstring damaged = L"Errors were found in crc.zip.\n\nDamaged entries:";
    for (int n = 1; n <= 20; ++n)
        damaged += L"\nbad\\" + std::wstring(n < 10 ? L"0" : L"") + std::to_wstring(n) +
                   L".txt: CRC error";
    damaged += L"\n... and 5 more";

    MessageBoxReader user;
    // On the disk, the archive row (the key Alt+T is tried end to end).
    view.SelectRow(disk.Index(model, L"crc.zip"));
    view.OnTest();
    view.SelectRow(disk.Index(model, L"set.zip"));
    view.OnTest();
    // Inside the archive: the selected entries, or, with none, all of them.
    view.ActivateRow(disk.Index(model, L"crc.zip"));
    view.SelectRow(disk.Index(model, L"sub"));
    view.OnTest();
    view.SelectRow(0);
    view.OnTest();
    EXPECT_EQ(user.Texts(),
              (std::vector<std::wstring>{damaged, L"No errors were found in set.zip.",
                                         L"No errors were found in the selected entries of "
                                         L"crc.zip.",
                                         damaged}));
    EXPECT_EQ(CountEntries(disk.scratch.path()), 5); // nothing written
}

TEST(BrowserView, RowIconsLastAsLongAsTheRowsThatShowThem) {
    DiskFolder disk;
    Window window(disk.scratch / L"set.zip");
    FolderBrowser& model = window.frame.view().model();
    ASSERT_NE(model.archive(), nullptr);
    // A refresh behind the progress dialog: the list still shows the rows it had.
    model.archive()->Refresh();
    for (int i = 0; i < model.rows().Count(); ++i) {
        ItemData row = model.rows().Get(i);
        ICONINFO info = {};
        ASSERT_NE(row.icon, nullptr) << Narrow(row.name);
        EXPECT_TRUE(GetIconInfo(row.icon, &info)) << Narrow(row.name);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

TEST(BrowserView, DrivesAreNeitherDeletedNorAddedAndRarEntriesNotDeletedAfterAQuestion) {
    // "C:" alone would be the current folder of drive C.
    ScratchFolder elsewhere;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(elsewhere.path().c_str());
    WriteTextFile(elsewhere / L"keep.txt", "keep");
    {
        Window window(elsewhere.path());
        CVarnixView& view = window.frame.view();
        FolderBrowser& model = view.model();
        model.ListDrives();
        view.RefreshView();
        int drive = 0;
        while (drive < model.rows().Count() &&
               model.rows().Get(drive).name.find(L"C:") == std::wstring::npos)
            ++drive;
        ASSERT_LT(drive, model.rows().Count());
        MessageAnswers user;
        view.SelectRow(drive);
        view.OnDelete();
        view.OnAdd();
        ASSERT_EQ(user.texts.size(), 2u);
        EXPECT_TRUE(user.Saw(L"A drive cannot be deleted"));
        EXPECT_TRUE(user.Saw(L"A drive cannot be added"));
    }
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(ReadTextFile(elsewhere / L"keep.txt"), "keep");

    // A RAR archive cannot lose entries: said before any question.
    ScratchFolder scratch;
    CopyFileW(Fixture(L"rar5-folders.rar").c_str(), (scratch / L"set.rar").c_str(), FALSE);
    Window window(scratch / L"set.rar");
    MessageAnswers user;
    window.frame.view().model().commands().DeleteSelection({1});
    ASSERT_EQ(user.texts.size(), 1u);
    EXPECT_EQ(user.texts[0], L"Operation is not supported.");
}

TEST(BrowserView, DeletingInTheArchiveAsksFirst) {
    DiskFolder disk;
    Window window(disk.scratch / L"set.zip");
    FolderBrowser& model = window.frame.view().model();
    int top = disk.Index(model, L"top.txt");
    {
        DialogAnswerer user(DialogWithText(L"Are you sure you want to delete a selected file?"),
                            PressButton(IDNO));
        EXPECT_EQ(model.commands().DeleteSelection({top}), -1);
        EXPECT_EQ(user.answered(), 1);
    }
    DialogAnswerer user(DialogWithText(L"Are you sure you want to delete selected files?"),
                        PressButton(IDYES));
    EXPECT_EQ(model.commands().DeleteSelection({top, disk.Index(model, L"director.txt")}), 0);
    EXPECT_EQ(disk.Index(model, L"top.txt"), -1);
    EXPECT_EQ(disk.Index(model, L"director.txt"), -1);
    EXPECT_GE(disk.Index(model, L"big.bin"), 0);
}

TEST(MainWindow, PlacementIsRestoredMaximisedToo) {
    DiskFolder disk;
    WINDOWPLACEMENT placement = {};
    {
        Window window(disk.scratch.path());
        SetWindowPos(window.frame.hwnd(), nullptr, 30, 40, 700, 500, SWP_NOZORDER);
        DestroyWindow(window.frame.hwnd());
        Window::Pump();
        placement = AppState.settings.placement;
        EXPECT_TRUE(AppState.settings.hasPlacement);
    }
    for (UINT show : {static_cast<UINT>(SW_SHOWNORMAL), static_cast<UINT>(SW_SHOWMAXIMIZED)}) {
        placement.showCmd = show;
        win::MessageLoop loop;
        CMainFrame frame(loop);
        ClearAppState();
        wcscpy_s(AppState.settings.lastPath, disk.scratch.path().c_str());
        AppState.settings.hasPlacement = 1;
        AppState.settings.placement = placement;
        frame.CreateFrame();
        ShowWindow(frame.hwnd(), SW_SHOWNORMAL);
        Window::Pump();
        WINDOWPLACEMENT now = {};
        now.length = sizeof now;
        GetWindowPlacement(frame.hwnd(), &now);
        EXPECT_EQ(now.rcNormalPosition.left, placement.rcNormalPosition.left);
        EXPECT_EQ(now.rcNormalPosition.right, placement.rcNormalPosition.right);
        EXPECT_EQ(IsZoomed(frame.hwnd()) != FALSE, show == SW_SHOWMAXIMIZED);
        DestroyWindow(frame.hwnd());
        Window::Pump();
    }
    AppState.mainWindow = nullptr;
}

} // namespace
