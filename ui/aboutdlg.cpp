#include "ui/aboutdlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

// Centres a window over its owner, or over the screen when it has none.
static void CenterOverOwner(HWND window) {
    RECT area;
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner)
        GetWindowRect(owner, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own;
    GetWindowRect(window, &own);
    int width = own.right - own.left;
    int height = own.bottom - own.top;
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CAboutDlg::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CenterOverOwner(hwnd());
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}
