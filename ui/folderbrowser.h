#pragma once

#include "ui/browsercommands.h"
#include "ui/finder.h"
#include "ui/folderwatch.h"
#include "ui/locationbar.h"
#include "ui/rowlist.h"

#include <cstdint>
#include <string>

class Archiver;

// Posted to the main window when a copy of an opened entry may have been saved.
const UINT WM_EDITED_COPY = WM_APP + 22;

// The model behind the browser view: the place shown and the ways to another one. It works
// on a disk folder (or the drives) in disk mode, and on one folder of an open archive in
// archive mode. What it shows are its rows; where it is, its location bar; a find narrows
// the rows; the commands act on them.
class FolderBrowser {
  public:
    FolderBrowser() = default;
    ~FolderBrowser();
    FolderBrowser(const FolderBrowser&) = delete;
    FolderBrowser& operator=(const FolderBrowser&) = delete;

    RowList& rows() { return rows_; }
    const RowList& rows() const { return rows_; }
    LocationBar& locations() { return locations_; }
    const LocationBar& locations() const { return locations_; }
    Finder& finder() { return finder_; }
    const Finder& finder() const { return finder_; }
    BrowserCommands& commands() { return commands_; }
    // The archive open, or null in disk mode; the disk folder shown.
    Archiver* archive() const { return archiver_; }
    const std::wstring& folder() const { return folder_; }

    // --- on the disk ---

    // Empties the rows and the path entries of the location bar; a find ends.
    void ClearRows();
    // Lists a disk folder; returns the row count.
    int BrowseFolder(const std::wstring& path);
    // Lists the drives; returns the row count.
    int ListDrives();
    // The fixed places of the location bar, and nothing shown yet.
    void BuildDevices();

    // --- into and out of archives ---

    // Opens row `i`: enters a folder, opens an archive, launches a file. More than 0 when
    // the view must show the model anew.
    int ActivateItem(int i);
    bool OpenArchive(const std::wstring& path);
    int GoToArchivePath(const std::wstring& path);
    int ShowArchiveFolder();
    // After a job that lists the archive again: its folder, or, when it could not be
    // listed, the folder on disk that holds it (said, unless the user cancelled).
    int ShowArchiveOrItsFolder();
    // Leaves the archive; a change saved in an opened entry and not yet written is asked
    // about first (Yes writes it, No leaves it out).
    void CloseArchive();

    // --- entries opened with their programs ---

    // Asks about each opened entry saved since the last look, writing back what the user
    // says Yes to; true when the view must show the archive anew.
    bool CheckEditedCopies();
    // Before the window closes: asks about each change not yet written, with Cancel to
    // stay. False when the user stays.
    bool MayClose();

    // --- places ---

    // Shows location `i`; true when the view must be refreshed.
    bool SelectLocation(int i);
    bool OpenLocation(int i, const std::wstring& path);
    // Shows what a path typed by the user names: a folder, an archive, or a folder inside
    // an archive. False when it names nothing.
    bool OpenTypedPath(const std::wstring& text);
    std::wstring GetCurrentPath() const { return locations_.CurrentPath(); }
    // The path of the row that stands for the place shown in the list of the place above
    // it: the folder (or archive) that going up leaves.
    std::wstring ShownPlacePath() const;

  private:
    int OpenArchiveItem(int i);
    // Watches the folder of the opened entries' copies, once there is one.
    void WatchCopies();

    RowList rows_;
    LocationBar locations_;
    Finder finder_{rows_};
    BrowserCommands commands_{*this};
    Archiver* archiver_ = nullptr;
    std::wstring folder_;
    // The copies of the archive's opened entries, watched for saves.
    FolderWatch copies_;
};

// What the window says when an archive could not be opened: "Couldn't open the file.",
// and why: cut short or damaged (the engine's `openErrors`), or the file itself cannot be
// read (another program holds it, no permission).
std::wstring OpenFailureMessage(const std::wstring& path, uint32_t openErrors = 0);
