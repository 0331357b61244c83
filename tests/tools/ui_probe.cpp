// Reads and works the program's main window from another process, for the end-to-end
// test and the screenshots, which drive the program from outside as a user would. Prints
// one "key: value" line per fact. Not a test itself.
//   ui_probe state                   title, columns, rows, path and find boxes, selection,
//                                    a shortcut menu up, placement
//   ui_probe rects                   screen rectangles of the controls, and of each row
//   ui_probe column-width N W        sets the width of list column N
//   ui_probe maximize | close        what the title bar's buttons do
//   ui_probe dialog TITLE            whether a dialog with that title is up, and its text
//   ui_probe press TITLE ID          presses button ID in the dialog with that title
//   ui_probe button-rect TITLE ID    the screen rectangle of that button, to click it
//   ui_probe pick-folder PATH        picks PATH in the folder picker and presses OK
//   ui_probe clipboard               the text on the clipboard, a line each
//   ui_probe windows                 every visible top-level window: handle, process, class,
//                                    title, and whether it answers within two seconds
//   ui_probe close-window HANDLE     asks a window to close (WM_CLOSE)
//   ui_probe end PID                 ends a process
//   ui_probe watch WINDOW|pid:ID EVENT
//                                    sends WM_NULL every 50 ms to the window (or to every
//                                    visible window of the process) until the named event
//                                    is set: the longest wait for an answer, when the first
//                                    window was there, and each wait of 100 ms or more
#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t frameTitle[] = L"Varnix File Opener - Ver 1.0";

std::string Utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    return out;
}

void Print(const char* key, const std::wstring& value) {
    std::printf("%s: %s\n", key, Utf8(value).c_str());
}

// Memory in the program's process, for messages whose structures the control fills in.
class RemoteMemory {
  public:
    RemoteMemory(HWND window, size_t size) : size_(size) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               processId);
        if (process_)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteMemory() {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    void* address() const { return address_; }
    void Write(const void* data, size_t size, size_t offset = 0) {
        WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    void Read(void* data, size_t size, size_t offset = 0) const {
        ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    size_t size() const { return size_; }

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_;
};

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        5000, nullptr);
    return text;
}

HWND Frame() {
    return FindWindowW(nullptr, frameTitle);
}

// The view's controls by their ids: the view is the frame's child dialog, and the path box
// a child of the location bar.
HWND ViewControl(HWND frame, int id) {
    for (HWND child = GetWindow(frame, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (id == 1003) {
            if (HWND bar = GetDlgItem(child, 1001))
                return GetDlgItem(bar, 1003);
        } else if (HWND control = GetDlgItem(child, id)) {
            return control;
        }
    }
    return nullptr;
}

std::wstring ListText(HWND list, int row, int column) {
    RemoteMemory memory(list, sizeof(LVITEMW) + 520 * sizeof(wchar_t));
    LVITEMW item = {};
    item.iSubItem = column;
    item.cchTextMax = 520;
    item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory.address()) + sizeof item);
    memory.Write(&item, sizeof item);
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(memory.address()));
    wchar_t text[520] = {};
    memory.Read(text, sizeof text - sizeof(wchar_t), sizeof item);
    return text;
}

std::wstring HeaderText(HWND header, int column) {
    RemoteMemory memory(header, sizeof(HDITEMW) + 260 * sizeof(wchar_t));
    HDITEMW item = {};
    item.mask = HDI_TEXT;
    item.cchTextMax = 260;
    item.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory.address()) + sizeof item);
    memory.Write(&item, sizeof item);
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(memory.address()));
    wchar_t text[260] = {};
    memory.Read(text, sizeof text - sizeof(wchar_t), sizeof item);
    return text;
}

std::wstring ButtonText(HWND toolbar, int index) {
    TBBUTTON button = {};
    RemoteMemory memory(toolbar, sizeof button + 260 * sizeof(wchar_t));
    SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(memory.address()));
    memory.Read(&button, sizeof button);
    SendMessageW(toolbar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(button.idCommand),
                 reinterpret_cast<LPARAM>(static_cast<char*>(memory.address()) + sizeof button));
    wchar_t text[260] = {};
    memory.Read(text, sizeof text - sizeof(wchar_t), sizeof button);
    return text;
}

std::wstring RectText(const RECT& rect) {
    return std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
           std::to_wstring(rect.right) + L" " + std::to_wstring(rect.bottom);
}

void PrintWindowRect(const char* key, HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    Print(key, RectText(rect));
}

HWND FindToolbar(HWND frame) {
    HWND rebar = FindWindowExW(frame, nullptr, REBARCLASSNAMEW, nullptr);
    return rebar ? FindWindowExW(rebar, nullptr, TOOLBARCLASSNAMEW, nullptr) : nullptr;
}

int State(HWND frame) {
    Print("title", WindowText(frame));
    DWORD processId = 0;
    GetWindowThreadProcessId(frame, &processId);
    Print("pid", std::to_wstring(processId));
    HWND list = ViewControl(frame, 1002);
    HWND header = ListView_GetHeader(list);
    int columns = Header_GetItemCount(header);
    std::wstring titles;
    std::wstring widths;
    for (int column = 0; column < columns; ++column) {
        titles += (column ? L"|" : L"") + HeaderText(header, column);
        widths += (column ? L" " : L"") +
                  std::to_wstring(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
    }
    Print("columns", titles);
    Print("widths", widths);
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    Print("count", std::to_wstring(rows));
    for (int row = 0; row < rows && row < 200; ++row) {
        std::wstring line;
        for (int column = 0; column < columns; ++column)
            line += (column ? L"|" : L"") + ListText(list, row, column);
        Print("row", line);
    }
    std::wstring selected;
    for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row != -1;
         row = ListView_GetNextItem(list, row, LVNI_SELECTED))
        selected += (selected.empty() ? L"" : L" ") + std::to_wstring(row);
    Print("selected", selected);
    Print("path", WindowText(ViewControl(frame, 1003)));
    Print("find", WindowText(ViewControl(frame, 1016)));
    // A shortcut menu up on the screen (the system's menu window class).
    HWND menu = FindWindowW(L"#32768", nullptr);
    Print("menu", menu && IsWindowVisible(menu) ? L"yes" : L"no");
    HWND bar = ViewControl(frame, 1001);
    Print("locations", std::to_wstring(SendMessageW(bar, CB_GETCOUNT, 0, 0)));
    Print("location", std::to_wstring(SendMessageW(bar, CB_GETCURSEL, 0, 0)));
    HWND toolbar = FindToolbar(frame);
    int buttons = toolbar ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : 0;
    std::wstring texts;
    for (int i = 0; i < buttons; ++i)
        texts += (i ? L"|" : L"") + ButtonText(toolbar, i);
    Print("buttons", texts);
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    GetWindowPlacement(frame, &placement);
    Print("status", WindowText(FindWindowExW(frame, nullptr, STATUSCLASSNAMEW, nullptr)));
    Print("maximized", IsZoomed(frame) ? L"yes" : L"no");
    Print("normal", RectText(placement.rcNormalPosition));
    return 0;
}

int Rects(HWND frame) {
    PrintWindowRect("frame", frame);
    HWND list = ViewControl(frame, 1002);
    PrintWindowRect("list", list);
    PrintWindowRect("location", ViewControl(frame, 1001));
    PrintWindowRect("pathbox", ViewControl(frame, 1003));
    PrintWindowRect("findbox", ViewControl(frame, 1016));
    HWND toolbar = FindToolbar(frame);
    int buttons = toolbar ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : 0;
    for (int i = 0; i < buttons; ++i) {
        RemoteMemory memory(toolbar, sizeof(RECT));
        SendMessageW(toolbar, TB_GETITEMRECT, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(memory.address()));
        RECT rect;
        memory.Read(&rect, sizeof rect);
        MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        Print("button", RectText(rect));
    }
    HWND header = ListView_GetHeader(list);
    for (int column = 0; column < Header_GetItemCount(header); ++column) {
        RemoteMemory memory(header, sizeof(RECT));
        SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(memory.address()));
        RECT rect;
        memory.Read(&rect, sizeof rect);
        MapWindowPoints(header, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        Print("header", RectText(rect));
    }
    int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows && row < 200; ++row) {
        RemoteMemory memory(list, sizeof(RECT));
        RECT rect = {};
        rect.left = LVIR_BOUNDS;
        memory.Write(&rect, sizeof rect);
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(memory.address()));
        memory.Read(&rect, sizeof rect);
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
        Print("rowrect", RectText(rect));
    }
    return 0;
}

struct DialogSearch {
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM parameter) {
    auto search = reinterpret_cast<DialogSearch*>(parameter);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0 &&
        WindowText(window) == search->title) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Dialog(const std::wstring& title) {
    DialogSearch search{title};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK PrintChildText(HWND child, LPARAM) {
    std::wstring text = WindowText(child);
    if (!text.empty())
        Print("text", text);
    return TRUE;
}

BOOL CALLBACK FindTree(HWND child, LPARAM parameter) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (wcscmp(className, WC_TREEVIEWW) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(parameter) = child;
    return FALSE;
}

std::wstring ItemText(HWND tree, HTREEITEM item) {
    RemoteMemory memory(tree, sizeof(TVITEMW) + 260 * sizeof(wchar_t));
    TVITEMW query = {};
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = reinterpret_cast<wchar_t*>(static_cast<char*>(memory.address()) + sizeof query);
    query.cchTextMax = 260;
    memory.Write(&query, sizeof query);
    SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(memory.address()));
    wchar_t text[260] = {};
    memory.Read(text, sizeof text - sizeof(wchar_t), sizeof query);
    return text;
}

// The text of the folder selected in the picker's tree.
std::wstring SelectedInTree(HWND picker) {
    HWND tree = nullptr;
    EnumChildWindows(picker, FindTree, reinterpret_cast<LPARAM>(&tree));
    if (!tree)
        return std::wstring();
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    return item ? ItemText(tree, item) : std::wstring();
}

void SelectSibling(HWND picker, const std::wstring& name) {
    HWND tree = nullptr;
    EnumChildWindows(picker, FindTree, reinterpret_cast<LPARAM>(&tree));
    if (!tree)
        return;
    auto current = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    auto parent = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(current)));
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(parent)));
    for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                 reinterpret_cast<LPARAM>(item)))) {
        if (ItemText(tree, item) == name) {
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
            return;
        }
    }
}

int PickFolder(const std::wstring& path) {
    HWND picker = nullptr;
    DialogSearch search{L"Browse for Folder"};
    for (int i = 0; i < 200 && !picker; ++i) {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
        picker = search.found;
        if (!picker)
            Sleep(50);
    }
    if (!picker) {
        std::printf("picker: none\n");
        return 1;
    }
    RemoteMemory memory(picker, (path.size() + 1) * sizeof(wchar_t));
    memory.Write(path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    // As the program does it: expanded first, selected last, since Wine's browser moves the
    // selection while it expands. Then until the tree shows the folder selected.
    std::wstring name = path.substr(path.rfind(L'\\') + 1);
    // The picker's own start moves the selection too: it must stay on the folder a while.
    Sleep(500);
    for (int i = 0, steady = 0; i < 15 && steady < 3; ++i) {
        if (SelectedInTree(picker) == name) {
            ++steady;
        } else {
            steady = 0;
            SendMessageW(picker, BFFM_SETEXPANDED, TRUE,
                         reinterpret_cast<LPARAM>(memory.address()));
            SendMessageW(picker, BFFM_SETSELECTIONW, TRUE,
                         reinterpret_cast<LPARAM>(memory.address()));
        }
        Sleep(200);
    }
    // Wine's browser does not always follow BFFM_SETSELECTION; a folder beside the one
    // shown is then picked in the tree itself, as a click would.
    if (SelectedInTree(picker) != name)
        SelectSibling(picker, name);
    Sleep(300);
    std::printf("selected: %s\n", Utf8(SelectedInTree(picker)).c_str());
    PostMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(picker, IDOK)));
    std::printf("picker: picked\n");
    return 0;
}

struct ProcessWindows {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM parameter) {
    auto search = reinterpret_cast<ProcessWindows*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window))
        search->found.push_back(window);
    return TRUE;
}

double Milliseconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A window that is busy keeps the WM_NULL until it is free again: the longest wait for an
// answer is the longest time it did not answer.
int Watch(const std::wstring& target, const std::wstring& eventName) {
    HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, eventName.c_str());
    if (!stop) {
        std::printf("watch: no event\n");
        return 1;
    }
    std::printf("watching\n");
    std::fflush(stdout);
    HWND window = nullptr;
    DWORD processId = 0;
    if (target.compare(0, 4, L"pid:") == 0)
        processId = static_cast<DWORD>(wcstoul(target.c_str() + 4, nullptr, 10));
    else
        window =
            reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(target.c_str(), nullptr, 10)));
    const double start = Milliseconds();
    double longest = 0;
    double firstSeen = -1;
    int answers = 0;
    while (WaitForSingleObject(stop, 50) == WAIT_TIMEOUT) {
        ProcessWindows windows{processId, {}};
        if (window)
            windows.found.push_back(window);
        else
            EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&windows));
        for (HWND each : windows.found) {
            double sent = Milliseconds();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(each, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result))
                continue; // gone meanwhile
            double waited = Milliseconds() - sent;
            longest = std::max(longest, waited);
            if (waited >= 100) // where the time went, to be matched with what was under way
                std::printf("stall: %.0f %.0f\n", sent, waited);
            if (firstSeen < 0)
                firstSeen = sent - start;
            ++answers;
        }
    }
    CloseHandle(stop);
    std::printf("longest: %.0f\nanswers: %d\nfirst: %.0f\nwatched: %.0f\n", longest, answers,
                firstSeen, Milliseconds() - start);
    return 0;
}

BOOL CALLBACK PrintTopWindow(HWND window, LPARAM) {
    if (!IsWindowVisible(window))
        return TRUE;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[256] = {};
    GetClassNameW(window, className, 256);
    DWORD_PTR ignored = 0;
    bool answers = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000,
                                       &ignored) != 0;
    wchar_t title[512] = {};
    if (answers)
        GetWindowTextW(window, title, 512);
    Print("window", std::to_wstring(reinterpret_cast<uintptr_t>(window)) + L"|" +
                        std::to_wstring(processId) + L"|" + className + L"|" + title + L"|" +
                        (answers ? L"yes" : L"no"));
    return TRUE;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring command = argc > 1 ? argv[1] : L"state";
    if (command == L"dialog" && argc > 2) {
        HWND dialog = Dialog(argv[2]);
        std::printf("dialog: %s\n", dialog ? "yes" : "no");
        if (dialog)
            EnumChildWindows(dialog, PrintChildText, 0);
        return 0;
    }
    if (command == L"press" && argc > 3) {
        HWND dialog = Dialog(argv[2]);
        if (!dialog)
            return 1;
        int id = _wtoi(argv[3]);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
        return 0;
    }
    if (command == L"clipboard") {
        std::wstring text;
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
                text = static_cast<const wchar_t*>(GlobalLock(data));
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        // One line per line of the text.
        for (size_t start = 0; start <= text.size();) {
            size_t end = text.find(L"\r\n", start);
            Print("clipboard", text.substr(start, end == std::wstring::npos ? end : end - start));
            if (end == std::wstring::npos)
                break;
            start = end + 2;
        }
        return 0;
    }
    if (command == L"button-rect" && argc > 3) {
        HWND dialog = Dialog(argv[2]);
        if (!dialog)
            return 1;
        PrintWindowRect("rect", GetDlgItem(dialog, _wtoi(argv[3])));
        return 0;
    }
    if (command == L"windows") {
        EnumWindows(PrintTopWindow, 0);
        return 0;
    }
    if (command == L"close-window" && argc > 2) {
        PostMessageW(reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(argv[2], nullptr, 10))),
                     WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == L"end" && argc > 2) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE,
                                     static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)));
        if (!process)
            return 1;
        TerminateProcess(process, 1);
        CloseHandle(process);
        return 0;
    }
    if (command == L"pick-folder" && argc > 2)
        return PickFolder(argv[2]);
    if (command == L"watch" && argc > 3)
        return Watch(argv[2], argv[3]);

    HWND frame = Frame();
    if (!frame) {
        std::printf("title: none\n");
        return 1;
    }
    if (command == L"state")
        return State(frame);
    if (command == L"rects")
        return Rects(frame);
    if (command == L"column-width" && argc > 3) {
        SendMessageW(ViewControl(frame, 1002), LVM_SETCOLUMNWIDTH, _wtoi(argv[2]), _wtoi(argv[3]));
        return 0;
    }
    if (command == L"maximize") {
        SendMessageW(frame, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        return 0;
    }
    if (command == L"close") {
        PostMessageW(frame, WM_CLOSE, 0, 0);
        return 0;
    }
    std::printf("unknown command\n");
    return 2;
}
