#pragma once

#include "archive/archivetypes.h"
#include "archive/library/extraction.h"
#include "archive/namematch.h"
#include "archive/textconv.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Archiver;

// One entry of the location bar: a place to go to.
struct DeviceItem {
    DeviceItem() = default;
    ~DeviceItem();
    DeviceItem(const DeviceItem&) = delete;
    DeviceItem& operator=(const DeviceItem&) = delete;

    std::wstring name;         // shown in the drop-down list
    std::wstring path;         // a folder's path ends with a backslash; "Computer" for the drives
    int level = 0;             // indentation, 8 pixels a level at 100 % scale
    HICON icon = nullptr;      // owned unless the model lends it (path entries)
    HICON largeIcon = nullptr; // the shell's large one, owned as `icon` is
    bool ownsIcon = true;
    // A fixed place's large icon is asked for only when it is drawn at a size that needs it:
    // by its path, or by its shell folder (CSIDL) for a place without one.
    bool largeIconPending = false;
    int shellFolder = -1;
};

// The model behind the browser view: the rows of the list, the places of the location
// bar, and what a double-click, a column click or a chosen place shows. It works on a
// disk folder (or the drives) in disk mode, and on one folder of an open archive in
// archive mode.
class FolderBrowser {
  public:
    FolderBrowser() = default;
    ~FolderBrowser();
    FolderBrowser(const FolderBrowser&) = delete;
    FolderBrowser& operator=(const FolderBrowser&) = delete;

    // --- rows and columns (folderbrowser.cpp) ---

    // The column titles of the current mode; returns their number.
    int GetHead(std::vector<std::wstring>& list) const;
    int GetItemCount() const;
    // A copy of row `i` with all its texts, or an empty row when `i` is out of range.
    ItemData GetItem(int i) const;
    // Its name alone, made without the other texts.
    std::wstring GetItemName(int i) const;
    // A row's icon, the shell's small or large one as suits drawing it at `pixels`; a file
    // whose icon is its own is asked for it now, the first time.
    HICON GetItemIcon(int i, int pixels = 16);
    // The row whose path is `path` (letter case aside); -1 when none is.
    int FindRow(const std::wstring& path) const;
    // The text of a cell; `flag` becomes DT_RIGHT for a right-aligned column.
    std::wstring GetItemText(int i, int column, UINT& flag) const;

    // Empties the rows and the path entries of the location bar.
    void ClearItems();
    // Appends one disk row; `findData` may be null (drives). Returns the row's index.
    int AddFileItem(const std::wstring& name, const std::wstring& path,
                    const WIN32_FIND_DATAW* findData);
    // Lists a disk folder; returns the row count.
    int BrowseFolder(const std::wstring& path);
    // Lists the drives; returns the row count.
    int ListDrives();

    // The up row first, then folders, then files, each in the order of the sort column.
    void SortItems();
    // A column-header click: the same column again reverses the order. False when the
    // column cannot be sorted by.
    bool SortByColumn(int position);
    bool IsSortable(int position) const;

    // Opens row `i`: enters a folder, opens an archive, launches a file. More than 0 when
    // the view must show the model anew.
    int ActivateItem(int i);
    bool OpenArchive(const std::wstring& path);
    int OpenArchiveItem(int i);
    int GoToArchivePath(const std::wstring& path);
    int ShowArchiveFolder();
    // After a job that lists the archive again: its folder, or, when it could not be
    // listed, the folder on disk that holds it (said, unless the user cancelled).
    int ShowArchiveOrItsFolder();
    void CloseArchive();
    // Shows what a path typed by the user names: a folder, an archive, or a folder inside
    // an archive. False when it names nothing.
    bool OpenTypedPath(const std::wstring& text);
    // The path of the row that stands for the place shown in the list of the place above
    // it: the folder (or archive) that going up leaves.
    std::wstring ShownPlacePath() const;

    // --- the location bar (locations.cpp) ---

    bool BuildDevices();
    void ClearDevices();
    int AddDevice(const std::wstring& name, const std::wstring& path, int level);
    int AddSpecialFolder(const std::wstring& name, int folderId, int level);
    std::unique_ptr<DeviceItem> MakeLocation(const std::wstring& name, const std::wstring& path,
                                             int level);
    int BuildPathItems(const std::wstring& path);
    int GetLocationCount() const;
    const DeviceItem* GetLocation(int i) const;
    // Entry `i`'s icon, the small or the large one as suits drawing it at `pixels`.
    HICON GetLocationIcon(int i, int pixels);
    std::wstring GetLocationName(int i) const;
    std::wstring GetLocationPath(int i) const;
    std::wstring GetCurrentPath() const;
    // Shows location `i`; true when the view must be refreshed.
    bool SelectLocation(int i);
    bool OpenLocation(int i, const std::wstring& path);

    // --- the commands (browsercommands.cpp) ---

    int AddSelection(const std::vector<int>& rows);
    int ExtractSelection(const std::vector<int>& rows);
    int DeleteSelection(const std::vector<int>& rows);
    int AddDroppedFiles(const std::vector<std::wstring>& files);
    // For the status line: whether row `i` is a folder (the up row is one), and its bytes
    // (a file's size; 0 for a folder or a size the archive does not give).
    bool IsFolderRow(int i) const;
    uint64_t RowBytes(int i) const;
    // Reads what is shown again: the archive (staying in its folder), or the disk folder
    // or the drives.
    void Reload();
    // Tests the selected entries (none: the whole archive), or on the disk the one selected
    // archive, and says how it went. 0 when no errors were found, 1 when some were, -1 when
    // refused or stopped by the user.
    int TestSelection(const std::vector<int>& rows);
    // "Extract to Folder" for each selected archive on the disk; the disk folder is listed
    // again. 0 when every one came out (`made`: the path of the last folder or entry made),
    // 1 when one failed (said), -1 when refused or stopped by the user.
    int ExtractToFolderSelection(const std::vector<int>& rows, std::wstring& made);
    // "Extract Here" for each selected archive on the disk: into the folder that holds it,
    // asking before a file there is replaced. The same outcomes.
    int ExtractHereSelection(const std::vector<int>& rows);
    // For the row menu: an archive file on the disk; a row no command but Open acts on (the
    // up row, a drive); a row's path as the path box would take it (inside an archive, the
    // archive's path and the entry's).
    bool IsArchiveFileRow(int i) const;
    bool IsDriveOrUpRow(int i) const;
    std::wstring RowFullPath(int i) const;

    // --- find (finding.cpp) ---

    // Shows the rows whose names contain `text`, letter case aside: in an archive every
    // entry in every folder, named by its path from the archive's root; on the disk the
    // rows of the folder shown. The first find keeps the rows shown, with the rows
    // `selected` and `focused` among them, to come back to.
    void Find(const std::wstring& text, const std::vector<int>& selected, int focused);
    // Back to the rows shown before the find, in the order the list is sorted by now;
    // `selected` and `focused` get the rows that were selected and focused then.
    void EndFind(std::vector<int>& selected, int& focused);
    bool IsFinding() const { return finding_; }
    // During a find, the paths of the rows selected and focused in the place shown before
    // it: what a command that lists the place again (Delete, F5) brings back for Esc.
    void SelectionBeforeFind(std::vector<std::wstring>& selected, std::wstring& focused) const;
    // The rows shown whose paths are among `paths` (letter case aside on the disk), and the
    // one of path `focusedPath` (-1 when none is): in one pass, however many there are.
    void RowsWithPaths(const std::vector<std::wstring>& paths, const std::wstring& focusedPath,
                       std::vector<int>& rows, int& focused) const;
    // Readies a find in an archive (its entries in the order of their paths), so that the
    // first letter typed shows its rows as soon as the others: when the find box gets the
    // keyboard.
    void PrepareFind();

    // The computer's entry in the location bar is known by this path.
    static const wchar_t computerPath[];

    // --- state ---

    std::vector<std::unique_ptr<DeviceItem>> devices;
    int current = -1;
    std::wstring folder;
    // The rows: a disk folder's, each with its texts, or, in an archive, its nodes, whose
    // texts are made only when drawn (a million rows cost four bytes each).
    std::vector<ItemData> items;
    std::vector<ArchiveTree::Node> nodes;
    std::vector<std::unique_ptr<DeviceItem>> pathItems;
    Archiver* archiver = nullptr;
    int sortColumn = 0;
    int sortOrder = 1; // 1 ascending, 2 descending

  private:
    bool ShowsNodes() const { return archiver && !nodes.empty(); }
    int ExtractArchives(
        const std::vector<int>& rows,
        const std::function<int(const std::wstring&, CancelFlag, ExtractReport&)>& extract);
    void SortNodes(const std::wstring& title, bool descending);
    // Found rows by name: folders first, each group in the order of the paths.
    void SortFoundNodes(bool descending);
    // A found row's name: its path in the archive.
    std::wstring FoundName(ArchiveTree::Node node) const;
    void ForgetFind();

    // What a find keeps: the rows shown before it and what of them was selected, and what
    // the last text found (the next, longer text looks only among those).
    bool finding_ = false;
    std::unique_ptr<NameMatcher> lastMatcher_;
    std::vector<ArchiveTree::Node> found_; // in the order of their paths
    std::vector<ArchiveTree::Node> savedNodes_;
    std::vector<ItemData> savedItems_;
    int savedSortColumn_ = 0;
    int savedSortOrder_ = 1;
    std::vector<ArchiveTree::Node> savedSelectedNodes_;
    ArchiveTree::Node savedFocusedNode_ = ArchiveTree::none;
    std::vector<std::wstring> savedSelectedPaths_;
    std::wstring savedFocusedPath_;

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
    // Entry `i` of the location bar; null past its ends.
    DeviceItem* Location(int i) const;
    // A drive's own icon ("C:"), small or large, asked once.
    HICON DriveIcon(const std::wstring& drive, bool large);

    // Icons of disk rows, each destroyed once when the rows go (rows of one kind share one).
    std::vector<HICON> ownedIcons_;
    std::unordered_map<std::wstring, ShellLook> looks_;
    // The disk rows' Modified texts already made, by day and minute: they are made when a
    // row is drawn, not for all rows before the first is.
    mutable ModifiedTextCache modifiedTexts_;
    // The shell's icons of the drives in the path: the other segments have the look of
    // their kind. Small and large; destroyed with the model.
    std::unordered_map<std::wstring, std::pair<HICON, HICON>> driveIcons_;
};

// Compares two digit texts such as sizes ("1,000"): the longer is the greater, texts of
// equal length compare as text. So an empty text comes before any number.
int CompareNumberText(const std::wstring& a, const std::wstring& b);

// "1,000,000" for a file size given in its two halves; "" for 0.
std::wstring FormatSize(DWORD high, DWORD low);
// A file time as the local short date and the time without seconds; with a cache, the
// texts of the days and minutes already seen are used again.
std::wstring FormatFileTime(const FILETIME& time, ModifiedTextCache* cache = nullptr);

// What the window says when an archive could not be opened: "Couldn't open the file.",
// and why: cut short or damaged (the engine's `openErrors`), or the file itself cannot be
// read (another program holds it, no permission).
std::wstring OpenFailureMessage(const std::wstring& path, uint32_t openErrors = 0);
