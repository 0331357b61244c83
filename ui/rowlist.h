#pragma once

#include "archive/archivetree.h"
#include "archive/archivetypes.h"
#include "archive/textconv.h"

#include <windows.h>

#include <string>
#include <unordered_map>
#include <vector>

class Archiver;

// The rows of the browser's list and their order. On the disk they are a folder's rows (or
// the drives), each with its texts. In an archive they are the tree's nodes of one folder,
// whose texts are made only when drawn (a million rows cost four bytes each); during a
// find, the nodes found anywhere, named by their paths.
class RowList {
  public:
    RowList() = default;
    ~RowList();
    RowList(const RowList&) = delete;
    RowList& operator=(const RowList&) = delete;

    // The archive whose nodes are shown; null on the disk.
    void SetArchive(Archiver* archive) { archive_ = archive; }
    Archiver* Archive() const { return archive_; }
    // Found rows are named by their paths, and sorted by name in the order of their paths.
    void SetFound(bool found) { found_ = found; }

    // --- what a row shows ---

    // The column titles of the current mode; returns their number.
    int Head(std::vector<std::wstring>& titles) const;
    int Count() const;
    // A copy of row `i` with all its texts, or an empty row when `i` is out of range.
    ItemData Get(int i) const;
    // Its name alone, made without the other texts.
    std::wstring Name(int i) const;
    // The text of a cell; `flag` becomes DT_RIGHT for a right-aligned column.
    std::wstring Text(int i, int column, UINT& flag) const;
    // A row's icon, the shell's small or large one as suits drawing it at `pixels`; a file
    // whose icon is its own is asked for it now, the first time.
    HICON Icon(int i, int pixels = 16);
    // Whether row `i` is a folder (the up row is one), and its bytes (a file's size; 0 for a
    // folder or a size the archive does not give).
    bool IsFolder(int i) const;
    uint64_t Bytes(int i) const;
    // An archive file on the disk; a row no command but Open acts on (the up row, a drive);
    // a row's path as the path box would take it (inside an archive, the archive's path and
    // the entry's).
    bool IsArchiveFile(int i) const;
    bool IsDriveOrUp(int i) const;
    std::wstring FullPath(int i) const;

    // --- finding rows ---

    // The row whose path is `path` (letter case aside); -1 when none is.
    int Find(const std::wstring& path) const;
    // The rows whose paths are among `paths` (letter case aside on the disk), and the one of
    // path `focusedPath` (-1 when none is): in one pass, however many there are.
    void WithPaths(const std::vector<std::wstring>& paths, const std::wstring& focusedPath,
                   std::vector<int>& rows, int& focused) const;

    // --- filling ---

    // Empties the rows; the icons of disk rows go with them.
    void Clear();
    // Appends one disk row; `findData` may be null (drives). Returns the row's index.
    int AddFileRow(const std::wstring& name, const std::wstring& path,
                   const WIN32_FIND_DATAW* findData);
    const std::vector<ItemData>& DiskRows() const { return items_; }
    void SetDiskRows(std::vector<ItemData> rows) { items_ = std::move(rows); }
    const std::vector<ArchiveTree::Node>& Nodes() const { return nodes_; }
    void SetNodes(std::vector<ArchiveTree::Node> nodes) { nodes_ = std::move(nodes); }

    // --- order ---

    // The up row first, then folders, then files, each in the order of the sort column.
    void Sort();
    // A column-header click: the same column again reverses the order. False when the
    // column cannot be sorted by.
    bool SortByColumn(int position);
    bool IsSortable(int position) const;
    int SortColumn() const { return sortColumn_; }
    // 1 ascending, 2 descending.
    int SortOrder() const { return sortOrder_; }

  private:
    bool ShowsNodes() const { return archive_ && !nodes_.empty(); }
    void SortNodes(const std::wstring& title, bool descending);
    // Found rows by name: folders first, each group in the order of the paths.
    void SortFoundNodes(bool descending);
    // A found row's name: its path in the archive.
    std::wstring FoundName(ArchiveTree::Node node) const;

    // What the shell says of a kind of file: asked once per extension where nothing but
    // the extension decides, so that a folder of 10,000 files costs a handful of calls.
    struct ShellLook {
        HICON icon = nullptr;
        HICON largeIcon = nullptr;
        std::wstring type;
        bool hidesExtension = false;
    };
    const ShellLook* CachedLook(const std::wstring& name, const std::wstring& path,
                                const WIN32_FIND_DATAW* findData);
    // Its icons are destroyed when the rows go.
    template <typename WithIcons> void Own(const WithIcons& owner) {
        for (HICON icon : {owner.icon, owner.largeIcon}) {
            if (icon)
                ownedIcons_.push_back(icon);
        }
    }

    Archiver* archive_ = nullptr;
    bool found_ = false;
    std::vector<ItemData> items_;
    std::vector<ArchiveTree::Node> nodes_;
    int sortColumn_ = 0;
    int sortOrder_ = 1;
    // Icons of disk rows, each destroyed once when the rows go (rows of one kind share one).
    std::vector<HICON> ownedIcons_;
    std::unordered_map<std::wstring, ShellLook> looks_;
    // The disk rows' Modified texts already made, by day and minute: they are made when a
    // row is drawn, not for all rows before the first is.
    mutable ModifiedTextCache modifiedTexts_;
};

// A row of the drive list ("D:"). Handed to the shell, "D:" would mean the current folder
// of that drive.
bool IsDriveRow(const ItemData& row);
// A disk row the archive commands take: a file the program opens as an archive.
bool IsArchiveRow(const ItemData& row);

// Compares two digit texts such as sizes ("1,000"): the longer is the greater, texts of
// equal length compare as text. So an empty text comes before any number.
int CompareNumberText(const std::wstring& a, const std::wstring& b);

// "1,000,000" for a file size given in its two halves; "" for 0.
std::wstring FormatSize(DWORD high, DWORD low);
// A file time as the local short date and the time without seconds; with a cache, the
// texts of the days and minutes already seen are used again.
std::wstring FormatFileTime(const FILETIME& time, ModifiedTextCache* cache = nullptr);
