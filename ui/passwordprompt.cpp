#include "ui/passwordprompt.h"

#include "app/appstate.h"
#include "archive/textconv.h"
#include "res/resource.h"
#include "ui/progressdialog.h"
#include "win/dialog.h"

namespace {

class PasswordDialog : public win::Dialog {
  public:
    PasswordDialog() : Dialog(IDD_PASSWORD) {}
    ~PasswordDialog() override { SecureZeroMemory(passwordBuffer_, sizeof passwordBuffer_); }

    const wchar_t* password() const { return passwordBuffer_; }

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            SetAppCaptionAndIcon(hwnd());
            // The field takes no more than fits, rather than cutting the text afterwards.
            SendDlgItemMessageW(hwnd(), IDC_PASSWORD, EM_LIMITTEXT, maxLength, 0);
            return TRUE; // the password field, first in tab order, gets the focus
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                GetDlgItemTextW(hwnd(), IDC_PASSWORD, passwordBuffer_, maxLength + 1);
                EndDialog(IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        return FALSE;
    }

  private:
    static const int maxLength = 99;
    wchar_t passwordBuffer_[maxLength + 1] = {};
};

} // namespace

bool PromptPassword(std::string& password) {
    PasswordDialog dialog;
    if (dialog.DoModal(AppInstance(), AppState.mainWindow) != IDOK)
        return false;
    password = WideToUtf8(dialog.password());
    return true;
}
