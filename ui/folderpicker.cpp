#include "ui/folderpicker.h"

#include <shlobj.h>

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
