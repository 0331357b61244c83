#pragma once

#include "archive/library/extraction.h"

#include <functional>
#include <string>
#include <vector>

class FolderBrowser;

// What the browser's commands do with the selected rows (by their numbers in the list),
// on the disk or in the archive shown: Add, Extract, Delete, Test, Extract Here, Extract to
// Folder, files dropped, and a fresh look at what is shown. Each says itself when it
// cannot act, and shows the place anew afterwards.
class BrowserCommands {
  public:
    explicit BrowserCommands(FolderBrowser& browser) : browser_(browser) {}
    BrowserCommands(const BrowserCommands&) = delete;
    BrowserCommands& operator=(const BrowserCommands&) = delete;

    int AddSelection(const std::vector<int>& rows);
    int ExtractSelection(const std::vector<int>& rows);
    int DeleteSelection(const std::vector<int>& rows);
    int AddDroppedFiles(const std::vector<std::wstring>& files);
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

    // Gives row `row` the name `typed` (as Explorer takes it): in the archive, the entry and
    // all it holds, in one run of the tool; on the disk, as the shell renames. A name that
    // cannot be given is refused with a message first. 0 when renamed, with `renamed` the
    // row's new path; -1 otherwise.
    int RenameRow(int row, const std::wstring& typed, std::wstring& renamed);
    // Makes "New folder" ("New folder (2)" when that is taken) in the folder shown. 0 when
    // made, with `made` its path as its row has it; -1 otherwise (said).
    int NewFolder(std::wstring& made);
    // Copies `files` into the disk folder shown, or moves them there when `move`, as the
    // shell does (asking before a file there is replaced). 0 when all went.
    int PasteFiles(const std::vector<std::wstring>& files, bool move);
    // Moves the archive's rows into the folder of row `folderRow`, as a drag onto it does.
    // 0 when moved.
    int MoveRowsInto(const std::vector<int>& rows, int folderRow);

  private:
    int ExtractArchives(
        const std::vector<int>& rows,
        const std::function<int(const std::wstring&, CancelFlag, ExtractReport&)>& extract);

    FolderBrowser& browser_;
};
