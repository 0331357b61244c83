// The browser model's commands: Add, Extract, Delete, Test and Extract to Folder on the
// selected rows, and files dropped on the view.
#include "ui/folderbrowser.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/extracttofolder.h"
#include "archive/jobthread.h"
#include "archive/testing.h"
#include "shell/paths.h"
#include "ui/adddialog.h"
#include "ui/folderpicker.h"
#include "ui/outcomedialog.h"

#include <commdlg.h>
#include <functional>
#include <shellapi.h>

namespace {

const wchar_t caption[] = L"Varnix File Opener";
const wchar_t noSelection[] = L"No files selected. You need to select files this operation";

int Tell(const std::wstring& text, UINT type) {
    return MessageBoxW(AppState.mainWindow, text.c_str(), caption, type);
}

// The folder a path lies in: everything before its last backslash.
std::wstring FolderPart(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// A row of the drive list ("D:"). Handed to the shell, "D:" would mean the current folder
// of that drive.
bool IsDriveRow(const ItemData& row) {
    return row.path.size() == 2 && row.path[1] == L':';
}

// A disk row the archive commands take: a file the program opens as an archive.
bool IsArchiveRow(const ItemData& row) {
    return !IsDriveRow(row) && !IsDirectory(row.path) && IsArchivePath(row.path);
}

} // namespace

// The files the user picks, several at once, in the system's file dialog; none when the
// dialog is cancelled.
static std::vector<std::wstring> PickFilesToAdd(const std::wstring& startFolder) {
    // Room for many picked names: they come back one after another in this buffer.
    std::vector<wchar_t> buffer(64 * 1024, L'\0');
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = AppState.mainWindow;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrFilter = L"All Files\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrInitialDir = startFolder.c_str();
    dialog.lpstrTitle = L"Add Files to the Archive";
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                   OFN_NOCHANGEDIR;
    std::vector<std::wstring> files;
    if (!GetOpenFileNameW(&dialog))
        return files;
    // One file: its full path. Several: the folder, then each name, each ended by a null.
    std::wstring first = buffer.data();
    const wchar_t* next = buffer.data() + first.size() + 1;
    if (*next == L'\0') {
        files.push_back(first);
        return files;
    }
    if (!first.empty() && first.back() != L'\\')
        first += L'\\';
    for (; *next != L'\0'; next += wcslen(next) + 1)
        files.push_back(first + next);
    return files;
}

int FolderBrowser::AddSelection(const std::vector<int>& rows) {
    if (archiver) {
        // Inside an archive, Add asks for the files to put into the folder shown, as a drop
        // puts them there.
        if (!archiver->CanBeChanged()) {
            Tell(L"Operation is not supported.", MB_OK);
            return -1;
        }
        std::vector<std::wstring> files = PickFilesToAdd(ParentFolder(archiver->archivePath));
        if (files.empty())
            return -1; // the user changed their mind
        return AddDroppedFiles(files);
    }
    if (rows.empty()) {
        Tell(noSelection, MB_ICONWARNING);
        return -1;
    }
    std::vector<std::wstring> paths;
    for (int row : rows) {
        if (IsDriveRow(GetItem(row))) {
            Tell(L"A drive cannot be added to an archive. Open the drive and select the files "
                 L"and folders to add.",
                 MB_ICONWARNING);
            return -1;
        }
        paths.push_back(GetItem(row).path);
    }
    int result = ShowAddDialog(paths);
    // An archive made here is listed.
    BrowseFolder(folder);
    return result;
}

int FolderBrowser::ExtractSelection(const std::vector<int>& rows) {
    if (archiver) {
        std::wstring chosen;
        if (!BrowseForFolder(GetActiveWindow(), FolderPart(archiver->archivePath), chosen))
            return -1;
        // By their paths: found rows lie in any folder. They come out with their folders.
        std::vector<std::wstring> paths;
        for (int row : rows)
            paths.push_back(GetItem(row).path);
        return archiver->ExtractEntries(paths, chosen);
    }
    if (rows.size() != 1) {
        Tell(noSelection, MB_ICONWARNING);
        return -1;
    }
    ItemData row = GetItem(rows.front());
    std::wstring chosen;
    if (!BrowseForFolder(GetActiveWindow(), FolderPart(row.path), chosen))
        return 1;
    ExtractReport report;
    int result = 1;
    RunUnderProgress(L"Extract Files", L"Extracting Files ... ",
                     [&](const std::atomic<int32_t>* cancelled) {
                         result = ExtractAll(row.path, chosen, &report, cancelled);
                     });
    if (result == -1) {
        Tell(row.name + L" is not valid archive file.", MB_OK);
        return 0;
    }
    JobOutcome outcome = ExtractOutcome(row.path, result, report);
    if (outcome.NeedsSaying())
        ShowOutcome(AppState.mainWindow, outcome);
    return result == 0 ? 1 : 0;
}

int FolderBrowser::DeleteSelection(const std::vector<int>& rows) {
    if (archiver) {
        // Said before the question: there is nothing to confirm.
        if (!archiver->CanBeChanged()) {
            Tell(L"Operation is not supported.", MB_OK);
            return -1;
        }
        const wchar_t* question = rows.size() == 1
                                      ? L"Are you sure you want to delete a selected file?"
                                      : L"Are you sure you want to delete selected files?";
        if (Tell(question, MB_ICONWARNING | MB_YESNO) != IDYES)
            return -1;
        std::vector<std::wstring> paths;
        for (int row : rows)
            paths.push_back(GetItem(row).path);
        int result = archiver->DeleteEntries(paths);
        ShowArchiveOrItsFolder();
        return result;
    }

    for (int row : rows) {
        if (IsDriveRow(GetItem(row))) {
            Tell(L"A drive cannot be deleted.", MB_ICONWARNING);
            return -1;
        }
    }

    // With Shift held the items are deleted for good, otherwise they go to the recycle bin.
    bool permanently = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    // One path after the other, each with its zero, and one more zero at the end.
    std::wstring from;
    for (int row : rows) {
        from += GetItem(row).path;
        from += L'\0';
    }
    from += L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = AppState.mainWindow;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = static_cast<FILEOP_FLAGS>(permanently ? FOF_MULTIDESTFILES
                                                             : FOF_MULTIDESTFILES | FOF_ALLOWUNDO);
    int result = SHFileOperationW(&operation);
    if (result == 0)
        SelectLocation(current);
    return result;
}

void FolderBrowser::Reload() {
    if (archiver) {
        archiver->Refresh();
        ShowArchiveOrItsFolder();
        return;
    }
    if (GetLocationPath(current) == computerPath) {
        ListDrives();
        return;
    }
    // A folder that has gone since: the nearest one above that is still there.
    std::wstring path = folder;
    while (!path.empty() && !IsDirectory(path))
        path = ParentFolder(path);
    if (path.empty())
        ListDrives();
    else
        BrowseFolder(path);
}

int FolderBrowser::AddDroppedFiles(const std::vector<std::wstring>& files) {
    if (!archiver) {
        Tell(L"Please open an archive file first.", MB_ICONWARNING);
        return -1;
    }
    int result = archiver->AddFiles(files);
    if (result == -1)
        return result; // refused: the archive is as it was
    archiver->Refresh();
    ShowArchiveOrItsFolder();
    return result;
}

int FolderBrowser::TestSelection(const std::vector<int>& rows) {
    std::wstring archive;
    std::wstring password;
    std::vector<std::wstring> names;
    if (archiver) {
        archive = archiver->archivePath;
        password = archiver->password;
        for (int row : rows)
            names.push_back(GetItem(row).path);
    } else {
        if (rows.size() != 1) {
            Tell(rows.empty() ? noSelection : L"Select one archive to test.", MB_ICONWARNING);
            return -1;
        }
        ItemData row = GetItem(rows.front());
        if (!IsArchiveRow(row)) {
            Tell(row.name + L" is not valid archive file.", MB_OK);
            return -1;
        }
        archive = row.path;
    }
    EntryChoice choice;
    if (archiver)
        choice = archiver->ChoiceOf(names);
    TestOutcome outcome = TestWithProgress(archive, password, names, archiver ? &choice : nullptr);
    if (outcome.message.empty())
        return -1;
    ShowOutcome(AppState.mainWindow, outcome.outcome);
    return outcome.clean ? 0 : 1;
}

// Each archive of the selection extracted by `extract` under the progress dialog, one
// after another until one fails (said) or the user stops; then the disk folder is listed
// again. 0 when every one came out, 1 when one failed, -1 when refused or stopped.
int FolderBrowser::ExtractArchives(
    const std::vector<int>& rows,
    const std::function<int(const std::wstring&, CancelFlag, ExtractReport&)>& extract) {
    if (archiver || rows.empty()) {
        Tell(noSelection, MB_ICONWARNING);
        return -1;
    }
    std::vector<ItemData> archives;
    for (int row : rows) {
        archives.push_back(GetItem(row));
        if (!IsArchiveRow(archives.back())) {
            Tell(archives.back().name + L" is not valid archive file.", MB_OK);
            return -1;
        }
    }
    int outcome = 0;
    for (const ItemData& row : archives) {
        ExtractReport report;
        int result = 1;
        RunUnderProgress(L"Extract Files", L"Extracting Files ... ",
                         [&](const std::atomic<int32_t>* cancelled) {
                             result = extract(row.path, cancelled, report);
                         });
        JobOutcome told = ExtractOutcome(row.path, result, report);
        if (told.NeedsSaying())
            ShowOutcome(AppState.mainWindow, told);
        if (told.end == JobEnd::Cancelled) {
            outcome = -1;
            break;
        }
        if (result != 0) {
            outcome = 1;
            break;
        }
    }
    // What came out is listed.
    BrowseFolder(folder);
    return outcome;
}

int FolderBrowser::ExtractToFolderSelection(const std::vector<int>& rows, std::wstring& made) {
    return ExtractArchives(
        rows, [&](const std::wstring& archive, CancelFlag cancelled, ExtractReport& report) {
            return ExtractToNewFolder(archive, cancelled, &report, &made);
        });
}

int FolderBrowser::ExtractHereSelection(const std::vector<int>& rows) {
    return ExtractArchives(
        rows, [](const std::wstring& archive, CancelFlag cancelled, ExtractReport& report) {
            return ExtractAll(archive, FolderPart(archive), &report, cancelled);
        });
}

bool FolderBrowser::IsArchiveFileRow(int i) const {
    return !archiver && i >= 0 && i < GetItemCount() && IsArchiveRow(GetItem(i));
}

bool FolderBrowser::IsDriveOrUpRow(int i) const {
    if (i < 0 || i >= GetItemCount())
        return true;
    if (GetItemName(i) == L"..")
        return true;
    return !archiver && IsDriveRow(GetItem(i));
}

std::wstring FolderBrowser::RowFullPath(int i) const {
    std::wstring path = GetItem(i).path;
    return archiver ? archiver->archivePath + L"\\" + path : path;
}
