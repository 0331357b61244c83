#include "ui/outcomedialog.h"

#include "app/appstate.h"
#include "res/resource.h"
#include "ui/progressdialog.h"
#include "win/clipboard.h"
#include "win/dialog.h"
#include "win/dpi.h"

#include <algorithm>
#include <memory>

namespace {

const int messageTextId = 0xFFFF;

// Puts text on the clipboard, with Windows line ends.
void CopyText(HWND owner, const std::wstring& text) {
    std::wstring windowsText;
    for (wchar_t c : text) {
        if (c == L'\n')
            windowsText += L'\r';
        windowsText += c;
    }
    win::CopyTextToClipboard(owner, windowsText);
}

class OutcomeDialog : public win::Dialog {
  public:
    explicit OutcomeDialog(const JobOutcome& outcome)
        : Dialog(IDD_OUTCOME), outcome_(outcome), text_(OutcomeText(outcome)) {}

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            SetAppCaptionAndIcon(hwnd());
            SetDlgItemTextW(hwnd(), messageTextId, text_.c_str());
            SendDlgItemMessageW(hwnd(), IDC_OUTCOME_ICON, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconW(nullptr, Icon())), 0);
            Fit();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDOK:
            case IDCANCEL:
                EndDialog(IDOK);
                return TRUE;
            case IDC_OUTCOME_COPY:
                CopyText(hwnd(), OutcomeFullText(outcome_));
                return TRUE;
            }
            return FALSE;
        }
        return FALSE;
    }

  private:
    const wchar_t* Icon() const {
        switch (outcome_.end) {
        case JobEnd::Failure:
            return IDI_ERROR;
        case JobEnd::Warnings:
            return IDI_WARNING;
        default:
            return IDI_INFORMATION;
        }
    }

    // The text as wide as it needs up to a limit, and as tall as it then is; the buttons
    // below it, Copy only when there is a list to copy.
    void Fit() {
        HWND label = Item(messageTextId);
        RECT labelRect;
        GetWindowRect(label, &labelRect);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&labelRect), 2);
        const int dpi = win::DpiOfWindow(hwnd());
        const int widest = MulDiv(640, dpi, 96);
        HDC dc = GetDC(label);
        HGDIOBJ oldFont =
            SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(label, WM_GETFONT, 0, 0)));
        RECT needed = {0, 0, widest, 0};
        DrawTextW(dc, text_.c_str(), -1, &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, oldFont);
        ReleaseDC(label, dc);
        int width = std::max<int>(needed.right, labelRect.right - labelRect.left);
        int height = std::max<int>(needed.bottom + 2, labelRect.bottom - labelRect.top);
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTONEAREST), &monitor);
        const int room = (monitor.rcWork.bottom - monitor.rcWork.top) * 3 / 4;
        height = std::min(height, room);
        MoveWindow(label, labelRect.left, labelRect.top, width, height, FALSE);

        RECT okRect, copyRect;
        GetWindowRect(Item(IDOK), &okRect);
        GetWindowRect(Item(IDC_OUTCOME_COPY), &copyRect);
        const int buttonWidth = okRect.right - okRect.left;
        const int buttonHeight = okRect.bottom - okRect.top;
        const int gap = copyRect.left - okRect.right;
        const int margin = labelRect.top;
        const int buttonsTop = labelRect.top + height + margin;
        const int right = labelRect.left + width;
        const bool copy = !outcome_.entries.empty() || !outcome_.renamed.empty();
        ShowWindow(Item(IDC_OUTCOME_COPY), copy ? SW_SHOW : SW_HIDE);
        MoveWindow(Item(IDC_OUTCOME_COPY), right - buttonWidth, buttonsTop, buttonWidth,
                   buttonHeight, FALSE);
        MoveWindow(Item(IDOK), copy ? right - 2 * buttonWidth - gap : right - buttonWidth,
                   buttonsTop, buttonWidth, buttonHeight, FALSE);

        RECT client = {0, 0, right + margin, buttonsTop + buttonHeight + margin};
        RECT frame = client;
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd(), GWL_EXSTYLE)));
        const int frameWidth = frame.right - frame.left;
        const int frameHeight = frame.bottom - frame.top;
        // Centred over its owner, or on the screen when it has none.
        RECT over = monitor.rcWork;
        if (HWND owner = GetWindow(hwnd(), GW_OWNER))
            GetWindowRect(owner, &over);
        int left = over.left + ((over.right - over.left) - frameWidth) / 2;
        int top = over.top + ((over.bottom - over.top) - frameHeight) / 2;
        left = std::max<int>(monitor.rcWork.left,
                             std::min<int>(left, monitor.rcWork.right - frameWidth));
        top = std::max<int>(monitor.rcWork.top,
                            std::min<int>(top, monitor.rcWork.bottom - frameHeight));
        SetWindowPos(hwnd(), nullptr, left, top, frameWidth, frameHeight, SWP_NOZORDER);
    }

    const JobOutcome& outcome_;
    std::wstring text_;
};

} // namespace

void ShowOutcome(HWND owner, const JobOutcome& outcome) {
    OutcomeDialog dialog(outcome);
    if (dialog.DoModal(AppInstance(), owner) == -1)
        MessageBoxW(owner, OutcomeText(outcome).c_str(), L"Varnix File Opener",
                    MB_OK | (outcome.end == JobEnd::Success ? MB_ICONINFORMATION : MB_ICONWARNING));
}

void PostOutcome(const JobOutcome& outcome) {
    auto copy = std::make_unique<JobOutcome>(outcome);
    if (AppState.mainWindow && PostMessageW(AppState.mainWindow, WM_SHOW_OUTCOME, 0,
                                            reinterpret_cast<LPARAM>(copy.get()))) {
        copy.release(); // the window's now
        return;
    }
    ShowOutcome(AppState.mainWindow, outcome);
}

void ShowPostedOutcome(HWND window, LPARAM outcome) {
    std::unique_ptr<JobOutcome> told(reinterpret_cast<JobOutcome*>(outcome));
    if (told)
        ShowOutcome(window, *told);
}
