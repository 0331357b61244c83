#pragma once

#include "archive/addoptions.h"
#include "ui/folderbrowser.h"
#include "win/dialog.h"
#include "win/dpi.h"
#include "win/handle.h"
#include "win/messageloop.h"

#include <windows.h>

#include <string>
#include <vector>

// The browser view: the location bar with its path box above the list of rows. It fills
// and draws both from its model, turns clicks and keys into model calls and refreshes
// itself afterwards. The list is virtual: it asks for the rows it shows, so 100,000 rows
// cost no more to show than 100.
class CVarnixView : public win::Dialog, public win::MessageFilter {
  public:
    CVarnixView();

    // Location bar, then list.
    void RefreshView();
    void FillList();
    void SaveColumnWidths();
    // The last column narrowed to the room the others leave, when a little is missing, and
    // widened again when the room is there.
    void FitLastColumn();
    // Selects and focuses row `i` alone.
    void SelectRow(int i);
    // The same, made visible, with the keyboard on the list: after every move to another
    // place.
    void FocusRow(int i);

    // What a double-click on a row does (also Enter on the focused row).
    void ActivateRow(int index);

    // The frame's commands.
    void OnAdd();
    void OnQuickAdd(AddFormat format);
    void OnExtract();
    void OnDelete();
    void OnTest();
    // Backspace in the list, and Alt+Up: the folder above.
    void GoUp();
    // Ctrl+A: every row but "..".
    void SelectAllRows();
    void OnExtractToFolder();
    // F2: the focused row's name edited in place; Ctrl+Shift+N and F7: "New folder" made
    // in the folder shown, its name then edited.
    void OnRename();
    void OnNewFolder();
    // Ctrl+C, Ctrl+X: the selected rows on the clipboard as files (an archive's entries are
    // copied only). Ctrl+V: the clipboard's files into the place shown, added to the
    // archive as a drop is, or copied (moved, when cut) on the disk.
    void OnCopy(bool cut);
    void OnPaste();
    // An opened entry may have been saved: asks about it, and shows the archive anew when
    // the change was written.
    void CheckEditedCopies();

    bool PreTranslateMessage(MSG& message) override;
    // The menu of row `row` with `rows` selected: the commands for that kind of row, those
    // that cannot act on the selection greyed. The caller destroys it.
    HMENU MakeRowMenu(int row, const std::vector<int>& rows) const;
    // What the menu's command does for row `row` (the one clicked) and the selection.
    void RunRowCommand(int command, int row);
    // The row menu's Copy path: the selected rows' paths, one a line.
    void CopyPaths();
    // A key that a box being typed into keeps for itself (Delete deletes a character there,
    // not the selected files): the frame's accelerators leave it alone.
    bool IsTypingKey(const MSG& message) const;

    // Ctrl+F: the find box, its text selected.
    void FocusFindBox();
    // Shows what the find box's text finds (the box set to it), or, for an empty text, the
    // place shown before.
    void FindText(const std::wstring& text);
    // Esc: the place shown before the find, its rows selected as they were.
    void EndFind();

    // The window went to a display of another scale (the frame's WM_DPICHANGED): the font,
    // the rows, the places and the columns are made again for `dpi` (viewdrawing.cpp).
    void SetDpi(int dpi);
    int dpi() const { return dpi_; }

    FolderBrowser& model() { return model_; }
    HWND list() const { return list_; }
    HWND locationBar() const { return locationBar_; }
    HWND pathBox() const { return pathBox_; }
    HWND findBox() const { return findBox_; }
    int itemHeight() const { return itemHeight_; }

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void OnInitDialog();
    void OnSize();
    void OnMeasureItem(MEASUREITEMSTRUCT& measure);
    int RowHeight() const;
    void SizeLocationBar();
    // A column's width on screen: the user's (kept at 100 % scale) or the default one.
    int ColumnWidth(int position) const;
    // A length written for 100 % scale, at the window's.
    int Scale(int value) const { return win::ScaleToDpi(value, dpi_); }
    int IconSize() const { return Scale(16); }
    void DrawLocation(const DRAWITEMSTRUCT& draw);
    void DrawRow(const DRAWITEMSTRUCT& draw);
    void OnLocationChosen();
    void OnDestroy();
    void OnDropFiles(HDROP drop);
    void OnFindChanged();
    std::wstring FindBoxText() const;
    void SetFindBoxText(const std::wstring& text);
    // A find shown while a command runs that lists the place again: its text, the place,
    // and the place's selection from before the find, by path.
    struct ShownFind {
        std::wstring text;
        std::wstring place;
        std::vector<std::wstring> selected;
        std::wstring focused;
    };
    ShownFind RememberFind() const;
    // After such a command: the view refreshed, and the find run again on the new rows,
    // with the place's own selection to come back to.
    void RefreshAfterCommand(const ShownFind& find);
    // Selects the rows `selected` and focuses `focused`, or the first of them (the first
    // row when none is).
    void MarkRows(const std::vector<int>& selected, int focused);
    INT_PTR OnNotify(const NMHDR& header);
    // The list's name editing: whether row `row` may be renamed, and the name typed.
    bool MayEditName(int row) const;
    void OnNameEdited(int row, const wchar_t* typed);
    void FillLocationBar();
    void OpenTypedPath();
    // Focuses the row with this path, or the first one.
    void FocusRowWithPath(const std::wstring& path);
    // F5: the archive or the disk folder read again.
    void Reload();
    // The status line: what the list holds and what is selected, kept as running totals
    // so that a change of selection costs only the rows it changes.
    void CountFolderAndFiles();
    void CountSelection();
    void CountRows(int from, int to, bool selected);
    void ShowStatus();
    bool HasUpRow() const;
    // The menu of a right click on a row (or of the menu key, at the focused row): the
    // commands that apply to it. `where` is the click's screen point, (-1, -1) from the
    // keyboard.
    void ShowRowMenu(LPARAM where);

    // The selected rows in list order, without the up row.
    std::vector<int> SelectedRows() const;
    int TextHeight(HWND window) const;

    FolderBrowser model_;
    HWND locationBar_ = nullptr;
    HWND pathBox_ = nullptr;
    HWND list_ = nullptr;
    HWND findBox_ = nullptr;
    bool settingFindText_ = false; // the box's text is being set, not typed
    int folders_ = 0;
    int files_ = 0;
    int selected_ = 0;
    uint64_t selectedBytes_ = 0;
    uint64_t totalBytes_ = 0;
    int itemHeight_ = 18;
    int lastColumnWanted_ = 0; // the last column's width as set; as shown, when narrowed:
    int lastColumnFitted_ = 0;
    int dpi_ = win::defaultDpi;
    int createdDpi_ = win::defaultDpi; // that of the dialog's own font
    win::GdiObject<HFONT> font_;       // the controls' font when the scale has changed
    std::wstring textBuffer_; // what LVN_GETDISPINFO hands out stays valid until the next ask
    // The name typed in the list, given once the list's edit box has gone.
    std::wstring editedName_;
    static const UINT WM_NAME_EDITED = WM_APP + 23;
    static const UINT WM_SELECT_NAME = WM_APP + 24;
};
