// Passwords: given, asked once through the prompt, refused.
#include "archive/archivekind.h"
#include "archive/library/archivelibrary.h"
#include "archive/library/extraction.h"
#include "archive/library/listing.h"
#include "archive/progress.h"
#include "res/resource.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

DialogAnswerer::Matcher PasswordPrompt() {
    return DialogWithCaption(L"Varnix File Opener");
}

int Extract(const std::wstring& archive, const std::wstring& folder,
            const std::wstring& password = L"") {
    ArchiveContents contents;
    contents.password = password;
    return ExtractArchive(archive, GetArchiveKind(archive), folder, contents);
}

TEST(Passwords, AGivenPasswordIsUsedWithoutAsking) {
    ScratchFolder scratch;
    DialogAnswerer user(PasswordPrompt(), PressButton(IDCANCEL));
    ASSERT_EQ(Extract(TestData(L"encrypted.7z"), scratch.path(), L"secret"), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"folder\\inner\\two.txt"), "two two\n");
    ASSERT_EQ(Extract(Fixture(L"rar4-data-encrypted.rar"), scratch / L"rar", L"12345678"), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"rar\\foo.txt"), "data of foo.txt\n");
    EXPECT_EQ(user.answered(), 0);
}

TEST(Passwords, TheUserIsAskedOnceWhenTheArchiveNeedsOne) {
    for (const std::wstring& archive : {TestData(L"encrypted.7z"), TestData(L"encrypted.zip")}) {
        ScratchFolder scratch;
        DialogAnswerer user(PasswordPrompt(), TypeAndPressOk(IDC_PASSWORD, L"secret"));
        ASSERT_EQ(Extract(archive, scratch.path()), 0) << Narrow(archive);
        EXPECT_EQ(ReadTextFile(scratch / L"root.txt"), "root file\n");
        EXPECT_EQ(user.answered(), 1);
    }
    ScratchFolder scratch;
    DialogAnswerer user(PasswordPrompt(), TypeAndPressOk(IDC_PASSWORD, L"12345678"));
    ASSERT_EQ(Extract(Fixture(L"rar4-data-encrypted.rar"), scratch.path()), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"foo.txt"), "data of foo.txt\n");
    EXPECT_EQ(ReadTextFile(scratch / L"bar.txt"), "data of bar.txt\n");
    EXPECT_EQ(user.answered(), 1);
}

TEST(Passwords, DecliningThePromptExtractsNothing) {
    for (const std::wstring& archive :
         {TestData(L"encrypted.7z"), Fixture(L"rar4-data-encrypted.rar"),
          Fixture(L"rar5-data-encrypted.rar")}) {
        ScratchFolder scratch;
        DialogAnswerer user(PasswordPrompt(), PressButton(IDCANCEL));
        OutputCapture output;
        EXPECT_EQ(Extract(archive, scratch.path()), 1) << Narrow(archive);
        EXPECT_EQ(ListTree(scratch.path()), std::vector<std::wstring>()) << Narrow(archive);
        EXPECT_NE(output.Text().find("Extract Error"), std::string::npos);
        EXPECT_EQ(user.answered(), 1);
    }
}

TEST(Passwords, EncryptedNamesAreAskedForWhenListing) {
    DialogAnswerer user(PasswordPrompt(), TypeAndPressOk(IDC_PASSWORD, L"password"));
    ArchiveContents contents;
    ASSERT_EQ(ListArchive(Fixture(L"rar5-headers-encrypted.rar"), ArchiveKindRar, contents), 0);
    EXPECT_EQ(contents.items.size(), 2u);
    EXPECT_EQ(contents.password, L"password");
    EXPECT_EQ(user.answered(), 1);
}

TEST(Passwords, AWrongOrRefusedPasswordFailsTheOpen) {
    {
        // Handed in and wrong: no question, the open fails, the text stays.
        DialogAnswerer user(PasswordPrompt(), PressButton(IDCANCEL));
        ArchiveContents contents;
        contents.password = L"wrong";
        OutputCapture output;
        EXPECT_EQ(ListArchive(TestData(L"headers.7z"), ArchiveKind7z, contents), 1);
        EXPECT_EQ(contents.password, L"wrong");
        EXPECT_EQ(output.Text(), "\nCan not open archive\n");
        EXPECT_EQ(user.answered(), 0);
    }
    {
        DialogAnswerer user(PasswordPrompt(), PressButton(IDCANCEL));
        ArchiveContents contents;
        EXPECT_EQ(ListArchive(Fixture(L"rar4-headers-encrypted.rar"), ArchiveKindRar, contents), 1);
        EXPECT_EQ(user.answered(), 1);
    }
}

TEST(Passwords, AWrongAnswerForTheNamesIsSaidAndAskedAgain) {
    for (const std::wstring& archive :
         {TestData(L"headers.7z"), Fixture(L"rar5-headers-encrypted.rar")}) {
        const std::wstring right = archive == TestData(L"headers.7z") ? L"secret" : L"password";
        int asked = 0;
        DialogAnswerer prompt(DialogWithText(L"Enter password:"), [&](HWND dialog) {
            TypeAndPressOk(IDC_PASSWORD, ++asked == 1 ? L"nope" : right)(dialog);
        });
        DialogAnswerer told(DialogWithText(wrongPasswordMessage), PressButton(IDOK));
        ArchiveContents contents;
        EXPECT_EQ(ListArchive(archive, GetArchiveKind(archive), contents), 0) << Narrow(archive);
        EXPECT_EQ(contents.password, right);
        EXPECT_EQ(prompt.answered(), 2);
        EXPECT_EQ(told.answered(), 1);
    }
    // Asked again until the user gives up.
    DialogAnswerer prompt(DialogWithText(L"Enter password:"), [&](HWND dialog) {
        static int asked = 0;
        if (++asked < 3)
            TypeAndPressOk(IDC_PASSWORD, L"nope")(dialog);
        else
            PressButton(IDCANCEL)(dialog);
    });
    DialogAnswerer told(DialogWithText(wrongPasswordMessage), PressButton(IDOK));
    ArchiveContents contents;
    EXPECT_EQ(ListArchive(TestData(L"headers.7z"), ArchiveKind7z, contents), 1);
    EXPECT_EQ(prompt.answered(), 3);
    EXPECT_EQ(told.answered(), 2);
}

TEST(Passwords, TheRequestHookMovesTheCountersAndRefusesOthers) {
    uint64_t total = 500;
    uint64_t done = 125;
    EXPECT_EQ(HandleArchiveRequest(RequestTotal, &total, 0), 0);
    EXPECT_EQ(HandleArchiveRequest(RequestCompleted, &done, 0), 0);
    EXPECT_EQ(HandleArchiveRequest(RequestCompleted, nullptr, 0), 0);
    EXPECT_EQ(progressTotal.load(), 500u);
    EXPECT_EQ(progressCompleted.load(), 125u);
    EXPECT_EQ(HandleArchiveRequest(99, nullptr, 0), 1);

    DialogAnswerer user(PasswordPrompt(), TypeAndPressOk(IDC_PASSWORD, L"\u00e9\u00e8"));
    wchar_t buffer[256];
    EXPECT_EQ(HandleArchiveRequest(RequestPassword, buffer, 256), 0);
    EXPECT_STREQ(buffer, L"\u00e9\u00e8");
}

} // namespace
