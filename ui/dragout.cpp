#include "ui/dragout.h"

#include "archive/archiver.h"
#include "archive/library/extraction.h"
#include "shell/paths.h"
#include "ui/folderbrowser.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>

#include <cwchar>
#include <cwctype>

namespace {

bool PointerOverOwnWindow() {
    POINT at = {};
    if (!GetCursorPos(&at))
        return false;
    HWND window = WindowFromPoint(at);
    DWORD process = 0;
    if (window)
        GetWindowThreadProcessId(window, &process);
    return window && process == GetCurrentProcessId();
}

// A row of the drive list ("D:"): a drive is never dragged.
bool IsDrivePath(const std::wstring& path) {
    return path.size() == 2 && path[1] == L':';
}

bool IsProcessRunning(DWORD id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED; // there, but another user's
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

bool AllDigits(const std::wstring& text) {
    if (text.empty() || text.size() > 10)
        return false;
    for (wchar_t c : text) {
        if (!iswdigit(c))
            return false;
    }
    return true;
}

// The folder row of the archive under the pointer in `list`, when it is none of the rows
// dragged; -1 otherwise.
int FolderRowUnderPointer(const FolderBrowser& model, HWND list, const std::vector<int>& dragged) {
    LVHITTESTINFO hit = {};
    GetCursorPos(&hit.pt);
    if (WindowFromPoint(hit.pt) != list)
        return -1;
    ScreenToClient(list, &hit.pt);
    const int row = ListView_HitTest(list, &hit);
    if (row < 0 || model.rows().IsDriveOrUp(row) || !model.rows().IsFolder(row) ||
        std::find(dragged.begin(), dragged.end(), row) != dragged.end())
        return -1;
    return row;
}

// The drag folder emptied of the last drag's files and made again.
bool FreshDragFolder() {
    RemoveDragScratch();
    return CreateFolderPath(DragScratchFolder());
}

bool PrepareEntries(FolderBrowser& model, const std::vector<int>& rows, DragOut& drag) {
    Archiver* archiver = model.archive();
    std::wstring folder = DragScratchFolder();
    std::vector<std::wstring> entries;
    std::vector<std::wstring> files;
    for (int row : rows) {
        std::wstring entry = model.rows().Get(row).path; // empty for the up row
        // Where the extraction puts it, which for odd names is not the name itself.
        std::wstring relative = archiver->WrittenPath(entry);
        if (entry.empty() || relative.empty())
            continue;
        entries.push_back(entry);
        files.push_back(folder + L"\\" + relative);
    }
    if (entries.empty() || !FreshDragFolder())
        return false;
    drag.data = win::ComPtr<FileDataObject>(new FileDataObject(files, DROPEFFECT_COPY));
    drag.source = win::ComPtr<DragOutSource>(new DragOutSource([archiver, entries, folder] {
        if (archiver->ExtractEntriesToScratch(entries, folder))
            return true;
        // Nothing half: a drop that gives nothing leaves nothing either.
        FreshDragFolder();
        return false;
    }));
    drag.allowedEffects = DROPEFFECT_COPY;
    return true;
}

bool PrepareFiles(FolderBrowser& model, const std::vector<int>& rows, DragOut& drag) {
    std::vector<std::wstring> files;
    for (int row : rows) {
        ItemData item = model.rows().Get(row);
        if (item.name == L".." || item.path.empty() || IsDrivePath(item.path))
            continue;
        files.push_back(item.path);
    }
    if (files.empty())
        return false;
    // No preferred effect: the target copies, moves or links as it does Explorer's files.
    drag.data = win::ComPtr<FileDataObject>(new FileDataObject(files, DROPEFFECT_NONE));
    drag.source = win::ComPtr<DragOutSource>(new DragOutSource(nullptr));
    drag.allowedEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    return true;
}

} // namespace

DragOutSource::DragOutSource(std::function<bool()> render)
    : overOwnWindow(PointerOverOwnWindow), render_(std::move(render)) {}

HRESULT DragOutSource::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_IDropSource) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDropSource*>(this);
    AddRef();
    return S_OK;
}

ULONG DragOutSource::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG DragOutSource::Release() {
    LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT DragOutSource::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
    // Asked again from inside the extraction's own message loop: that answer comes later.
    if (rendering_)
        return S_OK;
    if (escapePressed || (keyState & MK_RBUTTON))
        return DRAGDROP_S_CANCEL;
    if (keyState & MK_LBUTTON)
        return S_OK;
    // The button is up: the drop happens now, or not at all.
    if (overOwnFolder && overOwnFolder()) {
        movedIntoOwnFolder = true;
        return DRAGDROP_S_CANCEL;
    }
    if (lastEffect_ == DROPEFFECT_NONE || overOwnWindow())
        return DRAGDROP_S_CANCEL;
    if (!render_)
        return DRAGDROP_S_DROP;
    // The drag holds the mouse; the progress dialog's Cancel and the password prompt need it.
    rendering_ = true;
    HWND tracker = GetCapture();
    ReleaseCapture();
    bool ready = render_();
    if (tracker && IsWindow(tracker))
        SetCapture(tracker);
    rendering_ = false;
    return ready ? DRAGDROP_S_DROP : DRAGDROP_S_CANCEL;
}

HRESULT DragOutSource::GiveFeedback(DWORD effect) {
    lastEffect_ = effect;
    if (overOwnFolder && overOwnFolder()) {
        lastEffect_ = DROPEFFECT_NONE;
        SetCursor(LoadCursorW(nullptr, IDC_ARROW)); // a move within the archive
        return S_OK;
    }
    if (effect != DROPEFFECT_NONE && overOwnWindow()) {
        lastEffect_ = DROPEFFECT_NONE;
        SetCursor(LoadCursorW(nullptr, IDC_NO));
        return S_OK;
    }
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

bool PrepareDragOut(FolderBrowser& model, const std::vector<int>& rows, DragOut& drag) {
    return model.archive() ? PrepareEntries(model, rows, drag) : PrepareFiles(model, rows, drag);
}

// The shell draws the rows under the pointer as they go, from the list's own picture of the
// selected rows; without its helper (not every system has one) the pointer alone shows.
static void AttachDragImage(HWND list, IDataObject* data) {
    win::ComPtr<IDragSourceHelper> helper;
    if (!list || FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IDragSourceHelper, helper.putVoid())))
        return;
    POINT point = {};
    GetCursorPos(&point);
    ScreenToClient(list, &point);
    helper->InitializeFromWindow(list, &point, data);
}

bool DragRowsOut(FolderBrowser& model, const std::vector<int>& rows, HWND list) {
    DragOut drag;
    if (!PrepareDragOut(model, rows, drag))
        return false;
    AttachDragImage(list, drag.data.get());
    // In an archive, rows let go on a folder row of its own go into that folder.
    int folderRow = -1;
    if (model.archive() && list) {
        drag.source->overOwnFolder = [&model, &rows, list, &folderRow] {
            folderRow = FolderRowUnderPointer(model, list, rows);
            return folderRow >= 0;
        };
    }
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result = DoDragDrop(drag.data.get(), drag.source.get(), drag.allowedEffects, &effect);
    if (drag.source->movedIntoOwnFolder && folderRow >= 0) {
        model.commands().MoveRowsInto(rows, folderRow);
        return true;
    }
    if (model.archive() || result != DRAGDROP_S_DROP)
        return false;
    // A move within one volume is done by the target, which then says DROPEFFECT_NONE: the
    // files that are gone tell.
    if (effect & DROPEFFECT_MOVE)
        return true;
    for (const std::wstring& path : drag.data->paths()) {
        if (!PathExists(path))
            return true;
    }
    return false;
}

std::wstring DragScratchRoot() {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    std::wstring root(temp, length <= MAX_PATH ? length : 0);
    // The names the target shows and keeps are whole, not in the short form of a long
    // user name.
    wchar_t full[MAX_PATH + 1] = {};
    length = root.empty() ? 0 : GetLongPathNameW(root.c_str(), full, MAX_PATH + 1);
    if (length > 0 && length <= MAX_PATH)
        root = full;
    if (!root.empty() && root.back() == L'\\')
        root.pop_back();
    return root + L"\\Varnix Drag";
}

std::wstring DragScratchFolder() {
    return DragScratchRoot() + L"\\" + std::to_wstring(GetCurrentProcessId());
}

void RemoveDragScratch() {
    DeleteFolderTree(nullptr, DragScratchFolder());
}

void ClearDragLeftovers() {
    std::wstring root = DragScratchRoot();
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::wstring> ended;
    do {
        std::wstring name = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !AllDigits(name))
            continue;
        unsigned long long number = wcstoull(name.c_str(), nullptr, 10);
        if (number > MAXDWORD)
            continue;
        DWORD id = static_cast<DWORD>(number);
        // A folder of this process's id is an earlier program's that had the same id.
        if (id == GetCurrentProcessId() || !IsProcessRunning(id))
            ended.push_back(root + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const std::wstring& folder : ended)
        DeleteFolderTree(nullptr, folder);
}

bool IsFromOwnDrag(const std::vector<std::wstring>& paths) {
    std::wstring folder = DragScratchFolder() + L"\\";
    for (const std::wstring& path : paths) {
        if (path.size() > folder.size() &&
            CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                 static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}
