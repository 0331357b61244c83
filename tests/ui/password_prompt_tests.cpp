// The password prompt and the folder picker, answered from another thread.
#include "res/resource.h"
#include "support/testsupport.h"
#include "ui/folderpicker.h"
#include "ui/passwordprompt.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

DialogAnswerer::Matcher Prompt() {
    return DialogWithCaption(L"Varnix File Opener");
}

TEST(PasswordPrompt, ReturnsTheTypedTextAsUtf8) {
    std::string password = "before";
    {
        DialogAnswerer user(Prompt(), TypeAndPressOk(IDC_PASSWORD, L""));
        EXPECT_TRUE(PromptPassword(password));
        EXPECT_EQ(password, "");
    }
    {
        DialogAnswerer user(Prompt(), TypeAndPressOk(IDC_PASSWORD, L"\u00e9\u00e8"));
        EXPECT_TRUE(PromptPassword(password));
        EXPECT_EQ(password, "\xc3\xa9\xc3\xa8");
    }
    {
        DialogAnswerer user(Prompt(), TypeAndPressOk(IDC_PASSWORD, std::wstring(120, L'x')));
        EXPECT_TRUE(PromptPassword(password));
        EXPECT_EQ(password, std::string(99, 'x'));
    }
}

TEST(PasswordPrompt, CancelGivesNothingAndKeepsTheOldText) {
    std::string password = "earlier";
    DialogAnswerer user(Prompt(), PressButton(IDCANCEL));
    EXPECT_FALSE(PromptPassword(password));
    EXPECT_EQ(password, "earlier");
    EXPECT_EQ(user.answered(), 1);
}

TEST(PasswordPrompt, TheFieldIsMaskedAndHasTheFocus) {
    bool masked = false;
    bool focused = false;
    std::wstring label;
    DialogAnswerer user(Prompt(), [&](HWND dialog) {
        HWND field = GetDlgItem(dialog, IDC_PASSWORD);
        masked = (GetWindowLongW(field, GWL_STYLE) & ES_PASSWORD) != 0;
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
        focused = info.hwndFocus == field;
        HWND child = GetWindow(dialog, GW_CHILD);
        while (child) {
            wchar_t text[64] = {};
            GetWindowTextW(child, text, 64);
            if (GetDlgCtrlID(child) == -1 || GetDlgCtrlID(child) == 0xFFFF)
                label = text;
            child = GetWindow(child, GW_HWNDNEXT);
        }
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    std::string password;
    PromptPassword(password);
    EXPECT_TRUE(masked);
    EXPECT_TRUE(focused);
    EXPECT_EQ(label, L"Enter password:");
}

TEST(FolderPicker, StartsOnTheGivenFolderAndReturnsThePick) {
    ScratchFolder scratch;
    MakeFolder(scratch / L"target");
    std::wstring picked;
    {
        // OK once the browser shows the folder it was started on selected.
        DialogAnswerer user(
            DialogWithText(L"Please select a folder to extract to..."), [](HWND dialog) {
                EXPECT_TRUE(
                    WaitUntil([&] { return SelectedFolderInBrowser(dialog) == L"target"; }));
                PressButton(IDOK)(dialog);
            });
        ASSERT_TRUE(BrowseForFolder(nullptr, scratch / L"target", picked));
    }
    EXPECT_EQ(picked, scratch / L"target");

    DialogAnswerer user(DialogWithText(L"Please select a folder to extract to..."),
                        PressButton(IDCANCEL));
    picked = L"unchanged";
    EXPECT_FALSE(BrowseForFolder(nullptr, scratch.path(), picked));
    EXPECT_EQ(picked, L"unchanged");
}

} // namespace
