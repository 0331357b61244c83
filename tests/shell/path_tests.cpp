#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::MakeFolder;
using testing_support::ReadTextFile;
using testing_support::ScratchFolder;
using testing_support::WriteTextFile;

TEST(Paths, SetExtension) {
    struct {
        const wchar_t* path;
        const wchar_t* extension;
        bool replace;
        const wchar_t* result;
    } cases[] = {
        {L"C:\\data\\report.txt", L"zip", true, L"C:\\data\\report.zip"},
        {L"C:\\data\\report.txt", L"zip", false, L"C:\\data\\report.txt.zip"},
        {L"C:\\data\\OLD.Zip", L"zip", true, L"C:\\data\\OLD.Zip"},
        {L"C:\\data\\OLD.Zip", L"zip", false, L"C:\\data\\OLD.Zip"},
        {L"C:\\my.dir\\report", L"zip", true, L"C:\\my.dir\\report.zip"},
        {L"C:\\data\\report", L"7z", false, L"C:\\data\\report.7z"},
        {L"C:\\data\\report.txt", L"", true, L"C:\\data\\report"},
        {L"C:\\data\\report.txt", L"", false, L"C:\\data\\report.txt"},
    };
    for (const auto& c : cases) {
        std::wstring path = c.path;
        std::wstring& result = SetExtension(path, c.extension, c.replace);
        EXPECT_EQ(&result, &path);
        EXPECT_EQ(path, c.result) << testing::PrintToString(std::wstring(c.path));
    }
}

TEST(Paths, ParentFolderAndFileNamePart) {
    struct {
        const wchar_t* path;
        const wchar_t* parent;
    } cases[] = {
        {L"C:\\data\\photos", L"C:\\data"},
        {L"C:\\data\\photos\\", L"C:\\data"},
        {L"C:\\data", L"C:"},
        {L"C:\\", L""},
        {L"C:", L""},
        {L"", L""},
        {L"\\top", L""},
        {L"x", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParentFolder(c.path), c.parent) << testing::PrintToString(std::wstring(c.path));

    EXPECT_EQ(FileNamePart(L"C:\\data\\set.zip"), L"set.zip");
    EXPECT_EQ(FileNamePart(L"set.zip"), L"set.zip");
    EXPECT_EQ(FileNamePart(L"C:\\data\\"), L"");
}

TEST(Paths, SplitText) {
    std::vector<std::string> pieces;
    EXPECT_EQ(SplitText("2012-03-04", '-', pieces), 3u);
    EXPECT_EQ(pieces, (std::vector<std::string>{"2012", "03", "04"}));

    // The list is added to, not emptied first.
    EXPECT_EQ(SplitText("05:06", ':', pieces), 5u);

    std::vector<std::string> others;
    EXPECT_EQ(SplitText("a--b", '-', others), 3u); // two delimiters give an empty piece
    EXPECT_EQ(others[1], "");
    others.clear();
    EXPECT_EQ(SplitText("a-", '-', others), 1u); // no empty last piece
    others.clear();
    EXPECT_EQ(SplitText("", '-', others), 0u);
    others.clear();
    EXPECT_EQ(SplitText("-a", '-', others), 2u);
}

TEST(Files, ExistenceAndFolders) {
    ScratchFolder scratch;
    WriteTextFile(scratch / L"file.txt", "text");
    MakeFolder(scratch / L"folder");

    EXPECT_TRUE(FileExists(scratch / L"file.txt"));
    EXPECT_FALSE(FileExists(scratch / L"folder"));
    EXPECT_FALSE(FileExists(scratch / L"missing.txt"));

    EXPECT_TRUE(IsDirectory(scratch / L"folder"));
    EXPECT_FALSE(IsDirectory(scratch / L"file.txt"));
    EXPECT_FALSE(IsDirectory(scratch / L"missing"));
}

TEST(Files, DeleteFolderTreeRemovesFoldersOnly) {
    ScratchFolder scratch;
    WriteTextFile(scratch / L"plain.txt", "keep me");
    EXPECT_EQ(DeleteFolderTree(nullptr, scratch / L"plain.txt"), 1);
    EXPECT_EQ(ReadTextFile(scratch / L"plain.txt"), "keep me");
    EXPECT_EQ(DeleteFolderTree(nullptr, scratch / L"missing"), 1);

    MakeFolder(scratch / L"tree\\a\\b");
    WriteTextFile(scratch / L"tree\\a\\b\\deep.txt", "x");
    WriteTextFile(scratch / L"tree\\top.txt", "y");
    SetFileAttributesW((scratch / L"tree\\top.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DeleteFolderTree(nullptr, scratch / L"tree"), 0);
    EXPECT_FALSE(IsDirectory(scratch / L"tree"));
}

TEST(Files, CountFiles) {
    ScratchFolder scratch;
    MakeFolder(scratch / L"empty");
    EXPECT_EQ(CountFiles(scratch / L"empty", true), 0);
    EXPECT_EQ(CountFiles(scratch / L"missing", true), 0);

    MakeFolder(scratch / L"set\\sub\\deeper");
    WriteTextFile(scratch / L"set\\1.txt", "");
    WriteTextFile(scratch / L"set\\2.txt", "");
    WriteTextFile(scratch / L"set\\sub\\3.txt", "");
    WriteTextFile(scratch / L"set\\sub\\deeper\\4.txt", "");
    WriteTextFile(scratch / L"set\\hidden.txt", "");
    SetFileAttributesW((scratch / L"set\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);

    EXPECT_EQ(CountFiles(scratch / L"set", false), 3);
    EXPECT_EQ(CountFiles(scratch / L"set", true), 5);
    EXPECT_EQ(CountFiles(scratch / L"set\\", true), 5);
}

TEST(Files, CopyFolderTreeLeavesWhatTheTargetHas) {
    ScratchFolder scratch;
    MakeFolder(scratch / L"from\\sub");
    WriteTextFile(scratch / L"from\\a.txt", "new a");
    WriteTextFile(scratch / L"from\\b.txt", "new b");
    WriteTextFile(scratch / L"from\\sub\\c.txt", "new c");
    MakeFolder(scratch / L"to");
    WriteTextFile(scratch / L"to\\a.txt", "old a");

    EXPECT_EQ(CopyFolderTree(scratch / L"from", scratch / L"to"), 2);
    EXPECT_EQ(ReadTextFile(scratch / L"to\\a.txt"), "old a");
    EXPECT_EQ(ReadTextFile(scratch / L"to\\b.txt"), "new b");
    EXPECT_EQ(ReadTextFile(scratch / L"to\\sub\\c.txt"), "new c");

    // Everything is there now: a second copy finds nothing to do.
    EXPECT_EQ(CopyFolderTree(scratch / L"from", scratch / L"to"), 0);
    // A new target is made.
    EXPECT_EQ(CopyFolderTree(scratch / L"from", scratch / L"fresh"), 3);
    EXPECT_EQ(CopyFolderTree(scratch / L"missing", scratch / L"fresh2"), 0);

    // A cancelled copy stops at once.
    std::atomic<int32_t> cancelled{1};
    EXPECT_EQ(CopyFolderTree(scratch / L"from", scratch / L"cancelled", &cancelled), 0);
    EXPECT_EQ(testing_support::CountEntries(scratch / L"cancelled"), 0);
}

TEST(Files, ModuleFileNameIsTheRunningProgram) {
    std::wstring path = ModuleFileName(nullptr);
    EXPECT_EQ(FileNamePart(path), L"shell_tests.exe");
    EXPECT_TRUE(FileExists(path));
}

} // namespace
