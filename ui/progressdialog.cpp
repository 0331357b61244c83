#include "ui/progressdialog.h"

#include "app/appstate.h"
#include "archive/progress.h"
#include "archive/progresstext.h"
#include "res/resource.h"
#include "win/dialog.h"
#include "win/dpi.h"

#include <commctrl.h>

#include <atomic>
#include <map>

// The dialog that is up. Cleared when it ends, so that a late finish signal can never
// reach another window that got the same handle.
static std::atomic<HWND> hwndProgress{nullptr};

static const UINT_PTR progressTimerId = 100;
// How long the end of a job stays up (the button then reads "Close").
static const ULONGLONG lingerTime = 2500;

void SetAppCaptionAndIcon(HWND hwnd) {
    SetWindowTextW(hwnd, L"Varnix File Opener");
    // The title bar's icon at the scale of the dialog's display.
    int size = win::SystemMetricForDpi(SM_CXSMICON, win::DpiOfWindow(hwnd));
    HANDLE icon = LoadImageW(AppInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size,
                             LR_SHARED);
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

HWND ProgressWindow() {
    return hwndProgress;
}

int FinishProgress() {
    progressFinished = true;
    if (HWND hwnd = hwndProgress)
        PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return 1;
}

namespace {

class ProgressDialog : public win::Dialog {
  public:
    ProgressDialog(const std::wstring& title, const std::wstring& message)
        : Dialog(IDD_PROGRESS), title_(title), message_(message) {}

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_TIMER:
            OnTimer();
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                if (ShouldLinger())
                    Linger();
                else
                    End(IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                End(lingering_ ? IDOK : IDCANCEL); // once done, Close cancels nothing
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            Forget();
            return FALSE;
        }
        return FALSE;
    }

  private:
    BOOL OnInitDialog() {
        SetAppCaptionAndIcon(hwnd());
        hwndProgress = hwnd();
        SetWindowTextW(hwnd(), title_.c_str());
        SetTimer(hwnd(), progressTimerId, 100, nullptr);
        startTick_ = GetTickCount64();
        if (HWND bar = Item(IDC_PROGRESS_BAR)) {
            SendMessageW(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
            SendMessageW(bar, PBM_SETPOS, 1, 0);
        }
        // The job may have ended before the dialog came up.
        if (progressFinished)
            PostMessageW(hwnd(), WM_COMMAND, IDOK, 0);
        return TRUE;
    }

    void OnTimer() {
        if (lingering_) {
            if (GetTickCount64() - lingerStart_ >= lingerTime)
                End(IDOK);
            return;
        }
        if (progressFinished) {
            PostMessageW(hwnd(), WM_COMMAND, IDOK, 0);
            return;
        }
        uint64_t total = progressTotal;
        if (total == 0)
            return;
        uint64_t completed = progressCompleted;
        auto percent = static_cast<uint32_t>(completed * 100 / total);
        // An add says its bytes: its share of them is the truer measure.
        uint64_t bytesTotal = progressBytesTotal;
        if (bytesTotal > 0) {
            uint64_t bytesDone = progressBytesDone;
            percent = static_cast<uint32_t>(static_cast<double>(bytesDone) * 100 /
                                            static_cast<double>(bytesTotal));
            ShowBytes(bytesDone, bytesTotal);
        }

        if (HWND bar = Item(IDC_PROGRESS_BAR))
            SendMessageW(bar, PBM_SETPOS, percent, 0);
        Show(IDC_PROGRESS_MESSAGE, message_ + L" " + std::to_wstring(percent) + L"%");
        if (completed == total)
            PostMessageW(hwnd(), WM_COMMAND, IDOK, 0);
    }

    // The lines of an add: the file being packed, the bytes, the speed and the times.
    void ShowBytes(uint64_t done, uint64_t total) {
        uint64_t elapsed = GetTickCount64() - startTick_;
        Show(IDC_PROGRESS_BYTES, BytesOfText(done, total));
        Show(IDC_PROGRESS_SPEED, SpeedText(done, elapsed));
        Show(IDC_PROGRESS_TIMES, TimesText(elapsed, done, total));
        std::wstring file = ProgressFile();
        if (file != fileName_) {
            fileName_ = file;
            Show(IDC_PROGRESS_FILE, FittingPath(IDC_PROGRESS_FILE, file));
        }
    }

    // `path` shortened in its middle to the width of the control, in the control's font.
    std::wstring FittingPath(int id, const std::wstring& path) {
        HWND control = Item(id);
        RECT box;
        if (!control || !GetClientRect(control, &box))
            return path;
        HDC dc = GetDC(control);
        HGDIOBJ font =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        auto fits = [dc, &box](const std::wstring& text) {
            SIZE size = {};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            return size.cx <= box.right;
        };
        std::wstring shown = ShortenInMiddle(path, fits);
        SelectObject(dc, font);
        ReleaseDC(control, dc);
        return shown;
    }

    // Sets a line's text only when it changed, so that the ticks do not make it flicker.
    void Show(int id, const std::wstring& text) {
        std::wstring& shown = shownTexts_[id];
        if (text != shown) {
            SetDlgItemTextW(hwnd(), id, text.c_str());
            shown = text;
        }
    }

    // A job that was watched for a while and has something to say at its end (how well a
    // create packed) shows it for a moment before the dialog goes; a quick one does not.
    bool ShouldLinger() const {
        return !lingering_ && GetTickCount64() - startTick_ >= 2000 &&
               !ProgressEnding().empty();
    }

    void Linger() {
        lingering_ = true;
        lingerStart_ = GetTickCount64();
        if (HWND bar = Item(IDC_PROGRESS_BAR))
            SendMessageW(bar, PBM_SETPOS, 100, 0);
        Show(IDC_PROGRESS_MESSAGE, message_ + L" 100%");
        Show(IDC_PROGRESS_FILE, ProgressEnding());
        if (uint64_t total = progressBytesTotal)
            Show(IDC_PROGRESS_BYTES, BytesOfText(total, total));
        Show(IDC_PROGRESS_TIMES, L"Elapsed " + DurationText((lingerStart_ - startTick_) / 1000));
        SetDlgItemTextW(hwnd(), IDCANCEL, L"Close");
    }

    void End(int result) {
        Forget();
        KillTimer(hwnd(), progressTimerId);
        EndDialog(result);
    }

    void Forget() {
        HWND mine = hwnd();
        hwndProgress.compare_exchange_strong(mine, nullptr);
    }

    std::wstring title_;
    std::wstring message_;
    std::map<int, std::wstring> shownTexts_;
    std::wstring fileName_;
    ULONGLONG startTick_ = 0;
    bool lingering_ = false;
    ULONGLONG lingerStart_ = 0;
};

} // namespace

bool ShowProgress(const std::wstring& title, const std::wstring& message) {
    // A verb run from the shell shows it before anything else has made the bar's class.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    ProgressDialog dialog(title, message);
    return dialog.DoModal(AppInstance(), AppState.mainWindow) == IDOK;
}
