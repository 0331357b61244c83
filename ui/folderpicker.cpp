#include "ui/folderpicker.h"

#include <shlobj.h>

static int CALLBACK BrowseCallback(HWND hwnd, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        // Expanded first and selected last: expanding can move the selection to another
        // item (Wine's browser does), and the folder must end up selected.
        SendMessageW(hwnd, BFFM_SETEXPANDED, TRUE, data);
        SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

bool BrowseForFolder(HWND owner, const std::wstring& initialFolder, std::wstring& folder) {
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner ? owner : GetActiveWindow();
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Please select a folder to extract to...";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(initialFolder.c_str());

    PIDLIST_ABSOLUTE picked = SHBrowseForFolderW(&info);
    if (!picked)
        return false;
    wchar_t path[MAX_PATH] = {};
    bool isFolder = SHGetPathFromIDListW(picked, path) != FALSE;
    CoTaskMemFree(picked);
    if (!isFolder)
        return false;
    folder = path;
    return true;
}
