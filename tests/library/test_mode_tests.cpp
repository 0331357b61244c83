// The library's test mode: every entry read and checked, nothing written.
#include "archive/archivekind.h"
#include "archive/library/archivetest.h"
#include "res/resource.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

int RunTest(const std::wstring& archive, TestReport& report,
            const std::vector<std::wstring>& names = {}) {
    ArchiveContents contents;
    return TestArchive(archive, GetArchiveKind(archive), contents, &names, nullptr, report);
}

std::vector<std::wstring> DamagedPaths(const TestReport& report) {
    std::vector<std::wstring> paths;
    for (const DamagedEntry& entry : report.damaged)
        paths.push_back(entry.path);
    return paths;
}

TEST(TestMode, GoodArchivesPassAndDamagedEntriesAreNamedWithTheirFault) {
    // Whatever the test does, it writes nothing, not even where it runs.
    ScratchFolder scratch;
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(scratch.path().c_str());

    for (const std::wstring& archive :
         {TestData(L"nested.zip"), TestData(L"plain.7z"), Fixture(L"rar4-folders.rar"),
          Fixture(L"rar5-folders.rar")}) {
        TestReport report;
        EXPECT_EQ(RunTest(archive, report), 0) << Narrow(archive);
        EXPECT_TRUE(report.opened);
        EXPECT_TRUE(report.damaged.empty());
    }

    // One byte changed in each of 25 stored entries: a CRC error for each, by name.
    TestReport report;
    EXPECT_EQ(RunTest(TestData(L"crc.zip"), report), 1);
    ASSERT_EQ(report.damaged.size(), 25u);
    EXPECT_EQ(report.damaged[2].path, L"bad\\03.txt");
    EXPECT_EQ(DamageText(report.damaged[2]), L"CRC error");
    EXPECT_FALSE(report.stopped);

    // A selection tests its entries and the folders' contents only.
    EXPECT_EQ(RunTest(TestData(L"crc.zip"), report, {L"good.txt", L"sub"}), 0);
    EXPECT_EQ(RunTest(TestData(L"crc.zip"), report, {L"bad\\07.txt", L"good.txt"}), 1);
    EXPECT_EQ(DamagedPaths(report), std::vector<std::wstring>{L"bad\\07.txt"});
    EXPECT_EQ(RunTest(TestData(L"crc.zip"), report, {L"bad"}), 1);
    EXPECT_EQ(report.damaged.size(), 25u);

    // Damaged RAR data; a 7z cut short has lost its headers and cannot be opened at all.
    EXPECT_EQ(RunTest(Fixture(L"rar5-bad-tables.rar"), report), 1);
    EXPECT_EQ(DamagedPaths(report), std::vector<std::wstring>{L"bad_tables.txt"});
    EXPECT_EQ(DamageText(report.damaged[0]), L"data error");
    EXPECT_EQ(RunTest(TestData(L"truncated.7z"), report), 1);
    EXPECT_FALSE(report.opened);
    EXPECT_FALSE(report.userStopped);

    SetCurrentDirectoryW(previous);
    EXPECT_EQ(CountEntries(scratch.path()), 0);
}

TEST(TestMode, AWrongPasswordIsSaidAsSuch) {
    // ZIP and RAR 5 keep a check of the password; 7z finds its data damaged.
    const struct {
        std::wstring archive;
        const wchar_t* fault;
    } cases[] = {{TestData(L"encrypted.zip"), L"wrong password"},
                 {Fixture(L"rar5-data-encrypted.rar"), L"wrong password"},
                 {TestData(L"encrypted.7z"), L"(wrong password?)"}};
    for (const auto& c : cases) {
        DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"),
                            TypeAndPressOk(IDC_PASSWORD, L"not the password"));
        TestReport report;
        EXPECT_EQ(RunTest(c.archive, report), 1) << Narrow(c.archive);
        EXPECT_EQ(user.answered(), 1);
        ASSERT_FALSE(report.damaged.empty()) << Narrow(c.archive);
        for (const DamagedEntry& entry : report.damaged)
            EXPECT_NE(DamageText(entry).find(c.fault), std::wstring::npos)
                << Narrow(c.archive) << ": " << Narrow(DamageText(entry));
    }

    // The right password passes; a declined prompt is the user's doing.
    DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"),
                        TypeAndPressOk(IDC_PASSWORD, L"secret"));
    TestReport report;
    EXPECT_EQ(RunTest(TestData(L"encrypted.7z"), report), 0);
    DialogAnswerer decline(DialogWithCaption(L"Varnix File Opener"), PressButton(IDCANCEL));
    EXPECT_EQ(RunTest(Fixture(L"rar4-data-encrypted.rar"), report), 1);
    EXPECT_TRUE(report.userStopped);
}

} // namespace
