// Listing archives through the real 7z.dll.
#include "archive/archivekind.h"
#include "archive/library/archivelibrary.h"
#include "archive/library/listing.h"
#include "archive/library/propvariant.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace testing_support;

std::map<std::wstring, DirItem> ByPath(const ArchiveContents& contents) {
    std::map<std::wstring, DirItem> items;
    for (const DirItem& item : contents.items)
        items[item.path] = item;
    return items;
}

FILETIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME when = {year, month, 0, day, hour, minute, second, 0};
    FILETIME time;
    SystemTimeToFileTime(&when, &time);
    return time;
}

TEST(Listing, SevenZipEntriesWithFoldersSizesAndUtcTimes) {
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(TestData(L"plain.7z"), ArchiveKind7z, contents), 0);
    auto items = ByPath(contents);
    ASSERT_EQ(items.size(), 6u);

    const DirItem& folder = items[L"folder\\inner"];
    EXPECT_TRUE(folder.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(items[L"empty"].attributes & FILE_ATTRIBUTE_DIRECTORY);

    const DirItem& two = items[L"folder\\inner\\two.txt"];
    EXPECT_FALSE(two.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(two.size, L"8");
    EXPECT_EQ(two.date, L"2012-03-04");
    EXPECT_EQ(two.time, L"05:06:07");
    FILETIME expected = Utc(2012, 3, 4, 5, 6, 7);
    EXPECT_EQ(two.modified.dwHighDateTime, expected.dwHighDateTime);
    // The packed size of a solid block is given once, for its first file.
    EXPECT_EQ(items[L"root.txt"].size, L"10");
    EXPECT_EQ(items[L"root.txt"].packedSize, L"");
}

TEST(Listing, ZipFolderEntriesAndNonAsciiNames) {
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(TestData(L"nested.zip"), ArchiveKindZip, contents), 0);
    auto items = ByPath(contents);
    EXPECT_TRUE(items[L"empty"].attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(items[L"docs\\deep"].attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(items[L"docs\\readme.txt"].size, L"9");
    EXPECT_FALSE(items[L"docs\\readme.txt"].packedSize.empty());
    EXPECT_EQ(items.count(L"\u00fcber\\\u1e0bat\u00e8i.txt"), 1u);
    // Library order, which is archive order.
    EXPECT_EQ(contents.items.front().path, L"docs");
}

TEST(Listing, RarFixturesListTheirTree) {
    for (const wchar_t* name : {L"rar4-folders.rar", L"rar5-folders.rar"}) {
        ArchiveContents contents;
        ASSERT_EQ(ListArchive(Fixture(name), ArchiveKindRar, contents), 0) << Narrow(name);
        auto items = ByPath(contents);
        EXPECT_EQ(items.size(), 10u);
        EXPECT_TRUE(items[L"sub\\empty"].attributes & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_TRUE(items[L"sub\\\u00fc\u0235\u0129\u00f6\u1e0b\u00e8"].attributes &
                    FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(items[L"sub\\with space\\long fn.txt"].size, L"8");
    }
    ArchiveContents rar5;
    ListArchive(Fixture(L"rar5-folders.rar"), ArchiveKindRar, rar5);
    auto rar5Items = ByPath(rar5);
    const DirItem& file1 = rar5Items[L"sub\\dir1\\file1.txt"];
    EXPECT_EQ(file1.date, L"2020-07-20");
    EXPECT_EQ(file1.time, L"18:01:33");
}

TEST(Listing, AnEmptyArchiveHasNoEntries) {
    ArchiveContents contents;
    EXPECT_EQ(ListArchive(TestData(L"empty.zip"), ArchiveKindZip, contents), 0);
    EXPECT_TRUE(contents.items.empty());
}

TEST(Listing, FailuresSayWhyOnStandardOutput) {
    struct {
        std::wstring path;
        int kind;
        const char* message;
    } cases[] = {
        {TestData(L"notes.txt"), ArchiveKindNone, "Can not get class object"},
        {TestData(L"damaged.zip"), ArchiveKindZip, "Can not open archive"},
        {TestData(L"rar-named.zip"), ArchiveKindZip, "Can not open archive"},
        {TestData(L"missing.zip"), ArchiveKindZip, "Can not open archive file"},
        {Fixture(L"rar5-unopenable.rar"), ArchiveKindRar, "Can not open archive"},
    };
    for (const auto& c : cases) {
        OutputCapture output;
        ArchiveContents contents;
        contents.password = L"kept";
        EXPECT_EQ(ListArchive(c.path, c.kind, contents), 1) << Narrow(c.path);
        EXPECT_TRUE(contents.items.empty());
        EXPECT_EQ(contents.password, L"kept");
        EXPECT_EQ(output.Text(), std::string("\n") + c.message + "\n") << Narrow(c.path);
    }
}

TEST(Listing, DamagedRarArchivesStillList) {
    for (const wchar_t* name : {L"rar4-truncated.rar", L"rar5-bad-tables.rar"}) {
        ArchiveContents contents;
        EXPECT_EQ(ListArchive(Fixture(name), ArchiveKindRar, contents), 0) << Narrow(name);
        EXPECT_EQ(contents.items.size(), 1u) << Narrow(name);
    }
}

TEST(Listing, ACancelledJobStopsTheListing) {
    std::atomic<int32_t> cancelled{1};
    ArchiveContents contents;
    EXPECT_EQ(ListArchive(TestData(L"nested.zip"), ArchiveKindZip, contents, &cancelled), 1);
    EXPECT_TRUE(contents.items.empty());
}

TEST(LibraryLoading, TheLibraryLiesInCoreBesideTheProgram) {
    EXPECT_EQ(GetLibraryPath(), ProgramFolder() + L"\\core\\7z.dll");
    EXPECT_EQ(GetFormatClassId(ArchiveKind7z).Data4[5], 0x07);
    EXPECT_EQ(GetFormatClassId(ArchiveKindRar).Data4[5], 0x03);
    EXPECT_EQ(GetFormatClassId(ArchiveKindZip).Data4[5], 0x01);
    GUID none = GetFormatClassId(ArchiveKindNone);
    EXPECT_EQ(none.Data1, 0u);
}

TEST(PropertyTexts, EveryTypeConverts) {
    PropVariant value;
    EXPECT_EQ(PropertyToText(value), L"");

    value.vt = VT_UI4;
    value.ulVal = 4294967295u;
    EXPECT_EQ(PropertyToText(value), L"4294967295");
    EXPECT_EQ(PropertyToNumber(value), 4294967295u);
    value.vt = VT_UI8;
    value.uhVal.QuadPart = 0;
    EXPECT_EQ(PropertyToText(value), L"0");
    value.vt = VT_I8;
    value.hVal.QuadPart = -1234567890123LL;
    EXPECT_EQ(PropertyToText(value), L"-1234567890123");
    EXPECT_EQ(PropertyToNumber(value), 0u);
    value.hVal.QuadPart = INT64_MIN;
    EXPECT_EQ(PropertyToText(value), L"-9223372036854775808");
    value.vt = VT_UI8;
    value.uhVal.QuadPart = UINT64_MAX;
    EXPECT_EQ(PropertyToText(value), L"18446744073709551615");
    value.vt = VT_I8;
    value.vt = VT_I2;
    value.iVal = -5;
    EXPECT_EQ(PropertyToText(value), L"-5");
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    EXPECT_EQ(PropertyToText(value), L"+");
    value.boolVal = VARIANT_FALSE;
    EXPECT_EQ(PropertyToText(value), L"-");
    value.vt = VT_FILETIME;
    value.filetime = Utc(2012, 3, 4, 5, 6, 7);
    EXPECT_EQ(PropertyToText(value), L"2012-03-04 05:06:07");
    value.vt = VT_EMPTY;

    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(L"dir\\name.txt");
    EXPECT_EQ(PropertyToText(value), L"dir\\name.txt");
    value.Reset();

    FILETIME early = Utc(1601, 1, 1, 0, 0, 0);
    EXPECT_EQ(FileTimeToText(early), L"1601-01-01 00:00:00");
    FILETIME invalid = {0xFFFFFFFF, 0xFFFFFFFF};
    EXPECT_EQ(FileTimeToText(invalid), L"");
}

} // namespace

namespace {

TEST(Listing, EntriesOfMoreThanFourGibibytesKeepTheirSizes) {
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(testing_support::TestData(L"huge.zip"), ArchiveKindZip, contents), 0);
    auto items = ByPath(contents);
    EXPECT_EQ(items[L"five-gib.bin"].size, L"5368709121");
    EXPECT_EQ(items[L"five-gib.bin"].packedSize, L"5368709121");
    EXPECT_EQ(items[L"four-gib.bin"].size, L"4294967296");
    EXPECT_EQ(items[L"three-gib.bin"].size, L"3221225472");
    EXPECT_EQ(items[L"small.txt"].size, L"10");
}

} // namespace
