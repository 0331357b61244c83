#include "ui/adddialog.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/console/toolcommand.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/progressdialog.h"
#include "win/dialog.h"
#include "win/handle.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlwapi.h>

#include <cwchar>

const wchar_t addDialogTitle[] = L"Varnix File Opener - Add";

namespace {

// One collection per process.
std::vector<std::wstring> addFiles;
std::wstring addFolder;
std::wstring addArchiveName;
// How the last add of the dialog ended.
JobEnd addEnd = JobEnd::Cancelled;

const wchar_t mutexName[] = L"VarnixEvent";
const int passwordLength = 255;

// The path in a request. The shell's command puts it in double quotes, which go; a script
// or another program may give it bare, and then it is taken as it is.
std::wstring Unquoted(const std::wstring& argument) {
    size_t start = argument.find_first_not_of(L" \t");
    if (start == std::wstring::npos)
        return std::wstring();
    size_t end = argument.find_last_not_of(L" \t");
    std::wstring path = argument.substr(start, end - start + 1);
    if (path.front() == L'"') {
        path.erase(0, 1);
        if (!path.empty() && path.back() == L'"')
            path.pop_back();
    }
    return path;
}

class AddDialog : public win::Dialog {
  public:
    AddDialog() : Dialog(IDD_ADD) {}

  protected:
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_INITDIALOG:
            OnInitDialog();
            return TRUE;
        case WM_COPYDATA:
            return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_BROWSE:
                OnBrowse();
                return TRUE;
            case IDOK:
                OnOk();
                return TRUE;
            case IDCANCEL:
                EndDialog(IDCANCEL);
                return TRUE;
            }
            return FALSE;
        }
        return FALSE;
    }

  private:
    void OnInitDialog() {
        SetAppCaptionAndIcon(hwnd());
        SetWindowTextW(hwnd(), addDialogTitle);
        // The fields take no more than is used, rather than cutting the text afterwards.
        SendDlgItemMessageW(hwnd(), IDC_ARCHIVE_NAME, EM_LIMITTEXT, MAX_PATH - 1, 0);
        SendDlgItemMessageW(hwnd(), IDC_ADD_PASSWORD, EM_LIMITTEXT, passwordLength, 0);
        SendDlgItemMessageW(hwnd(), IDC_ADD_PASSWORD_AGAIN, EM_LIMITTEXT, passwordLength, 0);
        SetDlgItemTextW(hwnd(), IDC_ARCHIVE_NAME, addArchiveName.c_str());
    }

    // A later process's path. The sender learns whether it was taken: once the add has
    // begun, a path would no longer be added, so it is refused and the sender collects it
    // on its own.
    INT_PTR OnCopyData(const COPYDATASTRUCT* data) {
        bool taken = false;
        if (!adding_ && data && data->lpData && data->cbData >= sizeof(wchar_t)) {
            auto text = static_cast<const wchar_t*>(data->lpData);
            std::wstring argument(text, wcsnlen(text, data->cbData / sizeof(wchar_t)));
            std::wstring path = Unquoted(argument);
            if (!path.empty())
                addFiles.push_back(path);
            taken = true;
        }
        SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, taken ? TRUE : FALSE);
        return TRUE;
    }

    void OnBrowse() {
        wchar_t file[MAX_PATH] = {};
        wcsncpy(file, addArchiveName.c_str(), MAX_PATH - 1);
        OPENFILENAMEW dialog = {};
        dialog.lStructSize = sizeof dialog;
        // Owned by this dialog, so that it stays in front of it.
        dialog.hwndOwner = hwnd();
        dialog.lpstrFile = file;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrFilter = L"All Files\0*.*\0";
        dialog.nFilterIndex = 1;
        dialog.lpstrInitialDir = addFolder.c_str();
        dialog.lpstrTitle = L"Browse";
        dialog.Flags = OFN_EXPLORER | OFN_NOTESTFILECREATE;
        if (!GetOpenFileNameW(&dialog))
            return;
        std::wstring chosen = file;
        SetExtension(chosen, L"zip", false);
        SetDlgItemTextW(hwnd(), IDC_ARCHIVE_NAME, chosen.c_str());
    }

    void OnOk() {
        wchar_t password[passwordLength + 1] = {};
        wchar_t again[passwordLength + 1] = {};
        GetDlgItemTextW(hwnd(), IDC_ADD_PASSWORD, password, passwordLength + 1);
        GetDlgItemTextW(hwnd(), IDC_ADD_PASSWORD_AGAIN, again, passwordLength + 1);
        if (password[0] && wcscmp(password, again) != 0) {
            SecureZeroMemory(password, sizeof password);
            SecureZeroMemory(again, sizeof again);
            MessageBoxW(hwnd(), L"Password is invalid. Please input again.", L"Varnix File Opener",
                        MB_OK);
            return;
        }
        wchar_t name[MAX_PATH] = {};
        GetDlgItemTextW(hwnd(), IDC_ARCHIVE_NAME, name, MAX_PATH);
        // Said here, with the fields still filled in, rather than after the dialog ends.
        if (GetArchiveKind(name) == ArchiveKindZip && !ZipTakesPassword(password)) {
            SecureZeroMemory(password, sizeof password);
            SecureZeroMemory(again, sizeof again);
            MessageBoxW(hwnd(), zipPasswordMessage, L"Varnix File Opener", MB_OK);
            return;
        }

        // The progress dialog and the job's messages belong to this dialog meanwhile.
        HWND previousOwner = AppState.mainWindow;
        AppState.mainWindow = hwnd();
        adding_ = true;
        GetArchiver()->AddToArchive(ArchiveLocation(name), addFiles, password);
        addEnd = GetArchiver()->lastOutcome.end;
        ReleaseArchiver();
        AppState.mainWindow = previousOwner;
        SecureZeroMemory(password, sizeof password);
        SecureZeroMemory(again, sizeof again);
        EndDialog(IDOK);
    }

    // A bare or relative name is meant beside the files, not in whatever folder the
    // program happens to run in.
    static std::wstring ArchiveLocation(const std::wstring& name) {
        if (name.empty() || !PathIsRelativeW(name.c_str()) || addFolder.empty())
            return name;
        std::wstring folder = addFolder;
        if (folder.back() != L'\\')
            folder += L'\\';
        return folder + name;
    }

    bool adding_ = false;
};

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

struct CollectorSearch {
    std::vector<HWND> windows;
};

BOOL CALLBACK FindCollector(HWND window, LPARAM parameter) {
    wchar_t title[64] = {};
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() && GetWindowTextW(window, title, 64) > 0 &&
        wcscmp(title, addDialogTitle) == 0)
        reinterpret_cast<CollectorSearch*>(parameter)->windows.push_back(window);
    return TRUE;
}

// Hands the request to the dialog of an earlier process. It may not be up yet (that
// process is still starting) or may refuse (its add has begun): then it is asked again
// until the time runs out. False when no dialog took it.
bool DeliverToCollector(const std::wstring& argument) {
    DWORD start = GetTickCount();
    for (;;) {
        CollectorSearch search;
        EnumWindows(FindCollector, reinterpret_cast<LPARAM>(&search));
        for (HWND window : search.windows) {
            SetForegroundWindow(window);
            if (argument.empty())
                return true;
            COPYDATASTRUCT data = {};
            data.cbData = static_cast<DWORD>((argument.size() + 1) * sizeof(wchar_t));
            data.lpData = const_cast<wchar_t*>(argument.c_str());
            DWORD_PTR taken = FALSE;
            if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                    SMTO_ABORTIFHUNG, 30000, &taken) &&
                taken == TRUE)
                return true;
        }
        if (GetTickCount() - start >= collectorWaitLimit)
            return false;
        Sleep(50);
    }
}

// Runs the dialog; how its add ended (cancelled when the dialog was).
JobEnd RunDialog() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    addEnd = JobEnd::Cancelled;
    AddDialog dialog;
    dialog.DoModal(AppInstance(), AppState.mainWindow);
    return addEnd;
}

} // namespace

std::wstring DefaultArchiveName(const std::wstring& folder, const std::wstring& file) {
    std::wstring name = folder;
    if (!name.empty() && name.back() != L'\\')
        name += L'\\';
    name += FileNamePart(file);
    SetExtension(name, L"zip", true);
    while (FileExists(name))
        name += L".zip";
    return name;
}

int ShowAddDialog(const std::vector<std::wstring>& files) {
    if (files.empty())
        return 1;
    addFiles = files;
    addFolder = FolderOf(files.front());
    std::wstring folderName = FileNamePart(addFolder);
    if (files.size() == 1 || folderName.empty() || folderName.back() == L':') {
        // One file, or files in a drive's root (whose "folder name" is the drive itself).
        addArchiveName = DefaultArchiveName(addFolder, files.front());
    } else {
        addArchiveName = addFolder + L"\\" + folderName + L".zip";
    }
    RunDialog();
    return 1;
}

int CollectAddRequest(const std::wstring& argument) {
    // Made, or found made, in one step: of several processes started at once exactly one
    // finds no collection yet.
    HANDLE rawMutex = CreateMutexW(nullptr, FALSE, mutexName);
    bool collecting = rawMutex && GetLastError() == ERROR_ALREADY_EXISTS;
    win::KernelHandle mutex(rawMutex);
    if (collecting) {
        // The dialog that took the path says how the add went.
        if (DeliverToCollector(argument) || argument.empty())
            return ExitCodeOf(JobEnd::Success);
        // No dialog took the path: rather than lose it, this process collects it itself.
    }

    std::wstring path = Unquoted(argument);
    addFiles.clear();
    if (!path.empty())
        addFiles.push_back(path);
    addFolder = path.substr(0, path.rfind(L'\\') + 1);
    addArchiveName = DefaultArchiveName(addFolder, path);
    // The mutex stays open until the process ends, and with it the collection.
    return ExitCodeOf(RunDialog());
}
