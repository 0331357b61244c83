#include "ui/varnixview.h"

#include "app/appstate.h"
#include "archive/jobthread.h"
#include "archive/archiver.h"
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

// Case-insensitive: does `name` begin with `prefix`?
bool BeginsWithIgnoringCase(const std::wstring& name, const wchar_t* prefix) {
    size_t length = wcslen(prefix);
    return name.size() >= length &&
           CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name.c_str(),
                          static_cast<int>(length), prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

} // namespace

CVarnixView::CVarnixView() : Dialog(IDD_VARNIX_FORM) {}

// Whether a message asks the view to act (open, sort, drag, find, take a drop, show a menu),
// rather than to draw. While a job runs nothing may act: the job still works on the
// archive, and a second one would pull it from under it. Such messages can still come
// then: a modal dialog's loop hands out what was queued before it came up.
static bool AsksToAct(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return HIWORD(wParam) == CBN_SELCHANGE || HIWORD(wParam) == EN_CHANGE;
    case WM_DROPFILES:
    case WM_CONTEXTMENU:
        return true;
    case WM_NOTIFY: {
        UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
        return code == NM_DBLCLK || code == LVN_COLUMNCLICK || code == LVN_BEGINDRAG;
    }
    default:
        return false;
    }
}

INT_PTR CVarnixView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (JobRunning() && AsksToAct(message, wParam, lParam)) {
        if (message == WM_DROPFILES)
            DragFinish(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    }
    switch (message) {
    case WM_SELECT_NAME:
        if (HWND edit = ListView_GetEditControl(list_))
            SendMessageW(edit, EM_SETSEL, 0, static_cast<LPARAM>(wParam));
        return TRUE;
    case WM_NAME_EDITED:
        OnNameEdited(static_cast<int>(wParam), lParam ? editedName_.c_str() : nullptr);
        return TRUE;
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
        if (LOWORD(wParam) == IDC_FIND && HIWORD(wParam) == EN_CHANGE) {
            if (!settingFindText_)
                OnFindChanged();
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_FIND && HIWORD(wParam) == EN_SETFOCUS) {
            model_.finder().Prepare();
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
    findBox_ = Item(IDC_FIND);
    SendMessageW(findBox_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(L"Find (Ctrl+F)"));
    // Made at its window's scale; when that changes, the frame has it laid out again.
    createdDpi_ = dpi_ = win::DpiOfWindow(hwnd());
    win::KeepDialogFromRescaling(hwnd());
    SizeLocationBar();

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

void CVarnixView::OnSize() {
    if (!list_)
        return;
    ShowStatus(); // its parts follow the window's width
    RECT client;
    GetClientRect(hwnd(), &client);
    int width = static_cast<int>(client.right);
    int height = static_cast<int>(client.bottom);
    RECT bar;
    GetWindowRect(locationBar_, &bar);
    int barHeight = static_cast<int>(bar.bottom - bar.top);
    int top = std::max(itemHeight_, barHeight);
    // The find box at the right end of the location bar's row, as wide as some 25
    // characters, or a third of a narrow window.
    // A box's text sits at its top: the box is as tall as its text and a little room, in
    // the middle of the row.
    int findText = TextHeight(findBox_);
    int findWidth = std::min(findText * 16, width / 3);
    int findHeight = std::min(findText + Scale(4) + 2, barHeight);
    int barWidth = std::max(width - findWidth - Scale(4), 0);
    SetWindowPos(findBox_, nullptr, width - findWidth, (barHeight - findHeight) / 2, findWidth,
                 findHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(locationBar_, nullptr, 0, 0, barWidth, barHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowPos(list_, nullptr, 0, top, width, std::max(height - top, 0),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    FitLastColumn();

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

void CVarnixView::FillLocationBar() {
    SendMessageW(locationBar_, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < model_.locations().Count(); ++i) {
        // Drawn from the entry at its index: the control keeps no strings.
        SendMessageW(locationBar_, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(model_.locations().Get(i)->name.c_str()));
    }
    SendMessageW(locationBar_, CB_SETCURSEL, static_cast<WPARAM>(model_.locations().Current()), 0);
}

void CVarnixView::SaveColumnWidths() {
    HWND header = ListView_GetHeader(list_);
    if (!header)
        return;
    int count = std::min(Header_GetItemCount(header), 32);
    for (int position = 0; position < count; ++position) {
        RECT item = {};
        if (Header_GetItemRect(header, position, &item)) // kept at 100 % scale
            AppState.settings.columnWidths[position] =
                win::UnscaleFromDpi(item.right - item.left, dpi_);
    }
    // The last column keeps the width it is meant to have, not the one it was narrowed to.
    int last = Header_GetItemCount(header) - 1;
    if (last >= 0 && last < 32 && ListView_GetColumnWidth(list_, last) == lastColumnFitted_)
        AppState.settings.columnWidths[last] = win::UnscaleFromDpi(lastColumnWanted_, dpi_);
}

void CVarnixView::FitLastColumn() {
    HWND header = ListView_GetHeader(list_);
    int last = header ? Header_GetItemCount(header) - 1 : -1;
    if (last < 0)
        return;
    int shown = ListView_GetColumnWidth(list_, last);
    if (shown != lastColumnFitted_)
        lastColumnWanted_ = shown; // the user has set it meanwhile
    // The columns before it, and the room the list leaves (without its vertical bar).
    int before = 0;
    for (int column = 0; column < last; ++column)
        before += ListView_GetColumnWidth(list_, column);
    RECT client = {};
    GetClientRect(list_, &client);
    // Narrowed to the room left, so that a hair too many pixels bring no horizontal
    // scrollbar; never below two thirds of its width, where its texts would be cut.
    int least = std::min(lastColumnWanted_, lastColumnWanted_ * 2 / 3);
    int width =
        std::max(least, std::min(lastColumnWanted_, static_cast<int>(client.right) - before));
    lastColumnFitted_ = width;
    if (width != shown)
        ListView_SetColumnWidth(list_, last, width);
}

void CVarnixView::FillList() {
    SaveColumnWidths();
    int remembered = ListView_GetNextItem(list_, -1, LVNI_SELECTED);

    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list_);
    while (ListView_DeleteColumn(list_, 0)) {
    }
    std::vector<std::wstring> head;
    model_.rows().Head(head);
    for (size_t position = 0; position < head.size(); ++position) {
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        column.fmt = LVCFMT_LEFT;
        column.cx = ColumnWidth(static_cast<int>(position));
        column.pszText = &head[position][0];
        ListView_InsertColumn(list_, static_cast<int>(position), &column);
    }
    lastColumnWanted_ =
        head.empty() ? 0 : ListView_GetColumnWidth(list_, static_cast<int>(head.size()) - 1);
    lastColumnFitted_ = lastColumnWanted_;
    // The sorted column shows its arrow, up or down.
    HDITEMW sorted = {};
    sorted.mask = HDI_FORMAT;
    HWND header = ListView_GetHeader(list_);
    if (Header_GetItem(header, model_.rows().SortColumn(), &sorted)) {
        sorted.fmt |= model_.rows().SortOrder() == 2 ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, model_.rows().SortColumn(), &sorted);
    }
    // The list asks for the rows it shows.
    ListView_SetItemCountEx(list_, model_.rows().Count(), 0);
    FitLastColumn(); // once the rows say whether the list has a vertical scrollbar
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);

    std::wstring path = model_.GetCurrentPath();
    SetWindowTextW(pathBox_, path.c_str());
    SendMessageW(pathBox_, EM_SETSEL, 0, static_cast<LPARAM>(path.size()));
    SendMessageW(pathBox_, EM_SCROLLCARET, 0, 0);

    if (model_.rows().Count() > 0 && remembered >= 0 && remembered < model_.rows().Count())
        SelectRow(remembered);
    CountSelection();
    ShowStatus();
}

void CVarnixView::RefreshView() {
    // Another place shown ends the find there.
    if (!model_.finder().IsActive())
        SetFindBoxText(std::wstring());
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
    if (i >= 0 && i < model_.rows().Count()) {
        SelectRow(i);
        ListView_EnsureVisible(list_, i, FALSE);
    }
    // The keys work on the list at once: Enter opens the row, the arrows move.
    SetFocus(list_);
}

void CVarnixView::FocusRowWithPath(const std::wstring& path) {
    int row = path.empty() ? -1 : model_.rows().Find(path);
    FocusRow(row >= 0 ? row : 0);
}

void CVarnixView::ActivateRow(int index) {
    if (index < 0)
        return;
    // Going up focuses the folder it leaves, as Explorer does.
    bool goingUp = model_.rows().Name(index) == L"..";
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

void CVarnixView::SelectAllRows() {
    int count = model_.rows().Count();
    if (count == 0)
        return;
    ListView_SetItemState(list_, -1, LVIS_SELECTED, LVIS_SELECTED);
    // ".." is a way out, not something to act on.
    if (model_.rows().Name(0) == L"..")
        ListView_SetItemState(list_, 0, 0, LVIS_SELECTED);
}

void CVarnixView::Reload() {
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    const ShownFind find = RememberFind();
    model_.commands().Reload();
    // The same place again keeps the selection by position, and a find is run again.
    RefreshAfterCommand(find);
    if (GetFocus() != findBox_)
        SetFocus(list_);
}

void CVarnixView::GoUp() {
    if (model_.rows().Count() > 0 && model_.rows().Name(0) == L"..")
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
        if (model_.rows().SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem))
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
    case LVN_DELETEALLITEMS:
        // The rows are the model's: the list need not say goodbye to each of a million.
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, TRUE);
        return TRUE;
    case LVN_BEGINLABELEDITW: {
        const int row = reinterpret_cast<const NMLVDISPINFOW&>(header).item.iItem;
        const bool may = MayEditName(row);
        // As Explorer has it: a file's name is selected without its extension, once the
        // list has selected it all.
        const std::wstring name = may ? model_.rows().Name(row) : std::wstring();
        const size_t dot = name.rfind(L'.');
        if (may && !model_.rows().IsFolder(row) && dot != std::wstring::npos && dot > 0)
            PostMessageW(hwnd(), WM_SELECT_NAME, dot, 0);
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, may ? FALSE : TRUE);
        return TRUE;
    }
    case LVN_ENDLABELEDITW: {
        // The rows are the model's: the list keeps its old text, and the view shows the
        // place anew once the name is given.
        const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(header);
        const int row = edit.item.iItem;
        const std::wstring typed = edit.item.pszText ? edit.item.pszText : L"";
        const bool given = edit.item.pszText != nullptr;
        PostMessageW(hwnd(), WM_NAME_EDITED, static_cast<WPARAM>(row), given ? 1 : 0);
        editedName_ = typed;
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, FALSE);
        return TRUE;
    }
    case LVN_BEGINDRAG:
        // The selected rows go out as files; files moved away from the folder leave its list.
        if (DragRowsOut(model_, SelectedRows(), list_)) {
            if (model_.archive())
                RefreshView(); // listed again by the move
            else
                Reload();
        }
        return TRUE;
    case LVN_GETDISPINFOW: {
        // For whoever reads the list's texts (screen readers, tooltips): the cells drawn.
        LVITEMW& item =
            const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header)).item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            UINT alignment = 0;
            textBuffer_ = model_.rows().Text(item.iItem, item.iSubItem, alignment);
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
            int count = model_.rows().Count();
            for (int step = 0; step < count && found == -1; ++step) {
                int row = (find.iStart + step) % count;
                if (row < find.iStart && !(find.lvfi.flags & LVFI_WRAP))
                    break;
                if (BeginsWithIgnoringCase(model_.rows().Name(row), find.lvfi.psz))
                    found = row;
            }
        }
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, found);
        return TRUE;
    }
    }
    return FALSE;
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
