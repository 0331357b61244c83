// The browser model: rows, columns and sorting.
#include "ui/folderbrowser.h"

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
#include <numeric>

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

bool IsFolderRow(const ItemData& row) {
    return (row.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

// Where a row goes in the order of a sort: the up row, then folders, then files.
int Group(const ItemData& row) {
    if (IsUpRow(row))
        return 0;
    return IsFolderRow(row) ? 1 : 2;
}

uint64_t TimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// A text as a key whose byte order is lstrcmpiW's order of the texts, so that a sort
// compares bytes instead of asking the locale at every comparison.
std::string SortKey(const std::wstring& text) {
    int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1,
                            nullptr, 0);
    std::string key(static_cast<size_t>(std::max(size, 0)), '\0');
    if (size > 0)
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, text.c_str(), -1,
                     reinterpret_cast<LPWSTR>(&key[0]), size);
    return key;
}

// Names of letters without accents, digits and dots order under lstrcmpiW as they do
// compared letter by letter in lower case: for folders of such names (most of them) the
// locale need not be asked for a key per name.
bool IsPlainName(const std::wstring& name) {
    return std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               c == L'.';
    });
}

// The key of a plain name: the name in lower case, one byte a character.
std::string PlainKey(const std::wstring& name) {
    std::string key(name.size(), '\0');
    for (size_t i = 0; i < name.size(); ++i) {
        wchar_t c = name[i];
        key[i] = static_cast<char>(c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c);
    }
    return key;
}

bool AllDigitsAndCommas(const std::wstring& text) {
    return std::all_of(text.begin(), text.end(),
                       [](wchar_t c) { return (c >= L'0' && c <= L'9') || c == L','; });
}

} // namespace

int CompareNumberText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    // Grouped digits of one length have their commas in the same places: a plain
    // comparison gives lstrcmpiW's answer without asking the locale.
    if (AllDigitsAndCommas(a) && AllDigitsAndCommas(b))
        return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return lstrcmpiW(a.c_str(), b.c_str());
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

DeviceItem::~DeviceItem() {
    for (HICON owned : {icon, largeIcon}) {
        if (owned && ownsIcon)
            DestroyIcon(owned);
    }
}

FolderBrowser::~FolderBrowser() {
    ClearDevices();
    for (auto& drive : driveIcons_) {
        for (HICON icon : {drive.second.first, drive.second.second}) {
            if (icon)
                DestroyIcon(icon);
        }
    }
}

int FolderBrowser::GetHead(std::vector<std::wstring>& list) const {
    list.clear();
    if (archiver)
        list.assign(std::begin(archiveTitles), std::end(archiveTitles));
    else
        list.assign(std::begin(diskTitles), std::end(diskTitles));
    return static_cast<int>(list.size());
}

int FolderBrowser::GetItemCount() const {
    return static_cast<int>(ShowsNodes() ? nodes.size() : items.size());
}

// A disk row's Modified text, made when asked for; none for the up row or a drive.
static std::wstring DiskModifiedText(const ItemData& row, ModifiedTextCache& cache) {
    if (!row.modifiedText.empty() || IsUpRow(row) ||
        (row.modified.dwLowDateTime == 0 && row.modified.dwHighDateTime == 0))
        return row.modifiedText;
    return FormatFileTime(row.modified, &cache);
}

ItemData FolderBrowser::GetItem(int i) const {
    if (i < 0 || i >= GetItemCount())
        return ItemData();
    if (ShowsNodes())
        return archiver->MakeRow(nodes[static_cast<size_t>(i)]);
    ItemData row = items[static_cast<size_t>(i)];
    row.modifiedText = DiskModifiedText(row, modifiedTexts_);
    return row;
}

std::wstring FolderBrowser::GetItemName(int i) const {
    if (i < 0 || i >= GetItemCount())
        return std::wstring();
    if (ShowsNodes() && finding_)
        return FoundName(nodes[static_cast<size_t>(i)]);
    if (ShowsNodes())
        return archiver->RowName(nodes[static_cast<size_t>(i)]);
    return items[static_cast<size_t>(i)].name;
}

HICON FolderBrowser::GetItemIcon(int i, int pixels) {
    if (i < 0 || i >= GetItemCount())
        return nullptr;
    if (ShowsNodes()) {
        ArchiveTree::Node node = nodes[static_cast<size_t>(i)];
        return IconForSize(archiver->RowIcon(node), archiver->RowIcon(node, true), pixels);
    }
    ItemData& row = items[static_cast<size_t>(i)];
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

int FolderBrowser::FindRow(const std::wstring& path) const {
    if (ShowsNodes()) {
        ArchiveTree::Node wanted = archiver->tree.Find(WideToUtf8(path));
        for (size_t i = 0; wanted != ArchiveTree::none && i < nodes.size(); ++i) {
            if (nodes[i] == wanted)
                return static_cast<int>(i);
        }
        return -1;
    }
    for (size_t i = 0; i < items.size(); ++i) {
        if (_wcsicmp(items[i].path.c_str(), path.c_str()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::wstring FolderBrowser::GetItemText(int i, int column, UINT& flag) const {
    if (i < 0 || i >= GetItemCount())
        return std::wstring();
    // The columns by position: Name, Size, (Packed,) Type, Modified.
    int shift = archiver ? 1 : 0;
    if (ShowsNodes()) {
        ArchiveTree::Node node = nodes[static_cast<size_t>(i)];
        if (column == 1 || column == 2)
            flag = DT_RIGHT;
        switch (column) {
        case 0:
            return finding_ ? FoundName(node) : archiver->RowName(node);
        case 1:
            return archiver->RowSize(node);
        case 2:
            return archiver->RowPackedSize(node);
        case 3:
            return archiver->RowType(node);
        case 4:
            return archiver->RowModified(node);
        }
        return std::wstring();
    }
    const ItemData& row = items[static_cast<size_t>(i)];
    if (column == 0)
        return row.name;
    if (column == 1) {
        flag = DT_RIGHT;
        return row.size;
    }
    if (archiver && column == 2) {
        flag = DT_RIGHT;
        return row.packedSize;
    }
    if (column == 2 + shift)
        return row.type;
    if (column == 3 + shift)
        return DiskModifiedText(row, modifiedTexts_);
    return std::wstring();
}

void FolderBrowser::ClearItems() {
    // Archive rows carry the Archiver's icons; only the disk rows' own are destroyed.
    for (HICON icon : ownedIcons_)
        DestroyIcon(icon);
    ownedIcons_.clear();
    looks_.clear();
    items.clear();
    nodes.clear();
    ForgetFind(); // another place: a find ends there
    current -= static_cast<int>(pathItems.size());
    if (current < 0)
        current = 0;
    pathItems.clear();
}

const FolderBrowser::ShellLook* FolderBrowser::CachedLook(const std::wstring& name,
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

int FolderBrowser::AddFileItem(const std::wstring& name, const std::wstring& path,
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
    items.push_back(std::move(row));
    return GetItemCount() - 1;
}

int FolderBrowser::BrowseFolder(const std::wstring& path) {
    ClearItems();
    folder = path;
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
                AddFileItem(fileName, rowPath, &found);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    SortItems();
    BuildPathItems(path);
    return GetItemCount();
}

int FolderBrowser::ListDrives() {
    ClearItems();
    DWORD drives = GetLogicalDrives();
    for (int bit = 0; bit < 26; ++bit) {
        if (drives & (1u << bit)) {
            std::wstring drive = std::wstring(1, static_cast<wchar_t>(L'A' + bit)) + L":";
            AddFileItem(drive, drive, nullptr);
        }
    }
    return GetItemCount();
}

void FolderBrowser::SortItems() {
    std::vector<std::wstring> head;
    GetHead(head);
    // A sort column left over from the other mode, beyond this one's columns, sorts by name.
    std::wstring title = sortColumn >= 0 && sortColumn < static_cast<int>(head.size())
                             ? head[static_cast<size_t>(sortColumn)]
                             : L"Name";
    const bool descending = sortOrder == 2;
    if (ShowsNodes()) {
        SortNodes(title, descending);
        return;
    }

    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<std::string> nameKeys;
    bool plainNames =
        title == L"Name" && std::all_of(items.begin(), items.end(),
                                        [](const ItemData& row) { return IsPlainName(row.name); });
    if (title == L"Name") {
        nameKeys.reserve(items.size());
        for (const ItemData& row : items)
            nameKeys.push_back(plainNames ? PlainKey(row.name) : SortKey(row.name));
    }
    // Negative when row a goes before row b by the key alone.
    auto compareKeys = [&](size_t a, size_t b) -> int {
        const ItemData& first = items[a];
        const ItemData& second = items[b];
        if (title == L"Name")
            return nameKeys[a].compare(nameKeys[b]);
        if (title == L"Size")
            return CompareNumberText(first.size, second.size);
        if (title == L"Packed")
            return CompareNumberText(first.packedSize, second.packedSize);
        if (title == L"Modified") {
            uint64_t x = TimeValue(first.modified);
            uint64_t y = TimeValue(second.modified);
            return x < y ? -1 : (x == y ? 0 : 1);
        }
        return 0; // Type: no order of its own
    };
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        int groupA = Group(items[a]);
        int groupB = Group(items[b]);
        if (groupA != groupB)
            return groupA < groupB;
        int result = compareKeys(a, b);
        return descending ? result > 0 : result < 0;
    });

    std::vector<ItemData> sorted;
    sorted.reserve(items.size());
    for (size_t index : order)
        sorted.push_back(std::move(items[index]));
    items = std::move(sorted);
}

// An archive's rows sort by the same rules as a disk folder's, from the tree's numbers and
// names, without making their texts.
void FolderBrowser::SortNodes(const std::wstring& title, bool descending) {
    if (finding_ && title == L"Name") {
        SortFoundNodes(descending);
        return;
    }
    const ArchiveTree& tree = archiver->tree;
    auto group = [&](ArchiveTree::Node node) {
        if (node == ArchiveTree::none)
            return 0;
        return tree.IsFolder(node) ? 1 : 2;
    };
    std::vector<std::string> nameKeys;
    if (title == L"Name") {
        bool plainNames = std::all_of(nodes.begin(), nodes.end(), [&](ArchiveTree::Node node) {
            if (node == ArchiveTree::none)
                return true;
            std::string_view name = tree.Name(node);
            return std::all_of(name.begin(), name.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.';
            });
        });
        nameKeys.reserve(nodes.size());
        for (ArchiveTree::Node node : nodes) {
            if (node == ArchiveTree::none) {
                nameKeys.emplace_back();
            } else if (plainNames) {
                std::string key(tree.Name(node));
                for (char& c : key)
                    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                nameKeys.push_back(std::move(key));
            } else {
                nameKeys.push_back(SortKey(archiver->RowName(node)));
            }
        }
    }
    // Sizes the rows do not show (a folder's, one the archive does not give) come first.
    auto compareSizes = [](bool knownA, uint64_t a, bool knownB, uint64_t b) {
        if (knownA != knownB)
            return knownA ? 1 : -1;
        return a < b ? -1 : (a == b ? 0 : 1);
    };
    auto compareKeys = [&](size_t a, size_t b) -> int {
        ArchiveTree::Node first = nodes[a];
        ArchiveTree::Node second = nodes[b];
        if (title == L"Name")
            return nameKeys[a].compare(nameKeys[b]);
        if (first == ArchiveTree::none || second == ArchiveTree::none)
            return 0;
        const ArchiveTree::Entry& x = tree.EntryOf(first);
        const ArchiveTree::Entry& y = tree.EntryOf(second);
        if (title == L"Size")
            return compareSizes(x.hasSize && !tree.IsFolder(first), x.size,
                                y.hasSize && !tree.IsFolder(second), y.size);
        if (title == L"Packed")
            return compareSizes(x.hasPackedSize && !tree.IsFolder(first), x.packedSize,
                                y.hasPackedSize && !tree.IsFolder(second), y.packedSize);
        if (title == L"Modified") {
            uint64_t p = TimeValue(x.modified);
            uint64_t q = TimeValue(y.modified);
            return p < q ? -1 : (p == q ? 0 : 1);
        }
        return 0; // Type: no order of its own
    };
    std::vector<uint32_t> order(nodes.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        int groupA = group(nodes[a]);
        int groupB = group(nodes[b]);
        if (groupA != groupB)
            return groupA < groupB;
        int result = compareKeys(a, b);
        return descending ? result > 0 : result < 0;
    });
    std::vector<ArchiveTree::Node> sorted;
    sorted.reserve(nodes.size());
    for (uint32_t index : order)
        sorted.push_back(nodes[index]);
    nodes = std::move(sorted);
}

bool FolderBrowser::IsSortable(int position) const {
    std::vector<std::wstring> head;
    int count = GetHead(head);
    return position >= 0 && position < count &&
           head[static_cast<size_t>(position)].find(L"Type") == std::wstring::npos;
}

bool FolderBrowser::SortByColumn(int position) {
    if (!IsSortable(position))
        return false;
    sortOrder = position == sortColumn && sortOrder == 1 ? 2 : 1;
    sortColumn = position;
    SortItems();
    return true;
}

bool FolderBrowser::IsFolderRow(int i) const {
    if (i < 0 || i >= GetItemCount())
        return false;
    if (ShowsNodes()) {
        ArchiveTree::Node node = nodes[static_cast<size_t>(i)];
        return node == ArchiveTree::none || archiver->tree.IsFolder(node);
    }
    return (items[static_cast<size_t>(i)].attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint64_t FolderBrowser::RowBytes(int i) const {
    if (i < 0 || i >= GetItemCount() || IsFolderRow(i))
        return 0;
    if (ShowsNodes()) {
        const ArchiveTree::Entry& entry = archiver->tree.EntryOf(nodes[static_cast<size_t>(i)]);
        return entry.hasSize ? entry.size : 0;
    }
    return items[static_cast<size_t>(i)].bytes;
}
