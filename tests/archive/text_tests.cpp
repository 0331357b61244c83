#include "archive/archivekind.h"
#include "archive/library/formats.h"
#include "archive/textconv.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(ArchiveKinds, TheExtensionOfTheLastComponentDecides) {
    struct {
        const wchar_t* path;
        ArchiveKind kind;
    } cases[] = {
        {L"C:\\data\\set.zip", ArchiveKindZip},
        {L"x.ZIP", ArchiveKindZip},
        {L"x.tar.zip", ArchiveKindZip},
        {L"C:\\a\\b.Rar", ArchiveKindRar},
        {L"b.7z", ArchiveKind7z},
        {L"b.7Z", ArchiveKind7z},
        {L"zip", ArchiveKindNone},
        {L"C:\\my.zip\\notes", ArchiveKindNone},
        {L"set.part3.rar", ArchiveKindRar},
        {L"set.r01", ArchiveKindRar},
        {L"set.z02", ArchiveKindZip},
        {L"C:\\my.zip\\set.7z", ArchiveKind7z},
        {L"C:/unix/style.rar", ArchiveKindRar},
        {L".zip", ArchiveKindZip},
        {L"C:x.zip", ArchiveKindZip},
        {L"", ArchiveKindNone},
        {L"\"C:\\quoted.zip\"", ArchiveKindNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetArchiveKind(c.path), c.kind) << testing::PrintToString(std::wstring(c.path));

    // Every other format by the library's own list: the kind is its place there.
    EXPECT_EQ(GetArchiveKind(L"x.tar"), ArchiveKindOther + FindFormatByName(L"tar"));
    EXPECT_EQ(GetArchiveKind(L"x.TGZ"), ArchiveKindOther + FindFormatByName(L"gzip"));
    EXPECT_EQ(GetArchiveKind(L"x.7z.002"), ArchiveKindOther + FindFormatByName(L"Split"));
    EXPECT_TRUE(IsUpdatableKind(GetArchiveKind(L"x.tar")));
    EXPECT_TRUE(IsUpdatableKind(GetArchiveKind(L"x.wim")));
    EXPECT_FALSE(IsUpdatableKind(GetArchiveKind(L"x.tar.gz")));
    EXPECT_FALSE(IsUpdatableKind(ArchiveKindRar));

    // What a user calls an archive opens in the program; documents and programs that are
    // containers too go to their own programs.
    for (const wchar_t* archive :
         {L"a.rar", L"a.tar.gz", L"a.TBZ2", L"a.txz", L"a.tar.zst", L"a.iso", L"a.cab", L"a.deb",
          L"a.rpm", L"a.cpio", L"a.wim", L"a.lzh", L"a.arj", L"a.Z", L"a.7z.001", L"a.part7.rar"})
        EXPECT_TRUE(IsArchivePath(archive)) << testing::PrintToString(std::wstring(archive));
    for (const wchar_t* document :
         {L"a.txt", L"a.docx", L"a.xlsx", L"a.odt", L"a.jar", L"a.apk", L"a.epub", L"a.msi",
          L"a.exe", L"a.dll", L"a.img", L"data.2023", L"a.7z.002"})
        EXPECT_FALSE(IsArchivePath(document)) << testing::PrintToString(std::wstring(document));
}

TEST(ArchiveKinds, VolumesOfASetLeadToItsFirst) {
    EXPECT_EQ(FirstVolumeName(L"C:\\d\\set.part3.rar"), L"C:\\d\\set.part1.rar");
    EXPECT_EQ(FirstVolumeName(L"set.part03.rar"), L"set.part01.rar");
    EXPECT_EQ(FirstVolumeName(L"set.7z.012"), L"set.7z.001");
    EXPECT_EQ(FirstVolumeName(L"set.r07"), L"set.rar");
    EXPECT_EQ(FirstVolumeName(L"set.z02"), L"set.zip"); // a spanned ZIP ends in its .zip
    EXPECT_EQ(FirstVolumeName(L"set.rar"), L"");
    EXPECT_EQ(FirstVolumeName(L"my.part.rar"), L"");
    EXPECT_EQ(FirstVolume(L"Z:\\nowhere\\set.part3.rar"), L"Z:\\nowhere\\set.part3.rar");
    EXPECT_EQ(NextVolume(L"set.part9.rar"), L"set.part10.rar");
    EXPECT_EQ(NextVolume(L"set.zip.099"), L"set.zip.100");
    EXPECT_EQ(NextVolume(L"set.z09"), L"set.z10");
    EXPECT_EQ(ContainedName(L"C:\\d\\notes.txt.gz"), L"notes.txt");
    EXPECT_EQ(ContainedName(L"src.tgz"), L"src.tar");
    EXPECT_EQ(ContainedName(L"set.7z.001"), L"set.7z");
}

TEST(ArchiveKinds, LongPathsAreStillRecognised) {
    std::wstring longPath = L"C:\\" + std::wstring(300, L'd') + L"\\" + std::wstring(300, L'n');
    EXPECT_EQ(GetArchiveKind(longPath + L".zip"), ArchiveKindZip);
    EXPECT_EQ(GetArchiveKind(longPath + L"." + std::wstring(300, L'e')), ArchiveKindNone);
}

TEST(Text, GroupDigitsPutsACommaBeforeEveryThreeDigits) {
    struct {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"", L""},
        {L"0", L"0"},
        {L"123", L"123"},
        {L"1234", L"1,234"},
        {L"12345", L"12,345"},
        {L"123456", L"123,456"},
        {L"1048576", L"1,048,576"},
        {L"18446744073709551615", L"18,446,744,073,709,551,615"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GroupDigits(c.in), c.out);
}

TEST(Text, Utf8AndUtf16ConvertBothWays) {
    const std::wstring wide = L"a\u00fc\u1e0b\U0001F600z";
    const std::string utf8 = "a\xc3\xbc\xe1\xb8\x8b\xf0\x9f\x98\x80z";
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(Utf8ToWide(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
    // A broken sequence is replaced, not a reason to lose the whole name.
    EXPECT_EQ(Utf8ToWide("a\xff"
                         "b"),
              L"a\ufffdb");
}

TEST(Text, FormatModifiedNeedsThreeDateAndThreeTimeParts) {
    EXPECT_EQ(FormatModified("", ""), L"");
    EXPECT_EQ(FormatModified("2012-03", "05:06:07"), L"");
    EXPECT_EQ(FormatModified("2012-03-04", "05:06"), L"");
    EXPECT_EQ(FormatModified("2012-03-04-01", "05:06:07"), L"");
    EXPECT_EQ(FormatModified("2012-13-04", "05:06:07"), L""); // no such month
    EXPECT_FALSE(FormatModified("2012-03-04", "05:06:07").empty());
}

TEST(Text, FormatModifiedGivesTheSameTextsWithACache) {
    ModifiedTextCache cache;
    const char* const dates[] = {"2012-03-04", "2012-13-04", "1999-12-31", "2012-03-04"};
    const char* const times[] = {"17:06:07", "05:06:07", "25:00:00", "17:06:59", "00:00:00"};
    for (int round = 0; round < 2; ++round) {
        for (const char* date : dates) {
            for (const char* time : times)
                EXPECT_EQ(FormatModified(date, time, &cache), FormatModified(date, time))
                    << date << " " << time;
        }
    }
    EXPECT_EQ(FormatModified("2012-03-04", "25:00:00", &cache), L"");
    EXPECT_EQ(FormatModified("2012-13-04", "05:06:07", &cache), L"");
}

TEST(Text, AsciiAndOtherTextsConvertAlike) {
    EXPECT_EQ(WideToUtf8(L"plain.txt"), "plain.txt");
    EXPECT_EQ(Utf8ToWide("plain.txt"), L"plain.txt");
    EXPECT_EQ(WideToUtf8(std::wstring(L"a\x7f")), "a\x7f");
    EXPECT_EQ(WideToUtf8(L"\u00fcber"), "\xC3\xBC"
                                        "ber");
    EXPECT_EQ(Utf8ToWide("\xC3\xBC"
                         "ber"),
              L"\u00fcber");
}

TEST(Text, FormatModifiedShowsTheSystemsShortDateAndTimeWithoutSeconds) {
    SYSTEMTIME when = {};
    when.wYear = 2012;
    when.wMonth = 3;
    when.wDay = 4;
    when.wHour = 17;
    when.wMinute = 6;
    when.wSecond = 7;
    wchar_t date[256];
    wchar_t time[256];
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, &when, nullptr, date, 256);
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, &when, nullptr, time, 256);
    std::wstring expected = std::wstring(date) + L" " + time;

    EXPECT_EQ(FormatModified("2012-03-04", "17:06:07"), expected);
    // Only the leading digits of each part count.
    EXPECT_EQ(FormatModified("2012x-03-04", "17:06:07.5"), expected);
    if (GetSystemDefaultLCID() == 0x0409) {
        EXPECT_EQ(expected, L"3/4/2012 5:06 PM");
    }
}

} // namespace
