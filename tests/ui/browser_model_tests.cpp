// The browser's model: its rows, sorting, activation and locations.
#include "browser_window.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace browser_testing;

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
    model.rows().SetDiskRows({Row(L"b.txt", false, L"1,000", 3), Row(L"zeta", true, L"", 1),
                              Row(L"..", false, L"", 9), Row(L"A.txt", false, L"9", 2),
                              Row(L"c.txt", false, L"", 4), Row(L"d.txt", false, L"10", 1),
                              Row(L"alpha", true, L"", 2)});
    model.rows().Sort(); // by name, ascending, whatever the letter case
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"alpha", L"zeta", L"A.txt", L"b.txt",
                                                       L"c.txt", L"d.txt"}));

    // Sizes by value: empty < 9 < 10 < 1,000. A second click reverses, the rules stay.
    EXPECT_TRUE(model.rows().SortByColumn(1));
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"alpha", L"zeta", L"c.txt", L"A.txt",
                                                       L"d.txt", L"b.txt"}));
    EXPECT_TRUE(model.rows().SortByColumn(1));
    EXPECT_EQ(model.rows().SortOrder(), 2);
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"alpha", L"zeta", L"b.txt", L"d.txt",
                                                       L"A.txt", L"c.txt"}));

    // Another column sorts ascending again; Modified goes by the stored time, not the text.
    EXPECT_TRUE(model.rows().SortByColumn(3));
    EXPECT_EQ(model.rows().SortOrder(), 1);
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"zeta", L"alpha", L"d.txt", L"A.txt",
                                                       L"b.txt", L"c.txt"}));

    // The Type column has no order of its own.
    EXPECT_FALSE(model.rows().IsSortable(2));
    EXPECT_FALSE(model.rows().SortByColumn(2));
    EXPECT_EQ(model.rows().SortColumn(), 3);
    EXPECT_FALSE(model.rows().IsSortable(4));
    EXPECT_FALSE(model.rows().IsSortable(-1));
}

TEST(Sorting, ColumnsFollowTheModeAndALeftoverColumnSortsByName) {
    FolderBrowser model;
    std::vector<std::wstring> head;
    EXPECT_EQ(model.rows().Head(head), 4);
    model.rows().SetArchive(GetArchiver()); // archive mode, without an archive
    EXPECT_EQ(model.rows().Head(head), 5);
    EXPECT_EQ(head, (std::vector<std::wstring>{L"Name", L"Size", L"Packed", L"Type", L"Modified"}));
    EXPECT_TRUE(model.rows().IsSortable(2));  // Packed
    EXPECT_FALSE(model.rows().IsSortable(3)); // Type
    model.rows().SetDiskRows({Row(L"x", false, L"10"), Row(L"y", false, L"9")});
    UINT flag = 0;
    EXPECT_EQ(model.rows().Text(0, 2, flag), L"10");
    EXPECT_EQ(flag, static_cast<UINT>(DT_RIGHT));
    EXPECT_TRUE(model.rows().SortByColumn(4)); // Modified, position 4
    model.rows().SetArchive(nullptr);
    ReleaseArchiver();

    // Back in disk mode, position 4 is beyond the columns: the rows sort by name.
    model.rows().SetDiskRows({Row(L"b"), Row(L"a"), Row(L"..")});
    model.rows().Sort();
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"a", L"b"}));
    flag = 0;
    EXPECT_EQ(model.rows().Text(0, 7, flag), L"");
    EXPECT_EQ(model.rows().Get(99).name, L"");
    EXPECT_EQ(model.rows().Icon(-1), nullptr);
}

TEST(Sorting, NamesOrderAsLstrcmpiOrdersThem) {
    // Plain names take a shortcut past the locale; names with any other character do not.
    // Both must give lstrcmpiW's order.
    for (const wchar_t* alphabet : {L"aAbB.09zZ", L"aA.1 _-'\u00e4\u00c4\u0430\u6587~!"}) {
        std::wstring letters = alphabet;
        FolderBrowser model;
        std::vector<ItemData> rows;
        uint32_t state = 12345;
        for (int i = 0; i < 3000; ++i) {
            std::wstring name;
            int length = 1 + static_cast<int>(state % 6);
            for (int j = 0; j < length; ++j) {
                state = state * 1103515245u + 12345u;
                name += letters[(state >> 16) % letters.size()];
            }
            if (name != L"..") // the up row has a place of its own
                rows.push_back(Row(name));
        }
        model.rows().SetDiskRows(std::move(rows));
        model.rows().Sort();
        const std::vector<ItemData>& sorted = model.rows().DiskRows();
        for (size_t i = 1; i < sorted.size(); ++i)
            ASSERT_LE(lstrcmpiW(sorted[i - 1].name.c_str(), sorted[i].name.c_str()), 0)
                << Narrow(sorted[i - 1].name) << " before " << Narrow(sorted[i].name);
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
        for (int i = 0; i < model.rows().Count(); ++i) {
            if (model.rows().Name(i) == name)
                return model.rows().Get(i);
        }
        return ItemData();
    };
    EXPECT_EQ(find(L"five-gib.bin").size, L"5,368,709,121");
    EXPECT_EQ(find(L"five-gib.bin").packedSize, L"5,368,709,121");
    EXPECT_EQ(find(L"four-gib.bin").size, L"4,294,967,296");

    const std::vector<std::wstring> bySize{L"..", L"small.txt", L"three-gib.bin", L"four-gib.bin",
                                           L"five-gib.bin"};
    EXPECT_TRUE(model.rows().SortByColumn(1)); // Size
    EXPECT_EQ(Names(model), bySize);
    EXPECT_TRUE(model.rows().SortByColumn(2)); // Packed
    EXPECT_EQ(Names(model), bySize);
    EXPECT_TRUE(model.rows().SortByColumn(2));
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"five-gib.bin", L"four-gib.bin",
                                                       L"three-gib.bin", L"small.txt"}));
}

// A kind no program has claimed is named as Windows names it, the same on the disk and in
// an archive.
TEST(Activation, AKindNobodyClaimedIsNamedAsWindowsNamesItEverywhere) {
    DiskFolder disk;
    WriteTextFile(disk.scratch / L"disk.bin", "on disk");
    FolderBrowser model;
    model.BrowseFolder(disk.scratch.path());
    UINT flag = 0;
    EXPECT_EQ(model.rows().Text(disk.Index(model, L"disk.bin"), 2, flag), L"BIN File");
    ASSERT_TRUE(model.OpenArchive(TestData(L"huge.zip")));
    for (int i = 0; i < model.rows().Count(); ++i) {
        if (model.rows().Name(i) == L"three-gib.bin") {
            EXPECT_EQ(model.rows().Text(i, 3, flag), L"BIN File");
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
    EXPECT_EQ(model.folder(), disk.scratch.path());

    // A folder is entered.
    EXPECT_EQ(model.ActivateItem(disk.Index(model, L"sub")), 2);
    EXPECT_EQ(model.folder(), disk.scratch / L"sub");
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"inner.txt"}));
    EXPECT_GT(model.ActivateItem(0), 0); // the up row
    EXPECT_EQ(model.folder(), disk.scratch.path());

    // Any other file is handed to its program; the list stays as it was.
    EXPECT_EQ(model.ActivateItem(disk.Index(model, L"doc.varnixtest")), 0);
    EXPECT_TRUE(WaitUntil([&] { return FileExists(disk.scratch / L"doc.varnixtest.opened"); }));
    EXPECT_EQ(model.rows().Count(), 5);
    EXPECT_EQ(model.ActivateItem(-1), 0);
    EXPECT_EQ(model.ActivateItem(99), 0);

    // An archive that cannot be opened: said, and the disk folder stays.
    {
        DialogAnswerer user(DialogWithText(L"Couldn't open the file."), PressButton(IDOK));
        EXPECT_EQ(model.ActivateItem(disk.Index(model, L"broken.zip")), 0);
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(model.archive(), nullptr);
        EXPECT_EQ(model.rows().Count(), 5); // the rows as they were
    }

    // An archive opens in archive mode; its root's up row leads back out.
    EXPECT_EQ(model.ActivateItem(disk.Index(model, L"set.zip")), 1);
    ASSERT_NE(model.archive(), nullptr);
    std::vector<std::wstring> head;
    EXPECT_EQ(model.rows().Head(head), 5);
    EXPECT_EQ(model.rows().Get(0).name, L"..");
    EXPECT_GT(model.ActivateItem(disk.Index(model, L"docs")), 0);
    EXPECT_EQ(model.archive()->subPath, "docs");
    model.ActivateItem(0);
    EXPECT_EQ(model.archive()->subPath, "");
    model.ActivateItem(0);
    EXPECT_EQ(model.archive(), nullptr);
    EXPECT_EQ(model.folder(), disk.scratch.path());
}

// Every entry is a row of its own, shown as what it is: a path that leads out or starts at
// the root is shown as stored between quotes and never climbs out; two entries of one name
// are two rows, each extracted alone; "./" is no folder.
TEST(Activation, EveryEntryIsARowShownAsWhatItIs) {
    FolderBrowser model;
    ASSERT_TRUE(model.OpenArchive(TestData(L"broken\\badnames.zip")));
    std::vector<std::wstring> names = Names(model);
    for (const wchar_t* name :
         {L"\"../escape.txt\"", L"\"/abs.txt\"", L"dup.txt", L"dup.txt [2]", L"dot", L"a:b"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << Narrow(name);
    EXPECT_EQ(std::count(names.begin(), names.end(), L".."), 1);
    auto rowOf = [&](const wchar_t* name) {
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    EXPECT_EQ(model.rows().Get(rowOf(L"dup.txt [2]")).type,
              model.rows().Get(rowOf(L"dup.txt")).type);

    // A double-click on the quoted row opens it: it never climbs out of the archive.
    auto row = [&](const wchar_t* name) {
        return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    EXPECT_EQ(model.ActivateItem(row(L"dot")), 2);
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"inside.txt"}));
    model.ActivateItem(0);
    EXPECT_EQ(model.archive()->subPath, "");

    // Each of the two is extracted alone, and the quoted one inside the folder, as said.
    MessageBoxReader told;
    ScratchFolder first, second, quoted;
    model.archive()->ExtractEntries({L"dup.txt"}, first.path());
    model.archive()->ExtractEntries({L"dup.txt [2]"}, second.path());
    model.archive()->ExtractEntries({L"\"../escape.txt\""}, quoted.path());
    EXPECT_EQ(ListTree(first.path()), std::vector<std::wstring>{L"dup.txt"});
    EXPECT_EQ(ReadTextFile(first / L"dup.txt"), "first dup");
    EXPECT_EQ(ListTree(second.path()), std::vector<std::wstring>{L"dup.txt"});
    EXPECT_EQ(ReadTextFile(second / L"dup.txt"), "second dup");
    EXPECT_EQ(ReadTextFile(quoted / L"escape.txt"), "escape");
    EXPECT_TRUE(told.Saw(L"Every file of badnames.zip was extracted.")) << told.All();
    // Opened, the second is the second.
    std::wstring opened;
    ASSERT_TRUE(model.archive()->ExtractEntryInto(L"dup.txt [2]",
                                                  model.archive()->edits.MakeFolder(), opened));
    EXPECT_EQ(ReadTextFile(opened), "second dup");

    // A cut-short ZIP opens with what it has, and says it is cut short; a cut-short 7z
    // does not open, and says why.
    ASSERT_TRUE(model.OpenArchive(TestData(L"broken\\trunc-nested.zip")));
    EXPECT_TRUE(told.Saw(L"trunc-nested.zip is cut short")) << told.All();
    EXPECT_EQ(HealthWords(model.archive()->facts.health), L"cut short");
    EXPECT_FALSE(model.OpenArchive(TestData(L"truncated.7z")));
    EXPECT_TRUE(told.Saw(L"Couldn't open the file.\n\ntruncated.7z is cut short")) << told.All();

    // A tar made of ".": its entries at the root, no folder named ".".
    ASSERT_TRUE(model.OpenArchive(TestData(L"broken\\dotted.tar.gz")));
    EXPECT_EQ(Names(model), (std::vector<std::wstring>{L"..", L"sub", L"notes.txt"}));
    ScratchFolder dotted;
    model.archive()->ExtractEntries({L"sub"}, dotted.path());
    EXPECT_EQ(ReadTextFile(dotted / L"sub\\a.txt"), "a\n");
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
        for (int i = 0; i < model.rows().Count(); ++i) {
            if (model.rows().Get(i).path == scratch / name)
                row = i;
        }
        EXPECT_EQ(model.ActivateItem(row), 1) << Narrow(name);
        ASSERT_NE(model.archive(), nullptr);
        EXPECT_EQ(model.rows().Get(1).name, L"kit") << Narrow(name);
        model.CloseArchive();
    }
    model.BrowseFolder(scratch.path());
    for (int i = 0; i < model.rows().Count(); ++i) {
        if (model.rows().Get(i).path == scratch / L"report.varnixtest") {
            EXPECT_EQ(model.ActivateItem(i), 0);
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return FileExists(scratch / L"report.varnixtest.opened"); }));
    EXPECT_EQ(model.archive(), nullptr);

    // A set with a volume missing: said, by name.
    DialogAnswerer told(
        MessageBeginningWith(L"The volume \"split7z.7z.003\" of this set is missing"),
        PressButton(IDOK));
    EXPECT_FALSE(model.OpenArchive(TestData(L"volumes\\gaps\\split7z.7z.002")));
    EXPECT_EQ(told.answered(), 1);
}

TEST(Locations, PathSegmentsThenTheFixedPlaces) {
    FolderBrowser model;
    EXPECT_EQ(model.locations().Current(), -1); // nothing shown yet
    model.BuildDevices();
    ASSERT_GE(model.locations().Places().size(), 4u);
    EXPECT_EQ(model.locations().Places()[0]->level, 0); // Desktop
    EXPECT_EQ(model.locations().Places()[1]->level, 1); // Documents
    EXPECT_EQ(model.locations().Places()[2]->path, L"Computer");
    EXPECT_EQ(model.locations().Places()[2]->level, 1);
    for (size_t i = 3; i < model.locations().Places().size(); ++i)
        EXPECT_EQ(model.locations().Places()[i]->level, 2);
    EXPECT_EQ(model.locations().Places()[0]->path.back(), L'\\');

    MakeFolder(L"C:\\Users\\me");
    EXPECT_EQ(model.locations().SetPath(L"C:\\Users\\me"), 3);
    ASSERT_EQ(model.locations().PathEntries().size(), 3u);
    const wchar_t* names[] = {L"C:", L"Users", L"me"};
    const wchar_t* paths[] = {L"C:\\", L"C:\\Users\\", L"C:\\Users\\me\\"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model.locations().Name(i), names[i]);
        EXPECT_EQ(model.locations().Path(i), paths[i]);
        EXPECT_EQ(model.locations().Get(i)->level, i);
    }
    EXPECT_EQ(model.locations().Current(), 2);
    EXPECT_EQ(model.GetCurrentPath(), L"C:\\Users\\me\\");
    // Folders share one icon: a long session does not gather one per folder visited.
    MakeFolder(L"C:\\Users\\you");
    HICON mine = model.locations().Get(2)->icon;
    model.ClearRows();
    model.locations().SetPath(L"C:\\Users\\you");
    EXPECT_NE(mine, nullptr);
    EXPECT_EQ(model.locations().Get(2)->icon, mine);
    RemoveDirectoryW(L"C:\\Users\\you");
    EXPECT_EQ(model.locations().Count(), static_cast<int>(3 + model.locations().Places().size()));
    EXPECT_EQ(model.locations().Get(3), model.locations().Places()[0].get());
    EXPECT_EQ(model.locations().Get(-1), nullptr);
    EXPECT_EQ(model.locations().Name(99), L"");

    // Clearing the rows takes the segments away; the current entry moves with them.
    model.ClearRows();
    EXPECT_TRUE(model.locations().PathEntries().empty());
    EXPECT_EQ(model.locations().Current(), 0);
    model.locations().SetPath(L"C:\\Users\\me");
    model.locations().SetCurrent(5); // the computer's entry, behind three segments
    model.ClearRows();
    EXPECT_EQ(model.locations().Current(), 2);
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
    EXPECT_EQ(model.archive()->subPath, "docs\\deep");
    int segments = static_cast<int>(model.locations().PathEntries().size());
    EXPECT_EQ(model.locations().Name(segments - 3), L"set.zip");
    EXPECT_EQ(model.locations().Path(segments - 3), archive); // a file: no backslash
    EXPECT_EQ(model.locations().Path(segments - 1), archive + L"\\docs\\deep");
    // Folders inside the archive, which the shell does not know, show the folder icon.
    for (int i = 0; i < segments; ++i)
        EXPECT_NE(model.locations().Get(i)->icon, nullptr) << Narrow(model.locations().Name(i));
    EXPECT_EQ(model.GetCurrentPath(), archive + L"\\docs\\deep");

    // Entries inside the archive keep it open.
    EXPECT_TRUE(model.SelectLocation(segments - 2));
    EXPECT_EQ(model.archive()->subPath, "docs");
    int root = static_cast<int>(model.locations().PathEntries().size()) - 2;
    EXPECT_TRUE(model.SelectLocation(root));
    EXPECT_EQ(model.archive()->subPath, "");
    EXPECT_EQ(model.GetCurrentPath(), archive);

    // One outside closes it and lists that folder.
    int outside = static_cast<int>(model.locations().PathEntries().size()) - 2;
    EXPECT_TRUE(model.SelectLocation(outside));
    EXPECT_EQ(model.archive(), nullptr);
    EXPECT_EQ(model.folder(), model.GetCurrentPath());
    EXPECT_EQ(model.folder(), disk.scratch.path() + L"\\");

    // The computer's entry lists the drives, whatever the shell calls it.
    int computer = -1;
    for (int i = 0; i < model.locations().Count(); ++i) {
        if (model.locations().Path(i) == L"Computer")
            computer = i;
    }
    ASSERT_GE(computer, 0);
    EXPECT_TRUE(model.SelectLocation(computer));
    EXPECT_TRUE(model.locations().PathEntries().empty());
    EXPECT_EQ(model.GetCurrentPath(), L"Computer");
    EXPECT_EQ(model.rows().Count(), __builtin_popcount(GetLogicalDrives()));
    // A place that is neither a folder nor the computer changes nothing.
    EXPECT_FALSE(model.OpenLocation(0, L"Q:\\nowhere"));
}

} // namespace
