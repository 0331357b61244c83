// Listing archives through the real 7z.dll.
#include "archive/archivekind.h"
#include "archive/library/archivelibrary.h"
#include "archive/library/formats.h"
#include "archive/library/listing.h"
#include "archive/library/propvariant.h"
#include "archive/library/streampipe.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>
#include <vector>

namespace {

using namespace testing_support;

std::map<std::wstring, DirItem> ByPath(const ArchiveContents& contents) {
    std::map<std::wstring, DirItem> items;
    for (const DirItem& item : contents.items)
        items[item.path] = item;
    return items;
}

// The listing's numbers and time as the texts they stand for ("" when not given).
std::wstring SizeOf(const DirItem& item) {
    return item.entry.hasSize ? std::to_wstring(item.entry.size) : std::wstring();
}
std::wstring PackedOf(const DirItem& item) {
    return item.entry.hasPackedSize ? std::to_wstring(item.entry.packedSize) : std::wstring();
}
std::wstring DateOf(const DirItem& item) {
    return item.entry.hasModified ? FileTimeToText(item.entry.modified).substr(0, 10) : L"";
}
std::wstring TimeOf(const DirItem& item) {
    return item.entry.hasModified ? FileTimeToText(item.entry.modified).substr(11) : L"";
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
    EXPECT_TRUE(folder.entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(items[L"empty"].entry.attributes & FILE_ATTRIBUTE_DIRECTORY);

    const DirItem& two = items[L"folder\\inner\\two.txt"];
    EXPECT_FALSE(two.entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(SizeOf(two), L"8");
    EXPECT_EQ(DateOf(two), L"2012-03-04");
    EXPECT_EQ(TimeOf(two), L"05:06:07");
    FILETIME expected = Utc(2012, 3, 4, 5, 6, 7);
    EXPECT_EQ(two.entry.modified.dwHighDateTime, expected.dwHighDateTime);
    // The packed size of a solid block is given once, for its first file.
    EXPECT_EQ(SizeOf(items[L"root.txt"]), L"10");
    EXPECT_EQ(PackedOf(items[L"root.txt"]), L"");
}

TEST(Listing, ZipFolderEntriesAndNonAsciiNames) {
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(TestData(L"nested.zip"), ArchiveKindZip, contents), 0);
    auto items = ByPath(contents);
    EXPECT_TRUE(items[L"empty"].entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(items[L"docs\\deep"].entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(SizeOf(items[L"docs\\readme.txt"]), L"9");
    EXPECT_FALSE(PackedOf(items[L"docs\\readme.txt"]).empty());
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
        EXPECT_TRUE(items[L"sub\\empty"].entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_TRUE(items[L"sub\\\u00fc\u0235\u0129\u00f6\u1e0b\u00e8"].entry.attributes &
                    FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_EQ(SizeOf(items[L"sub\\with space\\long fn.txt"]), L"8");
    }
    ArchiveContents rar5;
    ListArchive(Fixture(L"rar5-folders.rar"), ArchiveKindRar, rar5);
    auto rar5Items = ByPath(rar5);
    const DirItem& file1 = rar5Items[L"sub\\dir1\\file1.txt"];
    EXPECT_EQ(DateOf(file1), L"2020-07-20");
    EXPECT_EQ(TimeOf(file1), L"18:01:33");
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

TEST(Listing, ASetListsWholeFromAnyVolumeAndAMissingOneIsNamed) {
    auto listed = [](const std::wstring& volume, std::wstring* missing = nullptr) {
        std::vector<std::wstring> paths;
        std::wstring password;
        int result = ListArchiveItems(
            volume, GetArchiveKind(volume), password, nullptr,
            [&](DirItem& item, uint32_t, uint32_t) { paths.push_back(item.path); }, missing);
        std::sort(paths.begin(), paths.end());
        return result == 0 ? paths : std::vector<std::wstring>{L"<not listed>"};
    };
    const std::wstring volumes = TestData(L"volumes\\");
    for (const wchar_t* set : {L"rar5-volumes.part", L"rar4-volumes.part"}) {
        std::vector<std::wstring> first = listed(VolumeFixture(set + std::wstring(L"1.rar")));
        EXPECT_EQ(listed(VolumeFixture(set + std::wstring(L"3.rar"))), first) << Narrow(set);
        EXPECT_GE(first.size(), 2u);
    }
    const std::vector<std::wstring> both{L"big.bin", L"small.txt"};
    EXPECT_EQ(listed(volumes + L"split7z.7z.001"), both);
    EXPECT_EQ(listed(volumes + L"split7z.7z.004"), both);
    EXPECT_EQ(listed(volumes + L"splitzip.zip.005"), both);
    EXPECT_EQ(listed(volumes + L"spanned.zip"), both);
    EXPECT_EQ(listed(volumes + L"spanned.z03"), both);

    // A set with a gap, or without its first volume: the missing one is named.
    std::wstring missing;
    EXPECT_EQ(listed(volumes + L"gaps\\split7z.7z.002", &missing).size(), 1u);
    EXPECT_EQ(missing, L"split7z.7z.003");
    listed(volumes + L"gaps\\spanned.z04", &missing);
    EXPECT_EQ(missing, L"spanned.z02");
    ScratchFolder scratch;
    CopyFilesBeginningWith(VolumeFixture(L""), L"rar5-volumes.part", scratch.path());
    DeleteFileW((scratch / L"rar5-volumes.part5.rar").c_str());
    listed(scratch / L"rar5-volumes.part2.rar", &missing);
    EXPECT_EQ(missing, L"rar5-volumes.part5.rar");
    DeleteFileW((scratch / L"rar5-volumes.part1.rar").c_str());
    listed(scratch / L"rar5-volumes.part2.rar", &missing);
    EXPECT_EQ(missing, L"rar5-volumes.part1.rar");
    // The last volume: no later one shows the gap; the set reads as cut short.
    CopyFilesBeginningWith(VolumeFixture(L""), L"rar4-volumes.part", scratch.path());
    DeleteFileW((scratch / L"rar4-volumes.part4.rar").c_str());
    listed(scratch / L"rar4-volumes.part1.rar", &missing);
    EXPECT_EQ(missing, L"rar4-volumes.part4.rar");

    // Once listed, every volume is let go at once: the set may be deleted the moment after.
    ScratchFolder whole;
    int count = CopyFilesBeginningWith(VolumeFixture(L""), L"rar5-volumes.part", whole.path());
    EXPECT_GE(listed(whole / L"rar5-volumes.part3.rar").size(), 2u);
    for (int part = 1; part <= count; ++part) {
        std::wstring name = L"rar5-volumes.part" + std::to_wstring(part) + L".rar";
        EXPECT_TRUE(DeleteFileW((whole / name).c_str())) << Narrow(name);
    }
}

TEST(Listing, SaysTheArchivesKindVolumesAndWhetherItIsEncrypted) {
    auto facts = [](const std::wstring& archive, const std::wstring& password = L"") {
        std::wstring known = password;
        ArchiveFacts said;
        ListArchiveItems(
            archive, GetArchiveKind(archive), known, nullptr, [](DirItem&, uint32_t, uint32_t) {},
            nullptr, &said);
        return said.kind + L"|" + std::to_wstring(said.volumes) + L"|" +
               (said.encrypted ? L"encrypted" : L"plain");
    };
    EXPECT_EQ(facts(TestData(L"nested.zip")), L"ZIP archive|1|plain");
    EXPECT_EQ(facts(TestData(L"encrypted.zip")), L"ZIP archive|1|encrypted");
    EXPECT_EQ(facts(TestData(L"headers.7z"), L"secret"), L"7z archive|1|encrypted");
    EXPECT_EQ(facts(TestData(L"formats\\kit.tar.gz")), L"TAR archive in GZIP|1|plain");
    EXPECT_EQ(facts(TestData(L"volumes\\split7z.7z.002")), L"7z archive|5|plain");
    EXPECT_EQ(facts(VolumeFixture(L"rar5-volumes.part1.rar")), L"RAR5 archive|8|plain");
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

TEST(LibraryLoading, TheLibraryLiesInCoreBesideTheProgramAndNamesItsFormats) {
    EXPECT_EQ(GetLibraryPath(), ProgramFolder() + L"\\core\\7z.dll");
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    ASSERT_GT(formats.size(), 40u);
    auto format = [&](const wchar_t* name) -> const ArchiveFormat& {
        int index = FindFormatByName(name);
        EXPECT_GE(index, 0) << Narrow(name);
        return formats[static_cast<size_t>(std::max(index, 0))];
    };
    EXPECT_TRUE(IsEqualGUID(format(L"7z").classId, sevenzip::CLSID_Format7z));
    EXPECT_TRUE(IsEqualGUID(format(L"zip").classId, sevenzip::CLSID_FormatZip));
    EXPECT_TRUE(IsEqualGUID(format(L"Rar5").classId, sevenzip::CLSID_FormatRar5));
    EXPECT_TRUE(format(L"7z").canUpdate);
    EXPECT_FALSE(format(L"Rar").canUpdate);
    EXPECT_EQ(format(L"7z").signatures, std::vector<std::string>{"7z\xBC\xAF\x27\x1C"});
    // Several signatures, and a signature far into the file.
    EXPECT_NE(std::find(format(L"zip").signatures.begin(), format(L"zip").signatures.end(),
                        std::string("PK\x03\x04")),
              format(L"zip").signatures.end());
    EXPECT_EQ(format(L"Iso").signatureOffset, 32769u);
    // What a compressed tar holds is named by the extension.
    const ArchiveFormat& gzip = format(L"gzip");
    size_t tgz =
        static_cast<size_t>(std::find(gzip.extensions.begin(), gzip.extensions.end(), L"tgz") -
                            gzip.extensions.begin());
    ASSERT_LT(tgz, gzip.extensions.size());
    EXPECT_EQ(gzip.addExtensions[tgz], L".tar");
    EXPECT_EQ(FindFormatByExtension(L"TZST"), FindFormatByName(L"zstd"));
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
    EXPECT_EQ(SizeOf(items[L"five-gib.bin"]), L"5368709121");
    EXPECT_EQ(PackedOf(items[L"five-gib.bin"]), L"5368709121");
    EXPECT_EQ(SizeOf(items[L"four-gib.bin"]), L"4294967296");
    EXPECT_EQ(SizeOf(items[L"three-gib.bin"]), L"3221225472");
    EXPECT_EQ(SizeOf(items[L"small.txt"]), L"10");
}

} // namespace

namespace {

// The pipe between a compressed file's handler and the tar's: bytes come out whole and in
// order through a small buffer that wraps round many times, whatever the sizes of the
// writes and reads, and a reader that stops stops the writer.
TEST(StreamPipe, CarriesEveryByteInOrderAndStopsTheWriterWhenTheReaderGoes) {
    StreamPipe pipe(1000);
    std::vector<char> sent(200000);
    for (size_t i = 0; i < sent.size(); ++i)
        sent[i] = static_cast<char>(i * 7 + i / 251);
    std::thread writer([&] {
        for (size_t at = 0, step = 1; at < sent.size(); step = step % 700 + 37) {
            UINT32 written = 0;
            UINT32 size = static_cast<UINT32>(std::min(step, sent.size() - at));
            ASSERT_EQ(pipe.Write(&sent[at], size, &written), S_OK);
            at += written;
        }
        pipe.EndWriting();
    });
    std::vector<char> received;
    char block[613];
    for (UINT32 got = 1, size = 1; got != 0; size = size % 613 + 1) {
        ASSERT_EQ(pipe.Read(block, size, &got), S_OK);
        received.insert(received.end(), block, block + got);
    }
    writer.join();
    EXPECT_TRUE(received == sent);

    StreamPipe stopped(1000);
    std::thread blocked([&] {
        UINT32 written = 0;
        HRESULT result = S_OK;
        while (result == S_OK)
            result = stopped.Write(sent.data(), 400, &written);
        EXPECT_EQ(result, E_ABORT);
    });
    UINT32 got = 0;
    ASSERT_EQ(stopped.Read(block, 10, &got), S_OK);
    EXPECT_EQ(got, 10u);
    stopped.EndReading();
    blocked.join();
}

} // namespace
