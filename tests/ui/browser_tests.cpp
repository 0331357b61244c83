// The browser: its model's rows, sorting, activation and locations, and the real window
// (frame and view) made in this process.
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

namespace {

using namespace testing_support;

std::vector<std::wstring> Names(const FolderBrowser& model) {
    std::vector<std::wstring> names;
    for (int i = 0; i < model.GetItemCount(); ++i)
        names.push_back(model.GetItemName(i));
    return names;
}

ItemData Row(const std::wstring& name, bool folder = false, const std::wstring& size = L"",
             DWORD time = 0) {
    ItemData row;
    row.name = name;
    row.attributes = folder ? FILE_ATTRIBUTE_DIRECTORY : 0;
    row.size = size;
    row.packedSize = size;
    row.modified.dwLowDateTime = time;
    // A text that would sort the other way round: the stored time decides.
    row.modifiedText = std::to_wstring(1000 - time);
    return row;
}

TEST(Sorting, TheUpRowThenFoldersThenFilesByTheKey) {
    FolderBrowser model;
    model.items = {Row(L"b.txt", false, L"1,000", 3), Row(L"zeta", true, L"", 1),
                   Row(L"..", false, L"", 9),         Row(L"A.txt", false, L"9", 2),
                   Row(L"c.txt", false, L"", 4),      Row(L"d.txt", false, L"10", 1),
                   Row(L"alpha", true, L"", 2)};
    model.SortItems(); // by name, ascending, whatever the letter case
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"alpha", L"zeta", L"A.txt", L"b.txt",
                                                       L"c.txt", L"d.txt"}));

    // Sizes by value: empty < 9 < 10 < 1,000. A second click reverses, the rules stay.
    EXPECT_TRUE(model.SortByColumn(1));
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"alpha", L"zeta", L"c.txt", L"A.txt",
                                                       L"d.txt", L"b.txt"}));
    EXPECT_TRUE(model.SortByColumn(1));
    EXPECT_EQ(model.sortOrder, 2);
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"alpha", L"zeta", L"b.txt", L"d.txt",
                                                       L"A.txt", L"c.txt"}));

    // Another column sorts ascending again; Modified goes by the stored time, not the text.
    EXPECT_TRUE(model.SortByColumn(3));
    EXPECT_EQ(model.sortOrder, 1);
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"zeta", L"alpha", L"d.txt", L"A.txt",
                                                       L"b.txt", L"c.txt"}));

    // The Type column has no order of its own.
    EXPECT_FALSE(model.IsSortable(2));
    EXPECT_FALSE(model.SortByColumn(2));
    EXPECT_EQ(model.sortColumn, 3);
    EXPECT_FALSE(model.IsSortable(4));
    EXPECT_FALSE(model.IsSortable(-1));
}

TEST(Sorting, ColumnsFollowTheModeAndALeftoverColumnSortsByName) {
    FolderBrowser model;
    std::vector<std::wstring> head;
    EXPECT_EQ(model.GetHead(head), 4);
    model.archiver = GetArchiver(); // archive mode, without an archive
    EXPECT_EQ(model.GetHead(head), 5);
    EXPECT_EQ(head, (std::vector<std::wstring>{L"Name", L"Size", L"Packed", L"Type", L"Modified"}));
    EXPECT_TRUE(model.IsSortable(2));  // Packed
    EXPECT_FALSE(model.IsSortable(3)); // Type
    model.items = {Row(L"x", false, L"10"), Row(L"y", false, L"9")};
    UINT flag = 0;
    EXPECT_EQ(model.GetItemText(0, 2, flag), L"10");
    EXPECT_EQ(flag, static_cast<UINT>(DT_RIGHT));
    EXPECT_TRUE(model.SortByColumn(4)); // Modified, position 4
    model.archiver = nullptr;
    ReleaseArchiver();

    // Back in disk mode, position 4 is beyond the columns: the rows sort by name.
    model.items = {Row(L"b"), Row(L"a"), Row(L"..")};
    model.SortItems();
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"a", L"b"}));
    flag = 0;
    EXPECT_EQ(model.GetItemText(0, 7, flag), L"");
    EXPECT_EQ(model.GetItem(99).name, L"");
    EXPECT_EQ(model.GetItemIcon(-1), nullptr);
}

TEST(Sorting, NamesOrderAsLstrcmpiOrdersThem) {
    // Plain names take a shortcut past the locale; names with any other character do not.
    // Both must give lstrcmpiW's order.
    for (const wchar_t* alphabet : {L"aAbB.09zZ", L"aA.1 _-'\u00e4\u00c4\u0430\u6587~!"}) {
        std::wstring letters = alphabet;
        FolderBrowser model;
        uint32_t state = 12345;
        for (int i = 0; i < 3000; ++i) {
            std::wstring name;
            int length = 1 + static_cast<int>(state % 6);
            for (int j = 0; j < length; ++j) {
                state = state * 1103515245u + 12345u;
                name += letters[(state >> 16) % letters.size()];
            }
            if (name != L"..") // the up row has a place of its own
                model.items.push_back(Row(name));
        }
        model.SortItems();
        for (size_t i = 1; i < model.items.size(); ++i)
            ASSERT_LE(lstrcmpiW(model.items[i - 1].name.c_str(), model.items[i].name.c_str()), 0)
                << Narrow(model.items[i - 1].name) << " before " << Narrow(model.items[i].name);
    }
}

TEST(Sorting, NumberTextsOrderByValueAndSizesAreGrouped) {
    EXPECT_LT(CompareNumberText(L"", L"9"), 0);
    EXPECT_LT(CompareNumberText(L"9", L"10"), 0);
    EXPECT_LT(CompareNumberText(L"999", L"1,000"), 0);
    EXPECT_GT(CompareNumberText(L"2,000", L"1,999"), 0);
    EXPECT_EQ(CompareNumberText(L"12", L"12"), 0);
    EXPECT_EQ(FormatSize(0, 0), L"");
    EXPECT_EQ(FormatSize(0, 1000000), L"1,000,000");
    EXPECT_EQ(FormatSize(1, 0), L"4,294,967,296");
}

TEST(Sorting, EntriesOfMoreThanFourGibibytesShowAndSortByTheirValue) {
    FolderBrowser model;
    ASSERT_TRUE(model.OpenArchive(TestData(L"huge.zip")));
    auto find = [&](const std::wstring& name) {
        for (int i = 0; i < model.GetItemCount(); ++i) {
            if (model.GetItemName(i) == name)
                return model.GetItem(i);
        }
        return ItemData();
    };
    EXPECT_EQ(find(L"five-gib.bin").size, L"5,368,709,121");
    EXPECT_EQ(find(L"five-gib.bin").packedSize, L"5,368,709,121");
    EXPECT_EQ(find(L"four-gib.bin").size, L"4,294,967,296");

    const std::vector<std::wstring> bySize{L"..", L"small.txt", L"three-gib.bin", L"four-gib.bin",
                                           L"five-gib.bin"};
    EXPECT_TRUE(model.SortByColumn(1)); // Size
    EXPECT_EQ(Names(model), bySize);
    EXPECT_TRUE(model.SortByColumn(2)); // Packed
    EXPECT_EQ(Names(model), bySize);
    EXPECT_TRUE(model.SortByColumn(2));
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"five-gib.bin", L"four-gib.bin",
                                                       L"three-gib.bin", L"small.txt"}));
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

// A kind no program has claimed is named as Windows names it, the same on the disk and in
// an archive.
TEST(Activation, AKindNobodyClaimedIsNamedAsWindowsNamesItEverywhere) {
    DiskFolder disk;
    WriteTextFile(disk.scratch / L"disk.bin", "on disk");
    FolderBrowser model;
    model.BrowseFolder(disk.scratch.path());
    UINT flag = 0;
    EXPECT_EQ(model.GetItemText(disk.Index(model, L"disk.bin"), 2, flag), L"BIN File");
    ASSERT_TRUE(model.OpenArchive(TestData(L"huge.zip")));
    for (int i = 0; i < model.GetItemCount(); ++i) {
        if (model.GetItemName(i) == L"three-gib.bin") {
            EXPECT_EQ(model.GetItemText(i, 3, flag), L"BIN File");
        }
    }
    EXPECT_EQ(TypeNameOf(L".gz", L"gz file"), L"GZ File");
    EXPECT_EQ(TypeNameOf(L".gz", L""), L"GZ File");
    EXPECT_EQ(TypeNameOf(L".txt", L"Text Document"), L"Text Document");
    EXPECT_EQ(TypeNameOf(L"", L"File"), L"File");
}

TEST(Activation, FoldersArchivesAndOtherFiles) {
    DiskFolder disk;
    TestDocumentType documents;
    FolderBrowser model;
    model.BrowseFolder(disk.scratch.path());
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"sub", L"broken.zip",
                                                       L"doc.varnixtest", L"set.zip"}));
    EXPECT_EQ(model.folder, disk.scratch.path());

    // A folder is entered.
    EXPECT_EQ(model.ActivateItem(disk.Index(model, L"sub")), 2);
    EXPECT_EQ(model.folder, disk.scratch / L"sub");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"inner.txt"}));
    EXPECT_GT(model.ActivateItem(0), 0); // the up row
    EXPECT_EQ(model.folder, disk.scratch.path());

    // Any other file is handed to its program; the list stays as it was.
    EXPECT_EQ(model.ActivateItem(disk.Index(model, L"doc.varnixtest")), 0);
    EXPECT_TRUE(WaitUntil([&] { return FileExists(disk.scratch / L"doc.varnixtest.opened"); }));
    EXPECT_EQ(model.GetItemCount(), 5);
    EXPECT_EQ(model.ActivateItem(-1), 0);
    EXPECT_EQ(model.ActivateItem(99), 0);

    // An archive that cannot be opened: said, and the disk folder stays.
    {
        DialogAnswerer user(DialogWithText(L"Couldn't open the file."), PressButton(IDOK));
        EXPECT_EQ(model.ActivateItem(disk.Index(model, L"broken.zip")), 0);
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(model.archiver, nullptr);
        EXPECT_EQ(model.GetItemCount(), 5); // the rows as they were
    }

    // An archive opens in archive mode; its root's up row leads back out.
    EXPECT_EQ(model.ActivateItem(disk.Index(model, L"set.zip")), 1);
    ASSERT_NE(model.archiver, nullptr);
    std::vector<std::wstring> head;
    EXPECT_EQ(model.GetHead(head), 5);
    EXPECT_EQ(model.GetItem(0).name, L"..");
    EXPECT_GT(model.ActivateItem(disk.Index(model, L"docs")), 0);
    EXPECT_EQ(model.archiver->subPath, "docs");
    model.ActivateItem(0);
    EXPECT_EQ(model.archiver->subPath, "");
    model.ActivateItem(0);
    EXPECT_EQ(model.archiver, nullptr);
    EXPECT_EQ(model.folder, disk.scratch.path());
}

TEST(Activation, EveryKindOfArchiveOpensAndDocumentsGoToTheirProgram) {
    ScratchFolder scratch;
    for (const wchar_t* name : {L"kit.tgz", L"kit.iso", L"kit.cab"})
        CopyFileW(TestData(std::wstring(L"formats\\") + name).c_str(), (scratch / name).c_str(),
                  FALSE);
    // A document that is a ZIP inside: its own program opens it.
    CopyFileW(TestData(L"nested.zip").c_str(), (scratch / L"report.varnixtest").c_str(), FALSE);
    TestDocumentType documents;
    FolderBrowser model;
    for (const wchar_t* name : {L"kit.tgz", L"kit.iso", L"kit.cab"}) {
        model.BrowseFolder(scratch.path());
        int row = -1;
        for (int i = 0; i < model.GetItemCount(); ++i) {
            if (model.GetItem(i).path == scratch / name)
                row = i;
        }
        EXPECT_EQ(model.ActivateItem(row), 1) << Narrow(name);
        ASSERT_NE(model.archiver, nullptr);
        EXPECT_EQ(model.GetItem(1).name, L"kit") << Narrow(name);
        model.CloseArchive();
    }
    model.BrowseFolder(scratch.path());
    for (int i = 0; i < model.GetItemCount(); ++i) {
        if (model.GetItem(i).path == scratch / L"report.varnixtest") {
            EXPECT_EQ(model.ActivateItem(i), 0);
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return FileExists(scratch / L"report.varnixtest.opened"); }));
    EXPECT_EQ(model.archiver, nullptr);

    // A set with a volume missing: said, by name.
    DialogAnswerer told(
        MessageBeginningWith(L"The volume \"split7z.7z.003\" of this set is missing"),
        PressButton(IDOK));
    EXPECT_FALSE(model.OpenArchive(TestData(L"volumes\\gaps\\split7z.7z.002")));
    EXPECT_EQ(told.answered(), 1);
}

TEST(Locations, PathSegmentsThenTheFixedPlaces) {
    FolderBrowser model;
    EXPECT_EQ(model.current, -1); // nothing shown yet
    model.BuildDevices();
    ASSERT_GE(model.devices.size(), 4u);
    EXPECT_EQ(model.devices[0]->level, 0); // Desktop
    EXPECT_EQ(model.devices[1]->level, 1); // Documents
    EXPECT_EQ(model.devices[2]->path, L"Computer");
    EXPECT_EQ(model.devices[2]->level, 1);
    for (size_t i = 3; i < model.devices.size(); ++i)
        EXPECT_EQ(model.devices[i]->level, 2);
    EXPECT_EQ(model.devices[0]->path.back(), L'\\');

    MakeFolder(L"C:\\Users\\me");
    EXPECT_EQ(model.BuildPathItems(L"C:\\Users\\me"), 3);
    ASSERT_EQ(model.pathItems.size(), 3u);
    const wchar_t* names[] = {L"C:", L"Users", L"me"};
    const wchar_t* paths[] = {L"C:\\", L"C:\\Users\\", L"C:\\Users\\me\\"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model.GetLocationName(i), names[i]);
        EXPECT_EQ(model.GetLocationPath(i), paths[i]);
        EXPECT_EQ(model.GetLocation(i)->level, i);
    }
    EXPECT_EQ(model.current, 2);
    EXPECT_EQ(model.GetCurrentPath(), L"C:\\Users\\me\\");
    // Folders share one icon: a long session does not gather one per folder visited.
    MakeFolder(L"C:\\Users\\you");
    HICON mine = model.GetLocation(2)->icon;
    model.ClearItems();
    model.BuildPathItems(L"C:\\Users\\you");
    EXPECT_NE(mine, nullptr);
    EXPECT_EQ(model.GetLocation(2)->icon, mine);
    RemoveDirectoryW(L"C:\\Users\\you");
    EXPECT_EQ(model.GetLocationCount(), static_cast<int>(3 + model.devices.size()));
    EXPECT_EQ(model.GetLocation(3), model.devices[0].get());
    EXPECT_EQ(model.GetLocation(-1), nullptr);
    EXPECT_EQ(model.GetLocationName(99), L"");

    // Clearing the rows takes the segments away; the current entry moves with them.
    model.ClearItems();
    EXPECT_TRUE(model.pathItems.empty());
    EXPECT_EQ(model.current, 0);
    model.BuildPathItems(L"C:\\Users\\me");
    model.current = 5; // the computer's entry, behind three segments
    model.ClearItems();
    EXPECT_EQ(model.current, 2);
    EXPECT_EQ(model.GetCurrentPath(), L"Computer");
    RemoveDirectoryW(L"C:\\Users\\me");
}

TEST(Locations, AnArchivesPathGoesOnInsideIt) {
    DiskFolder disk;
    FolderBrowser model;
    model.BuildDevices();
    std::wstring archive = disk.scratch / L"set.zip";
    ASSERT_TRUE(model.OpenArchive(archive));
    model.GoToArchivePath(archive + L"\\docs\\deep");
    EXPECT_EQ(model.archiver->subPath, "docs\\deep");
    int segments = static_cast<int>(model.pathItems.size());
    EXPECT_EQ(model.GetLocationName(segments - 3), L"set.zip");
    EXPECT_EQ(model.GetLocationPath(segments - 3), archive); // a file: no backslash
    EXPECT_EQ(model.GetLocationPath(segments - 1), archive + L"\\docs\\deep");
    // Folders inside the archive, which the shell does not know, show the folder icon.
    for (int i = 0; i < segments; ++i)
        EXPECT_NE(model.GetLocation(i)->icon, nullptr) << Narrow(model.GetLocationName(i));
    EXPECT_EQ(model.GetCurrentPath(), archive + L"\\docs\\deep");

    // Entries inside the archive keep it open.
    EXPECT_TRUE(model.SelectLocation(segments - 2));
    EXPECT_EQ(model.archiver->subPath, "docs");
    int root = static_cast<int>(model.pathItems.size()) - 2;
    EXPECT_TRUE(model.SelectLocation(root));
    EXPECT_EQ(model.archiver->subPath, "");
    EXPECT_EQ(model.GetCurrentPath(), archive);

    // One outside closes it and lists that folder.
    int outside = static_cast<int>(model.pathItems.size()) - 2;
    EXPECT_TRUE(model.SelectLocation(outside));
    EXPECT_EQ(model.archiver, nullptr);
    EXPECT_EQ(model.folder, model.GetCurrentPath());
    EXPECT_EQ(model.folder, disk.scratch.path() + L"\\");

    // The computer's entry lists the drives, whatever the shell calls it.
    int computer = -1;
    for (int i = 0; i < model.GetLocationCount(); ++i) {
        if (model.GetLocationPath(i) == L"Computer")
            computer = i;
    }
    ASSERT_GE(computer, 0);
    EXPECT_TRUE(model.SelectLocation(computer));
    EXPECT_TRUE(model.pathItems.empty());
    EXPECT_EQ(model.GetCurrentPath(), L"Computer");
    EXPECT_EQ(model.GetItemCount(), __builtin_popcount(GetLogicalDrives()));
    // A place that is neither a folder nor the computer changes nothing.
    EXPECT_FALSE(model.OpenLocation(0, L"Q:\\nowhere"));
}

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
    EXPECT_EQ(model.folder, disk.scratch.path());
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
    EXPECT_EQ(model.folder, disk.scratch / L"sub");
    EXPECT_EQ(ListView_GetNextItem(view.list(), -1, LVNI_SELECTED), 0);
    // Backspace goes up, as the up row does.
    MSG back = {view.list(), WM_KEYDOWN, VK_BACK, 0, 0, {}};
    EXPECT_TRUE(view.PreTranslateMessage(back));
    EXPECT_EQ(model.folder, disk.scratch.path());

    // A typed folder and Enter list it.
    SetWindowTextW(view.pathBox(), (disk.scratch / L"sub").c_str());
    SetFocus(view.pathBox());
    MSG typed = {view.pathBox(), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_TRUE(view.PreTranslateMessage(typed));
    EXPECT_EQ(model.folder, disk.scratch / L"sub");
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
    ASSERT_NE(model.archiver, nullptr);
    EXPECT_EQ(model.archiver->subPath, "");
    type(disk.scratch / L"set.zip\\docs\\deep");
    ASSERT_NE(model.archiver, nullptr);
    EXPECT_EQ(model.archiver->subPath, "docs\\deep");
    EXPECT_EQ(ControlText(view.locationBar(), IDC_PATH), disk.scratch / L"set.zip\\docs\\deep");

    // A path that names nothing: said, and the box shows the place shown again.
    DialogAnswerer told(MessageBeginningWith(L"Windows cannot find"), PressButton(IDOK));
    type(disk.scratch / L"nothing\\here");
    EXPECT_EQ(told.answered(), 1);
    EXPECT_EQ(model.archiver->subPath, "docs\\deep");
    EXPECT_EQ(ControlText(view.locationBar(), IDC_PATH), disk.scratch / L"set.zip\\docs\\deep");
}

TEST(BrowserView, TheListHasTheKeyboardAndAFocusedRowAfterEveryMove) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    auto focusedName = [&] {
        return view.model().GetItem(ListView_GetNextItem(view.list(), -1, LVNI_FOCUSED)).name;
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
        EXPECT_EQ(view.model().archiver, nullptr);
        EXPECT_EQ(view.model().GetCurrentPath(), view.model().devices[0]->path);
        EXPECT_GT(ListView_GetItemCount(view.list()), 0);
        EXPECT_EQ(SendMessageW(view.locationBar(), CB_GETCURSEL, 0, 0), view.model().current);
    }
}

TEST(BrowserView, AnEmptyFolderReachedByActivationShowsAnEmptyList) {
    ScratchFolder scratch;
    MakeFolder(scratch / L"empty");
    Window window(scratch.path());
    CVarnixView& view = window.frame.view();
    ASSERT_EQ(ListView_GetItemCount(view.list()), 2); // "..", "empty"
    view.ActivateRow(1);
    EXPECT_EQ(view.model().folder, scratch / L"empty");
    EXPECT_EQ(ListView_GetItemCount(view.list()), 1); // only its up row
}

TEST(BrowserView, ColumnWidthsGoByPositionAcrossTheModes) {
    DiskFolder disk;
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    SetWindowPos(window.frame.hwnd(), nullptr, 0, 0, 1200, 600, SWP_NOZORDER); // room for all
    ListView_SetColumnWidth(view.list(), 2, 222);                              // Type in disk mode
    view.ActivateRow(disk.Index(view.model(), L"set.zip"));
    ASSERT_NE(view.model().archiver, nullptr);
    EXPECT_EQ(ListView_GetItemCount(view.list()), view.model().GetItemCount());
    EXPECT_EQ(window.ColumnWidth(2), 222); // Packed in archive mode
    EXPECT_EQ(window.ColumnWidth(4), 150);
    EXPECT_EQ(AppState.settings.columnWidths[2], 222);

    // Leaving inside the archive records the folder that holds it.
    DestroyWindow(window.frame.hwnd());
    Window::Pump();
    EXPECT_EQ(std::wstring(AppState.settings.lastPath), disk.scratch.path());
    EXPECT_TRUE(AppState.settings.hasPlacement);
}

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
    ASSERT_NE(view.model().archiver, nullptr);
    view.ActivateRow(disk.Index(view.model(), L"docs"));
    SendMessageW(view.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({dropped})), 0);
    EXPECT_EQ(view.model().archiver->subPath, "docs");
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
    ASSERT_NE(view.model().archiver, nullptr);
    view.ActivateRow(disk.Index(view.model(), L"docs"));

    // A link back to its own parent is not followed: said, and left out.
    {
        DialogAnswerer told(MessageBeginningWith(L"These links were not added"), PressButton(IDOK));
        view.model().AddDroppedFiles({TestData(L"linkloop")});
        EXPECT_EQ(told.answered(), 1);
    }
    // A folder that holds the Temp folder, where the files are staged: the staging folder
    // is not copied into itself.
    wchar_t local[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, local, CSIDL_LOCAL_APPDATA, FALSE);
    WriteTextFile(std::wstring(local) + L"\\varnix-local.txt", "local");
    view.model().AddDroppedFiles({local});
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
             model.ExtractSelection({1, 2});
         },
         L"No files selected. You need to select files this operation"},
        {[&] {
             std::vector<int> document = {disk.Index(model, L"doc.varnixtest")};
             DialogAnswerer picker(DialogWithText(L"Please select a folder to extract to..."),
                                   PressButton(IDOK));
             model.ExtractSelection(document);
         },
         L"doc.varnixtest is not valid archive file."},
        {[&] { model.AddDroppedFiles({disk.scratch / L"sub"}); },
         L"Please open an archive file first."},
        {[&] {
             CopyFileW(Fixture(L"rar5-folders.rar").c_str(), (disk.scratch / L"set.rar").c_str(),
                       FALSE);
             model.BrowseFolder(disk.scratch.path());
             view.ActivateRow(disk.Index(model, L"set.rar"));
             model.AddSelection({1});
         },
         L"Operation is not supported."},
    };
    for (const auto& refused : cases) {
        DialogAnswerer user(DialogWithText(refused.message), PressButton(IDOK));
        refused.act();
        EXPECT_EQ(user.answered(), 1) << Narrow(refused.message);
    }
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
    EXPECT_EQ(model.archiver->subPath, "docs");
    EXPECT_GE(disk.Index(model, L"one.txt"), 0);
    EXPECT_GE(disk.Index(model, L"two.txt"), 0);
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(disk.scratch / L"set.zip", ArchiveKindZip, contents), 0);
    int found = 0;
    for (const DirItem& item : contents.items)
        found += item.path == L"docs\\one.txt" || item.path == L"docs\\two.txt";
    EXPECT_EQ(found, 2);
}

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
    EXPECT_EQ(model.archiver, nullptr);
    EXPECT_EQ(model.folder, disk.scratch.path());
    EXPECT_GE(disk.Index(model, L"set.zip"), 0);
    EXPECT_EQ(ListView_GetItemCount(view.list()), model.GetItemCount());
    EXPECT_EQ(ControlText(view.locationBar(), IDC_PATH), disk.scratch.path() + L"\\");
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

TEST(BrowserView, CancellingAnOpenSaysNothingAndStaysWhereItWas) {
    DiskFolder disk;
    CopyFileW(TestData(L"headers.7z").c_str(), (disk.scratch / L"headers.7z").c_str(), FALSE);
    CopyFileW(TestData(L"slow.tar.gz").c_str(), (disk.scratch / L"slow.tar.gz").c_str(), FALSE);
    Window window(disk.scratch.path());
    CVarnixView& view = window.frame.view();
    FolderBrowser& model = view.model();
    int rows = model.GetItemCount();
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
    EXPECT_EQ(model.archiver, nullptr);
    EXPECT_EQ(model.folder, disk.scratch.path());
    EXPECT_EQ(model.GetItemCount(), rows);
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
    ASSERT_NE(model.archiver, nullptr);
    // A refresh behind the progress dialog: the list still shows the rows it had.
    model.archiver->Refresh();
    for (int i = 0; i < model.GetItemCount(); ++i) {
        ItemData row = model.GetItem(i);
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
        while (drive < model.GetItemCount() &&
               model.GetItem(drive).name.find(L"C:") == std::wstring::npos)
            ++drive;
        ASSERT_LT(drive, model.GetItemCount());
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
    window.frame.view().model().DeleteSelection({1});
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
        EXPECT_EQ(model.DeleteSelection({top}), -1);
        EXPECT_EQ(user.answered(), 1);
    }
    DialogAnswerer user(DialogWithText(L"Are you sure you want to delete selected files?"),
                        PressButton(IDYES));
    EXPECT_EQ(model.DeleteSelection({top, disk.Index(model, L"director.txt")}), 0);
    EXPECT_EQ(disk.Index(model, L"top.txt"), -1);
    EXPECT_EQ(disk.Index(model, L"director.txt"), -1);
    EXPECT_GE(disk.Index(model, L"big.bin"), 0);
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
    EXPECT_TRUE(model.IsFinding());

    // A found folder is entered, and the find ends there.
    view.FindText(L"deep");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"docs\\deep", L"docs\\deep\\deeper"}));
    view.ActivateRow(1);
    EXPECT_FALSE(model.IsFinding());
    EXPECT_EQ(model.GetCurrentPath(), disk.scratch / L"set.zip\\docs\\deep\\deeper");
    EXPECT_EQ(GetWindowTextLengthW(view.findBox()), 0);

    // Esc comes back to the place shown before, with its selection.
    view.GoUp();
    view.GoUp();
    view.GoUp();
    view.SelectRow(disk.Index(model, L"big.bin"));
    view.FindText(L"o");
    EXPECT_TRUE(model.SortByColumn(1)); // sorted otherwise meanwhile
    view.EndFind();
    EXPECT_EQ(model.GetCurrentPath(), disk.scratch / L"set.zip");
    EXPECT_EQ(ListView_GetSelectedCount(view.list()), 1u);
    EXPECT_EQ(ListView_GetNextItem(view.list(), -1, LVNI_SELECTED), disk.Index(model, L"big.bin"));
}

// A menu's items as "text" for an enabled one and "(text)" for a greyed one, the default
// one marked "*", separators as "-".
std::vector<std::wstring> MenuItems(HMENU menu) {
    std::vector<std::wstring> items;
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
    EXPECT_EQ(MenuItems(view.MakeRowMenu(zip, {zip})),
              (Items{L"&Open", L"Open in the &window*", L"-", L"Extract &Here",
                     L"Extract to &Folder", L"E&xtract files...", L"&Test", L"-",
                     L"&Add to archive...", L"&Delete", L"-", L"Copy &path"}));
    // Two archives: each is extracted here or to its folder, but one at a time otherwise.
    const int iso = disk.Index(model, L"kit.iso");
    EXPECT_EQ(MenuItems(view.MakeRowMenu(zip, {zip, iso})),
              (Items{L"&Open", L"Open in the &window*", L"-", L"Extract &Here",
                     L"Extract to &Folder", L"(E&xtract files...)", L"(&Test)", L"-",
                     L"&Add to archive...", L"&Delete", L"-", L"Copy &path"}));
    // An archive with a document: the archive commands cannot act.
    EXPECT_EQ(MenuItems(view.MakeRowMenu(zip, {zip, doc})),
              (Items{L"&Open", L"Open in the &window*", L"-", L"(Extract &Here)",
                     L"(Extract to &Folder)", L"(E&xtract files...)", L"(&Test)", L"-",
                     L"&Add to archive...", L"&Delete", L"-", L"Copy &path"}));
    EXPECT_EQ(MenuItems(view.MakeRowMenu(sub, {sub})),
              (Items{L"&Open*", L"-", L"&Add to archive...", L"&Delete", L"-", L"Copy &path"}));
    EXPECT_EQ(MenuItems(view.MakeRowMenu(0, {})), (Items{L"&Open*", L"-", L"(&Add to archive...)",
                                                         L"(&Delete)", L"-", L"(Copy &path)"}));

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
              (Items{L"&Open*", L"-", L"&Extract...", L"&Test", L"&Delete", L"-", L"Copy &path"}));
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

    // An archive that cannot be changed: Delete is greyed.
    view.ActivateRow(0);
    view.ActivateRow(disk.Index(model, L"kit.iso"));
    EXPECT_EQ(MenuItems(view.MakeRowMenu(1, {1})), (Items{L"&Open*", L"-", L"&Extract...", L"&Test",
                                                          L"(&Delete)", L"-", L"Copy &path"}));
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
        int drawn = IconWidth(view.model().GetItemIcon(disk.Index(view.model(), L"sub"), iconSize));
        EXPECT_GE(drawn, iconSize);
        EXPECT_LE(drawn, 2 * iconSize);
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
