// The browser model's location bar: fixed places and the segments of the current path.
#include "ui/folderbrowser.h"

#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/textconv.h"
#include "shell/iconcache.h"
#include "shell/paths.h"

#include <shlobj.h>

const wchar_t FolderBrowser::computerPath[] = L"Computer";

namespace {

const UINT locationLookFlags =
    SHGFI_ICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES;

} // namespace

bool FolderBrowser::BuildDevices() {
    ClearDevices();
    AddSpecialFolder(L"Desktop", CSIDL_DESKTOP, 0);
    AddSpecialFolder(L"Documents", CSIDL_PERSONAL, 1);
    AddSpecialFolder(computerPath, CSIDL_DRIVES, 1);
    DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (drives & (1u << bit)) {
            std::wstring drive = std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":";
            AddDevice(drive, drive, 2);
        }
    }
    return true;
}

void FolderBrowser::ClearDevices() {
    ClearItems();
    devices.clear();
    CloseArchive();
}

int FolderBrowser::AddDevice(const std::wstring& name, const std::wstring& path, int level) {
    std::unique_ptr<DeviceItem> entry = MakeLocation(name, path, level);
    if (!entry)
        return -1;
    int index = GetLocationCount();
    devices.push_back(std::move(entry));
    return index;
}

int FolderBrowser::AddSpecialFolder(const std::wstring& name, int folderId, int level) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, folderId, nullptr, 0, path)))
        return AddDevice(name, path, level);

    // A place without a file-system path (the computer): known by its name and the shell's
    // look of it.
    PIDLIST_ABSOLUTE itemList = nullptr;
    if (FAILED(SHGetFolderLocation(nullptr, folderId, nullptr, 0, &itemList)))
        return -1;
    auto entry = std::make_unique<DeviceItem>();
    entry->name = name;
    entry->path = name;
    entry->level = level;
    SHFILEINFOW info = {};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(itemList), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                   locationLookFlags | SHGFI_PIDL);
    entry->icon = info.hIcon;
    entry->largeIconPending = true;
    entry->shellFolder = folderId;
    if (info.szDisplayName[0])
        entry->name = info.szDisplayName;
    ILFree(itemList);
    int index = GetLocationCount();
    devices.push_back(std::move(entry));
    return index;
}

std::unique_ptr<DeviceItem> FolderBrowser::MakeLocation(const std::wstring& name,
                                                        const std::wstring& path, int level) {
    auto entry = std::make_unique<DeviceItem>();
    entry->name = name;
    entry->path = path;
    entry->level = level;
    if (IsDirectory(path) && (path.empty() || path.back() != L'\\'))
        entry->path += L'\\';
    SHFILEINFOW info = {};
    SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, locationLookFlags);
    entry->icon = info.hIcon;
    entry->largeIconPending = true;
    if (info.szDisplayName[0])
        entry->name = info.szDisplayName;
    return entry;
}

int FolderBrowser::BuildPathItems(const std::wstring& path) {
    int counter = 0;
    size_t position = 0;
    for (;;) {
        size_t slash = path.find(L'\\', position + 1);
        bool last = slash == std::wstring::npos;
        std::wstring segment = last ? path.substr(std::min(position, path.size()))
                                    : path.substr(position, slash - position);
        std::wstring prefix = last ? path : path.substr(0, slash);
        if (!segment.empty()) {
            // Segments are named as they are written, with the look of their kind: a
            // drive its own, a file (the archive) its type's, and any folder, on disk or
            // inside the archive, a folder's. So a long session keeps a few icons, not one
            // per folder it visited.
            auto entry = std::make_unique<DeviceItem>();
            entry->name = segment;
            entry->path = prefix;
            entry->level = counter++;
            bool folder = IsDirectory(prefix);
            if (folder && prefix.back() != L'\\')
                entry->path += L'\\';
            if (counter == 1 && prefix.size() <= 3 && prefix.size() >= 2 && prefix[1] == L':') {
                entry->icon = DriveIcon(prefix.substr(0, 2), false);
                entry->largeIcon = DriveIcon(prefix.substr(0, 2), true);
            } else {
                const ShellKind& kind =
                    !folder && FileExists(prefix) ? FileKind(segment) : FolderKind();
                entry->icon = kind.icon;
                entry->largeIcon = kind.largeIcon;
            }
            entry->ownsIcon = false;
            pathItems.push_back(std::move(entry));
        }
        if (last)
            break;
        position = slash + 1;
    }
    current = static_cast<int>(pathItems.size()) - 1;
    return static_cast<int>(pathItems.size());
}

HICON FolderBrowser::DriveIcon(const std::wstring& drive, bool large) {
    auto known = driveIcons_.find(drive);
    if (known == driveIcons_.end()) {
        std::wstring root = drive + L"\\";
        SHFILEINFOW info = {};
        SHGetFileInfoW(root.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_ICON | SHGFI_SMALLICON);
        HICON largeIcon = LargeShellIcon(root.c_str(), FILE_ATTRIBUTE_NORMAL);
        known = driveIcons_.emplace(drive, std::make_pair(info.hIcon, largeIcon)).first;
    }
    return large ? known->second.second : known->second.first;
}

int FolderBrowser::GetLocationCount() const {
    return static_cast<int>(pathItems.size() + devices.size());
}

DeviceItem* FolderBrowser::Location(int i) const {
    if (i < 0 || i >= GetLocationCount())
        return nullptr;
    size_t index = static_cast<size_t>(i);
    if (index < pathItems.size())
        return pathItems[index].get();
    return devices[index - pathItems.size()].get();
}

const DeviceItem* FolderBrowser::GetLocation(int i) const {
    return Location(i);
}

HICON FolderBrowser::GetLocationIcon(int i, int pixels) {
    DeviceItem* found = Location(i);
    if (!found)
        return nullptr;
    DeviceItem& entry = *found;
    if (entry.largeIconPending && WantsLargeIcon(pixels)) {
        entry.largeIconPending = false;
        PIDLIST_ABSOLUTE itemList = nullptr;
        if (entry.shellFolder < 0) {
            entry.largeIcon = LargeShellIcon(entry.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        } else if (SUCCEEDED(
                       SHGetFolderLocation(nullptr, entry.shellFolder, nullptr, 0, &itemList))) {
            entry.largeIcon = LargeShellIcon(reinterpret_cast<LPCWSTR>(itemList),
                                             FILE_ATTRIBUTE_NORMAL, SHGFI_PIDL);
            ILFree(itemList);
        }
    }
    return IconForSize(entry.icon, entry.largeIcon, pixels);
}

std::wstring FolderBrowser::GetLocationName(int i) const {
    const DeviceItem* entry = GetLocation(i);
    return entry ? entry->name : std::wstring();
}

std::wstring FolderBrowser::GetLocationPath(int i) const {
    const DeviceItem* entry = GetLocation(i);
    return entry ? entry->path : std::wstring();
}

std::wstring FolderBrowser::GetCurrentPath() const {
    return GetLocationPath(current);
}

bool FolderBrowser::SelectLocation(int i) {
    current = i;
    std::wstring path = GetLocationPath(i);
    if (archiver && path.compare(0, archiver->archivePath.size(), archiver->archivePath) == 0) {
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
        return OpenLocation(current, path);
    for (int i = 0; i < GetLocationCount(); ++i) {
        if (GetLocationPath(i) == computerPath &&
            (_wcsicmp(path.c_str(), computerPath) == 0 ||
             _wcsicmp(path.c_str(), GetLocationName(i).c_str()) == 0))
            return OpenLocation(i, computerPath);
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
            archiver && _wcsicmp(archiver->archivePath.c_str(), candidate.c_str()) == 0;
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
    if (archiver) {
        if (archiver->subPath.empty())
            return archiver->archivePath;
        return Utf8ToWide(archiver->subPath);
    }
    std::wstring shown = folder;
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
    if (GetLocationPath(i) == computerPath || GetLocationName(i) == computerPath) {
        CloseArchive();
        ListDrives();
        // The drive list has no path entries: the computer's entry is the current one.
        for (int index = 0; index < GetLocationCount(); ++index) {
            if (GetLocationPath(index) == computerPath)
                current = index;
        }
        return true;
    }
    return false;
}
