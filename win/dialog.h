#pragma once

#include <windows.h>

namespace win {

// Base of our dialogs, modal (DoModal) or modeless (Create). The object is bound before
// the dialog's first message, because owner-drawn controls send WM_MEASUREITEM before
// WM_INITDIALOG.
class Dialog {
  public:
    explicit Dialog(UINT templateId) : templateId_(templateId) {}
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Runs the dialog modally; returns the value given to EndDialog, or -1 when the dialog
    // could not be made.
    INT_PTR DoModal(HINSTANCE instance, HWND owner);
    // The same, from a template in memory.
    INT_PTR DoModal(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner);
    // Makes the dialog as a modeless window (a child when its template says so).
    HWND Create(HINSTANCE instance, HWND parent);

    HWND hwnd() const { return hwnd_; }
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

  protected:
    // Returns TRUE for a message it handled, FALSE to leave it to the default handling.
    // WM_INITDIALOG returns TRUE to let the system set the focus.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }

  private:
    static INT_PTR CALLBACK DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    UINT templateId_;
    HWND hwnd_ = nullptr;
};

} // namespace win
