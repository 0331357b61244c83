// The rows of the browser's list: their texts, icons and order.
#include "ui/rowlist.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/archiver.h"
#include "archive/archivetree.h"
#include "archive/textconv.h"
#include "shell/iconcache.h"
#include "shell/paths.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <unordered_set>

namespace {

// What the shell is asked for a row: its small icon, display name, type name and
// attributes.
const UINT shellLookFlags =
    SHGFI_ICON | SHGFI_SMALLICON | SHGFI_DISPLAYNAME | SHGFI_TYPENAME | SHGFI_ATTRIBUTES;

const wchar_t* const diskTitles[] = {L"Name", L"Size", L"Type", L"Modified"};
const wchar_t* const archiveTitles[] = {L"Name", L"Size", L"Packed", L"Type", L"Modified"};

bool IsUpRow(const ItemData& row) {
    return row.name == L"..";
}

// Kinds of file whose icon the file itself decides.
bool HasOwnIcon(const std::wstring& extension) {
    static const wchar_t* const kinds[] = {L".exe", L".ico", L".lnk",       L".cur",
                                           L".ani", L".url", L".scr",       L".msc",
                                           L".cpl", L".pif", L".appref-ms", L".website"};
    for (const wchar_t* kind : kinds) {
        if (extension == kind)
            return true;
    }
    return false;
}

} // namespace

bool IsDriveRow(const ItemData& row) {
    return row.path.size() == 2 && row.path[1] == L':';
}

bool IsArchiveRow(const ItemData& row) {
    return !IsDriveRow(row) && !IsDirectory(row.path) && IsArchivePath(row.path);
}

std::wstring FormatSize(DWORD high, DWORD low) {
    if (high == 0 && low == 0)
        return std::wstring();
    uint64_t size = (static_cast<uint64_t>(high) << 32) | low;
    return GroupDigits(std::to_wstring(size));
}

std::wstring FormatFileTime(const FILETIME& time, ModifiedTextCache* cache) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&time, &local))
        return std::wstring();
    return FormatModified(local, cache);
}

RowList::~RowList() {
    Clear();
}

int RowList::Head(std::vector<std::wstring>& list) const {
    list.clear();
    if (archive_)
        list.assign(std::begin(archiveTitles), std::end(archiveTitles));
    else
        list.assign(std::begin(diskTitles), std::end(diskTitles));
    return static_cast<int>(list.size());
}

int RowList::Count() const {
    return static_cast<int>(ShowsNodes() ? nodes_.size() : items_.size());
}

// A disk row's Modified text, made when asked for; none for the up row or a drive.
static std::wstring DiskModifiedText(const ItemData& row, ModifiedTextCache& cache) {
    if (!row.modifiedText.empty() || IsUpRow(row) ||
        (row.modified.dwLowDateTime == 0 && row.modified.dwHighDateTime == 0))
        return row.modifiedText;
    return FormatFileTime(row.modified, &cache);
}

ItemData RowList::Get(int i) const {
    if (i < 0 || i >= Count())
        return ItemData();
    if (ShowsNodes())
        return archive_->MakeRow(nodes_[static_cast<size_t>(i)]);
    ItemData row = items_[static_cast<size_t>(i)];
    row.modifiedText = DiskModifiedText(row, modifiedTexts_);
    return row;
}

std::wstring RowList::Name(int i) const {
    if (i < 0 || i >= Count())
        return std::wstring();
    if (ShowsNodes() && found_)
        return FoundName(nodes_[static_cast<size_t>(i)]);
    if (ShowsNodes())
        return archive_->RowName(nodes_[static_cast<size_t>(i)]);
    return items_[static_cast<size_t>(i)].name;
}

HICON RowList::Icon(int i, int pixels) {
    if (i < 0 || i >= Count())
        return nullptr;
    if (ShowsNodes()) {
        ArchiveTree::Node node = nodes_[static_cast<size_t>(i)];
        return IconForSize(archive_->RowIcon(node), archive_->RowIcon(node, true), pixels);
    }
    ItemData& row = items_[static_cast<size_t>(i)];
    if (row.iconPending) {
        row.iconPending = false;
        SHFILEINFOW info = {};
        SHGetFileInfoW(row.path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                       SHGFI_ICON | SHGFI_SMALLICON);
        row.icon = info.hIcon;
        Own(row);
    }
    if (row.largeIconPending && WantsLargeIcon(pixels)) {
        row.largeIconPending = false;
        row.largeIcon = LargeShellIcon(row.path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (row.largeIcon)
            ownedIcons_.push_back(row.largeIcon);
    }
    return IconForSize(row.icon, row.largeIcon, pixels);
}

int RowList::Find(const std::wstring& path) const {
    if (ShowsNodes()) {
        ArchiveTree::Node wanted = archive_->tree.Find(WideToUtf8(path));
        for (size_t i = 0; wanted != ArchiveTree::none && i < nodes_.size(); ++i) {
            if (nodes_[i] == wanted)
                return static_cast<int>(i);
        }
        return -1;
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        if (_wcsicmp(items_[i].path.c_str(), path.c_str()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::wstring RowList::Text(int i, int column, UINT& flag) const {
    if (i < 0 || i >= Count())
        return std::wstring();
    // The columns by position: Name, Size, (Packed,) Type, Modified.
    int shift = archive_ ? 1 : 0;
    if (ShowsNodes()) {
        ArchiveTree::Node node = nodes_[static_cast<size_t>(i)];
        if (column == 1 || column == 2)
            flag = DT_RIGHT;
        switch (column) {
        case 0:
            return found_ ? FoundName(node) : archive_->RowName(node);
        case 1:
            return archive_->RowSize(node);
        case 2:
            return archive_->RowPackedSize(node);
        case 3:
            return archive_->RowType(node);
        case 4:
            return archive_->RowModified(node);
        }
        return std::wstring();
    }
    const ItemData& row = items_[static_cast<size_t>(i)];
    if (column == 0)
        return row.name;
    if (column == 1) {
        flag = DT_RIGHT;
        return row.size;
    }
    if (archive_ && column == 2) {
        flag = DT_RIGHT;
        return row.packedSize;
    }
    if (column == 2 + shift)
        return row.type;
    if (column == 3 + shift)
        return DiskModifiedText(row, modifiedTexts_);
    return std::wstring();
}

void RowList::Clear() {
    // Archive rows carry the Archiver's icons; only the disk rows' own are destroyed.
    for (HICON icon : ownedIcons_)
        DestroyIcon(icon);
    ownedIcons_.clear();
    looks_.clear();
    items_.clear();
    nodes_.clear();
    found_ = false;
}

const RowList::ShellLook* RowList::CachedLook(const std::wstring& name,
                                                          const std::wstring& path,
                                                          const WIN32_FIND_DATAW* findData) {
    if (!findData)
        return nullptr; // a drive: its label and kind are its own
    std::wstring key;
    if (findData->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A folder marked read-only or system may carry an icon of its own (desktop.ini).
        if (findData->dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM))
            return nullptr;
        key = L"<folder>";
    } else {
        // A program or a shortcut has an icon of its own, asked for when it is drawn; its
        // kind's type name and naming are the same for all.
        key = LowerExtension(name);
    }
    auto found = looks_.find(key);
    if (found != looks_.end())
        return &found->second;

    // The first of its kind is asked by its real path: that tells the type name, and
    // whether the shell hides the extension of this kind in the names it shows.
    SHFILEINFOW info = {};
    SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, shellLookFlags);
    ShellLook look;
    look.icon = info.hIcon;
    // The large one of the kind, by its name alone: asked by the path, the shell would look
    // the file up again in its folder, which in a folder of 10,000 files is slow.
    look.largeIcon = LargeShellIcon(
        path.c_str(), key == L"<folder>" ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
        SHGFI_USEFILEATTRIBUTES);
    look.type =
        key == L"<folder>" ? std::wstring(info.szTypeName) : TypeNameOf(key, info.szTypeName);
    size_t dot = name.rfind(L'.');
    look.hidesExtension = dot != std::wstring::npos && dot > 0 && info.szDisplayName[0] &&
                          name.compare(0, dot, info.szDisplayName) == 0 &&
                          wcslen(info.szDisplayName) == dot;
    Own(look);
    return &looks_.emplace(key, look).first->second;
}

int RowList::AddFileRow(const std::wstring& name, const std::wstring& path,
                               const WIN32_FIND_DATAW* findData) {
    ItemData row;
    row.name = name;
    row.path = path;
    if (findData)
        row.modified = findData->ftLastWriteTime;

    if (name == L"..") {
        auto found = looks_.find(L"<up>");
        if (found == looks_.end()) {
            SHFILEINFOW info = {};
            SHGetFileInfoW(L"..", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                           shellLookFlags | SHGFI_USEFILEATTRIBUTES);
            ShellLook look;
            look.icon = info.hIcon;
            look.largeIcon =
                LargeShellIcon(L"..", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES);
            look.type = info.szTypeName;
            Own(look);
            found = looks_.emplace(L"<up>", look).first;
        }
        row.icon = found->second.icon;
        row.largeIcon = found->second.largeIcon;
        row.type = found->second.type;
    } else if (const ShellLook* look = CachedLook(name, path, findData)) {
        row.iconPending = HasOwnIcon(LowerExtension(name));
        row.largeIconPending = row.iconPending;
        row.icon = row.iconPending ? nullptr : look->icon;
        row.largeIcon = row.iconPending ? nullptr : look->largeIcon;
        row.type = look->type;
        if (look->hidesExtension) {
            size_t dot = name.rfind(L'.');
            if (dot != std::wstring::npos && dot > 0)
                row.name = name.substr(0, dot);
        }
    } else {
        SHFILEINFOW info = {};
        SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof info, shellLookFlags);
        if (info.szDisplayName[0])
            row.name = info.szDisplayName;
        row.icon = info.hIcon;
        row.largeIconPending = true;
        row.type = (findData && (findData->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                       ? std::wstring(info.szTypeName)
                       : TypeNameOf(LowerExtension(name), info.szTypeName);
        Own(row);
    }

    if (name != L".." && findData) {
        row.size = FormatSize(findData->nFileSizeHigh, findData->nFileSizeLow);
        row.bytes = (static_cast<uint64_t>(findData->nFileSizeHigh) << 32) | findData->nFileSizeLow;
        row.attributes = findData->dwFileAttributes;
    }
    items_.push_back(std::move(row));
    return Count() - 1;
}

bool RowList::IsFolder(int i) const {
    if (i < 0 || i >= Count())
        return false;
    if (ShowsNodes()) {
        ArchiveTree::Node node = nodes_[static_cast<size_t>(i)];
        return node == ArchiveTree::none || archive_->tree.IsFolder(node);
    }
    return (items_[static_cast<size_t>(i)].attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint64_t RowList::Bytes(int i) const {
    if (i < 0 || i >= Count() || IsFolder(i))
        return 0;
    if (ShowsNodes()) {
        const ArchiveTree::Entry& entry = archive_->tree.EntryOf(nodes_[static_cast<size_t>(i)]);
        return entry.hasSize ? entry.size : 0;
    }
    return items_[static_cast<size_t>(i)].bytes;
}

bool RowList::IsArchiveFile(int i) const {
    return !archive_ && i >= 0 && i < Count() && IsArchiveRow(Get(i));
}

bool RowList::IsDriveOrUp(int i) const {
    if (i < 0 || i >= Count())
        return true;
    if (Name(i) == L"..")
        return true;
    return !archive_ && IsDriveRow(Get(i));
}

std::wstring RowList::FullPath(int i) const {
    std::wstring path = Get(i).path;
    return archive_ ? archive_->archivePath + L"\\" + path : path;
}

void RowList::WithPaths(const std::vector<std::wstring>& paths, const std::wstring& focusedPath,
                        std::vector<int>& rows, int& focused) const {
    rows.clear();
    focused = -1;
    if (ShowsNodes()) {
        const ArchiveTree& tree = archive_->tree;
        std::unordered_set<ArchiveTree::Node> wanted;
        for (const std::wstring& path : paths) {
            ArchiveTree::Node node = tree.Find(WideToUtf8(path));
            if (node != ArchiveTree::none)
                wanted.insert(node);
        }
        ArchiveTree::Node focusedNode =
            focusedPath.empty() ? ArchiveTree::none : tree.Find(WideToUtf8(focusedPath));
        for (size_t i = 0; i < nodes_.size(); ++i) {
            if (nodes_[i] == ArchiveTree::none)
                continue; // the up row
            if (wanted.count(nodes_[i]))
                rows.push_back(static_cast<int>(i));
            if (nodes_[i] == focusedNode)
                focused = static_cast<int>(i);
        }
        return;
    }
    std::unordered_set<std::wstring> wanted;
    for (const std::wstring& path : paths)
        wanted.insert(LowerCase(path));
    const std::wstring focusedLower = LowerCase(focusedPath);
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].path.empty())
            continue;
        std::wstring path = LowerCase(items_[i].path);
        if (wanted.count(path))
            rows.push_back(static_cast<int>(i));
        if (!focusedLower.empty() && path == focusedLower)
            focused = static_cast<int>(i);
    }
}

std::wstring RowList::FoundName(ArchiveTree::Node node) const {
    return Utf8ToWide(archive_->tree.Path(node));
}
