// The browser view's commands: the toolbar's, the row menu's, and files dropped on it.
#include "ui/varnixview.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/jobthread.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/clipboardfiles.h"
#include "ui/commands.h"
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
        if (model_.rows().Name(row) != L"..") // the drive list has no up row
            rows.push_back(row);
    }
    return rows;
}

void CVarnixView::OnAdd() {
    const ShownFind find = RememberFind();
    model_.commands().AddSelection(SelectedRows());
    RefreshAfterCommand(find);
}

void CVarnixView::OnQuickAdd(AddFormat format) {
    std::vector<std::wstring> paths;
    for (int row : SelectedRows()) {
        if (!model_.rows().IsDriveOrUp(row))
            paths.push_back(model_.rows().FullPath(row));
    }
    if (model_.archive() || paths.empty())
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
    if (model_.commands().ExtractSelection(rows) == 0)
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
    if (model_.commands().DeleteSelection(rows) == 0)
        RefreshAfterCommand(find);
}

void CVarnixView::OnTest() {
    model_.commands().TestSelection(SelectedRows());
}

void CVarnixView::CheckEditedCopies() {
    const ShownFind find = RememberFind();
    if (model_.CheckEditedCopies())
        RefreshAfterCommand(find);
}

bool CVarnixView::MayEditName(int row) const {
    if (row < 0 || row >= model_.rows().Count() || model_.rows().IsDriveOrUp(row))
        return false;
    return !model_.archive() || model_.archive()->CanBeChanged();
}

void CVarnixView::OnRename() {
    int row = ListView_GetNextItem(list_, -1, LVNI_FOCUSED);
    if (row < 0 || model_.rows().IsDriveOrUp(row))
        return;
    if (model_.archive() && !model_.archive()->CanBeChanged()) {
        MessageBoxW(hwnd(), L"Operation is not supported.", caption, MB_OK);
        return;
    }
    // The list edits names only while it is asked to: a slow second click on a row does
    // not start an edit that the keys then go into.
    SetFocus(list_);
    SetWindowLongW(list_, GWL_STYLE, GetWindowLongW(list_, GWL_STYLE) | LVS_EDITLABELS);
    if (!ListView_EditLabel(list_, row))
        SetWindowLongW(list_, GWL_STYLE, GetWindowLongW(list_, GWL_STYLE) & ~LVS_EDITLABELS);
}

void CVarnixView::OnNameEdited(int row, const wchar_t* typed) {
    SetWindowLongW(list_, GWL_STYLE, GetWindowLongW(list_, GWL_STYLE) & ~LVS_EDITLABELS);
    // Esc: nothing changes. A name whose box lost the keyboard to a job's dialog is not
    // given while that job runs.
    if (!typed || JobRunning())
        return;
    const ShownFind find = RememberFind();
    std::wstring renamed;
    const bool done = model_.commands().RenameRow(row, typed, renamed) == 0;
    RefreshAfterCommand(find);
    if (done)
        FocusRowWithPath(renamed);
}

void CVarnixView::OnNewFolder() {
    const ShownFind find = RememberFind();
    std::wstring made;
    const bool done = model_.commands().NewFolder(made) == 0;
    RefreshAfterCommand(find);
    if (!done)
        return;
    // Made, and its name ready to be typed over, as Explorer has it.
    FocusRowWithPath(made);
    if (model_.rows().Find(made) >= 0)
        OnRename();
}

void CVarnixView::OnCopy(bool cut) {
    std::vector<int> rows = SelectedRows();
    if (rows.empty())
        return;
    if (cut && model_.archive()) {
        MessageBoxW(hwnd(),
                    L"Entries cannot be cut out of an archive. Copy them, and delete them once "
                    L"they are pasted.",
                    caption, MB_ICONINFORMATION);
        return;
    }
    CopyRowsToClipboard(model_, rows, cut);
}

void CVarnixView::OnPaste() {
    std::vector<std::wstring> files;
    bool cut = false;
    if (!FilesOnClipboard(files, cut))
        return;
    const ShownFind find = RememberFind();
    if (model_.archive()) {
        // As a drop: with its questions, its progress, and into the folder shown.
        model_.commands().AddDroppedFiles(files);
    } else if (model_.commands().PasteFiles(files, cut) == 0 && cut) {
        EmptyClipboardAfterMove();
    }
    RefreshAfterCommand(find);
}

void CVarnixView::OnExtractToFolder() {
    std::wstring made;
    model_.commands().ExtractToFolderSelection(SelectedRows(), made);
    // The model lists the folder again: what came out is shown and focused.
    RefreshView();
    if (!made.empty())
        FocusRowWithPath(made);
}

HMENU CVarnixView::MakeRowMenu(int row, const std::vector<int>& rows) const {
    const bool inArchive = model_.archive() != nullptr;
    const bool one = rows.size() == 1;
    const bool some = !rows.empty();
    // Every selected row is an archive file on the disk.
    bool archives = some;
    for (int selected : rows)
        archives = archives && model_.rows().IsArchiveFile(selected);
    // What a command cannot act on is there, greyed, rather than missing. A command on the
    // selection waits for one; `can` says what else it needs.
    auto add = [some](HMENU menu, int id, bool can, const std::wstring& text) {
        const Command* command = CommandOf(id);
        bool enabled = can && (!command->actsOnSelection || some);
        AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, text.c_str());
    };
    auto separator = [](HMENU menu) { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); };

    HMENU menu = CreatePopupMenu();
    if (inArchive) {
        const bool changeable = model_.archive()->CanBeChanged();
        add(menu, ID_OPEN_ROW, row >= 0, MenuText(ID_OPEN_ROW));
        SetMenuDefaultItem(menu, ID_OPEN_ROW, FALSE);
        separator(menu);
        add(menu, ID_EXTRACT, true, MenuText(ID_EXTRACT));
        add(menu, ID_TEST, true, MenuText(ID_TEST)); // none selected: the whole archive
        add(menu, ID_DELETE, changeable, MenuText(ID_DELETE));
        add(menu, ID_RENAME, changeable && one && MayEditName(row), MenuText(ID_RENAME));
        add(menu, ID_NEW_FOLDER, changeable, MenuText(ID_NEW_FOLDER));
        separator(menu);
        add(menu, ID_COPY, row >= 0 && !model_.rows().IsDriveOrUp(row), MenuText(ID_COPY));
        add(menu, ID_PASTE, changeable, MenuText(ID_PASTE));
        add(menu, ID_COPY_PATH, true, MenuText(ID_COPY_PATH));
        return menu;
    }
    const bool archiveRow = model_.rows().IsArchiveFile(row);
    // An archive opens in the window with Enter; "Open" gives it to its own program.
    add(menu, ID_OPEN_ROW, row >= 0, MenuText(ID_OPEN_ROW, false));
    if (archiveRow) {
        add(menu, ID_OPEN_IN_WINDOW, true, MenuText(ID_OPEN_IN_WINDOW));
        SetMenuDefaultItem(menu, ID_OPEN_IN_WINDOW, FALSE);
        separator(menu);
        add(menu, ID_EXTRACT_HERE, archives, MenuText(ID_EXTRACT_HERE));
        add(menu, ID_EXTRACT_TO_FOLDER, archives, MenuText(ID_EXTRACT_TO_FOLDER));
        add(menu, ID_EXTRACT, archives && one, MenuText(ID_EXTRACT, true, L"E&xtract files..."));
        add(menu, ID_TEST, archives && one, MenuText(ID_TEST));
    } else {
        SetMenuDefaultItem(menu, ID_OPEN_ROW, FALSE);
    }
    bool files = some; // files and folders, not drives
    for (int selected : rows)
        files = files && !model_.rows().IsDriveOrUp(selected);
    separator(menu);
    add(menu, ID_ADD, files, MenuText(ID_ADD));
    // One click, with the choices remembered for the format, under the name it will have.
    std::vector<std::wstring> paths;
    for (int selected : rows)
        paths.push_back(model_.rows().FullPath(selected));
    for (const auto& quick : {std::make_pair(ID_QUICK_ADD_7Z, AddFormat::SevenZip),
                              std::make_pair(ID_QUICK_ADD_ZIP, AddFormat::Zip)}) {
        if (!files) {
            add(menu, quick.first, false, MenuText(quick.first));
            continue;
        }
        // An ampersand in a file name is shown, not taken for an access key; the key is the
        // extension's first letter ("7", "z").
        const std::wstring extension = InfoOf(quick.second).extension;
        std::wstring name = FileNamePart(QuickArchiveName(paths, quick.second));
        name.resize(name.size() - extension.size());
        std::wstring shown;
        for (wchar_t c : name)
            shown += c == L'&' ? std::wstring(L"&&") : std::wstring(1, c);
        add(menu, quick.first, true, L"Add to \"" + shown + L"&" + extension + L"\"");
    }
    add(menu, ID_DELETE, files, MenuText(ID_DELETE));
    add(menu, ID_RENAME, files && one && MayEditName(row), MenuText(ID_RENAME));
    add(menu, ID_NEW_FOLDER, !model_.folder().empty(), MenuText(ID_NEW_FOLDER));
    separator(menu);
    add(menu, ID_CUT, files, MenuText(ID_CUT));
    add(menu, ID_COPY, files, MenuText(ID_COPY));
    add(menu, ID_PASTE, !model_.folder().empty(), MenuText(ID_PASTE));
    add(menu, ID_COPY_PATH, true, MenuText(ID_COPY_PATH));
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
        if (model_.rows().IsArchiveFile(row)) {
            // Given to the program Windows opens it with.
            std::wstring path = model_.rows().Get(row).path;
            ShellExecuteW(hwnd(), nullptr, path.c_str(), nullptr, nullptr, SW_SHOW);
        } else {
            ActivateRow(row);
        }
        break;
    case ID_OPEN_IN_WINDOW:
        ActivateRow(row);
        break;
    case ID_EXTRACT_HERE:
        model_.commands().ExtractHereSelection(SelectedRows());
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
    case ID_RENAME:
        FocusRow(row);
        OnRename();
        break;
    case ID_NEW_FOLDER:
        OnNewFolder();
        break;
    case ID_COPY:
    case ID_CUT:
        OnCopy(command == ID_CUT);
        break;
    case ID_PASTE:
        OnPaste();
        break;
    }
}

void CVarnixView::CopyPaths() {
    // One path a line, as a list of files pasted into a text is expected.
    std::wstring text;
    for (int row : SelectedRows())
        text += (text.empty() ? L"" : L"\r\n") + model_.rows().FullPath(row);
    if (!text.empty())
        win::CopyTextToClipboard(hwnd(), text);
}

void CVarnixView::OnDropFiles(HDROP drop) {
    std::vector<std::wstring> files = DroppedPaths(drop);
    DragFinish(drop);
    // Rows dragged out of this window and dropped back: refused, as the drag refuses them.
    if (IsFromOwnDrag(files))
        return;
    const ShownFind find = RememberFind();
    model_.commands().AddDroppedFiles(files);
    RefreshAfterCommand(find);
}
