// The view's keys, as every file manager has them: Enter opens, Backspace and Alt+Up go
// up, Ctrl+A selects all, Ctrl+F finds, Esc ends a find, F5 reads the place again.
#include "ui/varnixview.h"

#include <commctrl.h>

bool CVarnixView::PreTranslateMessage(MSG& message) {
    // A name being edited in the list: Enter gives it, Esc leaves it, the rest is typing.
    HWND edit = ListView_GetEditControl(list_);
    if (edit && (message.hwnd == edit || GetFocus() == edit))
        return false;
    if (message.message == WM_KEYDOWN) {
        HWND focus = GetFocus();
        if (message.wParam == VK_RETURN && focus == pathBox_) {
            OpenTypedPath();
            return true;
        }
        // As every file manager has it: Enter opens the focused row, Backspace goes up.
        if (message.wParam == VK_RETURN && focus == list_) {
            ActivateRow(ListView_GetNextItem(list_, -1, LVNI_FOCUSED));
            return true;
        }
        if (message.wParam == VK_BACK && focus == list_) {
            if (model_.finder().IsActive())
                EndFind();
            else
                GoUp();
            return true;
        }
        bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
        if (message.wParam == 'A' && control && focus == list_) {
            SelectAllRows();
            return true;
        }
        if (message.wParam == 'A' && control && (focus == findBox_ || focus == pathBox_)) {
            SendMessageW(focus, EM_SETSEL, 0, -1);
            return true;
        }
        if (message.wParam == 'F' && control) {
            FocusFindBox();
            return true;
        }
        if (message.wParam == VK_ESCAPE && (focus == findBox_ || focus == list_)) {
            if (model_.finder().IsActive())
                EndFind();
            else if (focus == findBox_)
                SetFocus(list_);
            return true;
        }
        // From the find box to what it found.
        if ((message.wParam == VK_RETURN || message.wParam == VK_DOWN) && focus == findBox_) {
            FocusRow(0);
            return true;
        }
        if (message.wParam == VK_F5) {
            Reload();
            return true;
        }
    }
    // Alt+Up goes up, as Backspace does. The key still goes on to the window: the system
    // then knows Alt was not pressed alone, and does not take the next keys for its menu.
    if (message.message == WM_SYSKEYDOWN && message.wParam == VK_UP &&
        IsChild(hwnd(), GetFocus())) {
        GoUp();
        return false;
    }
    return IsDialogMessageW(hwnd(), &message) != FALSE;
}
