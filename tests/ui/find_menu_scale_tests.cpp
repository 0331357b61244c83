// The window's everyday tools: find in the whole archive, the row menu, the status line,
// the sort arrow, columns that fit, Add's file picker, and every display scale.
#include "browser_window.h"

#include <gtest/gtest.h>

namespace {

using namespace browser_testing;

TEST(BrowserView, ColumnsThatNearlyFitBringNoHorizontalScrollbar) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    auto resize = [&](int width) {
        SetWindowPos(window.frame.hwnd(), nullptr, 0, 0, width, 600, SWP_NOZORDER);
        Window::Pump();
    };
    // 950 pixels of columns in a window of 960: the last column gives up the few missing.
    resize(960);
    view.ActivateRow(disk.Index(view.model(), L"set.zip"));
    RECT client = {};
    GetClientRect(view.list(), &client);
    int sum = 0;
    for (int column = 0; column < 5; ++column)
        sum += window.ColumnWidth(column);
    EXPECT_LE(sum, client.right);
    EXPECT_FALSE(GetWindowLongW(view.list(), GWL_STYLE) & WS_HSCROLL);
    EXPECT_LT(window.ColumnWidth(4), 150);
    EXPECT_GE(window.ColumnWidth(4), 100);
    // With room, it has its width again; and that is the width kept.
    resize(1200);
    EXPECT_EQ(window.ColumnWidth(4), 150);
    resize(960);
    view.SaveColumnWidths();
    EXPECT_EQ(AppState.settings.columnWidths[4], 150);
    // Far too narrow, it stays wide enough for its texts, and the list scrolls.
    resize(500);
    EXPECT_EQ(window.ColumnWidth(4), 100);
}

// Add inside an archive asks for files, several at once, and puts them into the folder
// shown, as a drop does.
TEST(BrowserView, AddInsideAnArchivePutsThePickedFilesIntoTheFolderShown) {
    DiskFolder disk;
    WriteTextFile(disk.scratch / L"one.txt", "one");
    WriteTextFile(disk.scratch / L"two.txt", "two");
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    view.ActivateRow(disk.Index(model, L"set.zip"));
    view.ActivateRow(disk.Index(model, L"docs"));
    DialogAnswerer picker(DialogWithCaption(L"Add Files to the Archive"), [](HWND dialog) {
        SetDlgItemTextW(dialog, edt1, L"\"one.txt\" \"two.txt\"");
        SetDlgItemTextW(dialog, cmb13, L"\"one.txt\" \"two.txt\"");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    view.OnAdd();
    EXPECT_EQ(picker.answered(), 1);
    EXPECT_EQ(model.archive()->subPath, "docs");
    EXPECT_GE(disk.Index(model, L"one.txt"), 0);
    EXPECT_GE(disk.Index(model, L"two.txt"), 0);
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(disk.scratch / L"set.zip", ArchiveKindZip, contents), 0);
    int found = 0;
    for (const DirItem& item : contents.items)
        found += item.path == L"docs\\one.txt" || item.path == L"docs\\two.txt";
    EXPECT_EQ(found, 2);
}

TEST(BrowserView, TheSortedColumnShowsItsArrowUpOrDown) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    HWND header = ListView_GetHeader(view.list());
    auto arrow = [&](int column) {
        HDITEMW item = {};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, column, &item);
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    };
    auto click = [&](int column) {
        NMLISTVIEW click = {};
        click.hdr.hwndFrom = view.list();
        click.hdr.idFrom = IDC_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iSubItem = column;
        SendMessageW(view.hwnd(), WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    };
    EXPECT_EQ(arrow(0), HDF_SORTUP);
    click(1);
    EXPECT_EQ(arrow(1), HDF_SORTUP);
    EXPECT_EQ(arrow(0), 0);
    click(1);
    EXPECT_EQ(arrow(1), HDF_SORTDOWN);
}

// The status line says what the list holds and what is selected, after every move and
// every change of the selection.
TEST(BrowserView, TheStatusLineCountsTheRowsAndTheSelection) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    auto status = [&] { return window.Status(0); };
    auto select = [&](const std::wstring& name) {
        ListView_SetItemState(view.list(), disk.Index(model, name), LVIS_SELECTED, LVIS_SELECTED);
    };
    // sub, then set.zip, broken.zip and doc.varnixtest; the up row is selected at first.
    EXPECT_EQ(status(), L"1 folder, 3 files");
    select(L"doc.varnixtest");
    EXPECT_EQ(status(), L"1 folder, 3 files; 1 selected, 10 bytes");
    select(L"sub");
    EXPECT_EQ(status(), L"1 folder, 3 files; 2 selected, 10 bytes");
    view.SelectAllRows();
    WIN32_FILE_ATTRIBUTE_DATA zip = {};
    GetFileAttributesExW((disk.scratch / L"set.zip").c_str(), GetFileExInfoStandard, &zip);
    uint64_t all = 10 + 9 + zip.nFileSizeLow;
    EXPECT_EQ(status(),
              L"1 folder, 3 files; 4 selected, " + GroupDigits(std::to_wstring(all)) + L" bytes");
    ListView_SetItemState(view.list(), disk.Index(model, L"broken.zip"), 0, LVIS_SELECTED);
    EXPECT_EQ(status(), L"1 folder, 3 files; 3 selected, " + GroupDigits(std::to_wstring(all - 9)) +
                            L" bytes");

    // In an archive: its root holds five folders and three files; the second part says
    // what the archive is.
    view.ActivateRow(disk.Index(model, L"set.zip"));
    EXPECT_EQ(status(), L"5 folders, 3 files");
    EXPECT_EQ(window.Status(1), L"ZIP archive");
    select(L"top.txt");
    EXPECT_EQ(status(), L"5 folders, 3 files; 1 selected, 9 bytes");
}

TEST(BrowserView, FindShowsTheWholeArchiveByPathActsOnFoundRowsAndEscComesBack) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    auto status = [&] { return window.Status(0); };
    // On the disk it filters the folder shown, without the up row.
    view.FindText(L"ZIP");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"broken.zip", L"set.zip"}));
    view.EndFind();

    view.ActivateRow(disk.Index(model, L"set.zip"));
    ListView_SetItemState(view.list(), disk.Index(model, L"top.txt"), LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(view.list(), disk.Index(model, L"docs"), LVIS_SELECTED, LVIS_SELECTED);
    const std::vector<std::wstring> root = Names(model);

    // Every folder's entries, letter case aside, named by their paths in the order of the
    // paths; a longer text narrows them.
    view.FocusFindBox();
    view.FindText(L"TXT");
    EXPECT_EQ(Names(model),
              (std::vector<std::wstring>{L"dir\\a.txt", L"dir2\\b.txt", L"director.txt",
                                         L"docs\\deep\\deeper\\note.txt", L"docs\\readme.txt",
                                         L"top.txt", L"\u00fcber\\\u1e0bat\u00e8i.txt"}));
    EXPECT_EQ(status(), L"0 folders, 7 files");
    view.FindText(L"TXT\u00e8");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{}));
    view.FindText(L"\u00c8I");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"\u00fcber\\\u1e0bat\u00e8i.txt"}));

    // Deleted from their own folders; the find is run again on what is left.
    view.FindText(L"a");
    std::vector<std::wstring> found = Names(model);
    EXPECT_EQ(found, (std::vector<std::wstring>{L"dir\\a.txt", L"docs\\readme.txt",
                                                L"\u00fcber\\\u1e0bat\u00e8i.txt"}));
    ListView_SetItemState(view.list(), 0, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(view.list(), 1, LVIS_SELECTED, LVIS_SELECTED);
    {
        DialogAnswerer user(DialogWithText(L"Are you sure you want to delete selected files?"),
                            PressButton(IDYES));
        view.OnDelete();
        EXPECT_EQ(user.answered(), 1);
    }
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"\u00fcber\\\u1e0bat\u00e8i.txt"}));
    EXPECT_TRUE(model.finder().IsActive());
    // Esc then comes back to the place with its selection from before the find, not with
    // rows at the places of the found ones.
    view.EndFind();
    std::vector<std::wstring> selected;
    for (int row = ListView_GetNextItem(view.list(), -1, LVNI_SELECTED); row != -1;
         row = ListView_GetNextItem(view.list(), row, LVNI_SELECTED))
        selected.push_back(model.rows().Name(row));
    EXPECT_EQ(selected, (std::vector<std::wstring>{L"docs", L"top.txt"}));

    // A found folder is entered, and the find ends there.
    view.FindText(L"deep");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"docs\\deep", L"docs\\deep\\deeper"}));
    view.ActivateRow(1);
    EXPECT_FALSE(model.finder().IsActive());
    EXPECT_EQ(model.GetCurrentPath(), disk.scratch / L"set.zip\\docs\\deep\\deeper");
    EXPECT_EQ(GetWindowTextLengthW(view.findBox()), 0);

    // Esc comes back to the place shown before, with its selection.
    view.GoUp();
    view.GoUp();
    view.GoUp();
    view.SelectRow(disk.Index(model, L"big.bin"));
    view.FindText(L"o");
    EXPECT_TRUE(model.rows().SortByColumn(1)); // sorted otherwise meanwhile
    view.EndFind();
    EXPECT_EQ(model.GetCurrentPath(), disk.scratch / L"set.zip");
    EXPECT_EQ(ListView_GetSelectedCount(view.list()), 1u);
    EXPECT_EQ(ListView_GetNextItem(view.list(), -1, LVNI_SELECTED), disk.Index(model, L"big.bin"));
}

// A menu's items as "text" for an enabled one and "(text)" for a greyed one, the default
// one marked "*", separators as "-".
std::vector<std::wstring> MenuItems(HMENU menu) {
    std::vector<std::wstring> items;
    std::wstring keys;
    UINT standard = GetMenuDefaultItem(menu, FALSE, 0);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            items.push_back(L"-");
            continue;
        }
        std::wstring item = text;
        item = item.substr(0, item.find(L'\t'));
        // Each item of a menu has its own access key: a second one would take the key away.
        size_t amp = item.find(L'&');
        if (amp != std::wstring::npos && amp + 1 < item.size() && item[amp + 1] != L'&') {
            wchar_t key = static_cast<wchar_t>(towlower(item[amp + 1]));
            EXPECT_EQ(keys.find(key), std::wstring::npos) << "access key taken twice: " << Narrow(item);
            keys += key;
        }
        if (info.fState & MFS_GRAYED)
            item = L"(" + item + L")";
        if (info.wID == standard)
            item += L"*";
        items.push_back(item);
    }
    DestroyMenu(menu);
    return items;
}

TEST(BrowserView, EachKindOfRowHasItsMenuWithWhatCannotActGreyed) {
    DiskFolder disk;
    CopyFileW(TestData(L"formats\\kit.iso").c_str(), (disk.scratch / L"kit.iso").c_str(), FALSE);
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    const int zip = disk.Index(model, L"set.zip");
    const int doc = disk.Index(model, L"doc.varnixtest");
    const int sub = disk.Index(model, L"sub");

    using Items = std::vector<std::wstring>;
    // The one-click adds name what they will make: "set.zip" is taken.
    EXPECT_EQ(MenuItems(view.MakeRowMenu(zip, {zip})),
              (Items{L"&Open", L"Open in the &window*", L"-", L"Extract &Here",
                     L"Extract to &Folder", L"E&xtract files...", L"&Test", L"-",
                     L"&Add to archive...", L"Add to \"set.&7z\"", L"Add to \"set (2).&zip\"",
                     L"&Delete", L"Rena&me", L"&New folder", L"-", L"C&ut", L"&Copy",
                     L"Pa&ste", L"Copy &path"}));
    // Several rows: named after their folder.
    const std::wstring folder = FileNamePart(disk.scratch.path());
    const Items quickForBoth{L"Add to \"" + folder + L".&7z\"", L"Add to \"" + folder + L".&zip\""};
    // Two archives: each is extracted here or to its folder, but one at a time otherwise.
    const int iso = disk.Index(model, L"kit.iso");
    EXPECT_EQ(MenuItems(view.MakeRowMenu(zip, {zip, iso})),
              (Items{L"&Open", L"Open in the &window*", L"-", L"Extract &Here",
                     L"Extract to &Folder", L"(E&xtract files...)", L"(&Test)", L"-",
                     L"&Add to archive...", quickForBoth[0], quickForBoth[1], L"&Delete",
                     L"(Rena&me)", L"&New folder", L"-", L"C&ut", L"&Copy",
                     L"Pa&ste", L"Copy &path"}));
    // An archive with a document: the archive commands cannot act.
    EXPECT_EQ(MenuItems(view.MakeRowMenu(zip, {zip, doc})),
              (Items{L"&Open", L"Open in the &window*", L"-", L"(Extract &Here)",
                     L"(Extract to &Folder)", L"(E&xtract files...)", L"(&Test)", L"-",
                     L"&Add to archive...", quickForBoth[0], quickForBoth[1], L"&Delete",
                     L"(Rena&me)", L"&New folder", L"-", L"C&ut", L"&Copy",
                     L"Pa&ste", L"Copy &path"}));
    EXPECT_EQ(MenuItems(view.MakeRowMenu(sub, {sub})),
              (Items{L"&Open*", L"-", L"&Add to archive...", L"Add to \"sub.&7z\"",
                     L"Add to \"sub.&zip\"", L"&Delete", L"Rena&me", L"&New folder", L"-",
                     L"C&ut", L"&Copy", L"Pa&ste", L"Copy &path"}));
    EXPECT_EQ(MenuItems(view.MakeRowMenu(0, {})),
              (Items{L"&Open*", L"-", L"(&Add to archive...)", L"(Add to \"name.&7z\")",
                     L"(Add to \"name.&zip\")", L"(&Delete)", L"(Rena&me)", L"&New folder", L"-",
                     L"(C&ut)", L"(&Copy)", L"Pa&ste", L"(Copy &path)"}));

    // Extract Here puts the archive's entries beside it.
    view.SelectRow(zip);
    view.RunRowCommand(ID_EXTRACT_HERE, zip);
    EXPECT_EQ(ReadTextFile(disk.scratch / L"docs\\readme.txt"), "read me\r\n");
    EXPECT_GE(disk.Index(model, L"docs"), 0);

    // Copy path puts the selected rows' paths on the clipboard, one a line.
    view.ActivateRow(disk.Index(model, L"set.zip"));
    const int top = disk.Index(model, L"top.txt");
    const int docs = disk.Index(model, L"docs");
    EXPECT_EQ(MenuItems(view.MakeRowMenu(top, {top})),
              (Items{L"&Open*", L"-", L"&Extract...", L"&Test", L"&Delete", L"Rena&me",
                     L"&New folder", L"-", L"&Copy", L"Pa&ste", L"Copy &path"}));
    view.SelectRow(docs);
    ListView_SetItemState(view.list(), top, LVIS_SELECTED, LVIS_SELECTED);
    view.RunRowCommand(ID_COPY_PATH, top);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE text = GetClipboardData(CF_UNICODETEXT);
    std::wstring copied = text ? static_cast<const wchar_t*>(GlobalLock(text)) : L"";
    if (text)
        GlobalUnlock(text);
    CloseClipboard();
    EXPECT_EQ(copied,
              (disk.scratch / L"set.zip\\docs") + L"\r\n" + (disk.scratch / L"set.zip\\top.txt"));

    // An archive that cannot be changed: Delete, Rename and New folder are greyed.
    view.ActivateRow(0);
    view.ActivateRow(disk.Index(model, L"kit.iso"));
    EXPECT_EQ(MenuItems(view.MakeRowMenu(1, {1})),
              (Items{L"&Open*", L"-", L"&Extract...", L"&Test", L"(&Delete)", L"(Rena&me)",
                     L"(&New folder)", L"-", L"&Copy", L"(Pa&ste)", L"Copy &path"}));
}

// The width of an icon's image, in pixels.
int IconWidth(HICON icon) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

TEST(MainWindow, ADisplayOfAnotherScaleLaysTheWindowOutInProportion) {
    DiskFolder disk;
    // A program: its icon is its own, not its kind's.
    CopyFileW((ProgramFolder() + L"\\fake_tool.exe").c_str(), (disk.scratch / L"tool.exe").c_str(),
              FALSE);
    Window window(disk.scratch.path());
    HWND frame = window.frame.hwnd();
    CVarnixView& view = window.frame.view();
    ListView_SetColumnWidth(view.list(), 2, 222); // sized by the user at 100 %
    const int rowHeight = view.itemHeight();
    auto shownRowHeight = [&] {
        RECT row = {};
        ListView_GetItemRect(view.list(), 0, &row, LVIR_BOUNDS);
        return static_cast<int>(row.bottom - row.top);
    };
    auto below = [](HWND upper, HWND lower) {
        RECT a, b;
        GetWindowRect(upper, &a);
        GetWindowRect(lower, &b);
        return b.top >= a.bottom;
    };
    ASSERT_EQ(view.dpi(), 96);
    ASSERT_EQ(shownRowHeight(), rowHeight);
    ASSERT_GE(SendMessageW(view.locationBar(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0),
              rowHeight);

    // WM_DPICHANGED as Windows sends it when the window moves to a 150 % or 200 % display,
    // then back to 100 %.
    for (int dpi : {192, 144, 96}) {
        SCOPED_TRACE(dpi);
        RECT suggested = {10, 20, 10 + 4 * dpi, 20 + 3 * dpi};
        SendMessageW(frame, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        Window::Pump();
        RECT now;
        GetWindowRect(frame, &now);
        EXPECT_TRUE(EqualRect(&now, &suggested));

        DWORD button =
            static_cast<DWORD>(SendMessageW(window.frame.toolbar(), TB_GETBUTTONSIZE, 0, 0));
        EXPECT_EQ(LOWORD(button), 56 * dpi / 96);
        EXPECT_EQ(HIWORD(button), 56 * dpi / 96);
        int imageWidth = 0, imageHeight = 0;
        auto images = reinterpret_cast<HIMAGELIST>(
            SendMessageW(window.frame.toolbar(), TB_GETIMAGELIST, 0, 0));
        ImageList_GetIconSize(images, &imageWidth, &imageHeight);
        EXPECT_EQ(imageWidth, 32 * dpi / 96); // drawn at that size, not stretched
        EXPECT_TRUE(below(window.frame.toolbar(), view.hwnd())); // the rebar grew with it

        // The rows: text of the new scale, measured again by the list itself.
        EXPECT_EQ(view.dpi(), dpi);
        EXPECT_NEAR(view.itemHeight(), rowHeight * dpi / 96, 2);
        EXPECT_EQ(shownRowHeight(), view.itemHeight());
        // The places in the list, and the field, which has room for the icon.
        EXPECT_EQ(SendMessageW(view.locationBar(), CB_GETITEMHEIGHT, 0, 0), view.itemHeight());
        EXPECT_GE(SendMessageW(view.locationBar(), CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0),
                  view.itemHeight());
        EXPECT_TRUE(below(view.locationBar(), view.list()));
        EXPECT_EQ(window.ColumnWidth(0), 350 * dpi / 96);
        EXPECT_EQ(window.ColumnWidth(2), 222 * dpi / 96);
        view.SaveColumnWidths(); // kept at 100 %, whatever the scale
        EXPECT_EQ(AppState.settings.columnWidths[0], 350);
        EXPECT_EQ(AppState.settings.columnWidths[2], 222);

        // Row icons are the shell's, at a size that needs no stretching up.
        int iconSize = 16 * dpi / 96;
        for (const wchar_t* name : {L"sub", L"tool.exe"}) {
            SCOPED_TRACE(name);
            int drawn =
                IconWidth(view.model().rows().Icon(disk.Index(view.model(), name), iconSize));
            EXPECT_GE(drawn, iconSize);
            EXPECT_LE(drawn, 2 * iconSize);
        }
        // The places too, the fixed ones among them (Desktop, the computer, the drives).
        for (int i = 0; i < view.model().locations().Count(); ++i)
            EXPECT_GE(IconWidth(view.model().locations().Icon(i, iconSize)), iconSize) << i;
    }
    EXPECT_EQ(view.itemHeight(), rowHeight); // back to 100 %: the same font as at the start

    // Between the sizes drawn, the nearest set: 125 % has the 32-pixel images, 250 % the 64.
    for (int dpi : {120, 240}) {
        SendMessageW(frame, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0);
        int imageWidth = 0, imageHeight = 0;
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(
                                  SendMessageW(window.frame.toolbar(), TB_GETIMAGELIST, 0, 0)),
                              &imageWidth, &imageHeight);
        EXPECT_EQ(imageWidth, dpi == 120 ? 32 : 64);
        EXPECT_EQ(window.ColumnWidth(0), MulDiv(350, dpi, 96)); // to the nearest pixel
    }
}

} // namespace
