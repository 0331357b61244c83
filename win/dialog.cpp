#include "win/dialog.h"

namespace win {

// The dialog whose window is being made on this thread: its first messages arrive before
// WM_INITDIALOG can deliver the object.
static thread_local Dialog* dialogBeingCreated = nullptr;

Dialog::~Dialog() {
    if (hwnd_)
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
}

// Marks a dialog as the one being made on this thread while its window is created.
class CreationScope {
  public:
    explicit CreationScope(Dialog* dialog) : outer_(dialogBeingCreated) {
        dialogBeingCreated = dialog;
    }
    ~CreationScope() { dialogBeingCreated = outer_; }
    CreationScope(const CreationScope&) = delete;
    CreationScope& operator=(const CreationScope&) = delete;

  private:
    Dialog* outer_;
};

INT_PTR Dialog::DoModal(HINSTANCE instance, HWND owner) {
    CreationScope scope(this);
    return DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId_), owner, DialogProcedure,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::DoModal(HINSTANCE instance, const DLGTEMPLATE* dialogTemplate, HWND owner) {
    CreationScope scope(this);
    return DialogBoxIndirectParamW(instance, dialogTemplate, owner, DialogProcedure,
                                   reinterpret_cast<LPARAM>(this));
}

HWND Dialog::Create(HINSTANCE instance, HWND parent) {
    CreationScope scope(this);
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId_), parent, DialogProcedure,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::HandleMessage(UINT, WPARAM, LPARAM) {
    return FALSE;
}

INT_PTR CALLBACK Dialog::DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!dialog && (dialogBeingCreated || message == WM_INITDIALOG)) {
        dialog = dialogBeingCreated ? dialogBeingCreated : reinterpret_cast<Dialog*>(lParam);
        dialogBeingCreated = nullptr; // a dialog made from inside this one must not take it
        dialog->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
    }
    if (!dialog)
        return FALSE;

    INT_PTR result = dialog->HandleMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        dialog->hwnd_ = nullptr;
    }
    return result;
}

} // namespace win
