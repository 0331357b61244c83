#include "ui/folderpicker.h"

#include <commctrl.h>
#include <shlobj.h>

#include <vector>

namespace {

// What the browser's callback keeps while the dialog starts: the folder it is to show
// selected, and the one it shows.
struct PickerStart {
    std::wstring initial;
    std::wstring selected;
    int ticks = 0;
    int settledTicks = 0;
    DWORD inputAtStart = 0; // the last input's time when the dialog came up
};

// The time of the last key press or mouse click anywhere in the session.
DWORD LastInputTime() {
    LASTINPUTINFO input = {sizeof input, 0};
    return GetLastInputInfo(&input) ? input.dwTime : 0;
}

// How long the start folder is put back at most (ticks of 100 ms): a slow machine can
// take seconds to fill the tree.
const int maxStartTicks = 300;

const wchar_t startProperty[] = L"VarnixPickerStart";
const UINT_PTR startTimer = 1;

void SelectInitial(HWND picker, const PickerStart& start) {
    // Expanded first and selected last: expanding can move the selection to another item.
    auto folder = reinterpret_cast<LPARAM>(start.initial.c_str());
    SendMessageW(picker, BFFM_SETEXPANDED, TRUE, folder);
    SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, folder);
}

BOOL CALLBACK FindTreeControl(HWND child, LPARAM found) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (lstrcmpiW(className, WC_TREEVIEWW) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

std::wstring TreeItemText(HWND tree, HTREEITEM item) {
    wchar_t text[MAX_PATH] = {};
    TVITEMW data = {};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = text;
    data.cchTextMax = MAX_PATH;
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data));
    return text;
}

HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM ChildNamed(HWND tree, HTREEITEM parent, const std::wstring& name) {
    SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(parent));
    for (HTREEITEM child = TreeNext(tree, parent, TVGN_CHILD); child;
         child = TreeNext(tree, child, TVGN_NEXT)) {
        if (lstrcmpiW(TreeItemText(tree, child).c_str(), name.c_str()) == 0)
            return child;
    }
    return nullptr;
}

// Wine's browser does not always follow BFFM_SETSELECTION. Then the folder is found in
// the tree as a user would find it: from the nearest folder above the selection whose
// name is a part of the path, down through the parts that follow it.
void SelectInTree(HWND picker, const std::wstring& path) {
    HWND tree = nullptr;
    EnumChildWindows(picker, FindTreeControl, reinterpret_cast<LPARAM>(&tree));
    if (!tree)
        return;
    std::vector<std::wstring> parts;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    for (HTREEITEM above = TreeNext(tree, nullptr, TVGN_CARET); above;
         above = TreeNext(tree, above, TVGN_PARENT)) {
        std::wstring name = TreeItemText(tree, above);
        for (size_t part = parts.size(); part-- > 0;) {
            if (lstrcmpiW(parts[part].c_str(), name.c_str()) != 0)
                continue;
            HTREEITEM item = above;
            for (size_t next = part + 1; item && next < parts.size(); ++next)
                item = ChildNamed(tree, item, parts[next]);
            if (item) {
                SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
                SendMessageW(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
                return;
            }
        }
    }
}

// Wine's browser fills its tree after it has appeared and can move the selection away
// from the start folder meanwhile: until the selection has stayed on it for a few ticks,
// it is put back. After that, or once the user has done anything, the user's choice is
// left alone.
void CALLBACK KeepStartSelected(HWND picker, UINT, UINT_PTR timer, DWORD) {
    auto start = static_cast<PickerStart*>(GetPropW(picker, startProperty));
    if (!start) {
        KillTimer(picker, timer);
        return;
    }
    ++start->ticks;
    if (lstrcmpiW(start->selected.c_str(), start->initial.c_str()) == 0) {
        if (++start->settledTicks >= 3 || start->ticks > maxStartTicks) {
            KillTimer(picker, timer);
            RemovePropW(picker, startProperty);
        }
        return;
    }
    start->settledTicks = 0;
    // Once the user has pressed a key or clicked, the selection is theirs.
    if (start->ticks > maxStartTicks || LastInputTime() != start->inputAtStart) {
        KillTimer(picker, timer);
        RemovePropW(picker, startProperty);
        return;
    }
    SelectInitial(picker, *start);
    if (start->ticks % 10 == 0)
        SelectInTree(picker, start->initial);
}

int CALLBACK BrowseCallback(HWND picker, UINT message, LPARAM parameter, LPARAM data) {
    auto start = reinterpret_cast<PickerStart*>(data);
    if (message == BFFM_INITIALIZED) {
        SelectInitial(picker, *start);
        start->inputAtStart = LastInputTime();
        SetPropW(picker, startProperty, start);
        SetTimer(picker, startTimer, 100, KeepStartSelected);
    } else if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH] = {};
        SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(parameter), path);
        start->selected = path;
    }
    return 0;
}

} // namespace

bool BrowseForFolder(HWND owner, const std::wstring& initialFolder, std::wstring& folder) {
    PickerStart start;
    start.initial = initialFolder;
    while (start.initial.size() > 3 && start.initial.back() == L'\\')
        start.initial.pop_back();

    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW info = {};
    info.hwndOwner = owner ? owner : GetActiveWindow();
    info.pszDisplayName = displayName;
    info.lpszTitle = L"Please select a folder to extract to...";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&start);

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
