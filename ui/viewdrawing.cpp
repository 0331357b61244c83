// The browser view's look: how tall its rows and places are, how they are drawn, and the
// layout again when the window's display scale changes. Every length here is written for
// 100 % scale (96 DPI) and scaled to the window's.
#include "ui/varnixview.h"

#include "app/appstate.h"
#include "res/resource.h"
#include "shell/iconcache.h"

#include <commctrl.h>

#include <algorithm>

namespace {

// The widths of columns the user has not sized: the name's, and every other's.
const int nameColumnWidth = 350;
const int otherColumnWidth = 150;

// An icon of `size` pixels from `left` on, in the middle of `area`'s height.
void DrawIconCentred(HDC dc, int left, const RECT& area, HICON icon, int size) {
    int top = static_cast<int>(area.top) +
              std::max(static_cast<int>(area.bottom - area.top) - size, 0) / 2;
    DrawIconEx(dc, left, top, icon, size, size, 0, nullptr, DI_NORMAL);
}

} // namespace

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

int CVarnixView::RowHeight() const {
    // Room for the text or the icon, whichever is taller. Once the controls are there, the
    // list has the font of the current scale (the dialog keeps the one it was made with).
    return std::max(TextHeight(list_ ? list_ : hwnd()), IconSize()) + Scale(2);
}

void CVarnixView::OnMeasureItem(MEASUREITEMSTRUCT& measure) {
    // The owner-drawn controls measure themselves as they are made, before WM_INITDIALOG.
    if (!list_)
        dpi_ = win::DpiOfWindow(hwnd());
    itemHeight_ = RowHeight();
    measure.itemHeight = static_cast<UINT>(itemHeight_);
}

int CVarnixView::ColumnWidth(int position) const {
    int stored = position >= 0 && position < 32 ? AppState.settings.columnWidths[position] : 0;
    if (stored < 1)
        stored = position == 0 ? nameColumnWidth : otherColumnWidth;
    return Scale(stored);
}

void CVarnixView::SizeLocationBar() {
    // The places and the field as tall as a row. The field is said so as well: some
    // systems size it by the font alone, and its icon would be cut off.
    SendMessageW(locationBar_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight_);
    SendMessageW(locationBar_, CB_SETITEMHEIGHT, 0, itemHeight_);
}

void CVarnixView::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_ || !list_)
        return;
    SaveColumnWidths(); // measured at the old scale, kept in 100 % pixels
    dpi_ = dpi;

    // The dialog's font made again for the new scale, from the one the dialog was made
    // with (scaling the last copy again would add up rounding).
    HFONT original = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    win::GdiObject<HFONT> font(dpi == createdDpi_ ? nullptr
                                                  : win::ScaledFont(original, createdDpi_, dpi));
    HFONT shown = font ? font.get() : original;
    for (HWND control : {locationBar_, pathBox_, findBox_, list_})
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(shown), FALSE);
    font_ = std::move(font); // the previous copy goes once no control uses it

    itemHeight_ = RowHeight();
    SizeLocationBar();
    // An owner-drawn list asks for its rows' height only when it is made and when it is
    // resized: it is told of a resize to its own size, and measures them again.
    RECT place;
    GetWindowRect(list_, &place);
    WINDOWPOS position = {};
    position.hwnd = list_;
    position.cx = static_cast<int>(place.right - place.left);
    position.cy = static_cast<int>(place.bottom - place.top);
    position.flags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
    SendMessageW(list_, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&position));

    HWND header = ListView_GetHeader(list_);
    int columns = header ? Header_GetItemCount(header) : 0;
    for (int column = 0; column < columns; ++column)
        ListView_SetColumnWidth(list_, column, ColumnWidth(column));
    OnSize();
    InvalidateRect(hwnd(), nullptr, TRUE);
}

void CVarnixView::DrawLocation(const DRAWITEMSTRUCT& draw) {
    const DeviceItem* entry = model_.locations().Get(static_cast<int>(draw.itemID));
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
        area.left += entry->level * Scale(8);
    int iconSize = IconSize();
    if (HICON icon = model_.locations().Icon(static_cast<int>(draw.itemID), iconSize))
        DrawIconCentred(dc, area.left + Scale(3), area, icon, iconSize);
    // The text keeps clear of the icon's place, icon or not. In the field it is the path,
    // which the path box covers; drawn all the same, the field never shows empty while the
    // box has not painted itself yet (when the list has just closed, say).
    area.left += Scale(22);
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

    int iconSize = IconSize();
    HWND header = ListView_GetHeader(list_);
    int columns = header ? Header_GetItemCount(header) : 0;
    for (int column = 0; column < columns; ++column) {
        RECT cell = {};
        ListView_GetSubItemRect(list_, row, column, LVIR_BOUNDS, &cell);
        if (column == 0) // the bounds of column 0 are those of the whole row
            cell.right = cell.left + ListView_GetColumnWidth(list_, 0);
        FillRect(dc, &cell, background);
        cell.left += Scale(4);
        cell.right -= Scale(8);
        if (column == 0) {
            if (HICON icon = model_.rows().Icon(row, iconSize))
                DrawIconCentred(dc, cell.left + Scale(3), cell, icon, iconSize);
            cell.left += Scale(22);
        }
        UINT alignment = DT_LEFT;
        std::wstring text = model_.rows().Text(row, column, alignment);
        // Names are shown as they are: an "&" is no mnemonic, a long one ends in "...". A
        // found entry's path gives up its middle instead, so that its name stays in sight.
        UINT cut = column == 0 && model_.finder().IsActive() ? DT_PATH_ELLIPSIS : DT_END_ELLIPSIS;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell,
                  alignment | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | cut);
    }
    // Keyboard users see where they are.
    if ((draw.itemState & ODS_FOCUS) && GetFocus() == list_) {
        RECT whole = draw.rcItem;
        DrawFocusRect(dc, &whole);
    }
}
