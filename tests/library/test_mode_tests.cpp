// The library's test mode: every entry read and checked, nothing written.
#include "archive/archivekind.h"
#include "archive/library/archivetest.h"
#include "archive/library/listing.h"
#include "res/resource.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace testing_support;

std::vector<std::wstring> Faults(const std::wstring& archive, TestReport& report,
                                 const std::vector<std::wstring>& names = {}) {
    ArchiveContents contents;
    TestArchive(archive, GetArchiveKind(archive), contents, &names, nullptr, report);
    std::vector<std::wstring> faults;
    for (const DamagedEntry& entry : report.damaged)
        faults.push_back(entry.path + L": " + DamageText(entry));
    return faults;
}

TEST(TestMode, DamagedEntriesAreNamedWithTheirFaultAndNothingIsWritten) {
    ScratchFolder scratch; // where the test runs, to catch a stray write
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(scratch.path().c_str());
    TestReport report;
    for (const std::wstring& archive : {TestData(L"plain.7z"), Fixture(L"rar4-folders.rar")})
        EXPECT_EQ(Faults(archive, report), std::vector<std::wstring>()) << Narrow(archive);
    EXPECT_EQ(Faults(TestData(L"crc.zip"), report).size(), 25u);
    EXPECT_EQ(Faults(TestData(L"crc.zip"), report, {L"bad\\07.txt", L"sub"}),
              std::vector<std::wstring>{L"bad\\07.txt: CRC error"});
    EXPECT_EQ(Faults(Fixture(L"rar5-bad-tables.rar"), report),
              std::vector<std::wstring>{L"bad_tables.txt: data error"});
    // A compressed tar, read front to back, whole and for a selection; a set by its volumes.
    EXPECT_EQ(Faults(TestData(L"formats\\kit.tar.xz"), report), std::vector<std::wstring>());
    EXPECT_EQ(Faults(TestData(L"formats\\kit.tgz"), report, {L"kit\\docs"}),
              std::vector<std::wstring>());
    EXPECT_TRUE(report.opened);
    EXPECT_EQ(Faults(TestData(L"volumes\\spanned.z02"), report), std::vector<std::wstring>());
    Faults(TestData(L"volumes\\gaps\\split7z.7z.001"), report);
    EXPECT_EQ(report.missingVolume, L"split7z.7z.003");
    // A 7z cut short has lost its headers, which it keeps at the end.
    Faults(TestData(L"truncated.7z"), report);
    EXPECT_FALSE(report.opened);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(CountEntries(scratch.path()), 0);
}

TEST(TestMode, AWrongPasswordIsSaidAsSuch) {
    // ZIP and RAR 5 check the password; 7z only finds its data damaged.
    const struct {
        std::wstring archive;
        const wchar_t* fault;
    } cases[] = {{TestData(L"encrypted.zip"), L"root.txt: wrong password"},
                 {Fixture(L"rar5-data-encrypted.rar"), L"stest1.txt: wrong password"},
                 {TestData(L"encrypted.7z"), L"root.txt: data error (wrong password?)"}};
    for (const auto& c : cases) {
        DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"),
                            TypeAndPressOk(IDC_PASSWORD, L"not the password"));
        TestReport report;
        std::vector<std::wstring> faults = Faults(c.archive, report);
        EXPECT_NE(std::find(faults.begin(), faults.end(), c.fault), faults.end())
            << Narrow(c.archive) << ": " << Narrow(faults.empty() ? L"" : faults.back());
    }
    DialogAnswerer decline(DialogWithCaption(L"Varnix File Opener"), PressButton(IDCANCEL));
    TestReport report;
    Faults(Fixture(L"rar4-data-encrypted.rar"), report);
    EXPECT_TRUE(report.userStopped);
}

// What is wrong with an archive as a whole is known, listed, tested or extracted: a cut
// end, a compressed stream around a tar that fails its own check at its end (the tar's
// entries came out of it, each of them possibly damaged).
TEST(TestMode, DamagedAndCutShortArchivesAreKnownAsSuch) {
    const std::wstring broken = TestData(L"broken\\");
    auto facts = [](const std::wstring& archive, int& result) {
        std::wstring password;
        ArchiveFacts said;
        result = ListArchiveItems(
            archive, GetArchiveKind(archive), password, nullptr,
            [](DirItem&, uint32_t, uint32_t) {}, nullptr, &said);
        return said;
    };
    int listed = 0;
    // Cut short: a 7z does not open, and says why; a ZIP lists what it can.
    ArchiveFacts said = facts(TestData(L"truncated.7z"), listed);
    EXPECT_EQ(listed, 1);
    EXPECT_NE(said.openErrors & sevenzip::ErrorUnexpectedEnd, 0u) << said.openErrors;
    said = facts(broken + L"trunc-nested.zip", listed);
    EXPECT_EQ(listed, 0);
    EXPECT_EQ(HealthWords(said.health), L"cut short");
    // The stream's check is made on opening too: the whole tar is read to list it.
    for (const wchar_t* name : {L"flip-kit.tar.gz", L"flip-kit.tar.bz2"}) {
        said = facts(broken + name, listed);
        EXPECT_TRUE(said.health.Damaged()) << Narrow(name);
    }
    said = facts(TestData(L"formats\\kit.tar.gz"), listed);
    EXPECT_TRUE(said.health.Whole());

    // Tested: never "no errors".
    for (const wchar_t* name :
         {L"flip-kit.tar.gz", L"flip-kit.tar.xz", L"flip-kit.tar.bz2", L"flip-kit.tar.zst",
          L"flip-notes.txt.gz", L"trunc-kit.tar.gz", L"trunc-nested.zip"}) {
        TestReport report;
        ArchiveContents contents;
        EXPECT_EQ(
            TestArchive(broken + name, GetArchiveKind(name), contents, nullptr, nullptr, report), 1)
            << Narrow(name);
        EXPECT_TRUE(!report.damaged.empty() || report.health.Damaged()) << Narrow(name);
    }

    // Extracted: the files written from a stream that failed are named.
    ScratchFolder scratch;
    ArchiveContents contents;
    ExtractReport report;
    EXPECT_EQ(ExtractArchive(broken + L"flip-kit.tar.gz", GetArchiveKind(L"x.tar.gz"),
                             scratch.path(), contents, ExtractOptions(), &report),
              1);
    EXPECT_EQ(report.health.streamFault, Fault::CrcError);
    EXPECT_FALSE(report.written.empty());
}

} // namespace
