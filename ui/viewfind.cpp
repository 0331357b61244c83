// The find box: what its text finds, in the whole archive or the disk folder shown, and the
// way back to the place shown before.
#include "ui/varnixview.h"

#include <commctrl.h>

bool CVarnixView::IsTypingKey(const MSG& message) const {
    HWND focus = GetFocus();
    // A name being edited in the list takes every key.
    if (focus && focus == ListView_GetEditControl(list_))
        return message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN ||
               message.message == WM_CHAR;
    if (message.message != WM_KEYDOWN || (focus != pathBox_ && focus != findBox_))
        return false;
    // Delete deletes a character, and Ctrl+C, Ctrl+X and Ctrl+V copy and paste text there.
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    return message.wParam == VK_DELETE ||
           (control && (message.wParam == 'C' || message.wParam == 'X' || message.wParam == 'V'));
}

std::wstring CVarnixView::FindBoxText() const {
    int length = GetWindowTextLengthW(findBox_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(findBox_, &text[0], length + 1)));
    return text;
}

void CVarnixView::SetFindBoxText(const std::wstring& text) {
    if (!findBox_ || FindBoxText() == text)
        return;
    settingFindText_ = true;
    SetWindowTextW(findBox_, text.c_str());
    settingFindText_ = false;
}

void CVarnixView::FocusFindBox() {
    SetFocus(findBox_);
    SendMessageW(findBox_, EM_SETSEL, 0, -1);
}

void CVarnixView::FindText(const std::wstring& text) {
    SetFindBoxText(text);
    OnFindChanged();
}

void CVarnixView::OnFindChanged() {
    std::wstring text = FindBoxText();
    if (text.empty()) {
        EndFind();
        return;
    }
    // The first find keeps the selection of the place shown, to come back to.
    std::vector<int> selected;
    int focused = -1;
    if (!model_.finder().IsActive()) {
        selected = SelectedRows();
        focused = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    }
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    model_.finder().Find(text, selected, focused);
    // The rows found are new: nothing of them is selected yet. (Emptying the list lets go
    // of the selection at no cost; a change to every row would touch a million.)
    ListView_DeleteAllItems(list_);
    CountFolderAndFiles();
    FillList();
    if (model_.rows().Count() > 0)
        ListView_SetItemState(list_, 0, LVIS_FOCUSED, LVIS_FOCUSED);
}

void CVarnixView::EndFind() {
    SetFindBoxText(std::wstring());
    if (!model_.finder().IsActive())
        return;
    std::vector<int> selected;
    int focused = -1;
    model_.finder().End(selected, focused);
    ListView_DeleteAllItems(list_);
    CountFolderAndFiles();
    FillList();
    MarkRows(selected, focused);
    if (int shown = ListView_GetNextItem(list_, -1, LVNI_FOCUSED); shown >= 0)
        ListView_EnsureVisible(list_, shown, FALSE);
    SetFocus(list_);
}

void CVarnixView::MarkRows(const std::vector<int>& selected, int focused) {
    for (int row : selected)
        ListView_SetItemState(list_, row, LVIS_SELECTED, LVIS_SELECTED);
    if (focused < 0)
        focused = selected.empty() ? 0 : selected.front();
    if (focused < model_.rows().Count())
        ListView_SetItemState(list_, focused, LVIS_FOCUSED, LVIS_FOCUSED);
}

CVarnixView::ShownFind CVarnixView::RememberFind() const {
    ShownFind find;
    find.text = FindBoxText();
    find.place = model_.GetCurrentPath();
    model_.finder().SelectionBefore(find.selected, find.focused);
    return find;
}

void CVarnixView::RefreshAfterCommand(const ShownFind& find) {
    RefreshView();
    if (find.text.empty() || model_.finder().IsActive() || model_.GetCurrentPath() != find.place)
        return;
    // The list keeps its selected row by position, which meant a found row: the place's
    // own selection instead (of what is left of it), which the find keeps for Esc.
    for (int row = ListView_GetNextItem(list_, -1, LVNI_SELECTED); row != -1;
         row = ListView_GetNextItem(list_, row, LVNI_SELECTED))
        ListView_SetItemState(list_, row, 0, LVIS_SELECTED);
    std::vector<int> selected;
    int focused = -1;
    model_.rows().WithPaths(find.selected, find.focused, selected, focused);
    MarkRows(selected, focused);
    FindText(find.text);
}
