// The browser model's activation: what a double-click opens (a folder, an archive, a file
// with its program), and the moves into, about and out of an archive.
#include "ui/folderbrowser.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/archiver.h"
#include "shell/paths.h"
#include "ui/outcomedialog.h"

#include <shellapi.h>

#include <algorithm>

int FolderBrowser::ActivateItem(int i) {
    if (i < 0 || i >= GetItemCount())
        return 0;
    if (archiver)
        return OpenArchiveItem(i);

    std::wstring path = GetItem(i).path;
    if (IsDirectory(path)) {
        // Entered, even when it holds nothing to show: the view shows the empty list.
        return std::max(BrowseFolder(path), 1);
    }
    if (FileExists(path) && IsArchivePath(path))
        return OpenArchive(path) ? 1 : 0;
    if (FileExists(path))
        ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOW);
    return 0;
}

bool FolderBrowser::OpenArchive(const std::wstring& path) {
    archiver = GetArchiver();
    if (archiver->Open(path)) {
        ShowArchiveFolder();
        // Listed, but not whole: said once, as it opens; the status line keeps saying it.
        const ArchiveHealth& health = archiver->facts.health;
        if (!health.Whole()) {
            JobOutcome told;
            told.end = health.Damaged() ? JobEnd::Failure : JobEnd::Warnings;
            told.notes = HealthNotes(health, FileNamePart(archiver->archivePath));
            if (health.Damaged())
                told.notes.push_back(L"The entries that could be read are listed. Test tells "
                                     L"which of them are damaged.");
            PostOutcome(told);
        }
        return true;
    }
    // A cancelled open, or a declined password, needs no word: the view stays as it was.
    bool stoppedByUser = archiver->openStoppedByUser;
    std::wstring missingVolume = archiver->missingVolume;
    uint32_t openErrors = archiver->facts.openErrors;
    CloseArchive();
    if (!stoppedByUser)
        MessageBoxW(AppState.mainWindow,
                    (missingVolume.empty() ? OpenFailureMessage(path, openErrors)
                                           : MissingVolumeMessage(missingVolume))
                        .c_str(),
                    L"Varnix File Opener", MB_OK);
    return false;
}

std::wstring OpenFailureMessage(const std::wstring& path, uint32_t openErrors) {
    std::wstring text = L"Couldn't open the file.";
    // The engine knows why: cut short, or damaged.
    if (openErrors != 0)
        return text + L"\n\n" + OpenProblemText(FileNamePart(path), openErrors);
    HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        text += L"\n\nAnother program is using it. Close that program and try again.";
    else if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        text += L"\n\n" + path + L" is not there: it may have been moved or deleted.";
    else if (error == ERROR_ACCESS_DENIED)
        text += L"\n\nYou are not allowed to read it.";
    return text;
}

int FolderBrowser::OpenArchiveItem(int i) {
    if (!archiver || i < 0 || i >= GetItemCount())
        return 0;
    if (finding_) {
        // A found row acts as in its own folder: a folder is entered, an entry opened.
        ArchiveTree::Node node = nodes[static_cast<size_t>(i)];
        if (!archiver->tree.IsFolder(node)) {
            archiver->OpenEntry(Utf8ToWide(archiver->tree.Path(node)));
            return 0;
        }
        archiver->ListFolder(archiver->tree.Path(node));
        return ShowArchiveFolder();
    }
    if (i != 0) {
        if (archiver->OpenItem(GetItem(i).path) == 0)
            return 0;
        return ShowArchiveFolder();
    }
    std::wstring shown = archiver->GetDisplayPath();
    std::wstring parent = ParentFolder(shown);
    if (FileExists(shown)) {
        // At the archive's root the up row leaves the archive for the folder that holds it.
        CloseArchive();
        return std::max(BrowseFolder(parent), 1);
    }
    return GoToArchivePath(parent);
}

int FolderBrowser::GoToArchivePath(const std::wstring& path) {
    if (!archiver)
        return 0;
    archiver->GoTo(path);
    return ShowArchiveFolder();
}

int FolderBrowser::ShowArchiveFolder() {
    ClearItems();
    if (!archiver)
        return 0;
    nodes = archiver->rows;
    SortItems();
    BuildPathItems(archiver->GetDisplayPath());
    return GetItemCount();
}

int FolderBrowser::ShowArchiveOrItsFolder() {
    if (!archiver || !archiver->rows.empty())
        return ShowArchiveFolder();
    // The archive was not listed again (it is damaged now, gone, or the user cancelled):
    // the folder that holds it is shown rather than an archive without rows.
    std::wstring path = archiver->archivePath;
    bool stoppedByUser = archiver->openStoppedByUser;
    uint32_t openErrors = archiver->facts.openErrors;
    CloseArchive();
    if (!stoppedByUser)
        MessageBoxW(AppState.mainWindow, OpenFailureMessage(path, openErrors).c_str(),
                    L"Varnix File Opener", MB_OK);
    std::wstring parent = ParentFolder(path);
    if (IsDirectory(parent))
        return std::max(BrowseFolder(parent), 1);
    SelectLocation(0);
    return GetItemCount();
}

void FolderBrowser::CloseArchive() {
    if (archiver) {
        ReleaseArchiver();
        archiver = nullptr;
    }
}
