// How a job's end is said: one message, the first twenty entries and how many more, and
// Copy for the whole list; one exit code per end.
#include "res/resource.h"
#include "support/testsupport.h"
#include "ui/outcomedialog.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

std::wstring ClipboardText() {
    std::wstring text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            text = static_cast<const wchar_t*>(GlobalLock(data));
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    return text;
}

TEST(Outcome, TheMessageNamesTwentyAndCopyGivesThemAll) {
    JobOutcome outcome;
    outcome.end = JobEnd::Failure;
    outcome.headline = L"Some files could not be extracted from set.zip.";
    outcome.notes.push_back(L"set.zip is cut short.");
    outcome.listTitle = L"Not extracted:";
    for (int n = 1; n <= 25; ++n)
        outcome.entries.push_back({L"bad\\" + std::to_wstring(n) + L".txt", Fault::CrcError});
    outcome.renamed.push_back({L"a:b", L"a_b"});

    std::wstring shown;
    std::wstring copied;
    DialogAnswerer user(DialogWithCaption(L"Varnix File Opener"), [&](HWND box) {
        shown = MessageText(box);
        PressButton(IDC_OUTCOME_COPY)(box);
        WaitUntil([&] { return ClipboardText().find(L"bad\\25.txt") != std::wstring::npos; });
        copied = ClipboardText();
        PressButton(IDOK)(box);
    });
    ShowOutcome(nullptr, outcome);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(shown, OutcomeText(outcome));
    EXPECT_EQ(shown.rfind(L"Some files could not be extracted from set.zip.\n\nset.zip is cut "
                         L"short.\n\nNot extracted:\nbad\\1.txt: CRC error\n",
                         0),
              0u);
    EXPECT_NE(shown.find(L"\nbad\\20.txt: CRC error\n... and 5 more\n\nThese names were "
                         L"changed to be valid on Windows:\na:b \u2192 a_b"),
              std::wstring::npos)
        << Narrow(shown);
    EXPECT_EQ(shown.find(L"bad\\21.txt"), std::wstring::npos);
    // The whole list, with Windows line ends.
    EXPECT_NE(copied.find(L"bad\\25.txt: CRC error\r\n"), std::wstring::npos) << Narrow(copied);
    EXPECT_EQ(copied.find(L"more"), std::wstring::npos);

    EXPECT_EQ(ExitCodeOf(JobEnd::Success), 0);
    EXPECT_EQ(ExitCodeOf(JobEnd::Warnings), 1);
    EXPECT_EQ(ExitCodeOf(JobEnd::Failure), 2);
    EXPECT_EQ(ExitCodeOf(JobEnd::Cancelled), 255);
}

} // namespace
