// A window of another program that takes dropped files, for the end-to-end drag test: an
// OLE drop target, as Explorer's windows are. Not a test itself.
//   drop_target FOLDER [move]
// On a drop it copies every dropped file and folder (with what it holds) into FOLDER, or
// moves them there with "move", then writes FOLDER\dropped.txt naming the paths it was
// given, one a line in UTF-8. When the pointer first comes over it, it reads the paths as
// Explorer does and notes in FOLDER\peeked.txt whether each file was there yet. FOLDER\ready
// says that the window is up: 300 by 300 pixels at 900,560 on the screen, above all others.
// It ends after two minutes.
#include <windows.h>

#include <ole2.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

std::wstring outFolder;
bool moving = false;

void WriteUtf8(const std::wstring& path, const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                            size, nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::vector<std::wstring> DroppedPaths(IDataObject* data) {
    std::vector<std::wstring> paths;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!data || data->GetData(&format, &medium) != S_OK)
        return paths;
    auto drop = static_cast<HDROP>(medium.hGlobal);
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, &path[0], length + 1);
        path.resize(length);
        paths.push_back(path);
    }
    ReleaseStgMedium(&medium);
    return paths;
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
    DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((from + L"\\*").c_str(), &found);
    bool copied = true;
    if (search == INVALID_HANDLE_VALUE)
        return true;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            copied = CopyTree(from + L"\\" + name, to + L"\\" + name) && copied;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return copied;
}

std::wstring NamePart(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

class Target : public IDropTarget {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDropTarget) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDropTarget*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; } // lives as long as the program
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        std::vector<std::wstring> paths = DroppedPaths(data);
        if (!peeked_) {
            std::wstring lines;
            for (const std::wstring& path : paths)
                lines += path + (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES
                                     ? L"|absent\n"
                                     : L"|there\n");
            WriteUtf8(outFolder + L"\\peeked.txt", lines);
            peeked_ = true;
        }
        accepts_ = !paths.empty();
        return DragOver(0, POINTL{}, effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        DWORD wanted = moving ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        *effect = accepts_ && (*effect & wanted) ? wanted : DROPEFFECT_NONE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        DWORD wanted = moving ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
        std::wstring lines;
        bool done = (*effect & wanted) != 0;
        for (const std::wstring& path : DroppedPaths(data)) {
            std::wstring target = outFolder + L"\\" + NamePart(path);
            if (moving)
                done = MoveFileW(path.c_str(), target.c_str()) && done;
            else
                done = CopyTree(path, target) && done;
            lines += path + L"\n";
        }
        WriteUtf8(outFolder + L"\\dropped.txt", lines);
        *effect = done ? wanted : DROPEFFECT_NONE;
        return S_OK;
    }

  private:
    bool peeked_ = false;
    bool accepts_ = false;
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        RevokeDragDrop(window);
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2)
        return 2;
    outFolder = argv[1];
    moving = argc > 2 && std::wstring(argv[2]) == L"move";
    CreateDirectoryW(outFolder.c_str(), nullptr);
    OleInitialize(nullptr);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_HIGHLIGHT);
    windowClass.lpszClassName = L"VarnixDropTarget";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Drop Target",
                                  WS_POPUP | WS_BORDER | WS_VISIBLE, 900, 560, 300, 300, nullptr,
                                  nullptr, windowClass.hInstance, nullptr);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    Target target;
    if (!window || RegisterDragDrop(window, &target) != S_OK)
        return 1;
    WriteUtf8(outFolder + L"\\ready", L"");
    SetTimer(window, 1, 120000, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    OleUninitialize();
    return 0;
}
