// The browser view's commands: the toolbar's, the row menu's, and files dropped on it.
#include "ui/varnixview.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/dragout.h"
#include "ui/quickadd.h"
#include "win/clipboard.h"

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
    const ShownFind find = RememberFind();
    model_.AddSelection(SelectedRows());
    RefreshAfterCommand(find);
}

void CVarnixView::OnQuickAdd(AddFormat format) {
    std::vector<std::wstring> paths;
    for (int row : SelectedRows()) {
        if (!model_.IsDriveOrUpRow(row))
            paths.push_back(model_.RowFullPath(row));
    }
    if (model_.archiver || paths.empty())
        return;
    const ShownFind find = RememberFind();
    const std::wstring archive = QuickArchiveName(paths, format);
    QuickAdd(paths, format);
    RefreshAfterCommand(find);
    FocusRowWithPath(archive); // what was made is in sight
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
    // Found rows are deleted from their folders; the find is run again on what is left.
    const ShownFind find = RememberFind();
    if (model_.DeleteSelection(rows) == 0)
        RefreshAfterCommand(find);
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

HMENU CVarnixView::MakeRowMenu(int row, const std::vector<int>& rows) const {
    const bool inArchive = model_.archiver != nullptr;
    const bool one = rows.size() == 1;
    const bool some = !rows.empty();
    // Every selected row is an archive file on the disk.
    bool archives = some;
    for (int selected : rows)
        archives = archives && model_.IsArchiveFileRow(selected);
    // What a command cannot act on is there, greyed, rather than missing.
    auto add = [](HMENU menu, int command, const wchar_t* text, bool enabled) {
        AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), command, text);
    };
    auto separator = [](HMENU menu) { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); };

    HMENU menu = CreatePopupMenu();
    if (inArchive) {
        const bool changeable = model_.archiver->CanBeChanged();
        add(menu, ID_OPEN_ROW, L"&Open\tEnter", row >= 0);
        SetMenuDefaultItem(menu, ID_OPEN_ROW, FALSE);
        separator(menu);
        add(menu, ID_EXTRACT, L"&Extract...\tAlt+E", some);
        add(menu, ID_TEST, L"&Test\tAlt+T", true); // none selected: the whole archive
        add(menu, ID_DELETE, L"&Delete\tDel", some && changeable);
        separator(menu);
        add(menu, ID_COPY_PATH, L"Copy &path", some);
        return menu;
    }
    const bool archiveRow = model_.IsArchiveFileRow(row);
    // An archive opens in the window with Enter; "Open" gives it to its own program.
    add(menu, ID_OPEN_ROW, L"&Open", row >= 0);
    if (archiveRow) {
        add(menu, ID_OPEN_IN_WINDOW, L"Open in the &window\tEnter", true);
        SetMenuDefaultItem(menu, ID_OPEN_IN_WINDOW, FALSE);
        separator(menu);
        add(menu, ID_EXTRACT_HERE, L"Extract &Here", archives);
        add(menu, ID_EXTRACT_TO_FOLDER, L"Extract to &Folder", archives);
        add(menu, ID_EXTRACT, L"E&xtract files...\tAlt+E", archives && one);
        add(menu, ID_TEST, L"&Test\tAlt+T", archives && one);
    } else {
        SetMenuDefaultItem(menu, ID_OPEN_ROW, FALSE);
    }
    bool files = some; // files and folders, not drives
    for (int selected : rows)
        files = files && !model_.IsDriveOrUpRow(selected);
    separator(menu);
    add(menu, ID_ADD, L"&Add to archive...\tAlt+A", files);
    // One click, with the choices remembered for the format, under the name it will have.
    std::vector<std::wstring> paths;
    for (int selected : rows)
        paths.push_back(model_.RowFullPath(selected));
    for (const auto& quick : {std::make_pair(ID_QUICK_ADD_7Z, AddFormat::SevenZip),
                              std::make_pair(ID_QUICK_ADD_ZIP, AddFormat::Zip)}) {
        const std::wstring extension = InfoOf(quick.second).extension;
        std::wstring name = files ? FileNamePart(QuickArchiveName(paths, quick.second))
                                  : L"name." + extension;
        // An ampersand in a file name is shown, not taken for an access key; the key is the
        // extension's first letter ("7", "z").
        name.resize(name.size() - extension.size());
        std::wstring shown;
        for (wchar_t c : name)
            shown += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
        std::wstring text = L"Add to \"" + shown + L"&" + extension + L"\"";
        add(menu, quick.first, text.c_str(), files);
    }
    add(menu, ID_DELETE, L"&Delete\tDel", files);
    separator(menu);
    add(menu, ID_COPY_PATH, L"Copy &path", some);
    return menu;
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

    HMENU menu = MakeRowMenu(row, SelectedRows());
    int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, point.x,
                                 point.y, 0, hwnd(), nullptr);
    DestroyMenu(menu);
    RunRowCommand(command, row);
}

void CVarnixView::RunRowCommand(int command, int row) {
    switch (command) {
    case ID_OPEN_ROW:
        if (model_.IsArchiveFileRow(row)) {
            // Given to the program Windows opens it with.
            std::wstring path = model_.GetItem(row).path;
            ShellExecuteW(hwnd(), nullptr, path.c_str(), nullptr, nullptr, SW_SHOW);
        } else {
            ActivateRow(row);
        }
        break;
    case ID_OPEN_IN_WINDOW:
        ActivateRow(row);
        break;
    case ID_EXTRACT_HERE:
        model_.ExtractHereSelection(SelectedRows());
        RefreshView();
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
    case ID_QUICK_ADD_7Z:
    case ID_QUICK_ADD_ZIP:
        OnQuickAdd(command == ID_QUICK_ADD_7Z ? AddFormat::SevenZip : AddFormat::Zip);
        break;
    case ID_DELETE:
        OnDelete();
        break;
    case ID_COPY_PATH:
        CopyPaths();
        break;
    }
}

void CVarnixView::CopyPaths() {
    // One path a line, as a list of files pasted into a text is expected.
    std::wstring text;
    for (int row : SelectedRows())
        text += (text.empty() ? L"" : L"\r\n") + model_.RowFullPath(row);
    if (!text.empty())
        win::CopyTextToClipboard(hwnd(), text);
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
    const ShownFind find = RememberFind();
    model_.AddDroppedFiles(files);
    RefreshAfterCommand(find);
}
