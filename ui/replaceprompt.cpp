#include "ui/replaceprompt.h"

#include "app/appstate.h"
#include "res/resource.h"
#include "ui/progressdialog.h"
#include "win/dialog.h"

namespace {

class ReplaceDialog : public win::Dialog {
  public:
    ReplaceDialog(const std::wstring& text, int defaultButton)
        : Dialog(IDD_REPLACE), text_(text), defaultButton_(defaultButton) {}

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
        case WM_INITDIALOG:
            SetAppCaptionAndIcon(hwnd());
            SetDlgItemTextW(hwnd(), IDC_REPLACE_TEXT, text_.c_str());
            SendDlgItemMessageW(hwnd(), IDC_REPLACE_ICON, STM_SETICON,
                                reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_WARNING)), 0);
            // Enter takes the answer that loses nothing.
            SendMessageW(hwnd(), DM_SETDEFID, static_cast<WPARAM>(defaultButton_), 0);
            SetFocus(Item(defaultButton_));
            return FALSE; // the focus is set
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDYES:
            case IDC_REPLACE_ALL:
            case IDNO:
            case IDC_SKIP_ALL:
            case IDC_KEEP_BOTH:
            case IDCANCEL:
                EndDialog(LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        }
        return FALSE;
    }

  private:
    std::wstring text_;
    int defaultButton_;
};

// "C:\data\report.txt" -> "report.txt", "C:\data".
void SplitPath(const std::wstring& path, std::wstring& name, std::wstring& folder) {
    size_t slash = path.rfind(L'\\');
    name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace

ReplaceAnswer AskReplace(const std::wstring& path, const std::wstring& entry, NameClash clash,
                         const std::wstring& earlierEntry, const std::wstring& keptName) {
    std::wstring name;
    std::wstring folder;
    SplitPath(path, name, folder);
    const std::wstring keepOrReplace =
        L"\n\nKeep both (this entry as \"" + keptName + L"\"), or replace the file just extracted?";
    // Two entries Windows gives one file, and why.
    auto met = [&](const std::wstring& why) {
        return L"The entries \"" + earlierEntry + L"\" and \"" + entry + L"\" " + why +
               L": both are the file \"" + name + L"\" in " + folder + L"." + keepOrReplace;
    };
    std::wstring text;
    switch (clash) {
    case NameClash::None:
        text = L"There is already a file named \"" + name + L"\" in " + folder +
               L".\n\nReplace it with the entry \"" + entry +
               L"\" from the archive? Keep Both puts the entry beside it as \"" + keptName + L"\".";
        break;
    case NameClash::SameName:
        text = L"The archive holds the entry \"" + entry + L"\" twice. The first was just " +
               L"extracted as \"" + name + L"\" in " + folder + L"." + keepOrReplace;
        break;
    case NameClash::LetterCase:
        text = met(L"differ only in letter case, which Windows does not tell apart");
        break;
    case NameClash::TrailingDots:
        text = met(L"differ only in dots or blanks at the end of a name, which Windows drops");
        break;
    case NameClash::MadeValid:
        text = met(L"hold characters Windows does not allow in names, and made valid they are "
                   L"alike");
        break;
    }
    ReplaceDialog dialog(text, clash != NameClash::None ? IDC_KEEP_BOTH : IDNO);
    switch (dialog.DoModal(AppInstance(), AppState.mainWindow)) {
    case IDYES:
        return ReplaceAnswer::Replace;
    case IDC_REPLACE_ALL:
        return ReplaceAnswer::ReplaceAll;
    case IDNO:
        return ReplaceAnswer::Skip;
    case IDC_SKIP_ALL:
        return ReplaceAnswer::SkipAll;
    case IDC_KEEP_BOTH:
        return ReplaceAnswer::KeepBoth;
    default:
        return ReplaceAnswer::Cancel;
    }
}
