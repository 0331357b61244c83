// The browser model's location bar: fixed places and the segments of the current_ path.
#include "ui/folderbrowser.h"

#include "shell/iconcache.h"
#include "shell/paths.h"

#include <shlobj.h>

const wchar_t LocationBar::computerPath[] = L"Computer";

namespace {

const UINT locationLookFlags =
    SHGFI_ICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES;

} // namespace

void LocationBar::BuildPlaces() {
    ClearPlaces();
    AddSpecialFolder(L"Desktop", CSIDL_DESKTOP, 0);
    AddSpecialFolder(L"Documents", CSIDL_PERSONAL, 1);
    AddSpecialFolder(computerPath, CSIDL_DRIVES, 1);
    DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (drives & (1u << bit)) {
            std::wstring drive = std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":";
            AddPlace(drive, drive, 2);
        }
    }
}

void LocationBar::ClearPlaces() {
    devices_.clear();
}

int LocationBar::AddPlace(const std::wstring& name, const std::wstring& path, int level) {
    std::unique_ptr<DeviceItem> entry = MakeLocation(name, path, level);
    if (!entry)
        return -1;
    int index = Count();
    devices_.push_back(std::move(entry));
    return index;
}

int LocationBar::AddSpecialFolder(const std::wstring& name, int folderId, int level) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, folderId, nullptr, 0, path)))
        return AddPlace(name, path, level);

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
    int index = Count();
    devices_.push_back(std::move(entry));
    return index;
}

std::unique_ptr<DeviceItem> LocationBar::MakeLocation(const std::wstring& name,
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

int LocationBar::SetPath(const std::wstring& path) {
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
            pathItems_.push_back(std::move(entry));
        }
        if (last)
            break;
        position = slash + 1;
    }
    current_ = static_cast<int>(pathItems_.size()) - 1;
    return static_cast<int>(pathItems_.size());
}

HICON LocationBar::DriveIcon(const std::wstring& drive, bool large) {
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

int LocationBar::Count() const {
    return static_cast<int>(pathItems_.size() + devices_.size());
}

DeviceItem* LocationBar::Location(int i) const {
    if (i < 0 || i >= Count())
        return nullptr;
    size_t index = static_cast<size_t>(i);
    if (index < pathItems_.size())
        return pathItems_[index].get();
    return devices_[index - pathItems_.size()].get();
}

const DeviceItem* LocationBar::Get(int i) const {
    return Location(i);
}

HICON LocationBar::Icon(int i, int pixels) {
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

std::wstring LocationBar::Name(int i) const {
    const DeviceItem* entry = Get(i);
    return entry ? entry->name : std::wstring();
}

std::wstring LocationBar::Path(int i) const {
    const DeviceItem* entry = Get(i);
    return entry ? entry->path : std::wstring();
}



void LocationBar::ClearPath() {
    current_ -= static_cast<int>(pathItems_.size());
    if (current_ < 0)
        current_ = 0;
    pathItems_.clear();
}

DeviceItem::~DeviceItem() {
    for (HICON owned : {icon, largeIcon}) {
        if (owned && ownsIcon)
            DestroyIcon(owned);
    }
}

LocationBar::~LocationBar() {
    for (auto& drive : driveIcons_) {
        for (HICON icon : {drive.second.first, drive.second.second}) {
            if (icon)
                DestroyIcon(icon);
        }
    }
}
