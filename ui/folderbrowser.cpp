// The browser model: the place shown, and the moves to another: into a disk folder, the
// drives, an archive and the folders inside it, a place of the location bar, a typed path.
#include "ui/folderbrowser.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/archiver.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "ui/clipboardfiles.h"
#include "ui/outcomedialog.h"

#include <shellapi.h>

#include <algorithm>

FolderBrowser::~FolderBrowser() {
    ClearRows();
    CloseArchive();
}

void FolderBrowser::ClearRows() {
    rows_.Clear();
    finder_.Forget(); // another place: a find ends there
    locations_.ClearPath();
}

void FolderBrowser::BuildDevices() {
    ClearRows();
    CloseArchive();
    locations_.BuildPlaces();
}

int FolderBrowser::BrowseFolder(const std::wstring& path) {
    ClearRows();
    folder_ = path;
    std::wstring dir = path;
    if (dir.empty() || dir.back() != L'\\')
        dir += L'\\';

    WIN32_FIND_DATAW found = {};
    HANDLE search = FindFirstFileW((dir + L"*.*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring fileName = found.cFileName;
            if (fileName == L".")
                continue;
            std::wstring rowPath = fileName == L".." ? ParentFolder(path) : dir + fileName;
            if (!rowPath.empty())
                rows_.AddFileRow(fileName, rowPath, &found);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    rows_.Sort();
    locations_.SetPath(path);
    return rows_.Count();
}

int FolderBrowser::ListDrives() {
    ClearRows();
    DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (drives & (1u << bit)) {
            std::wstring drive = std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":";
            rows_.AddFileRow(drive, drive, nullptr);
        }
    }
    return rows_.Count();
}

int FolderBrowser::ActivateItem(int i) {
    if (i < 0 || i >= rows_.Count())
        return 0;
    if (archiver_)
        return OpenArchiveItem(i);

    std::wstring path = rows_.Get(i).path;
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
    CloseArchive(); // the one open before is left, its edits settled
    archiver_ = GetArchiver();
    rows_.SetArchive(archiver_);
    if (archiver_->Open(path)) {
        ShowArchiveFolder();
        // Listed, but not whole: said once, as it opens; the status line keeps saying it.
        const ArchiveHealth& health = archiver_->facts.health;
        if (!health.Whole()) {
            JobOutcome told;
            told.end = health.Damaged() ? JobEnd::Failure : JobEnd::Warnings;
            told.notes = HealthNotes(health, FileNamePart(archiver_->archivePath));
            if (health.Damaged())
                told.notes.push_back(L"The entries that could be read are listed. Test tells "
                                     L"which of them are damaged.");
            PostOutcome(told);
        }
        return true;
    }
    // A cancelled open, or a declined password, needs no word: the view stays as it was.
    bool stoppedByUser = archiver_->openStoppedByUser;
    std::wstring missingVolume = archiver_->missingVolume;
    uint32_t openErrors = archiver_->facts.openErrors;
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
    if (!archiver_ || i < 0 || i >= rows_.Count())
        return 0;
    if (finder_.IsActive()) {
        // A found row acts as in its own folder: a folder is entered, an entry opened.
        ArchiveTree::Node node = rows_.Nodes()[static_cast<size_t>(i)];
        if (!archiver_->tree.IsFolder(node)) {
            archiver_->OpenEntry(Utf8ToWide(archiver_->tree.Path(node)));
            WatchCopies();
            return 0;
        }
        archiver_->ListFolder(archiver_->tree.Path(node));
        return ShowArchiveFolder();
    }
    if (i != 0) {
        if (archiver_->OpenItem(rows_.Get(i).path) == 0) {
            WatchCopies();
            return 0;
        }
        return ShowArchiveFolder();
    }
    std::wstring shown = archiver_->GetDisplayPath();
    std::wstring parent = ParentFolder(shown);
    if (FileExists(shown)) {
        // At the archive's root the up row leaves the archive for the folder that holds it.
        CloseArchive();
        return std::max(BrowseFolder(parent), 1);
    }
    return GoToArchivePath(parent);
}

int FolderBrowser::GoToArchivePath(const std::wstring& path) {
    if (!archiver_)
        return 0;
    archiver_->GoTo(path);
    return ShowArchiveFolder();
}

int FolderBrowser::ShowArchiveFolder() {
    ClearRows();
    if (!archiver_)
        return 0;
    rows_.SetNodes(archiver_->rows);
    rows_.Sort();
    locations_.SetPath(archiver_->GetDisplayPath());
    return rows_.Count();
}

int FolderBrowser::ShowArchiveOrItsFolder() {
    if (!archiver_ || !archiver_->rows.empty())
        return ShowArchiveFolder();
    // The archive was not listed again (it is damaged now, gone, or the user cancelled):
    // the folder that holds it is shown rather than an archive without rows.
    std::wstring path = archiver_->archivePath;
    bool stoppedByUser = archiver_->openStoppedByUser;
    uint32_t openErrors = archiver_->facts.openErrors;
    CloseArchive();
    if (!stoppedByUser)
        MessageBoxW(AppState.mainWindow, OpenFailureMessage(path, openErrors).c_str(),
                    L"Varnix File Opener", MB_OK);
    std::wstring parent = ParentFolder(path);
    if (IsDirectory(parent))
        return std::max(BrowseFolder(parent), 1);
    SelectLocation(0);
    return rows_.Count();
}

void FolderBrowser::CloseArchive() {
    if (archiver_) {
        archiver_->SettleEdits(false);
        copies_.Stop();
        ForgetArchiveClipboard();
        ReleaseArchiver();
        archiver_ = nullptr;
        rows_.SetArchive(nullptr);
    }
}

void FolderBrowser::WatchCopies() {
    if (!archiver_)
        return;
    // The folder each copy is in: a program saves there (a new file renamed over it).
    std::vector<std::wstring> folders;
    for (size_t i = 0; i < archiver_->edits.Count(); ++i) {
        std::wstring folder = ParentFolder(archiver_->edits[i].file);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    copies_.Start(folders, AppState.mainWindow, WM_EDITED_COPY);
}

bool FolderBrowser::CheckEditedCopies() {
    if (!archiver_ || !archiver_->OfferEdits())
        return false;
    ShowArchiveOrItsFolder();
    return true;
}

bool FolderBrowser::MayClose() {
    return !archiver_ || archiver_->SettleEdits(true);
}

bool FolderBrowser::SelectLocation(int i) {
    locations_.SetCurrent(i);
    std::wstring path = locations_.Path(i);
    if (archiver_ && path.compare(0, archiver_->archivePath.size(), archiver_->archivePath) == 0) {
        // The archive file's own entry or a folder inside it.
        GoToArchivePath(path);
        return true;
    }
    return OpenLocation(i, path);
}

bool FolderBrowser::OpenTypedPath(const std::wstring& text) {
    std::wstring path = text;
    while (!path.empty() && (path.back() == L' ' || path.back() == L'"'))
        path.pop_back();
    size_t start = path.find_first_not_of(L" \"");
    path.erase(0, start == std::wstring::npos ? path.size() : start);
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    if (path.empty())
        return false;
    if (IsDirectory(path))
        return OpenLocation(locations_.Current(), path);
    for (int i = 0; i < locations_.Count(); ++i) {
        if (locations_.Path(i) == LocationBar::computerPath &&
            (_wcsicmp(path.c_str(), LocationBar::computerPath) == 0 ||
             _wcsicmp(path.c_str(), locations_.Name(i).c_str()) == 0))
            return OpenLocation(i, LocationBar::computerPath);
    }

    // An archive, or a folder inside one: the part of the path up to the archive's name.
    for (size_t end = path.size(); end != std::wstring::npos && end > 0;
         end = path.rfind(L'\\', end - 1)) {
        std::wstring candidate = path.substr(0, end);
        if (IsDirectory(candidate))
            return false; // a folder on disk, and below it nothing that is there
        if (!IsArchivePath(candidate) || !FileExists(candidate))
            continue;
        bool alreadyOpen =
            archiver_ && _wcsicmp(archiver_->archivePath.c_str(), candidate.c_str()) == 0;
        if (!alreadyOpen) {
            CloseArchive();
            if (!OpenArchive(candidate)) {
                // Said already; the folder that holds it is shown.
                BrowseFolder(ParentFolder(candidate));
                return true;
            }
        }
        GoToArchivePath(end < path.size() ? candidate + path.substr(end) : candidate);
        return true;
    }
    return false;
}

std::wstring FolderBrowser::ShownPlacePath() const {
    if (archiver_) {
        if (archiver_->subPath.empty())
            return archiver_->archivePath;
        return Utf8ToWide(archiver_->subPath);
    }
    std::wstring shown = folder_;
    while (shown.size() > 3 && shown.back() == L'\\')
        shown.pop_back();
    return shown;
}

bool FolderBrowser::OpenLocation(int i, const std::wstring& path) {
    if (IsDirectory(path)) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        CloseArchive();
        BrowseFolder(path);
        return true;
    }
    // The computer's entry is known by its path, whatever name the shell gives it.
    if (locations_.Path(i) == LocationBar::computerPath ||
        locations_.Name(i) == LocationBar::computerPath) {
        CloseArchive();
        ListDrives();
        // The drive list has no path entries: the computer's entry is the current one.
        for (int index = 0; index < locations_.Count(); ++index) {
            if (locations_.Path(index) == LocationBar::computerPath)
                locations_.SetCurrent(index);
        }
        return true;
    }
    return false;
}
