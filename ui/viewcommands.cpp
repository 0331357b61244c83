// The browser view's commands: the toolbar's, the row menu's, and files dropped on it.
#include "ui/varnixview.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/dragout.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

namespace {
const wchar_t caption[] = L"Varnix File Opener";
} // namespace

std::vector<int> CVarnixView::SelectedRows() const {
    std::vector<int> rows;
    for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row != -1;
         row = ListView_GetNextItem(list_, row, LVNI_SELECTED)) {
        if (model_.GetItemName(row) != L"..") // the drive list has no up row
            rows.push_back(row);
    }
    return rows;
}

void CVarnixView::OnAdd() {
    model_.AddSelection(SelectedRows());
    RefreshView();
}

void CVarnixView::OnExtract() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        MessageBoxW(hwnd(), L"No files selected. You need to select files this operation", caption,
                    MB_ICONWARNING);
        return;
    }
    if (model_.ExtractSelection(rows) == 0)
        RefreshView();
}

void CVarnixView::OnDelete() {
    std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        MessageBoxW(hwnd(), L"No files selected. You need to select files this operation", caption,
                    MB_ICONWARNING);
        return;
    }
    if (model_.DeleteSelection(rows) == 0)
        RefreshView();
}

void CVarnixView::OnTest() {
    model_.TestSelection(SelectedRows());
}

void CVarnixView::OnExtractToFolder() {
    std::wstring made;
    model_.ExtractToFolderSelection(SelectedRows(), made);
    // The model lists the folder again: what came out is shown and focused.
    RefreshView();
    if (!made.empty())
        FocusRowWithPath(made);
}

void CVarnixView::ShowRowMenu(LPARAM where) {
    POINT point = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
    int row = -1;
    // From the keyboard both coordinates are -1 (not the whole LPARAM in a 64-bit program).
    if (point.x == -1 && point.y == -1) {
        row = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
        RECT rect = {};
        if (row < 0 || !ListView_GetItemRect(list_, row, &rect, LVIR_LABEL))
            return;
        point = {rect.left + 8, rect.bottom};
        ClientToScreen(list_, &point);
    } else {
        // The list has selected the row under the mouse already.
        LVHITTESTINFO hit = {};
        hit.pt = point;
        ScreenToClient(list_, &hit.pt);
        row = ListView_HitTest(list_, &hit);
    }
    if (row < 0)
        return;

    const ItemData item = model_.GetItem(row);
    const bool upRow = item.name == L"..";
    const bool inArchive = model_.archiver != nullptr;
    const bool archiveFile = !inArchive && !IsDirectory(item.path) && IsArchivePath(item.path);
    const bool drive = !inArchive && item.path.size() == 2 && item.path[1] == L':';
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, ID_OPEN_ROW, L"&Open\tEnter");
    SetMenuDefaultItem(menu, ID_OPEN_ROW, FALSE);
    if (!upRow && !drive) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        if (archiveFile)
            AppendMenuW(menu, MF_STRING, ID_EXTRACT_TO_FOLDER, L"Extract to &Folder");
        if (archiveFile || inArchive) {
            AppendMenuW(menu, MF_STRING, ID_EXTRACT, L"&Extract files...\tAlt+E");
            AppendMenuW(menu, MF_STRING, ID_TEST, L"&Test\tAlt+T");
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        }
        if (!inArchive)
            AppendMenuW(menu, MF_STRING, ID_ADD, L"&Add to archive...\tAlt+A");
        AppendMenuW(menu, MF_STRING, ID_DELETE, L"&Delete\tDel");
    }
    int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x,
                                 point.y, 0, hwnd(), nullptr);
    DestroyMenu(menu);
    switch (command) {
    case ID_OPEN_ROW:
        ActivateRow(row);
        break;
    case ID_EXTRACT_TO_FOLDER:
        OnExtractToFolder();
        break;
    case ID_EXTRACT:
        OnExtract();
        break;
    case ID_TEST:
        OnTest();
        break;
    case ID_ADD:
        OnAdd();
        break;
    case ID_DELETE:
        OnDelete();
        break;
    }
}

void CVarnixView::OnDropFiles(HDROP drop) {
    std::vector<std::wstring> files;
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // As long as the path is: a long one is not cut into another name.
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(length);
        files.push_back(path);
    }
    DragFinish(drop);
    // Rows dragged out of this window and dropped back: refused, as the drag refuses them.
    if (IsFromOwnDrag(files))
        return;
    model_.AddDroppedFiles(files);
    RefreshView();
}
