#include "ui/adddialog.h"

#include "app/appstate.h"
#include "archive/addjob.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/console/toolcommand.h"
#include "archive/library/listing.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/addchoices.h"
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

} // namespace

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

std::wstring FolderOfItem(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

namespace {

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
        case WM_APP:
            choices_.Refresh();
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_ARCHIVE_NAME:
                if (HIWORD(wParam) == EN_CHANGE)
                    choices_.OnNameChanged();
                return TRUE;
            case IDC_ADD_FORMAT:
                if (HIWORD(wParam) == CBN_SELCHANGE)
                    choices_.OnFormatChosen();
                return TRUE;
            case IDC_ADD_SHOW_PASSWORD:
                choices_.OnShowPassword();
                return TRUE;
            case IDC_ADD_LEVEL:
            case IDC_ADD_METHOD:
            case IDC_ADD_THREADS:
            case IDC_ADD_UPDATE:
            case IDC_ADD_ZIP_ENCRYPTION:
                if (HIWORD(wParam) == CBN_SELCHANGE)
                    choices_.Refresh();
                return TRUE;
            case IDC_ADD_VOLUMES:
                if (HIWORD(wParam) == CBN_SELCHANGE)
                    PostMessageW(hwnd(), WM_APP, 0, 0); // the field has its text only then
                else if (HIWORD(wParam) == CBN_EDITCHANGE)
                    choices_.Refresh();
                return TRUE;
            case IDC_ADD_PASSWORD:
                if (HIWORD(wParam) == EN_CHANGE)
                    choices_.Refresh();
                return TRUE;
            case IDC_ADD_ENCRYPT_NAMES:
            case IDC_ADD_SEPARATE:
                choices_.Refresh();
                return TRUE;
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
        choices_.Init(hwnd(), RememberedAddOptions(), addFiles, SourceBytes(addFiles, 20000));
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
            if (!path.empty()) {
                addFiles.push_back(path);
                choices_.SetSources(addFiles, 0);
            }
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
        if (!FileExists(chosen))
            chosen = NameWithFormat(chosen, choices_.ChosenFormat());
        SetDlgItemTextW(hwnd(), IDC_ARCHIVE_NAME, chosen.c_str());
    }

    void OnOk() {
        wchar_t password[passwordLength + 1] = {};
        wchar_t again[passwordLength + 1] = {};
        GetDlgItemTextW(hwnd(), IDC_ADD_PASSWORD, password, passwordLength + 1);
        GetDlgItemTextW(hwnd(), IDC_ADD_PASSWORD_AGAIN, again, passwordLength + 1);
        const bool shown = IsDlgButtonChecked(hwnd(), IDC_ADD_SHOW_PASSWORD) == BST_CHECKED;
        const bool mismatch = password[0] && !shown && wcscmp(password, again) != 0;
        SecureZeroMemory(again, sizeof again);
        if (mismatch) {
            SecureZeroMemory(password, sizeof password);
            MessageBoxW(hwnd(), L"Password is invalid. Please input again.", L"Varnix File Opener",
                        MB_OK);
            return;
        }
        AddOptions options;
        wchar_t typedName[MAX_PATH] = {};
        GetDlgItemTextW(hwnd(), IDC_ARCHIVE_NAME, typedName, MAX_PATH);
        const std::wstring name = ArchiveLocation(typedName);
        if (!choices_.Read(options)) {
            SecureZeroMemory(password, sizeof password);
            return;
        }
        options.password = password;
        SecureZeroMemory(password, sizeof password);
        // Said here, with the fields still filled in, rather than after the dialog ends.
        const bool zip = options.format == AddFormat::Zip ||
                         (choices_.ArchiveExists() && GetArchiveKind(name) == ArchiveKindZip);
        if (zip && !ZipTakesPassword(options.password)) {
            MessageBoxW(hwnd(), zipPasswordMessage, L"Varnix File Opener", MB_OK);
            return;
        }
        if (choices_.ArchiveExists() && !KeepsItsEncryption(name, options))
            return;
        if (choices_.ArchiveExists() && options.update == UpdateMode::Synchronize &&
            MessageBoxW(hwnd(),
                        (L"Synchronize removes from " + FileNamePart(name) +
                         L" every entry under the files and folders added whose file is no "
                         L"longer on the disk.\n\nGo on?")
                            .c_str(),
                        L"Varnix File Opener", MB_OKCANCEL | MB_ICONWARNING) != IDOK)
            return;
        RememberAddOptions(options);

        std::vector<AddTarget> targets;
        if (options.separateArchives) {
            for (const std::wstring& file : addFiles)
                targets.push_back({ArchiveNameFor(FolderOfItem(file), file, options.format), {file}});
        } else {
            targets.push_back({name, addFiles});
        }
        // The progress dialog and the job's messages belong to this dialog meanwhile.
        HWND previousOwner = AppState.mainWindow;
        AppState.mainWindow = hwnd();
        adding_ = true;
        GetArchiver()->CreateArchives(targets, options);
        SecureZeroMemory(&options.password[0], options.password.size() * sizeof(wchar_t));
        addEnd = GetArchiver()->lastOutcome.end;
        ReleaseArchiver();
        AppState.mainWindow = previousOwner;
        EndDialog(IDOK);
    }

    // An archive made with a password gets no entry in the clear. Its listing tells whether
    // it is encrypted (one whose names are encrypted asks for the password to be listed at
    // all, and that password is then the add's). False, after saying so, when it is and no
    // password was typed.
    bool KeepsItsEncryption(const std::wstring& archive, AddOptions& options) {
        std::wstring password = options.password;
        ArchiveFacts facts;
        int listed = ListArchiveItems(archive, GetArchiveKind(archive), password, nullptr,
                                      [](DirItem&, uint32_t, uint32_t) {}, nullptr, &facts);
        if (listed == 0 && facts.namesEncrypted) {
            options.password = password;
            options.encryptNames = true;
        }
        SecureZeroMemory(&password[0], password.size() * sizeof(wchar_t));
        // Its entries keep one method: the old ZIP encryption stays so for those added.
        if (listed == 0 && facts.zipCrypto)
            options.zipEncryption = ZipEncryption::ZipCrypto;
        if (listed != 0 || !facts.encrypted || !options.password.empty())
            return true;
        MessageBoxW(hwnd(),
                    (FileNamePart(archive) +
                     L" is encrypted. Type its password, so that the files added are encrypted "
                     L"like the others.")
                        .c_str(),
                    L"Varnix File Opener", MB_OK | MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(hwnd(), IDC_ADD_PASSWORD));
        return false;
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
    AddChoices choices_;
};


struct CollectorSearch {
    const wchar_t* title;
    std::vector<HWND> windows;
};

BOOL CALLBACK FindCollector(HWND window, LPARAM parameter) {
    wchar_t title[64] = {};
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != GetCurrentProcessId() && GetWindowTextW(window, title, 64) > 0 &&
        wcscmp(title, reinterpret_cast<CollectorSearch*>(parameter)->title) == 0)
        reinterpret_cast<CollectorSearch*>(parameter)->windows.push_back(window);
    return TRUE;
}

// Hands the request to the collecting window of an earlier process. It may not be up yet (that
// process is still starting) or may refuse (its add has begun): then it is asked again
// until the time runs out. False when no dialog took it.
} // namespace

bool DeliverToCollector(const wchar_t* title, const std::wstring& argument) {
    DWORD start = GetTickCount();
    for (;;) {
        CollectorSearch search{title, {}};
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

namespace {

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

std::wstring DefaultArchiveName(const std::wstring& folder, const std::wstring& file,
                               const std::wstring& extension) {
    std::wstring name = folder;
    if (!name.empty() && name.back() != L'\\')
        name += L'\\';
    name += FileNamePart(file);
    SetExtension(name, extension, true);
    while (FileExists(name))
        name += L"." + extension;
    return name;
}

namespace {

// One item's archive beside it, whether or not a file of that name is there: named after
// it with the format's extension; a single file's compressed form keeps its whole name.
std::wstring PlainNameForItem(const std::wstring& folder, const std::wstring& item,
                              const FormatInfo& info) {
    std::wstring name = folder;
    if (!name.empty() && name.back() != L'\\')
        name += L'\\';
    name += FileNamePart(item);
    if (info.singleFile)
        name += L"." + std::wstring(info.extension);
    else
        SetExtension(name, info.extension, true);
    return name;
}

// One item, or items in a drive's root (whose "folder name" is the drive itself).
bool NamedAfterAnItem(const std::vector<std::wstring>& items) {
    const std::wstring folderName = FileNamePart(FolderOfItem(items.front()));
    return items.size() == 1 || folderName.empty() || folderName.back() == L':';
}

} // namespace

std::wstring ArchiveNameFor(const std::wstring& folder, const std::wstring& item, AddFormat format) {
    const FormatInfo& info = InfoOf(format);
    std::wstring name = PlainNameForItem(folder, item, info);
    while (FileExists(name))
        name += L"." + std::wstring(info.extension);
    return name;
}

std::wstring PlainArchiveName(const std::vector<std::wstring>& items, AddFormat format) {
    if (items.empty())
        return std::wstring();
    const std::wstring folder = FolderOfItem(items.front());
    if (NamedAfterAnItem(items))
        return PlainNameForItem(folder, items.front(), InfoOf(format));
    return folder + L"\\" + FileNamePart(folder) + L"." + InfoOf(format).extension;
}

std::wstring ArchiveNameForItems(const std::vector<std::wstring>& items, AddFormat format) {
    if (!items.empty() && NamedAfterAnItem(items))
        return ArchiveNameFor(FolderOfItem(items.front()), items.front(), format);
    return PlainArchiveName(items, format);
}

int ShowAddDialog(const std::vector<std::wstring>& files) {
    if (files.empty())
        return 1;
    addFiles = files;
    addFolder = FolderOfItem(files.front());
    addArchiveName = ArchiveNameForItems(files, RememberedAddOptions().format);
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
        if (DeliverToCollector(addDialogTitle, argument) || argument.empty())
            return ExitCodeOf(JobEnd::Success);
        // No dialog took the path: rather than lose it, this process collects it itself.
    }

    std::wstring path = Unquoted(argument);
    addFiles.clear();
    if (!path.empty())
        addFiles.push_back(path);
    addFolder = path.substr(0, path.rfind(L'\\') + 1);
    addArchiveName = ArchiveNameFor(addFolder, path, RememberedAddOptions().format);
    // The mutex stays open until the process ends, and with it the collection.
    return ExitCodeOf(RunDialog());
}
