// The jobs on the Archiver: opening and extracting under the real progress dialog.
#include "archive/archiver.h"
#include "archive/console/toolcommand.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

using namespace testing_support;

std::vector<std::wstring> RowNames(const Archiver& archiver) {
    std::vector<std::wstring> names;
    for (int i = 0; i < archiver.GetRowCount(); ++i)
        names.push_back(archiver.GetRow(i).name);
    return names;
}

TEST(OpenJob, ListsTheArchiveAndShowsItsRoot) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(TestData(L"plain.7z")));
    EXPECT_EQ(RowNames(archiver),
              (std::vector<std::wstring>{L"..", L"empty", L"folder", L"root.txt"}));
    EXPECT_EQ(archiver.mode, ModeNone);
    EXPECT_EQ(archiver.subPath, "");

    // An empty archive opens with only the up row.
    ASSERT_TRUE(archiver.Open(TestData(L"empty.zip")));
    EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L".."}));
}

TEST(OpenJob, ACompressedTarShowsTheTarsEntriesAndACompressedFileItself) {
    Archiver archiver;
    for (const wchar_t* name : {L"kit.tar.gz", L"kit.tar.zst", L"kit.tar.bz2"}) {
        ASSERT_TRUE(archiver.Open(TestData(std::wstring(L"formats\\") + name))) << Narrow(name);
        EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L"..", L"kit"}));
        archiver.ListFolder("kit");
        EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L"..", L"docs", L"readme.txt"}));
    }
    // One entry from the middle of the tar, read through the gzip.
    ScratchFolder scratch;
    archiver.ExtractItems({L"docs"}, scratch.path());
    EXPECT_EQ(ListTree(scratch.path()), Sorted({L"kit", L"kit\\docs", L"kit\\docs\\numbers.bin"}));
    EXPECT_FALSE(archiver.CanBeChanged());

    ASSERT_TRUE(archiver.Open(TestData(L"formats\\notes.txt.gz")));
    EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L"..", L"notes.txt"}));
    ASSERT_TRUE(archiver.Open(TestData(L"formats\\kit.tar")));
    EXPECT_TRUE(archiver.CanBeChanged());
}

TEST(OpenJob, AFailedOpenLeavesNothingOfTheArchiveBefore) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(TestData(L"nested.zip")));
    EXPECT_FALSE(archiver.Open(TestData(L"damaged.zip")));
    EXPECT_TRUE(archiver.rows.empty());
    EXPECT_FALSE(archiver.tree.HasChildren(ArchiveTree::root));
    EXPECT_FALSE(archiver.Open(TestData(L"notes.txt")));
}

TEST(OpenJob, ThePasswordTypedForTheNamesIsKept) {
    Archiver archiver;
    DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"),
                        TypeAndPressOk(IDC_PASSWORD, L"secret"));
    ASSERT_TRUE(archiver.Open(TestData(L"headers.7z")));
    EXPECT_EQ(archiver.password, L"secret");
    EXPECT_EQ(user.answered(), 1);

    // Extracting later uses it without asking again.
    ScratchFolder scratch;
    archiver.ExtractItems({L"root.txt"}, scratch.path());
    EXPECT_EQ(ReadTextFile(scratch / L"root.txt"), "root file\n");
    EXPECT_EQ(user.answered(), 1);
}

TEST(OpenJob, ADialogComesOnlyForALongListingAndItsCancelStopsIt) {
    Archiver archiver;
    DialogAnswerer progress(DialogWithCaption(L"Open File"), PressButton(IDCANCEL));
    // Listed in a moment: no dialog.
    ASSERT_TRUE(archiver.Open(TestData(L"nested.zip")));
    EXPECT_EQ(progress.answered(), 0);

    // Six GiB to inflate before the last name: the dialog comes, and its Cancel stops the
    // listing long before the end and keeps nothing, not even the archive shown before.
    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(archiver.Open(TestData(L"slow.tar.gz")));
    EXPECT_EQ(progress.answered(), 1);
    EXPECT_LT(GetTickCount64() - start, 5000u);
    EXPECT_TRUE(archiver.openStoppedByUser);
    EXPECT_TRUE(archiver.rows.empty());
    EXPECT_EQ(archiver.mode, ModeNone);
}

TEST(OpenJob, RefreshStaysInTheFolderAndKeepsTheOpenedEntriesCopies) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(TestData(L"nested.zip")));
    archiver.ListFolder("docs\\deep");
    std::wstring extracted;
    ASSERT_TRUE(archiver.ExtractEntryInto(L"top.txt", archiver.edits.MakeFolder(), extracted));

    archiver.Refresh();
    EXPECT_EQ(archiver.subPath, "docs\\deep");
    EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L"..", L"deeper"}));
    // A program may still be editing it.
    EXPECT_EQ(ReadTextFile(extracted), "top level");
}

TEST(ExtractJob, SelectedRowsKeepTheirFullArchivePaths) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(TestData(L"nested.zip")));
    archiver.ListFolder("docs");
    ScratchFolder scratch;
    EXPECT_EQ(archiver.ExtractItems({L"readme.txt", L"deep"}, scratch.path()), 0);
    EXPECT_EQ(ListTree(scratch.path()),
              Sorted({L"docs", L"docs\\deep", L"docs\\deep\\deeper",
                      L"docs\\deep\\deeper\\note.txt", L"docs\\readme.txt"}));
    EXPECT_EQ(archiver.mode, ModeNone);
    EXPECT_TRUE(archiver.files.empty());
}

TEST(ExtractJob, TheMessageNamesTheEntriesThatDidNotComeOut) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(Fixture(L"rar5-mixed-passwords.rar")));
    ScratchFolder scratch;
    DialogAnswerer prompt(DialogWithText(L"Enter password:"),
                          TypeAndPressOk(IDC_PASSWORD, L"password"));
    std::wstring told;
    DialogAnswerer failure(MessageBeginningWith(extractFailureMessage), [&](HWND box) {
        told = MessageText(box);
        PressButton(IDOK)(box);
    });
    archiver.ExtractItems({L"a.txt", L"b.txt", L"c.txt", L"d.txt"}, scratch.path());
    EXPECT_EQ(failure.answered(), 1);
    EXPECT_NE(told.find(L"\nd.txt"), std::wstring::npos) << Narrow(told);
    EXPECT_EQ(told.find(L"b.txt"), std::wstring::npos) << Narrow(told);
    EXPECT_EQ(ListTree(scratch.path()), Sorted({L"a.txt", L"b.txt", L"c.txt"}));
}

TEST(ExtractJob, EachOpenedEntryGetsAFolderOfItsOwnKeptUntilTheArchiveCloses) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(TestData(L"nested.zip")));
    std::wstring firstFolder = archiver.edits.MakeFolder();
    std::wstring first;
    ASSERT_TRUE(archiver.ExtractEntryInto(L"docs\\readme.txt", firstFolder, first));
    EXPECT_EQ(ReadTextFile(first), "read me\r\n");
    EXPECT_EQ(first, firstFolder + L"\\docs\\readme.txt");
    const std::wstring root = archiver.edits.Root();
    EXPECT_EQ(FileNamePart(root).substr(0, 5), L"Quorp");
    EXPECT_EQ(ParentFolder(root), ParentFolder(GetTempName(L"x")));

    std::wstring second;
    ASSERT_TRUE(archiver.ExtractEntryInto(L"top.txt", archiver.edits.MakeFolder(), second));
    EXPECT_EQ(ReadTextFile(first), "read me\r\n");
    EXPECT_EQ(ReadTextFile(second), "top level");
    EXPECT_NE(ParentFolder(first), ParentFolder(second));
    archiver.Close();
    EXPECT_FALSE(IsDirectory(root));
}

TEST(ExtractJob, TheWebMarkGoesOnToSelectedEntriesAndThroughAnOpenedInnerArchive) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"outer.zip";
    CopyFileW(TestData(L"outer.zip").c_str(), archive.c_str(), FALSE);
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
    SetWebMark(archive, mark);
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(archive));
    archiver.ExtractItems({L"outer.txt"}, scratch.path());
    // An inner archive opens from its scratch copy, in a window that extracts from there.
    std::wstring inner;
    ASSERT_TRUE(archiver.ExtractEntryInto(L"inner.zip", archiver.edits.MakeFolder(), inner));
    EXPECT_EQ(ExtractAll(inner, scratch.path()), 0);
    for (const wchar_t* file : {L"outer.txt", L"inner.txt"})
        EXPECT_EQ(WebMarkOf(scratch / file), mark) << Narrow(file);
}

TEST(ExtractJob, OpenItemEntersFoldersAndIgnoresUnknownPaths) {
    Archiver archiver;
    ASSERT_TRUE(archiver.Open(TestData(L"nested.zip")));
    EXPECT_EQ(archiver.OpenItem(L"docs"), 3);
    EXPECT_EQ(archiver.subPath, "docs");
    EXPECT_EQ(archiver.OpenItem(L"no such entry"), 0);
    EXPECT_EQ(archiver.subPath, "docs");
}

TEST(ExtractAll, ExtractsEverythingOrRefusesANonArchive) {
    ScratchFolder scratch;
    EXPECT_EQ(ExtractAll(TestData(L"notes.txt"), scratch.path()), -1);
    EXPECT_EQ(ExtractAll(TestData(L"damaged.zip"), scratch.path()), 1);
    EXPECT_TRUE(ListTree(scratch.path()).empty());
    EXPECT_EQ(ExtractAll(TestData(L"plain.7z"), scratch.path()), 0);
    EXPECT_EQ(ListTree(scratch.path()).size(), 6u);
}

// Cancel stops inside one huge entry at once, and the half-written file goes.
TEST(ExtractAll, ACancelStopsInsideAHugeEntryAtOnce) {
    ScratchFolder scratch;
    const std::wstring written = scratch / L"ten-gib.bin";
    std::atomic<int32_t> cancelled{0};
    ExtractReport report;
    int result = 0;
    std::thread job([&] {
        result = ExtractAll(TestData(L"ten-gib.zip"), scratch.path(), &report, &cancelled);
    });
    auto size = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        return GetFileAttributesExW(written.c_str(), GetFileExInfoStandard, &data)
                   ? (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow
                   : 0;
    };
    ASSERT_TRUE(WaitUntil([&] { return size() > (256u << 20); }, 60000));
    const uint64_t atCancel = size();
    const DWORD start = GetTickCount();
    cancelled = 1;
    job.join();
    const DWORD stopped = GetTickCount() - start;
    std::printf("cancel took %lu ms, %llu bytes written after it\n", stopped,
                static_cast<unsigned long long>(size() > atCancel ? size() - atCancel : 0));
    EXPECT_LT(stopped, 1500u); // half a second where nothing else runs; room for a busy machine
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(report.userStopped);
    EXPECT_EQ(ExtractOutcome(TestData(L"ten-gib.zip"), result, report).end, JobEnd::Cancelled);
    EXPECT_TRUE(ListTree(scratch.path()).empty()); // nothing half-written is left
}

} // namespace
