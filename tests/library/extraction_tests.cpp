// Extracting through the real 7z.dll.
#include "archive/archivekind.h"
#include "archive/library/extraction.h"
#include "archive/library/listing.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using Names = std::vector<std::wstring>;

int Extract(const std::wstring& archive, const std::wstring& folder, const Names* names = nullptr,
            const std::wstring& password = L"") {
    ArchiveContents contents;
    contents.password = password;
    ExtractOptions options;
    options.names = names;
    return ExtractArchive(archive, GetArchiveKind(archive), folder, contents, options);
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// No link of any kind was made below `folder`.
void ExpectNoLinks(const std::wstring& folder) {
    for (const std::wstring& entry : ListTree(folder)) {
        DWORD attributes = GetFileAttributesW((folder + L"\\" + entry).c_str());
        EXPECT_FALSE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << Narrow(entry);
    }
}

TEST(Extraction, EveryEntryWithItsContentAndTime) {
    ScratchFolder scratch;
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch.path()), 0);

    EXPECT_EQ(ListTree(scratch.path()),
              Sorted({L"big.bin", L"dir", L"dir\\a.txt", L"dir2", L"dir2\\b.txt", L"director.txt",
                      L"docs", L"docs\\deep", L"docs\\deep\\deeper",
                      L"docs\\deep\\deeper\\note.txt", L"docs\\readme.txt", L"empty", L"top.txt",
                      L"\u00fcber", L"\u00fcber\\\u1e0bat\u00e8i.txt"}));
    EXPECT_EQ(ReadTextFile(scratch / L"docs\\readme.txt"), "read me\r\n");
    EXPECT_EQ(ReadTextFile(scratch / L"\u00fcber\\\u1e0bat\u00e8i.txt"), "unicode name");
    std::string big = ReadTextFile(scratch / L"big.bin");
    ASSERT_EQ(big.size(), 256u * 4096u);
    EXPECT_EQ(static_cast<unsigned char>(big[1000]), 1000 % 256);

    // Each file gets the time the archive keeps for it.
    ArchiveContents listing;
    ListArchive(TestData(L"nested.zip"), ArchiveKindZip, listing);
    for (const DirItem& item : listing.items) {
        if (!(item.entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            EXPECT_TRUE(SameTime(ModifiedTime(scratch / item.path), item.entry.modified))
                << Narrow(item.path);
        }
    }
}

TEST(Extraction, SevenZipAndRarArchives) {
    ScratchFolder scratch;
    ASSERT_EQ(Extract(TestData(L"plain.7z"), scratch / L"7z"), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"7z\\folder\\inner\\two.txt"), "two two\n");
    EXPECT_TRUE(IsDirectory(scratch / L"7z\\empty"));
    SYSTEMTIME when = {2012, 3, 0, 4, 5, 6, 7, 0};
    FILETIME expected;
    SystemTimeToFileTime(&when, &expected);
    EXPECT_TRUE(SameTime(ModifiedTime(scratch / L"7z\\root.txt"), expected));

    for (const wchar_t* name : {L"rar4-folders.rar", L"rar5-folders.rar"}) {
        std::wstring out = scratch / name;
        ASSERT_EQ(Extract(Fixture(name), out), 0) << Narrow(name);
        EXPECT_EQ(ReadTextFile(out + L"\\sub\\dir2\\file2.txt"), "file2\n");
        EXPECT_EQ(ReadTextFile(out + L"\\sub\\with space\\long fn.txt"), "long fn\n");
        EXPECT_EQ(ReadTextFile(out + L"\\sub\\\u00fc\u0235\u0129\u00f6\u1e0b\u00e8\\file.txt"),
                  "file\n");
        EXPECT_EQ(ReadTextFile(out + L"\\sub\\dir1\\file1.txt"), "file1\n");
        EXPECT_TRUE(IsDirectory(out + L"\\sub\\empty"));
    }
    // RAR5 keeps UTC times.
    SYSTEMTIME rarTime = {2020, 7, 0, 20, 18, 1, 33, 875};
    FILETIME rarExpected;
    SystemTimeToFileTime(&rarTime, &rarExpected);
    FILETIME got = ModifiedTime(scratch / L"rar5-folders.rar\\sub\\dir1\\file1.txt");
    ULARGE_INTEGER a{{got.dwLowDateTime, got.dwHighDateTime}};
    ULARGE_INTEGER b{{rarExpected.dwLowDateTime, rarExpected.dwHighDateTime}};
    EXPECT_LT(a.QuadPart > b.QuadPart ? a.QuadPart - b.QuadPart : b.QuadPart - a.QuadPart,
              10000000u);
}

TEST(Extraction, NamesSelectTheirEntriesAndWhatTheirFoldersHold) {
    ScratchFolder scratch;
    // Not "dir2" nor "director.txt", which only begin with the name.
    Names dir{L"dir"};
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch / L"dir", &dir), 0);
    EXPECT_EQ(ListTree(scratch / L"dir"), Sorted({L"dir", L"dir\\a.txt"}));

    Names two{L"docs\\readme.txt", L"top.txt"};
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch / L"two", &two), 0);
    EXPECT_EQ(ListTree(scratch / L"two"), Sorted({L"docs", L"docs\\readme.txt", L"top.txt"}));

    // An empty name, or no names, select everything.
    Names everything{L""};
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch / L"all", &everything), 0);
    EXPECT_EQ(ListTree(scratch / L"all").size(), 15u);
    Names none;
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch / L"none", &none), 0);
    EXPECT_EQ(ListTree(scratch / L"none").size(), 15u);

    Names missing{L"nothing"};
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch / L"missing", &missing), 0);
    EXPECT_EQ(ListTree(scratch / L"missing").size(), 0u);
}

TEST(Extraction, ExistingFilesAreReplacedWhenTheUserSaysSoAndAttributesSet) {
    ScratchFolder scratch;
    WriteTextFile(scratch / L"locked.txt", "old content that is longer");
    SetFileAttributesW((scratch / L"locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    DialogAnswerer user(DialogWithText(L"&Keep Both"), PressButton(IDYES));
    ASSERT_EQ(Extract(TestData(L"readonly.zip"), scratch.path()), 0);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(ReadTextFile(scratch / L"locked.txt"), "locked content");
    DWORD attributes = GetFileAttributesW((scratch / L"locked.txt").c_str());
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_READONLY);

    // Again over the read-only result.
    EXPECT_EQ(Extract(TestData(L"readonly.zip"), scratch.path()), 0);
    EXPECT_EQ(user.answered(), 2);
}

TEST(Extraction, EntriesThatMeetInOneFileByLetterCaseCanBothBeKept) {
    ScratchFolder scratch;
    DialogAnswerer user(DialogWithText(L"&Keep Both"), PressButton(IDC_KEEP_BOTH));
    EXPECT_EQ(Extract(TestData(L"case.zip"), scratch.path()), 0);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(ListTree(scratch.path()), Sorted({L"Index.html", L"index (2).html"}));
    EXPECT_EQ(ReadTextFile(scratch / L"Index.html"), "upper");
    EXPECT_EQ(ReadTextFile(scratch / L"index (2).html"), "lower");
}

// A file that cannot be written fails alone: the entries after it are still tried.
TEST(Extraction, AFolderWhereAFileGoesFailsThatEntryAlone) {
    ScratchFolder scratch;
    MakeFolder(scratch / L"top.txt");
    OutputCapture output;
    ArchiveContents contents;
    ExtractReport report;
    EXPECT_EQ(ExtractArchive(TestData(L"nested.zip"), GetArchiveKind(TestData(L"nested.zip")),
                             scratch.path(), contents, ExtractOptions(), &report),
              1);
    std::string text = output.Text();
    EXPECT_NE(text.find("ERROR: A folder is in the way of " + Narrow(scratch / L"top.txt")),
              std::string::npos)
        << text;
    ASSERT_EQ(report.failed.size(), 1u);
    EXPECT_EQ(report.failed[0].path, L"top.txt");
    EXPECT_EQ(report.failed[0].fault, Fault::FolderInTheWay);
    EXPECT_EQ(ReadTextFile(scratch / L"docs\\deep\\deeper\\note.txt"), "deep note");
}

TEST(Extraction, EachItemIsReportedOnStandardOutput) {
    ScratchFolder scratch;
    OutputCapture output;
    Names one{L"top.txt"};
    ASSERT_EQ(Extract(TestData(L"nested.zip"), scratch.path(), &one), 0);
    EXPECT_EQ(output.Text(), "Extracting  top.txt\n");
}

TEST(Extraction, DamagedDataKeepsGoingAndIsReportedAsAFailure) {
    ScratchFolder scratch;
    OutputCapture output;
    EXPECT_EQ(Extract(Fixture(L"rar5-bad-tables.rar"), scratch.path()), 1);
    EXPECT_NE(output.Text().find("bad_tables.txt     "), std::string::npos) << output.Text();
}

TEST(Extraction, ACancelledJobWritesNothing) {
    ScratchFolder scratch;
    std::atomic<int32_t> cancelled{1};
    ArchiveContents contents;
    ExtractOptions options;
    options.cancelled = &cancelled;
    EXPECT_EQ(
        ExtractArchive(TestData(L"nested.zip"), ArchiveKindZip, scratch.path(), contents, options),
        1);
    EXPECT_TRUE(ListTree(scratch.path()).empty());
}

TEST(HostileArchives, NamesThatTryToLeaveTheFolderStayInside) {
    ScratchFolder scratch;
    std::wstring out = scratch / L"out";
    ASSERT_EQ(Extract(TestData(L"hostile.zip"), out), 0);

    EXPECT_EQ(ListTree(scratch.path()).front(), L"out");
    EXPECT_EQ(CountEntries(scratch.path()), 1);
    EXPECT_EQ(ListTree(out), Sorted({L"C_relative.txt",
                                     L"_CON",
                                     L"absolute.txt",
                                     L"dots",
                                     L"dots\\x.txt",
                                     L"drive.txt",
                                     L"device.txt",
                                     L"escape-backslash.txt",
                                     L"escape-parent.txt",
                                     L"inner",
                                     L"inner\\escape-inner.txt",
                                     L"rooted.txt",
                                     L"safe",
                                     L"safe\\kept.txt",
                                     L"server",
                                     L"server\\share",
                                     L"server\\share\\unc.txt",
                                     L"stream.txt_hidden",
                                     L"sub",
                                     L"sub\\_nul.txt",
                                     L"sub\\x_Zone.Identifier",
                                     L"a.txt",
                                     L"a.txt_Zone.Identifier",
                                     L"a.txt__$DATA",
                                     L"a_b"}));
    EXPECT_EQ(ReadTextFile(out + L"\\escape-parent.txt"), "parent");
    EXPECT_EQ(ReadTextFile(out + L"\\_CON"), "console");
    // Names with a colon write no stream: neither a.txt's mark nor its data.
    EXPECT_EQ(ReadTextFile(out + L"\\a.txt"), "plain a");
    EXPECT_EQ(WebMarkOf(out + L"\\a.txt"), "");
    for (const wchar_t* outside :
         {L"Z:\\absolute.txt", L"Z:\\rooted.txt", L"C:\\drive.txt", L"C:\\device.txt"})
        EXPECT_EQ(GetFileAttributesW(outside), INVALID_FILE_ATTRIBUTES) << Narrow(outside);
}

const std::string internetMark =
    "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/a.zip\r\n";

std::wstring MarkedCopy(const ScratchFolder& folder, const std::wstring& name,
                        const std::string& mark) {
    std::wstring copy = folder / name;
    CopyFileW(TestData(name).c_str(), copy.c_str(), FALSE);
    if (!mark.empty())
        SetWebMark(copy, mark);
    return copy;
}

TEST(WebMark, FilesFromAnInternetArchiveCarryItsMarkAsItIs) {
    ScratchFolder scratch;
    std::wstring archive = MarkedCopy(scratch, L"nested.zip", internetMark);
    std::wstring out = scratch / L"out";
    ASSERT_EQ(Extract(archive, out), 0);
    EXPECT_EQ(WebMarkOf(out + L"\\docs\\deep\\deeper\\note.txt"), internetMark);
    EXPECT_EQ(WebMarkOf(out + L"\\docs"), "");

    // A replaced file is marked in its place, not under the name it was written to first.
    DeleteFileW((out + L"\\top.txt:Zone.Identifier").c_str());
    DialogAnswerer user(DialogWithText(L"&Keep Both"), PressButton(IDYES));
    Names top{L"top.txt"};
    ASSERT_EQ(Extract(archive, out, &top), 0);
    EXPECT_EQ(WebMarkOf(out + L"\\top.txt"), internetMark);

    // Other zones; a mark too big to copy gives its zone alone.
    const std::pair<std::string, std::string> marks[] = {
        {"[ZoneTransfer]\r\nZoneId=4\r\n", "[ZoneTransfer]\r\nZoneId=4\r\n"},
        {internetMark + std::string(70000, 'x'), "[ZoneTransfer]\r\nZoneId=3\r\n"},
        {"[ZoneTransfer]\r\nZoneId=2\r\n", ""},
        {"[Other]\r\nZoneId=3\r\n", ""},
        {"", ""}};
    for (const auto& [mark, copied] : marks) {
        ScratchFolder other;
        ASSERT_EQ(Extract(MarkedCopy(other, L"nested.zip", mark), other / L"out", &top), 0);
        EXPECT_EQ(WebMarkOf(other / L"out\\top.txt"), copied) << mark.substr(0, 40);
    }
}

TEST(HostileArchives, LinkItemsNeverBecomeLinks) {
    ScratchFolder scratch;
    std::wstring out = scratch / L"out";
    Extract(Fixture(L"rar5-symlink-escape.rar"), out);
    EXPECT_EQ(CountEntries(scratch.path()), 1);
    ExpectNoLinks(out);
    // Whatever was written is below the output folder.
    for (const std::wstring& entry : ListTree(out))
        EXPECT_EQ(entry.find(L".."), std::wstring::npos);

    std::wstring links = scratch / L"links";
    EXPECT_EQ(Extract(Fixture(L"rar5-windows-links.rar"), links), 0);
    EXPECT_EQ(CountEntries(scratch.path()), 2);
    ExpectNoLinks(links);
    EXPECT_EQ(ListTree(links),
              Sorted({L"content", L"content\\dir1", L"content\\dir2", L"content\\file.txt",
                      L"links", L"links\\bad_link", L"links\\dir_junction", L"links\\dir_link",
                      L"links\\file_link"}));

    // A Unix symlink item is written as a plain file holding its target.
    std::wstring basic = scratch / L"basic";
    EXPECT_EQ(Extract(Fixture(L"rar4-basic.rar"), basic), 0);
    EXPECT_EQ(ReadTextFile(basic + L"\\testlink"), "test.txt");
    ExpectNoLinks(basic);
}

TEST(HostileArchives, SafeItemPaths) {
    struct {
        const wchar_t* item;
        const wchar_t* safe;
    } cases[] = {
        {L"a\\b.txt", L"a\\b.txt"},
        {L"a/b.txt", L"a\\b.txt"},
        {L"..\\..\\x", L"x"},
        {L"a\\..\\..\\x", L"a\\x"},
        {L".\\a\\.\\b", L"a\\b"},
        {L"\\x", L"x"},
        {L"C:\\x", L"x"},
        {L"C:x", L"C_x"},
        {L"\\\\?\\C:\\x", L"x"},
        {L"\\??\\C:\\x", L"x"},
        {L"\\\\server\\share\\x", L"server\\share\\x"},
        {L"a:b", L"a_b"},
        {L"q?\"<>|*.txt", L"q______.txt"},
        {L"tab\there", L"tab_here"},
        {L"trailing. . ", L"trailing"},
        {L"... \\x", L"x"},
        {L"CON", L"_CON"},
        {L"dir\\lpt1.txt", L"dir\\_lpt1.txt"},
        {L"console.txt", L"console.txt"},
        {L"..", L""},
        {L"", L""},
        {L"[Content]", L"[Content]"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeItemPath(c.item), c.safe) << Narrow(c.item);
}

TEST(FolderPaths, CreateFolderPathAndDeleteFileForced) {
    ScratchFolder scratch;
    EXPECT_TRUE(CreateFolderPath(scratch / L"a\\b\\c"));
    EXPECT_TRUE(IsDirectory(scratch / L"a\\b\\c"));
    EXPECT_TRUE(CreateFolderPath(scratch / L"a\\b\\c\\"));
    EXPECT_TRUE(CreateFolderPath(L"C:\\"));

    WriteTextFile(scratch / L"file", "x");
    EXPECT_FALSE(CreateFolderPath(scratch / L"file"));
    EXPECT_FALSE(CreateFolderPath(scratch / L"file\\below"));

    SetFileAttributesW((scratch / L"file").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFileForced(scratch / L"file"));
    EXPECT_FALSE(DeleteFileForced(scratch / L"file"));

    // Paths beyond MAX_PATH work too.
    std::wstring deep = scratch.path();
    for (int i = 0; i < 12; ++i)
        deep += L"\\" + std::wstring(30, wchar_t(L'a' + i));
    EXPECT_TRUE(CreateFolderPath(deep));
}

} // namespace

namespace {

TEST(Extraction, AnEntryWithoutANameIsWrittenAsContent) {
    testing_support::ScratchFolder scratch;
    ASSERT_EQ(Extract(testing_support::TestData(L"noname.zip"), scratch.path()), 0);
    EXPECT_EQ(testing_support::ListTree(scratch.path()), (Names{L"[Content]"}));
    EXPECT_EQ(testing_support::ReadTextFile(scratch / L"[Content]"), "nameless");
}

} // namespace

namespace {

using namespace testing_support;

TEST(Extraction, PathsLongerThanMaxPathComeOutWholeAndTheTooDeepAreRefused) {
    ScratchFolder scratch;
    std::wstring folder = scratch.path();
    std::wstring output;
    {
        OutputCapture capture;
        // Not all entries came out: the extraction says so.
        EXPECT_EQ(Extract(TestData(L"longpaths.zip"), folder), 1);
        std::string text = capture.Text();
        output.assign(text.begin(), text.end());
    }
    std::wstring longFolder = folder + L"\\long";
    for (wchar_t letter = L'a'; letter <= L'j'; ++letter)
        longFolder += L"\\" + std::wstring(40, letter);
    ASSERT_GT(longFolder.size(), static_cast<size_t>(MAX_PATH));
    // Both leaves under their own full names: nothing was cut into another name.
    EXPECT_EQ(ReadTextFile(LongPathForm(longFolder + L"\\leaf-one.txt")), "first long leaf");
    EXPECT_EQ(ReadTextFile(LongPathForm(longFolder + L"\\leaf-two.txt")), "second long leaf");
    EXPECT_EQ(ReadTextFile(scratch / L"ok.txt"), "short");
    // Nor write streams in the long form.
    EXPECT_EQ(ReadTextFile(LongPathForm(longFolder + L"\\leaf-one.txt__$DATA")), "replaced leaf");
    EXPECT_EQ(WebMarkOf(LongPathForm(longFolder + L"\\leaf-two.txt")), "");

    // The entry nested 600 levels deep is reported and not written, nor its folders.
    EXPECT_NE(output.find(L"ERROR: Path too long, not extracted: deep\\d\\d\\"), std::wstring::npos)
        << Narrow(output);
    EXPECT_EQ(GetFileAttributesW((scratch / L"deep").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(IsExtractablePath(L"C:\\x\\" + std::wstring(30000, L'a'), L"a"));
    EXPECT_FALSE(IsExtractablePath(L"C:\\x\\" + std::wstring(32000, L'a'), L"a"));
    std::wstring nested;
    for (size_t i = 0; i < maxEntryDepth; ++i)
        nested += L"d\\";
    EXPECT_TRUE(IsExtractablePath(L"C:\\x\\" + nested + L"f", nested + L"f"));
    EXPECT_FALSE(IsExtractablePath(L"C:\\x\\" + nested + L"d\\f", nested + L"d\\f"));
}

TEST(FolderPaths, ACancelStopsMakingFolders) {
    ScratchFolder scratch;
    std::atomic<int32_t> cancelled{1};
    EXPECT_FALSE(CreateFolderPath(scratch / L"a\\b\\c", nullptr, &cancelled));
    EXPECT_EQ(GetFileAttributesW((scratch / L"a").c_str()), INVALID_FILE_ATTRIBUTES);
}

} // namespace
