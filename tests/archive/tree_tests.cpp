#include "archive/archiver.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "archive/treefeeder.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DirItem File(const std::wstring& path, const std::wstring& size = L"10",
             const std::wstring& packedSize = L"5") {
    DirItem item;
    item.path = path;
    item.entry.hasSize = !size.empty();
    item.entry.size = size.empty() ? 0 : std::stoull(size);
    item.entry.hasPackedSize = !packedSize.empty();
    item.entry.packedSize = packedSize.empty() ? 0 : std::stoull(packedSize);
    item.entry.modified = {0x12345678, 0x01CCF9A0};
    item.entry.hasModified = true;
    return item;
}

DirItem Folder(const std::wstring& path) {
    DirItem item;
    item.path = path;
    item.entry.attributes = FILE_ATTRIBUTE_DIRECTORY;
    return item;
}

ArchiveContents Contents(std::vector<DirItem> items) {
    ArchiveContents contents;
    contents.items = std::move(items);
    return contents;
}

using Node = ArchiveTree::Node;

std::vector<std::string> ChildNames(const ArchiveTree& tree, Node node) {
    std::vector<std::string> names;
    for (Node child = tree.FirstChild(node); child != ArchiveTree::none;
         child = tree.NextSibling(child))
        names.emplace_back(tree.Name(child));
    return names;
}

std::vector<std::wstring> RowNames(const Archiver& archiver) {
    std::vector<std::wstring> names;
    for (int i = 0; i < archiver.GetRowCount(); ++i)
        names.push_back(archiver.GetRow(i).name);
    return names;
}

// The tree as text, one line per node ("path attributes [path]"), to compare whole trees.
// Made with a work list: a tree may be deep.
std::string Describe(const Archiver& archiver) {
    const ArchiveTree& tree = archiver.tree;
    std::string out;
    std::vector<Node> pending{ArchiveTree::root};
    while (!pending.empty()) {
        Node node = pending.back();
        pending.pop_back();
        if (node != ArchiveTree::root)
            out += tree.Path(node) + " " + std::to_string(tree.EntryOf(node).attributes) + " [" +
                   tree.Path(node) + "]\n";
        std::vector<Node> children;
        for (Node child = tree.FirstChild(node); child != ArchiveTree::none;
             child = tree.NextSibling(child))
            children.push_back(child);
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return out;
}

TEST(ArchiveTree, FoldersImpliedByPathsAreFoldersToo) {
    Archiver archiver;
    archiver.BuildTree(Contents({File(L"a\\b\\c.txt")}));

    // Many archives keep no entries for their folders: those are made on the way, as
    // folders with their paths, so that they can be entered and extracted.
    const ArchiveTree& tree = archiver.tree;
    Node a = tree.Find("a");
    ASSERT_NE(a, ArchiveTree::none);
    EXPECT_EQ(tree.EntryOf(a).attributes, static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(tree.Path(a), "a");
    EXPECT_TRUE(tree.IsFolder(a));
    Node b = tree.Find("a\\b");
    ASSERT_NE(b, ArchiveTree::none);
    EXPECT_EQ(tree.Path(b), "a\\b");
    EXPECT_TRUE(tree.IsFolder(b));
    Node c = tree.Find("a\\b\\c.txt");
    ASSERT_NE(c, ArchiveTree::none);
    EXPECT_EQ(tree.Path(c), "a\\b\\c.txt");
    EXPECT_EQ(tree.EntryOf(c).size, 10u);
    EXPECT_FALSE(tree.IsFolder(c));

    archiver.ListFolder("");
    ASSERT_EQ(archiver.GetRowCount(), 2);
    ItemData row = archiver.GetRow(1);
    EXPECT_EQ(row.name, L"a");
    EXPECT_EQ(row.path, L"a");
    EXPECT_EQ(row.type, L"Folder");
    EXPECT_EQ(row.size, L"");
    // Entered like a folder with an entry.
    EXPECT_EQ(archiver.OpenItem(L"a"), 2);
    EXPECT_EQ(archiver.subPath, "a");

    // An entry that names a file where a folder was implied makes it that file.
    Archiver odd;
    odd.BuildTree(Contents({File(L"x\\y.txt"), File(L"x")}));
    EXPECT_FALSE(odd.tree.IsFolder(odd.tree.Find("x")));
}

TEST(ArchiveTree, FolderEntryBeforeOrAfterItsContentsGivesTheSameTree) {
    Archiver folderFirst;
    folderFirst.BuildTree(Contents({Folder(L"docs"), File(L"docs\\x.txt")}));
    Archiver folderLast;
    folderLast.BuildTree(Contents({File(L"docs\\x.txt"), Folder(L"docs")}));

    EXPECT_EQ(Describe(folderFirst), Describe(folderLast));
    EXPECT_EQ(Describe(folderFirst), "docs 16 [docs]\ndocs\\x.txt 0 [docs\\x.txt]\n");
    EXPECT_TRUE(folderLast.tree.IsFolder(folderLast.tree.Find("docs")));
}

TEST(ArchiveTree, NamesAreComparedByteForByte) {
    Archiver archiver;
    archiver.BuildTree(Contents({File(L"Docs\\a"), File(L"docs\\b"), File(L"Docs\\c")}));

    const ArchiveTree& tree = archiver.tree;
    EXPECT_EQ(ChildNames(tree, ArchiveTree::root), (std::vector<std::string>{"Docs", "docs"}));
    EXPECT_EQ(ChildNames(tree, tree.Find("Docs")), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(tree.Find("DOCS"), ArchiveTree::none);
}

TEST(ArchiveTree, ChildrenKeepTheOrderOfFirstAppearance) {
    Archiver archiver;
    archiver.BuildTree(
        Contents({File(L"zeta.txt"), File(L"beta\\1"), File(L"alpha"), File(L"beta\\2")}));
    EXPECT_EQ(ChildNames(archiver.tree, ArchiveTree::root),
              (std::vector<std::string>{"zeta.txt", "beta", "alpha"}));

    // A path that comes again is a row of its own, told apart by its index in the archive;
    // the first keeps the name, and a choice by that name takes the first alone.
    archiver.BuildTree(Contents({File(L"alpha", L"99"), File(L"beta\\1", L"7")}));
    EXPECT_EQ(ChildNames(archiver.tree, ArchiveTree::root),
              (std::vector<std::string>{"zeta.txt", "beta", "alpha", "alpha [2]"}));
    EXPECT_EQ(archiver.tree.EntryOf(archiver.tree.Find("alpha [2]")).size, 99u);
    EXPECT_EQ(archiver.tree.DuplicateIndex(archiver.tree.Find("alpha [2]")), 0u);
    EXPECT_EQ(archiver.tree.DuplicateIndex(archiver.tree.Find("beta\\1 [2]")), 1u);
    EXPECT_EQ(archiver.tree.DuplicateIndex(archiver.tree.Find("alpha")), ArchiveTree::noIndex);
    EntryChoice choice = archiver.ChoiceOf({L"alpha", L"beta\\1 [2]"});
    EXPECT_EQ(choice.names, std::vector<std::wstring>{L"alpha"});
    EXPECT_EQ(choice.indices, std::vector<uint32_t>{1});
    EXPECT_EQ(choice.notByName, (std::vector<uint32_t>{0, 1}));

    // Two folder entries of one path are one folder.
    archiver.BuildTree(Contents({Folder(L"beta")}));
    EXPECT_EQ(ChildNames(archiver.tree, ArchiveTree::root).size(), 4u);
}

// The open job hands its entries to a tree built on a thread of its own, in batches that go
// round: entries of thousands of folders, taking turns (more folders than the tree
// remembers as the last named), each go into their own folder, in order.
TEST(ArchiveTree, EntriesOfManyFoldersTakingTurnsGoThroughTheFeederInOrder) {
    ArchiveTree tree;
    {
        TreeFeeder feeder(tree);
        feeder.Reserve(20000);
        for (int i = 0; i < 20000; ++i) {
            DirItem item = File(L"d" + std::to_wstring(i % 3000) + L"\\s" +
                                std::to_wstring(i / 3000 % 2) + L"\\f" + std::to_wstring(i));
            feeder.Put(item.path, item.entry, static_cast<uint32_t>(i));
        }
        feeder.Finish();
    }
    EXPECT_EQ(tree.NodeCount(), 1u + 3000 + 3000 * 2 + 20000);
    EXPECT_EQ(ChildNames(tree, ArchiveTree::root).front(), "d0");
    EXPECT_EQ(ChildNames(tree, ArchiveTree::root).back(), "d2999");
    EXPECT_EQ(ChildNames(tree, tree.Find("d5\\s0")),
              (std::vector<std::string>{"f5", "f6005", "f12005", "f18005"}));
    for (int i = 0; i < 20000; ++i) {
        std::string file = "d" + std::to_string(i % 3000) + "\\s" + std::to_string(i / 3000 % 2) +
                           "\\f" + std::to_string(i);
        ASSERT_NE(tree.Find(file), ArchiveTree::none) << file;
        EXPECT_EQ(tree.Path(tree.Find(file)), file);
    }
}

// Paths that name no place inside the archive are shown whole, as stored, between quotes,
// at the root: they pass neither for the up row nor for a folder without a name. "./" is
// no folder.
TEST(ArchiveTree, PathsLeadingOutOrFromTheRootAreShownAsStored) {
    Archiver archiver;
    archiver.BuildTree(
        Contents({File(L"a\\\\b"), File(L"..\\escape.txt"), File(L"\\abs.txt"), Folder(L"."),
                  File(L".\\docs\\note.txt"), File(L"C:\\x.txt"), File(L"..")}));
    const ArchiveTree& tree = archiver.tree;
    EXPECT_EQ(ChildNames(tree, ArchiveTree::root),
              (std::vector<std::string>{"\"a//b\"", "\"../escape.txt\"", "\"/abs.txt\"", "docs",
                                        "\"C:/x.txt\"", "\"..\""}));
    EXPECT_NE(tree.Find("docs\\note.txt"), ArchiveTree::none);
    EXPECT_TRUE(tree.IsFolder(ArchiveTree::root));
    EXPECT_EQ(tree.Find(""), ArchiveTree::root);
}

TEST(ArchiveTree, NonAsciiNamesAreUtf8InTheTreeAndUtf16InTheRows) {
    const std::wstring folder = L"sub\\\u00fc\u0235\u0129\u00f6\u1e0b\u00e8";
    Archiver archiver;
    archiver.BuildTree(Contents({File(folder + L"\\file.txt"), Folder(folder)}));

    Node node = archiver.tree.Find("sub\\\xc3\xbc\xc8\xb5\xc4\xa9\xc3\xb6\xe1\xb8\x8b\xc3\xa8");
    ASSERT_NE(node, ArchiveTree::none);
    EXPECT_TRUE(archiver.tree.IsFolder(node));

    archiver.ListFolder("sub");
    ASSERT_EQ(archiver.GetRowCount(), 2);
    EXPECT_EQ(archiver.GetRow(1).name, L"\u00fc\u0235\u0129\u00f6\u1e0b\u00e8");
    EXPECT_EQ(archiver.GetRow(1).path, folder);
    EXPECT_EQ(archiver.GetDisplayPath().substr(archiver.archivePath.size()), L"\\sub");
}

TEST(ArchiveTree, BuildingMovesTheProgressCounters) {
    Archiver archiver;
    progressTotal = 0;
    progressCompleted = 0;
    archiver.BuildTree(Contents({File(L"a"), File(L"b"), File(L"c"), File(L"d")}));
    EXPECT_EQ(progressTotal.load(), 4u);
    EXPECT_EQ(progressCompleted.load(), 3u); // the index of the last entry
}

TEST(ArchiveTree, ADeeplyNestedPathIsBuiltAndFreedWithoutExhaustingTheStack) {
    std::wstring path;
    for (int level = 0; level < 30000; ++level)
        path += L"d\\";
    path += L"leaf.txt";

    Archiver archiver;
    archiver.BuildTree(Contents({File(path)}));
    EXPECT_NE(archiver.tree.Find(WideToUtf8(path)), ArchiveTree::none);
    archiver.ClearTree();
    EXPECT_FALSE(archiver.tree.HasChildren(ArchiveTree::root));

    // Destroying an Archiver with such a tree still in it must not recurse either.
    auto other = std::make_unique<Archiver>();
    other->BuildTree(Contents({File(path)}));
    other.reset();
}

TEST(ArchiveRows, TheRootOfAnEmptyArchiveListsOnlyTheUpRow) {
    Archiver archiver;
    archiver.BuildTree(Contents({}));
    archiver.ListFolder("");
    ASSERT_EQ(archiver.GetRowCount(), 1);
    ItemData up = archiver.GetRow(0);
    EXPECT_EQ(up.name, L"..");
    EXPECT_EQ(up.path, L"");
    EXPECT_EQ(up.type, L"Folder");
    EXPECT_NE(up.icon, nullptr);
    EXPECT_EQ(up.size, L"");
}

TEST(ArchiveRows, FilesAndFoldersAreListedWithTheirColumns) {
    Archiver archiver;
    archiver.BuildTree(
        Contents({Folder(L"docs"), File(L"docs\\big.bin", L"1048576", L"0"),
                  File(L"docs\\small.txt", L"123", L"12345"), Folder(L"docs\\inner")}));
    archiver.ListFolder("docs");

    EXPECT_EQ(RowNames(archiver),
              (std::vector<std::wstring>{L"..", L"big.bin", L"small.txt", L"inner"}));
    EXPECT_EQ(archiver.subPath, "docs");

    ItemData big = archiver.GetRow(1);
    EXPECT_EQ(big.size, L"1,048,576");
    EXPECT_EQ(big.packedSize, L"0");
    EXPECT_EQ(big.path, L"docs\\big.bin");
    EXPECT_EQ(big.attributes, 0u);
    EXPECT_NE(big.type, L"Folder");
    EXPECT_FALSE(big.type.empty());
    EXPECT_NE(big.icon, nullptr);
    EXPECT_EQ(big.modified.dwLowDateTime, 0x12345678u);
    EXPECT_FALSE(big.modifiedText.empty());

    ItemData small = archiver.GetRow(2);
    EXPECT_EQ(small.size, L"123");
    EXPECT_EQ(small.packedSize, L"12,345");

    ItemData inner = archiver.GetRow(3);
    EXPECT_EQ(inner.type, L"Folder");
    EXPECT_EQ(inner.attributes, static_cast<uint32_t>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(inner.size, L"");
    EXPECT_EQ(inner.packedSize, L"");
    EXPECT_EQ(inner.icon, archiver.GetRow(0).icon);
}

TEST(ArchiveRows, FilesOfOneTypeShareTheShellsAnswer) {
    Archiver archiver;
    archiver.BuildTree(Contents({File(L"a.txt"), File(L"b.TXT"), File(L"c.zip")}));
    archiver.ListFolder("");
    EXPECT_EQ(archiver.GetRow(1).icon, archiver.GetRow(2).icon);
    EXPECT_EQ(archiver.GetRow(1).type, archiver.GetRow(2).type);
    EXPECT_NE(archiver.GetRow(1).type, archiver.GetRow(3).type);
}

TEST(ArchiveRows, GetRowOutsideTheListGivesAnEmptyRow) {
    Archiver archiver;
    archiver.BuildTree(Contents({File(L"a.txt")}));
    archiver.ListFolder("");
    for (int index : {-1, archiver.GetRowCount(), 1000}) {
        ItemData row = archiver.GetRow(index);
        EXPECT_EQ(row.name, L"") << index;
        EXPECT_EQ(row.icon, nullptr) << index;
        EXPECT_EQ(row.attributes, 0u) << index;
    }
    EXPECT_EQ(archiver.GetRow(1).name, L"a.txt");
}

TEST(ArchiveRows, AFolderThatIsGoneShowsTheNearestFolderAbove) {
    Archiver archiver;
    archiver.BuildTree(Contents({File(L"a\\b\\c.txt"), File(L"a\\d.txt")}));
    archiver.ListFolder("a\\b\\gone\\deeper");
    EXPECT_EQ(archiver.subPath, "a\\b");
    EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L"..", L"c.txt"}));

    archiver.ListFolder("nothing");
    EXPECT_EQ(archiver.subPath, "");
    EXPECT_EQ(RowNames(archiver), (std::vector<std::wstring>{L"..", L"a"}));
}

TEST(ArchiveRows, GoToFollowsThePathTypedIntoTheLocationField) {
    Archiver archiver;
    archiver.archivePath = L"C:\\data\\set.zip";
    archiver.BuildTree(Contents({Folder(L"docs"), File(L"docs\\x.txt"), File(L"top.txt")}));
    archiver.ListFolder("docs");

    EXPECT_EQ(archiver.GoTo(L"C:\\data\\set.zip"), 3);
    EXPECT_EQ(archiver.subPath, "");
    archiver.ListFolder("docs");
    EXPECT_EQ(archiver.GoTo(L"C:\\data\\set.zip\\"), 3);
    EXPECT_EQ(archiver.subPath, "");

    EXPECT_EQ(archiver.GoTo(L"C:\\data\\set.zip\\docs"), 2);
    EXPECT_EQ(archiver.subPath, "docs");
    EXPECT_EQ(archiver.GetDisplayPath(), L"C:\\data\\set.zip\\docs");

    // A path that names nothing leaves the rows as they are.
    EXPECT_EQ(archiver.GoTo(L"C:\\data\\set.zip\\missing"), 2);
    EXPECT_EQ(archiver.subPath, "docs");

    EXPECT_EQ(archiver.GoTo(L""), 3);
    EXPECT_EQ(archiver.subPath, "");
    EXPECT_EQ(archiver.GetDisplayPath(), L"C:\\data\\set.zip");
}

TEST(ArchiveRows, CloseForgetsRowsTreeAndScratchFolder) {
    testing_support::ScratchFolder scratch;
    std::wstring tmp = scratch / L"Quorp1";
    testing_support::MakeFolder(tmp + L"\\inner");
    testing_support::WriteTextFile(tmp + L"\\inner\\f.txt", "x");

    Archiver archiver;
    archiver.BuildTree(Contents({File(L"a.txt")}));
    archiver.ListFolder("");
    archiver.tmpPath = tmp;
    archiver.Close();

    EXPECT_TRUE(archiver.rows.empty());
    EXPECT_FALSE(archiver.tree.HasChildren(ArchiveTree::root));
    EXPECT_TRUE(archiver.tmpPath.empty());
    EXPECT_EQ(GetFileAttributesW(tmp.c_str()), INVALID_FILE_ATTRIBUTES);

    // A scratch folder that is already gone is simply forgotten.
    archiver.tmpPath = scratch / L"never-made";
    archiver.RemoveTempFolder();
    EXPECT_TRUE(archiver.tmpPath.empty());
}

TEST(ArchiveRows, ThereIsOneArchiverUntilItIsReleased) {
    Archiver* first = GetArchiver();
    EXPECT_EQ(GetArchiver(), first);
    first->archivePath = L"C:\\x.zip";
    ReleaseArchiver();
    ReleaseArchiver(); // nothing to release: no harm
    EXPECT_EQ(GetArchiver()->archivePath, L"");
    ReleaseArchiver();
}

} // namespace
