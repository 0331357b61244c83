// The progress dialog, shown for real and watched from another thread.
#include "archive/progress.h"
#include "res/resource.h"
#include "support/testsupport.h"
#include "ui/progressdialog.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

using namespace testing_support;

DialogAnswerer::Matcher ProgressDialog(const std::wstring& title = L"Extract Files") {
    return DialogWithCaption(title);
}

std::wstring MessageText(HWND dialog) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, IDC_PROGRESS_MESSAGE, text, 256);
    return text;
}

int BarPosition(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
}

TEST(ProgressDialog, AJobThatEndedBeforeTheDialogStillClosesIt) {
    ResetProgress();
    FinishProgress();
    EXPECT_TRUE(ShowProgress(L"Extract Files", L"Extracting Files ... "));
}

TEST(ProgressDialog, MeetingCountersEndTheDialogAtATick) {
    ResetProgress();
    progressTotal = 5;
    progressCompleted = 5;
    EXPECT_TRUE(ShowProgress(L"Extract Files", L"Extracting Files ... "));
}

TEST(ProgressDialog, ShowsThePercentageOfTheCounters) {
    ResetProgress();
    std::wstring seenText;
    int seenPosition = 0;
    std::wstring caption;
    DialogAnswerer user(ProgressDialog(), [&](HWND dialog) {
        caption.resize(64);
        caption.resize(static_cast<size_t>(GetWindowTextW(dialog, &caption[0], 64)));
        // Nothing known yet: the bar stands at 1, the line is empty.
        Sleep(250);
        EXPECT_EQ(BarPosition(dialog), 1);
        EXPECT_EQ(MessageText(dialog), L"");
        progressTotal = 8;
        progressCompleted = 3;
        WaitUntil([&] { return !MessageText(dialog).empty(); });
        seenText = MessageText(dialog);
        seenPosition = BarPosition(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(ShowProgress(L"Extract Files", L"Extracting Files ... "));
    EXPECT_EQ(caption, L"Extract Files");
    EXPECT_EQ(seenText, L"Extracting Files ...  37%");
    EXPECT_EQ(seenPosition, 37);
}

TEST(ProgressDialog, MoreDoneThanCountedShowsTheLargerPercentageAndStaysOpen) {
    ResetProgress();
    progressTotal = 2;
    progressCompleted = 3;
    std::wstring seenText;
    DialogAnswerer user(ProgressDialog(L"Add Files"), [&](HWND dialog) {
        WaitUntil([&] { return !MessageText(dialog).empty(); });
        seenText = MessageText(dialog);
        Sleep(300); // several ticks: it must not end by itself
        EXPECT_TRUE(IsWindowVisible(dialog));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(ShowProgress(L"Add Files", L"Adding Files "));
    EXPECT_EQ(seenText, L"Adding Files  150%");
}

TEST(ProgressDialog, CancelEscapeAndTheCloseBoxEndIt) {
    for (int way = 0; way < 3; ++way) {
        ResetProgress();
        DialogAnswerer user(ProgressDialog(), [way](HWND dialog) {
            if (way == 0) {
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            } else if (way == 1) {
                HWND button = GetDlgItem(dialog, IDCANCEL);
                PostMessageW(button, WM_KEYDOWN, VK_ESCAPE, 0);
            } else {
                PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            }
        });
        EXPECT_FALSE(ShowProgress(L"Extract Files", L"Extracting Files ... ")) << way;
    }
    // The job that was left running finishes later: no dialog is there to close.
    FinishProgress();
    EXPECT_EQ(ProgressWindow(), nullptr);

    // The next job's dialog is not closed by that stale signal.
    ResetProgress();
    DialogAnswerer user(ProgressDialog(), PressButton(IDCANCEL));
    EXPECT_FALSE(ShowProgress(L"Extract Files", L"Extracting Files ... "));
}

TEST(ProgressDialog, TheTemplateHasItsControls) {
    ResetProgress();
    struct Seen {
        RECT client;
        RECT message, bar, cancel;
        wchar_t barClass[64];
        LONG barStyle;
        bool hasOk;
    } seen = {};
    DialogAnswerer user(ProgressDialog(), [&](HWND dialog) {
        auto rectOf = [dialog](int id) {
            RECT rect;
            GetWindowRect(GetDlgItem(dialog, id), &rect);
            MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
            return rect;
        };
        GetClientRect(dialog, &seen.client);
        seen.message = rectOf(IDC_PROGRESS_MESSAGE);
        seen.bar = rectOf(IDC_PROGRESS_BAR);
        seen.cancel = rectOf(IDCANCEL);
        GetClassNameW(GetDlgItem(dialog, IDC_PROGRESS_BAR), seen.barClass, 64);
        seen.barStyle = GetWindowLongW(GetDlgItem(dialog, IDC_PROGRESS_BAR), GWL_EXSTYLE);
        seen.hasOk = GetDlgItem(dialog, IDOK) != nullptr;
        // Dialog units to pixels, as the template's numbers are.
        RECT units = {7, 7, 7 + 193, 7 + 16};
        MapDialogRect(dialog, &units);
        EXPECT_EQ(seen.message.left, units.left);
        EXPECT_EQ(seen.message.right - seen.message.left, units.right - units.left);
        RECT size = {0, 0, 207, 82};
        MapDialogRect(dialog, &size);
        EXPECT_EQ(seen.client.right, size.right);
        EXPECT_EQ(seen.client.bottom, size.bottom);
        RECT cancel = {150, 61, 150 + 50, 61 + 14};
        MapDialogRect(dialog, &cancel);
        EXPECT_EQ(seen.cancel.left, cancel.left);
        EXPECT_EQ(seen.cancel.top, cancel.top);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    ShowProgress(L"Extract Files", L"Extracting Files ... ");
    EXPECT_STREQ(seen.barClass, L"msctls_progress32");
    EXPECT_FALSE(seen.hasOk);
}

} // namespace
