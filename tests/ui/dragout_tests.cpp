// Dragging rows out: what the data object offers, when the drop source extracts, and the
// drags' scratch folders. The drop is played by calling the source as DoDragDrop does.
#include "archive/archiver.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"
#include "ui/dragout.h"
#include "ui/folderbrowser.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>

namespace {

using namespace testing_support;

std::vector<int> RowsNamed(const FolderBrowser& model, const std::vector<std::wstring>& names) {
    std::vector<int> rows;
    for (const std::wstring& name : names) {
        for (int i = 0; i < model.rows().Count(); ++i) {
            if (model.rows().Name(i) == name)
                rows.push_back(i);
        }
    }
    return rows;
}

std::vector<std::wstring> OfferedPaths(FileDataObject& data) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    std::vector<std::wstring> paths;
    if (data.GetData(&format, &medium) != S_OK)
        return {L"<no CF_HDROP>"};
    auto drop = static_cast<HDROP>(medium.hGlobal);
    for (UINT i = 0; i < DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0); ++i) {
        wchar_t path[MAX_PATH] = {};
        DragQueryFileW(drop, i, path, MAX_PATH);
        paths.push_back(path);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

// The button goes up over a target whose last DragOver gave `effect`.
HRESULT DropWith(DragOutSource& source, DWORD effect, bool overOwnWindow = false) {
    source.overOwnWindow = [overOwnWindow] { return overOwnWindow; };
    source.GiveFeedback(effect);
    return source.QueryContinueDrag(FALSE, 0);
}

TEST(DragOut, EntriesComeOutAtTheDropAloneWithTheirFolders) {
    FolderBrowser model;
    ASSERT_TRUE(model.OpenArchive(TestData(L"nested.zip")));
    DragOut drag;
    ASSERT_TRUE(PrepareDragOut(model, RowsNamed(model, {L"..", L"docs", L"big.bin"}), drag));
    EXPECT_EQ(drag.allowedEffects, static_cast<DWORD>(DROPEFFECT_COPY));
    const std::wstring folder = DragScratchFolder();

    // A target that reads the paths while the pointer passes gets them, and nothing comes out.
    std::vector<std::wstring> paths = OfferedPaths(*drag.data.get());
    ASSERT_EQ(paths, (std::vector<std::wstring>{folder + L"\\docs", folder + L"\\big.bin"}));
    EXPECT_TRUE(IsFromOwnDrag(paths));
    EXPECT_FALSE(IsFromOwnDrag({DragScratchRoot() + L"\\1\\docs", L"C:\\docs"}));
    EXPECT_EQ(drag.source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    // Let go where nothing takes files, or over this program's own window: no drop.
    EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_NONE), DRAGDROP_S_CANCEL);
    EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_COPY, true), DRAGDROP_S_CANCEL);
    EXPECT_EQ(drag.source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL); // Escape
    EXPECT_EQ(ListTree(folder), std::vector<std::wstring>{});

    // Over a target that takes them: the entries are there before the target's Drop.
    EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_COPY), DRAGDROP_S_DROP);
    EXPECT_EQ(ListTree(folder),
              (std::vector<std::wstring>{L"big.bin", L"docs", L"docs\\deep", L"docs\\deep\\deeper",
                                         L"docs\\deep\\deeper\\note.txt", L"docs\\readme.txt"}));
    EXPECT_EQ(ReadTextFile(folder + L"\\docs\\readme.txt"), "read me\r\n");
    EXPECT_EQ(ReadTextFile(folder + L"\\docs\\deep\\deeper\\note.txt"), "deep note");
    EXPECT_EQ(ReadTextFile(folder + L"\\big.bin").size(), 1048576u);

    // What the target tells the source (the effect it performed) is kept for it.
    FORMATETC performed = {
        static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PERFORMEDDROPEFFECT)), nullptr,
        DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {TYMED_HGLOBAL, {}, nullptr};
    medium.hGlobal = GlobalAlloc(GMEM_FIXED, sizeof(DWORD));
    EXPECT_EQ(drag.data->QueryGetData(&performed), DV_E_FORMATETC);
    EXPECT_EQ(drag.data->SetData(&performed, &medium, TRUE), S_OK);
    EXPECT_EQ(drag.data->QueryGetData(&performed), S_OK);

    // The next drag starts with an empty folder.
    DragOut next;
    ASSERT_TRUE(PrepareDragOut(model, RowsNamed(model, {L"top.txt"}), next));
    EXPECT_EQ(ListTree(folder), std::vector<std::wstring>{});
    EXPECT_EQ(DropWith(*next.source.get(), DROPEFFECT_COPY), DRAGDROP_S_DROP);
    EXPECT_EQ(ListTree(folder), std::vector<std::wstring>{L"top.txt"});
    RemoveDragScratch();
}

TEST(DragOut, APasswordIsAskedOnceAndAFailedExtractionDropsNothing) {
    FolderBrowser model;
    ASSERT_TRUE(model.OpenArchive(TestData(L"encrypted.7z")));
    std::vector<int> rows = RowsNamed(model, {L"folder", L"root.txt"});
    const std::wstring folder = DragScratchFolder();
    {
        DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"), PressButton(IDCANCEL));
        DragOut drag;
        ASSERT_TRUE(PrepareDragOut(model, rows, drag));
        EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_COPY), DRAGDROP_S_CANCEL);
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(ListTree(folder), std::vector<std::wstring>{});
    }
    {
        DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"),
                            TypeAndPressOk(IDC_PASSWORD, L"secret"));
        DragOut drag;
        ASSERT_TRUE(PrepareDragOut(model, rows, drag));
        EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_COPY), DRAGDROP_S_DROP);
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(ReadTextFile(folder + L"\\folder\\inner\\two.txt"), "two two\n");
        EXPECT_EQ(ReadTextFile(folder + L"\\root.txt"), "root file\n");
    }

    // Damaged entries: said, and the good ones that came out go too.
    ASSERT_TRUE(model.OpenArchive(TestData(L"crc.zip")));
    MessageBoxReader told;
    DragOut drag;
    ASSERT_TRUE(PrepareDragOut(model, RowsNamed(model, {L"good.txt", L"bad"}), drag));
    EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_COPY), DRAGDROP_S_CANCEL);
    EXPECT_TRUE(told.Saw(L"Some files could not be extracted from crc.zip.")) << told.All();
    EXPECT_EQ(ListTree(folder), std::vector<std::wstring>{});
    RemoveDragScratch();
}

TEST(DragOut, DiskRowsGoAsTheyAreButNotTheUpRowOrDrives) {
    ScratchFolder disk;
    MakeFolder(disk / L"sub");
    WriteTextFile(disk / L"file.txt", "file");
    FolderBrowser model;
    model.BrowseFolder(disk.path());
    DragOut drag;
    ASSERT_TRUE(PrepareDragOut(model, RowsNamed(model, {L"..", L"sub", L"file.txt"}), drag));
    EXPECT_EQ(OfferedPaths(*drag.data.get()),
              (std::vector<std::wstring>{disk / L"sub", disk / L"file.txt"}));
    EXPECT_EQ(drag.allowedEffects,
              static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK));
    // The target chooses between copy and move, as it does for Explorer's files.
    FORMATETC preferred = {
        static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)), nullptr,
        DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(drag.data->QueryGetData(&preferred), DV_E_FORMATETC);
    EXPECT_EQ(DropWith(*drag.source.get(), DROPEFFECT_MOVE), DRAGDROP_S_DROP);
    EXPECT_FALSE(PrepareDragOut(model, RowsNamed(model, {L".."}), drag));

    model.ListDrives();
    std::vector<int> drives;
    for (int i = 0; i < model.rows().Count(); ++i)
        drives.push_back(i);
    EXPECT_FALSE(PrepareDragOut(model, drives, drag));
}

TEST(DragOut, TheFoldersOfProgramsThatEndedAreClearedAtStart) {
    // A process that is running (not this one), and one that has ended.
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    for (BOOL more = Process32FirstW(snapshot, &process);
         more && (process.th32ProcessID == GetCurrentProcessId() || !process.th32ProcessID);)
        more = Process32NextW(snapshot, &process);
    CloseHandle(snapshot);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION ended = {};
    wchar_t command[] = L"cmd.exe /c exit";
    ASSERT_TRUE(CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                               nullptr, &startup, &ended));
    WaitForSingleObject(ended.hProcess, 30000);
    CloseHandle(ended.hThread);
    CloseHandle(ended.hProcess);

    const std::wstring root = DragScratchRoot() + L"\\";
    std::wstring running = std::to_wstring(process.th32ProcessID);
    for (const std::wstring& name :
         {running, std::to_wstring(ended.dwProcessId), std::wstring(L"9999999999")}) {
        MakeFolder(root + name);
        WriteTextFile(root + name + L"\\file.txt", "left");
    }
    ClearDragLeftovers();
    EXPECT_TRUE(FileExists(root + running + L"\\file.txt"));
    EXPECT_FALSE(PathExists(root + std::to_wstring(ended.dwProcessId)));
    EXPECT_TRUE(FileExists(root + L"9999999999\\file.txt")); // beyond any process id
    DeleteFolderTree(nullptr, root);
}

} // namespace
