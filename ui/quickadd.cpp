#include "ui/quickadd.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "shell/paths.h"
#include "ui/addchoices.h"
#include "ui/adddialog.h"
#include "win/handle.h"

#include <cwchar>

namespace {

// How long the first process waits for more paths after the last one came.
const DWORD quietTime = 1000;

// What the collecting window of this process has gathered.
std::vector<std::wstring> gathered;
bool adding = false;

std::wstring CollectorTitle(AddFormat format) {
    return L"Varnix File Opener - Add to " + std::wstring(InfoOf(format).name);
}

LRESULT CALLBACK CollectorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA)
        return DefWindowProcW(window, message, wParam, lParam);
    // Taken only until the add begins: the sender then makes an archive of its own.
    auto data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (adding || !data || !data->lpData || data->cbData < sizeof(wchar_t))
        return FALSE;
    auto text = static_cast<const wchar_t*>(data->lpData);
    std::wstring path = Unquoted(std::wstring(text, wcsnlen(text, data->cbData / sizeof(wchar_t))));
    if (!path.empty())
        gathered.push_back(path);
    return TRUE;
}

// "name.7z" beside the items, or "name (2).7z" when that is taken.
std::wstring Untaken(const std::wstring& name, const std::wstring& extension) {
    if (!PathExists(name))
        return name;
    const std::wstring stem = name.substr(0, name.size() - extension.size() - 1);
    for (int number = 2;; ++number) {
        std::wstring numbered = stem + L" (" + std::to_wstring(number) + L")." + extension;
        if (!PathExists(numbered))
            return numbered;
    }
}

} // namespace

std::wstring QuickArchiveName(const std::vector<std::wstring>& items, AddFormat format) {
    if (items.empty())
        return std::wstring();
    return Untaken(PlainArchiveName(items, format), InfoOf(format).extension);
}

int QuickAdd(const std::vector<std::wstring>& items, AddFormat format) {
    if (items.empty())
        return ExitCodeOf(JobEnd::Failure);
    const std::wstring archive = QuickArchiveName(items, format);
    Archiver* archiver = GetArchiver();
    archiver->CreateArchives({{archive, items}}, RememberedAddOptions(format));
    const JobEnd end = archiver->lastOutcome.end;
    ReleaseArchiver();
    return ExitCodeOf(end);
}

int CollectQuickAddRequest(const std::wstring& argument, AddFormat format) {
    const std::wstring title = CollectorTitle(format);
    // Made, or found made, in one step: of several processes started at once exactly one
    // finds no collection yet.
    const std::wstring mutexName = L"VarnixQuickAdd" + std::wstring(InfoOf(format).name);
    HANDLE rawMutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const bool collecting = rawMutex && GetLastError() == ERROR_ALREADY_EXISTS;
    win::KernelHandle mutex(rawMutex);
    if (collecting && DeliverToCollector(title.c_str(), argument))
        return ExitCodeOf(JobEnd::Success); // the first process says how its add went
    // No window took the path: rather than lose it, this process makes an archive of it.

    gathered.clear();
    adding = false;
    const std::wstring first = Unquoted(argument);
    if (!first.empty())
        gathered.push_back(first);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = CollectorProc;
    windowClass.hInstance = AppInstance();
    windowClass.lpszClassName = L"VarnixQuickAddCollector";
    RegisterClassW(&windowClass);
    // Never shown: it is there to be found by its title.
    HWND collector = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), WS_POPUP, 0, 0,
                                     0, 0, nullptr, nullptr, AppInstance(), nullptr);
    size_t seen = gathered.size();
    DWORD lastNew = GetTickCount();
    while (collector && GetTickCount() - lastNew < quietTime) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (gathered.size() != seen) {
            seen = gathered.size();
            lastNew = GetTickCount();
        }
    }
    adding = true;
    int code = QuickAdd(gathered, format);
    if (collector)
        DestroyWindow(collector);
    return code;
}
