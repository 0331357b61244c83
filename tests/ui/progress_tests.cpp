// The progress dialog, shown for real and watched from another thread.
#include "archive/progress.h"
#include "archive/progresstext.h"
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

// A create that was watched for a while shows how well it packed at its end; Close then
// ends the dialog as a finished job, not as a cancel. A quick one closes at once.
TEST(ProgressDialog, TheEndOfALongCreateShowsHowWellItPacked) {
    ResetProgress();
    progressBytesTotal = 1000;
    std::wstring file, button;
    DialogAnswerer user(ProgressDialog(L"Add Files"), [&](HWND dialog) {
        Sleep(2100);
        SetProgressEnding(L"photos.7z: 1000 bytes packed into 400 bytes (40 %)");
        FinishProgress();
        WaitUntil([&] { return GetDlgItem(dialog, IDCANCEL) && ControlText(dialog, IDCANCEL) == L"Close"; });
        file = ControlText(dialog, IDC_PROGRESS_FILE);
        button = ControlText(dialog, IDCANCEL);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_TRUE(ShowProgress(L"Add Files", L"Adding Files "));
    EXPECT_EQ(file, L"photos.7z: 1000 bytes packed into 400 bytes (40 %)");
    EXPECT_EQ(button, L"Close");

    ResetProgress();
    SetProgressEnding(L"quick.7z: packed");
    FinishProgress();
    EXPECT_TRUE(ShowProgress(L"Add Files", L"Adding Files "));
}

TEST(ProgressText, SizesTimesAndPathsAtTheirEdges) {
    // Sizes: nothing, the unit boundaries, the largest number there is.
    EXPECT_EQ(BytesOfText(0, 0), L"0 bytes of 0 bytes");
    EXPECT_EQ(AmountText(1023), L"1023 bytes");
    EXPECT_EQ(AmountText(1024), L"1.0 KB");
    EXPECT_EQ(AmountText(1024 * 1024 - 1), L"1.0 MB");
    EXPECT_EQ(AmountText(120ull << 20), L"120 MB");
    EXPECT_EQ(AmountText(UINT64_MAX), L"16 EB");
    // No time, no speed; remaining only once something is done, and never past a year.
    EXPECT_EQ(SpeedText(5000, 0), L"");
    EXPECT_EQ(SpeedText(35ull << 20, 1000), L"35 MB/s");
    EXPECT_EQ(TimesText(0, 0, 0), L"Elapsed 0:00");
    EXPECT_EQ(TimesText(12000, 0, 100), L"Elapsed 0:12");
    EXPECT_EQ(TimesText(12000, 10, 100), L"Elapsed 0:12, remaining 1:48");
    EXPECT_EQ(TimesText(4000, 1, UINT64_MAX), L"Elapsed 0:04, remaining 8760:00:00");
    EXPECT_EQ(PackedText(L"photos.7z", 1288490189, 440401920),
              L"photos.7z: 1.2 GB packed into 420 MB (34 %)");
    EXPECT_EQ(PackedText(L"empty.zip", 0, 22), L"empty.zip: 0 bytes packed into 22 bytes");

    // A long path gives way in its middle; the file's name at the end stays.
    auto within = [](size_t width) {
        return [width](const std::wstring& text) { return text.size() <= width; };
    };
    std::wstring path = L"C:\\Users\\someone\\Pictures\\Holiday 2026\\beach\\sunset.jpg";
    EXPECT_EQ(ShortenInMiddle(path, within(100)), path);
    std::wstring shortened = ShortenInMiddle(path, within(30));
    EXPECT_EQ(shortened.size(), 30u);
    EXPECT_EQ(shortened.substr(0, 6), L"C:\\Use");
    EXPECT_EQ(shortened.substr(shortened.size() - 17), L"\\beach\\sunset.jpg");
    EXPECT_NE(shortened.find(L"\u2026"), std::wstring::npos);
    EXPECT_EQ(ShortenInMiddle(path, within(0)), L"\u2026");
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
        RECT units = {7, 7, 7 + 246, 7 + 10};
        MapDialogRect(dialog, &units);
        EXPECT_EQ(seen.message.left, units.left);
        EXPECT_EQ(seen.message.right - seen.message.left, units.right - units.left);
        RECT size = {0, 0, 260, 100};
        MapDialogRect(dialog, &size);
        EXPECT_EQ(seen.client.right, size.right);
        EXPECT_EQ(seen.client.bottom, size.bottom);
        RECT cancel = {203, 79, 203 + 50, 79 + 14};
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
