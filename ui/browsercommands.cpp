// The browser model's commands: Add, Extract, Delete, Test and Extract to Folder on the
// selected rows, and files dropped on the view.
#include "ui/browsercommands.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/extracttofolder.h"
#include "archive/jobthread.h"
#include "archive/testing.h"
#include "shell/paths.h"
#include "ui/adddialog.h"
#include "ui/folderbrowser.h"
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

// A folder's path without the backslash at its end (a drive's root keeps its own).
std::wstring WithoutSlash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
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

int BrowserCommands::AddSelection(const std::vector<int>& rows) {
    Archiver* archiver = browser_.archive();
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
        if (IsDriveRow(browser_.rows().Get(row))) {
            Tell(L"A drive cannot be added to an archive. Open the drive and select the files "
                 L"and folders to add.",
                 MB_ICONWARNING);
            return -1;
        }
        paths.push_back(browser_.rows().Get(row).path);
    }
    int result = ShowAddDialog(paths);
    // An archive made here is listed.
    browser_.BrowseFolder(browser_.folder());
    return result;
}

int BrowserCommands::ExtractSelection(const std::vector<int>& rows) {
    Archiver* archiver = browser_.archive();
    if (archiver) {
        std::wstring chosen;
        if (!BrowseForFolder(GetActiveWindow(), FolderPart(archiver->archivePath), chosen))
            return -1;
        // By their paths: found rows lie in any folder. They come out with their folders.
        std::vector<std::wstring> paths;
        for (int row : rows)
            paths.push_back(browser_.rows().Get(row).path);
        return archiver->ExtractEntries(paths, chosen);
    }
    if (rows.size() != 1) {
        Tell(noSelection, MB_ICONWARNING);
        return -1;
    }
    ItemData row = browser_.rows().Get(rows.front());
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

int BrowserCommands::DeleteSelection(const std::vector<int>& rows) {
    Archiver* archiver = browser_.archive();
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
            paths.push_back(browser_.rows().Get(row).path);
        int result = archiver->DeleteEntries(paths);
        browser_.ShowArchiveOrItsFolder();
        return result;
    }

    for (int row : rows) {
        if (IsDriveRow(browser_.rows().Get(row))) {
            Tell(L"A drive cannot be deleted.", MB_ICONWARNING);
            return -1;
        }
    }

    // With Shift held the items are deleted for good, otherwise they go to the recycle bin.
    bool permanently = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    // One path after the other, each with its zero, and one more zero at the end.
    std::wstring from;
    for (int row : rows) {
        from += browser_.rows().Get(row).path;
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
        browser_.SelectLocation(browser_.locations().Current());
    return result;
}

void BrowserCommands::Reload() {
    Archiver* archiver = browser_.archive();
    if (archiver) {
        archiver->Refresh();
        browser_.ShowArchiveOrItsFolder();
        return;
    }
    if (browser_.locations().CurrentPath() == LocationBar::computerPath) {
        browser_.ListDrives();
        return;
    }
    // A folder that has gone since: the nearest one above that is still there.
    std::wstring path = browser_.folder();
    while (!path.empty() && !IsDirectory(path))
        path = ParentFolder(path);
    if (path.empty())
        browser_.ListDrives();
    else
        browser_.BrowseFolder(path);
}

int BrowserCommands::AddDroppedFiles(const std::vector<std::wstring>& files) {
    Archiver* archiver = browser_.archive();
    if (!archiver) {
        Tell(L"Please open an archive file first.", MB_ICONWARNING);
        return -1;
    }
    int result = archiver->AddFiles(files);
    if (result == -1)
        return result; // refused: the archive is as it was
    archiver->Refresh();
    browser_.ShowArchiveOrItsFolder();
    return result;
}

int BrowserCommands::TestSelection(const std::vector<int>& rows) {
    Archiver* archiver = browser_.archive();
    std::wstring archive;
    std::wstring password;
    std::vector<std::wstring> names;
    if (archiver) {
        archive = archiver->archivePath;
        password = archiver->password;
        for (int row : rows)
            names.push_back(browser_.rows().Get(row).path);
    } else {
        if (rows.size() != 1) {
            Tell(rows.empty() ? noSelection : L"Select one archive to test.", MB_ICONWARNING);
            return -1;
        }
        ItemData row = browser_.rows().Get(rows.front());
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
int BrowserCommands::ExtractArchives(
    const std::vector<int>& rows,
    const std::function<int(const std::wstring&, CancelFlag, ExtractReport&)>& extract) {
    Archiver* archiver = browser_.archive();
    if (archiver || rows.empty()) {
        Tell(noSelection, MB_ICONWARNING);
        return -1;
    }
    std::vector<ItemData> archives;
    for (int row : rows) {
        archives.push_back(browser_.rows().Get(row));
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
    browser_.BrowseFolder(browser_.folder());
    return outcome;
}

int BrowserCommands::ExtractToFolderSelection(const std::vector<int>& rows, std::wstring& made) {
    return ExtractArchives(
        rows, [&](const std::wstring& archive, CancelFlag cancelled, ExtractReport& report) {
            return ExtractToNewFolder(archive, cancelled, &report, &made);
        });
}

int BrowserCommands::ExtractHereSelection(const std::vector<int>& rows) {
    return ExtractArchives(
        rows, [](const std::wstring& archive, CancelFlag cancelled, ExtractReport& report) {
            return ExtractAll(archive, FolderPart(archive), &report, cancelled);
        });
}

int BrowserCommands::RenameRow(int row, const std::wstring& typed, std::wstring& renamed) {
    if (row < 0 || row >= browser_.rows().Count() || browser_.rows().IsDriveOrUp(row))
        return -1;
    const std::wstring name = CleanName(typed);
    const std::wstring path = browser_.rows().Get(row).path;
    const std::wstring folder = FolderPart(path);
    renamed = folder.empty() ? name : folder + L"\\" + name;
    Archiver* archiver = browser_.archive();
    if (archiver) {
        int result = archiver->RenameEntry(path, name);
        browser_.ShowArchiveOrItsFolder();
        return result;
    }
    const std::wstring problem = NameProblem(name);
    if (!problem.empty()) {
        Tell(problem, MB_ICONWARNING);
        return -1;
    }
    if (FileNamePart(path) == name)
        return 0;
    // Another item of that name; the same one in other letter case is renamed.
    if (PathExists(renamed) && _wcsicmp(FileNamePart(path).c_str(), name.c_str()) != 0) {
        Tell(L"This folder already has an item named \"" + name + L"\". Choose another name.",
             MB_ICONWARNING);
        return -1;
    }
    std::wstring from = path + L'\0';
    std::wstring to = renamed + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = AppState.mainWindow;
    operation.wFunc = FO_RENAME;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_ALLOWUNDO;
    // The shell says itself why a rename failed (the item is in use, no permission).
    const bool done = SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
    browser_.BrowseFolder(browser_.folder());
    return done ? 0 : -1;
}

int BrowserCommands::NewFolder(std::wstring& made) {
    Archiver* archiver = browser_.archive();
    if (archiver) {
        const std::wstring name = archiver->FreeName(L"New folder");
        const std::wstring folder = Utf8ToWide(archiver->subPath);
        made = folder.empty() ? name : folder + L"\\" + name;
        int result = archiver->MakeFolderEntry(name);
        browser_.ShowArchiveOrItsFolder();
        return result;
    }
    const std::wstring folder = browser_.folder();
    if (folder.empty() || browser_.locations().CurrentPath() == LocationBar::computerPath) {
        Tell(L"A folder can be made only inside a folder: open one first.", MB_ICONWARNING);
        return -1;
    }
    std::wstring base = folder;
    if (base.back() != L'\\')
        base += L'\\';
    made = base + L"New folder";
    for (int number = 2; PathExists(made); ++number)
        made = base + L"New folder (" + std::to_wstring(number) + L")";
    if (!CreateDirectoryW(LongPathForm(made).c_str(), nullptr)) {
        Tell(L"The folder could not be made in " + folder +
                 (GetLastError() == ERROR_ACCESS_DENIED
                      ? L": you have no permission to write there."
                      : L"."),
             MB_ICONWARNING);
        return -1;
    }
    browser_.BrowseFolder(folder);
    return 0;
}

int BrowserCommands::PasteFiles(const std::vector<std::wstring>& files, bool move) {
    const std::wstring folder = browser_.folder();
    if (folder.empty() || browser_.locations().CurrentPath() == LocationBar::computerPath) {
        Tell(L"Files can be pasted only into a folder: open one first.", MB_ICONWARNING);
        return -1;
    }
    // A file cut and pasted into its own folder stays as it is, as in Explorer; copied
    // there, it gets a name of its own.
    auto inFolderShown = [&folder](const std::wstring& file) {
        return _wcsicmp(WithoutSlash(FolderPart(file) + L"\\").c_str(),
                        WithoutSlash(folder).c_str()) == 0;
    };
    std::wstring from;
    bool intoItsOwnFolder = false;
    for (const std::wstring& file : files) {
        if (move && inFolderShown(file))
            continue;
        intoItsOwnFolder = intoItsOwnFolder || inFolderShown(file);
        from += file + L'\0';
    }
    if (from.empty())
        return 0;
    from += L'\0';
    std::wstring to = folder + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = AppState.mainWindow;
    operation.wFunc = move ? FO_MOVE : FO_COPY;
    operation.pFrom = from.c_str();
    operation.pTo = to.c_str();
    operation.fFlags = FOF_ALLOWUNDO | (intoItsOwnFolder ? FOF_RENAMEONCOLLISION : 0);
    const bool done = SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted;
    browser_.BrowseFolder(folder);
    return done ? 0 : -1;
}

int BrowserCommands::MoveRowsInto(const std::vector<int>& rows, int folderRow) {
    Archiver* archiver = browser_.archive();
    if (!archiver || folderRow < 0 || folderRow >= browser_.rows().Count())
        return -1;
    std::vector<std::wstring> paths;
    for (int row : rows) {
        if (row != folderRow && !browser_.rows().IsDriveOrUp(row))
            paths.push_back(browser_.rows().Get(row).path);
    }
    int result = archiver->MoveEntries(paths, browser_.rows().Get(folderRow).path);
    browser_.ShowArchiveOrItsFolder();
    return result;
}
