#include "ui/varnixview.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "res/resource.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "ui/dragout.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>

namespace {

const wchar_t caption[] = L"Varnix File Opener";

int DefaultColumnWidth(int position) {
    return position == 0 ? 350 : 150;
}

// Case-insensitive: does `name` begin with `prefix`?
bool BeginsWithIgnoringCase(const std::wstring& name, const wchar_t* prefix) {
    size_t length = wcslen(prefix);
    return name.size() >= length &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(),
                          static_cast<int>(length), prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

} // namespace

CVarnixView::CVarnixView() : Dialog(IDD_VARNIX_FORM) {}

INT_PTR CVarnixView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog();
        return FALSE; // the list has the focus, not the first control
    case WM_SIZE:
        OnSize();
        return TRUE;
    case WM_MEASUREITEM:
        OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_DRAWITEM: {
        const auto& draw = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw.CtlID == IDC_LOCATION)
            DrawLocation(draw);
        else if (draw.CtlID == IDC_LIST)
            DrawRow(draw);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_LOCATION && HIWORD(wParam) == CBN_SELCHANGE) {
            OnLocationChosen();
            return TRUE;
        }
        return FALSE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_NOTIFY:
        return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != list_)
            return FALSE;
        ShowRowMenu(lParam);
        return TRUE;
    }
    return FALSE;
}

void CVarnixView::OnInitDialog() {
    locationBar_ = Item(IDC_LOCATION);
    pathBox_ = Item(IDC_PATH);
    list_ = Item(IDC_LIST);

    model_.BuildDevices();
    DragAcceptFiles(hwnd(), TRUE);
    SetParent(pathBox_, locationBar_);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);

    // An archive given on the command line, or the folder of the last run. An archive that
    // cannot be opened (moved, damaged) is said once, and the Desktop is listed instead.
    std::wstring start = AppState.settings.lastPath;
    if (IsDirectory(start))
        model_.OpenLocation(0, start);
    else if (!IsArchivePath(start) || !model_.OpenArchive(start))
        model_.SelectLocation(0);
    RefreshView();
    FocusRow(0);
}

int CVarnixView::TextHeight(HWND window) const {
    HDC dc = GetDC(window);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, L"Wy", 2, &size);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return size.cy;
}

void CVarnixView::OnMeasureItem(MEASUREITEMSTRUCT& measure) {
    itemHeight_ = std::max(TextHeight(hwnd()), 16) + 2;
    measure.itemHeight = static_cast<UINT>(itemHeight_);
}

void CVarnixView::OnSize() {
    if (!list_)
        return;
    RECT client;
    GetClientRect(hwnd(), &client);
    int width = static_cast<int>(client.right);
    int height = static_cast<int>(client.bottom);
    RECT bar;
    GetWindowRect(locationBar_, &bar);
    int barHeight = static_cast<int>(bar.bottom - bar.top);
    int top = std::max(itemHeight_, barHeight);
    SetWindowPos(locationBar_, nullptr, 0, 0, width, barHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(list_, nullptr, 0, top, width, std::max(height - top, 0),
                 SWP_NOZORDER | SWP_NOACTIVATE);

    // The path box covers the bar's text, leaving the entry's icon on the left and the
    // drop button on the right.
    RECT inside;
    GetClientRect(locationBar_, &inside);
    int insideWidth = static_cast<int>(inside.right - inside.left);
    int insideHeight = static_cast<int>(inside.bottom - inside.top);
    int margin = std::max((insideHeight - TextHeight(pathBox_)) / 2, 0);
    SetWindowPos(pathBox_, nullptr, static_cast<int>(inside.left) + top,
                 static_cast<int>(inside.top) + margin, std::max(insideWidth - 2 * top, 0),
                 std::max(insideHeight - 2 * margin, 0), SWP_NOZORDER | SWP_NOACTIVATE);
}

void CVarnixView::DrawLocation(const DRAWITEMSTRUCT& draw) {
    const DeviceItem* entry = model_.GetLocation(static_cast<int>(draw.itemID));
    if (!entry)
        return;
    bool inField = (draw.itemState & ODS_COMBOBOXEDIT) != 0;
    bool highlighted = !inField && (draw.itemState & ODS_SELECTED);
    HDC dc = draw.hDC;
    FillRect(dc, &draw.rcItem, GetSysColorBrush(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(dc, GetSysColor(highlighted ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    RECT area = draw.rcItem;
    if (!inField)
        area.left += entry->level * 8;
    if (entry->icon)
        DrawIconEx(dc, area.left + 3, area.top, entry->icon, 16, 16, 0, nullptr, DI_NORMAL);
    // The text keeps clear of the icon's place, icon or not. In the field it is the path,
    // which the path box covers; drawn all the same, the field never shows empty while the
    // box has not painted itself yet (when the list has just closed, say).
    area.left += 22;
    const std::wstring& text = inField ? entry->path : entry->name;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void CVarnixView::DrawRow(const DRAWITEMSTRUCT& draw) {
    int row = static_cast<int>(draw.itemID);
    bool selected = (draw.itemState & ODS_SELECTED) != 0;
    HDC dc = draw.hDC;
    HBRUSH background = GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);

    HWND header = ListView_GetHeader(list_);
    int columns = header ? Header_GetItemCount(header) : 0;
    for (int column = 0; column < columns; ++column) {
        RECT cell = {};
        ListView_GetSubItemRect(list_, row, column, LVIR_BOUNDS, &cell);
        if (column == 0) // the bounds of column 0 are those of the whole row
            cell.right = cell.left + ListView_GetColumnWidth(list_, 0);
        FillRect(dc, &cell, background);
        cell.left += 4;
        cell.right -= 8;
        if (column == 0) {
            if (HICON icon = model_.GetItemIcon(row))
                DrawIconEx(dc, cell.left + 3, cell.top, icon, 16, 16, 0, nullptr, DI_NORMAL);
            cell.left += 22;
        }
        UINT alignment = DT_LEFT;
        std::wstring text = model_.GetItemText(row, column, alignment);
        // Names are shown as they are: an "&" is no mnemonic, a long one ends in "...".
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell,
                  alignment | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    // Keyboard users see where they are.
    if ((draw.itemState & ODS_FOCUS) && GetFocus() == list_) {
        RECT whole = draw.rcItem;
        DrawFocusRect(dc, &whole);
    }
}

void CVarnixView::FillLocationBar() {
    SendMessageW(locationBar_, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < model_.GetLocationCount(); ++i) {
        // Drawn from the entry at its index: the control keeps no strings.
        SendMessageW(locationBar_, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(model_.GetLocation(i)->name.c_str()));
    }
    SendMessageW(locationBar_, CB_SETCURSEL, static_cast<WPARAM>(model_.current), 0);
}

void CVarnixView::SaveColumnWidths() {
    HWND header = ListView_GetHeader(list_);
    if (!header)
        return;
    int count = std::min(Header_GetItemCount(header), 32);
    for (int position = 0; position < count; ++position) {
        RECT item = {};
        if (Header_GetItemRect(header, position, &item))
            AppState.settings.columnWidths[position] = item.right - item.left;
    }
}

void CVarnixView::FillList() {
    SaveColumnWidths();
    int remembered = ListView_GetNextItem(list_, -1, LVNI_SELECTED);

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list_);
    while (ListView_DeleteColumn(list_, 0)) {
    }
    std::vector<std::wstring> head;
    model_.GetHead(head);
    for (size_t position = 0; position < head.size(); ++position) {
        int width = position < 32 && AppState.settings.columnWidths[position] >= 1
                        ? AppState.settings.columnWidths[position]
                        : DefaultColumnWidth(static_cast<int>(position));
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = &head[position][0];
        ListView_InsertColumn(list_, static_cast<int>(position), &column);
    }
    // The sorted column shows its arrow, up or down.
    HDITEMW sorted = {};
    sorted.mask = HDI_FORMAT;
    HWND header = ListView_GetHeader(list_);
    if (Header_GetItem(header, model_.sortColumn, &sorted)) {
        sorted.fmt |= model_.sortOrder == 2 ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, model_.sortColumn, &sorted);
    }
    // The list asks for the rows it shows.
    ListView_SetItemCountEx(list_, model_.GetItemCount(), 0);
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);

    std::wstring path = model_.GetCurrentPath();
    SetWindowTextW(pathBox_, path.c_str());
    SendMessageW(pathBox_, EM_SETSEL, 0, static_cast<LPARAM>(path.size()));
    SendMessageW(pathBox_, EM_SCROLLCARET, 0, 0);

    if (model_.GetItemCount() > 0 && remembered >= 0 && remembered < model_.GetItemCount())
        SelectRow(remembered);
    CountSelection();
    ShowStatus();
}

void CVarnixView::RefreshView() {
    FillLocationBar();
    // Counted once per place shown: a column click only puts the same rows in another order.
    CountFolderAndFiles();
    FillList();
}

void CVarnixView::SelectRow(int i) {
    // The rows selected now lose it one by one: a change to every row at once costs a
    // moment per row in a list of a million.
    if (ListView_GetSelectedCount(list_) > 64) {
        ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    } else {
        for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row != -1;
             row = ListView_GetNextItem(list_, row, LVNI_SELECTED))
            ListView_SetItemState(list_, row, 0, LVIS_SELECTED);
    }
    ListView_SetItemState(list_, i, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void CVarnixView::FocusRow(int i) {
    if (i >= 0 && i < model_.GetItemCount()) {
        SelectRow(i);
        ListView_EnsureVisible(list_, i, FALSE);
    }
    // The keys work on the list at once: Enter opens the row, the arrows move.
    SetFocus(list_);
}

void CVarnixView::FocusRowWithPath(const std::wstring& path) {
    int row = path.empty() ? -1 : model_.FindRow(path);
    FocusRow(row >= 0 ? row : 0);
}

void CVarnixView::ActivateRow(int index) {
    if (index < 0)
        return;
    // Going up focuses the folder it leaves, as Explorer does.
    bool goingUp = model_.GetItemName(index) == L"..";
    std::wstring left = goingUp ? model_.ShownPlacePath() : std::wstring();
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (model_.ActivateItem(index) > 0) {
        RefreshView();
        FocusRowWithPath(left);
    }
}

void CVarnixView::OnLocationChosen() {
    int i = static_cast<int>(SendMessageW(locationBar_, CB_GETCURSEL, 0, 0));
    if (i < 0)
        return;
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (model_.SelectLocation(i)) {
        RefreshView();
        FocusRow(0);
    }
}

void CVarnixView::OpenTypedPath() {
    int length = GetWindowTextLengthW(pathBox_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(pathBox_, &text[0], length + 1)));
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (model_.OpenTypedPath(text)) {
        RefreshView();
        FocusRow(0);
        return;
    }
    MessageBoxW(
        hwnd(),
        (L"Windows cannot find \"" + text + L"\". Check the spelling and try again.").c_str(),
        caption, MB_OK | MB_ICONWARNING);
    // The box shows the place shown again, so that it and the list agree.
    std::wstring shown = model_.GetCurrentPath();
    SetWindowTextW(pathBox_, shown.c_str());
    SendMessageW(pathBox_, EM_SETSEL, 0, static_cast<LPARAM>(shown.size()));
}

void CVarnixView::CountFolderAndFiles() {
    folders_ = 0;
    files_ = 0;
    totalBytes_ = 0;
    int count = model_.GetItemCount();
    for (int i = HasUpRow() ? 1 : 0; i < count; ++i) {
        if (model_.IsFolderRow(i)) {
            ++folders_;
        } else {
            ++files_;
            totalBytes_ += model_.RowBytes(i);
        }
    }
}

bool CVarnixView::HasUpRow() const {
    return model_.GetItemCount() > 0 && model_.GetItemName(0) == L"..";
}

void CVarnixView::CountSelection() {
    selected_ = 0;
    selectedBytes_ = 0;
    for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row != -1;
         row = ListView_GetNextItem(list_, row, LVNI_SELECTED))
        CountRows(row, row, true);
}

void CVarnixView::CountRows(int from, int to, bool selected) {
    bool upRow = from <= 0 && HasUpRow();
    for (int i = std::max(from, 0); i <= to && i < model_.GetItemCount(); ++i) {
        if (i == 0 && upRow)
            continue; // a way out, not something to count
        uint64_t bytes = model_.RowBytes(i);
        if (selected) {
            ++selected_;
            selectedBytes_ += bytes;
        } else if (selected_ > 0) {
            --selected_;
            selectedBytes_ -= std::min(bytes, selectedBytes_);
        }
    }
}

// "1 folder", "340 files".
static std::wstring Counted(int count, const wchar_t* one, const wchar_t* many) {
    return GroupDigits(std::to_wstring(count)) + L" " + (count == 1 ? one : many);
}

void CVarnixView::ShowStatus() {
    HWND statusBar = GetDlgItem(GetParent(hwnd()), ATL_IDW_STATUS_BAR);
    if (!statusBar)
        return;
    std::wstring text =
        Counted(folders_, L"folder", L"folders") + L", " + Counted(files_, L"file", L"files");
    if (selected_ > 0)
        text += L"; " + GroupDigits(std::to_wstring(selected_)) + L" selected, " +
                GroupDigits(std::to_wstring(selectedBytes_)) +
                (selectedBytes_ == 1 ? L" byte" : L" bytes");
    SendMessageW(statusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CVarnixView::SelectAllRows() {
    int count = model_.GetItemCount();
    if (count == 0)
        return;
    ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
    // ".." is a way out, not something to act on.
    if (model_.GetItemName(0) == L"..")
        ListView_SetItemState(list_, 0, 0, LVIS_SELECTED);
}

void CVarnixView::Reload() {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    model_.Reload();
    // The same place again keeps the selection by position.
    RefreshView();
    SetFocus(list_);
}

void CVarnixView::GoUp() {
    if (model_.GetItemCount() > 0 && model_.GetItemName(0) == L"..")
        ActivateRow(0);
}

INT_PTR CVarnixView::OnNotify(const NMHDR& header) {
    if (header.idFrom != IDC_LIST)
        return FALSE;
    switch (header.code) {
    case NM_DBLCLK:
        ActivateRow(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
        return TRUE;
    case LVN_COLUMNCLICK:
        if (model_.SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem))
            FillList();
        return TRUE;
    case LVN_ITEMCHANGED: {
        // The selection's totals change by the row that changed; a change to every row at
        // once (-1) is counted again.
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!(change.uChanged & LVIF_STATE) ||
            !((change.uOldState ^ change.uNewState) & LVIS_SELECTED))
            return FALSE;
        if (change.iItem < 0 && !(change.uNewState & LVIS_SELECTED)) {
            selected_ = 0; // every row let go
            selectedBytes_ = 0;
        } else if (change.iItem < 0) {
            selected_ = folders_ + files_; // every row taken; the up row never counts
            selectedBytes_ = totalBytes_;
        } else
            CountRows(change.iItem, change.iItem, (change.uNewState & LVIS_SELECTED) != 0);
        ShowStatus();
        return FALSE;
    }
    case LVN_ODSTATECHANGED: {
        const auto& change = reinterpret_cast<const NMLVODSTATECHANGE&>(header);
        if ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) {
            CountRows(change.iFrom, change.iTo, (change.uNewState & LVIS_SELECTED) != 0);
            ShowStatus();
        }
        return FALSE;
    }
    case LVN_BEGINDRAG:
        // The selected rows go out as files; files moved away from the folder leave its list.
        if (DragRowsOut(model_, SelectedRows()))
            Reload();
        return TRUE;
    case LVN_GETDISPINFOW: {
        // For whoever reads the list's texts (screen readers, tooltips): the cells drawn.
        LVITEMW& item =
            const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            UINT alignment = 0;
            textBuffer_ = model_.GetItemText(item.iItem, item.iSubItem, alignment);
            wcsncpy(item.pszText, textBuffer_.c_str(), static_cast<size_t>(item.cchTextMax) - 1);
            item.pszText[item.cchTextMax - 1] = L'\0';
        }
        return TRUE;
    }
    case LVN_ODFINDITEMW: {
        // Typing a name's beginning in the list goes to the next row with that name.
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        LRESULT found = -1;
        if ((find.lvfi.flags & (LVFI_STRING | LVFI_PARTIAL)) && find.lvfi.psz) {
            int count = model_.GetItemCount();
            for (int step = 0; step < count && found == -1; ++step) {
                int row = (find.iStart + step) % count;
                if (row < find.iStart && !(find.lvfi.flags & LVFI_WRAP))
                    break;
                if (BeginsWithIgnoringCase(model_.GetItemName(row), find.lvfi.psz))
                    found = row;
            }
        }
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, found);
        return TRUE;
    }
    }
    return FALSE;
}

bool CVarnixView::PreTranslateMessage(MSG& message) {
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
            GoUp();
            return true;
        }
        bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
        if (message.wParam == 'A' && control && focus == list_) {
            SelectAllRows();
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

void CVarnixView::OnDestroy() {
    SaveColumnWidths();
    // The nearest folder of the place shown: inside an archive, the folder that holds it.
    std::wstring path = model_.GetCurrentPath();
    while (!path.empty() && !IsDirectory(path))
        path = ParentFolder(path);
    if (!path.empty() && path.size() < _countof(AppState.settings.lastPath))
        wcscpy_s(AppState.settings.lastPath, path.c_str());
}
