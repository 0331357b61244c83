#pragma once

#include "archive/addoptions.h"
#include "archive/archivetypes.h"
#include "archive/editedentries.h"
#include "archive/library/extraction.h"
#include "archive/library/listing.h"
#include "archive/outcome.h"
#include "archive/textconv.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Kinds of job that can run on the Archiver.
enum ArchiverMode : int32_t {
    ModeNone = 0,
    ModeOpen = 1,
    ModeAdd = 2,
    ModeExtract = 3,
    ModeDelete = 4,
};

// One archive an add makes or changes, and the files and folders that go into it.
struct AddTarget {
    std::wstring archive;
    std::vector<std::wstring> files;
};

// The open archive: its path, its tree of entries, the rows of the folder shown and the
// state of the job that runs on it. There is one per process (GetArchiver).
class Archiver {
  public:
    Archiver() = default;
    ~Archiver();
    Archiver(const Archiver&) = delete;
    Archiver& operator=(const Archiver&) = delete;

    // --- the archive tree ---

    // Builds the tree from a listing; advances the progress counters per entry.
    void BuildTree(const ArchiveContents& contents);

    // --- the rows of the folder shown ---

    // Lists the folder `path` into `rows`: the ".." row, then one row per child in
    // archive order. A path that names no folder (any more) lists the nearest folder above.
    // The rows are nodes: their texts are made only when they are asked for.
    void ListFolder(const std::string& path);
    int GetRowCount() const;
    // A copy of the row with all its texts, or an empty row when `index` is outside the
    // list.
    ItemData GetRow(int index) const;
    // The row of a node (`ArchiveTree::none`: the ".." row), with all its texts.
    ItemData MakeRow(ArchiveTree::Node node) const;
    // The texts and the icon of a node's row, one at a time, as the list draws them.
    std::wstring RowName(ArchiveTree::Node node) const;
    std::wstring RowSize(ArchiveTree::Node node) const;
    std::wstring RowPackedSize(ArchiveTree::Node node) const;
    std::wstring RowType(ArchiveTree::Node node) const;
    std::wstring RowModified(ArchiveTree::Node node) const;
    // `large`: the shell's large icon, for rows drawn at a high display scale.
    HICON RowIcon(ArchiveTree::Node node, bool large = false) const;
    // The archive path, followed by the folder shown.
    std::wstring GetDisplayPath() const;
    // Shows the folder that a path typed by the user names; returns the row count.
    int GoTo(const std::wstring& text);

    void ClearRows();
    void ClearTree();

    // Every node of the tree in the order of their paths (see ArchiveTree::PathOrder), made
    // the first time a find asks and kept until the archive is listed again; and a node's
    // place in that order.
    const std::vector<ArchiveTree::Node>& PathOrder();
    uint32_t PathRank(ArchiveTree::Node node) const { return pathRanks_[node]; }
    void Close();
    void RemoveTempFolder();

    // --- jobs ---

    // Lists the archive at `path` under a progress dialog and shows its root. True when
    // it was listed; false when it could not be, or the user cancelled (openStoppedByUser
    // then tells).
    bool Open(const std::wstring& path);
    // Lists the open archive again after a job changed it, staying in the folder shown.
    void Refresh();

    // Activates a row: enters a folder (returns the new row count), or extracts the entry
    // to a scratch folder and opens it with its program (returns 0).
    int OpenItem(const std::wstring& path);
    // Extracts the entry at `path` (any folder's) to a scratch folder and opens it with its
    // program; an archive opens in a second window of the program.
    void OpenEntry(const std::wstring& path);
    // Extracts the entry at `path` into `folder`; `extractedPath` gets the file written.
    bool ExtractEntryInto(const std::wstring& path, const std::wstring& folder,
                          std::wstring& extractedPath);
    // Extracts the entries at these paths (folders with what they hold) into a scratch
    // folder of the program's own, under a progress dialog that comes up after half a
    // second. False when not all came out: said, unless the user stopped it.
    bool ExtractEntriesToScratch(const std::vector<std::wstring>& paths,
                                 const std::wstring& folder);
    // Extracts the named rows of the folder shown into `folder` under a progress dialog.
    int ExtractItems(const std::vector<std::wstring>& names, const std::wstring& folder);
    // The same for entries named by their paths from the archive's root, in any folder.
    int ExtractEntries(const std::vector<std::wstring>& paths, const std::wstring& folder);

    // Adds files and folders into the folder shown, with the archive's password, under a
    // progress dialog. -1 when the archive cannot be changed (RAR, say); otherwise 0. The
    // caller refreshes.
    int AddFiles(const std::vector<std::wstring>& newFiles);
    // The same into `folder` ("" the root), whichever folder is shown.
    int AddFilesInto(const std::vector<std::wstring>& newFiles, const std::string& folder);
    // Adds files and folders to the root of `archive` (made when missing), with `password`
    // unless it is empty, in the format its name says. Always 0.
    int AddToArchive(const std::wstring& archive, const std::vector<std::wstring>& newFiles,
                     const std::wstring& newPassword);
    // Adds each target's files to the root of its archive as `options` say (a new
    // archive gets their format; one that is there keeps its own), in one job under one
    // progress dialog. The password comes in the options and is not kept once the job has
    // ended. What did not go as asked is said; the end is in lastOutcome.
    void CreateArchives(const std::vector<AddTarget>& targets, AddOptions options);
    // Deletes the named rows of the folder shown from the archive, then lists the archive
    // again. -1 when the archive cannot be changed; otherwise 0.
    int DeleteItems(const std::vector<std::wstring>& names);
    // The same for entries named by their paths from the archive's root, in any folder.
    int DeleteEntries(const std::vector<std::wstring>& paths);
    // Whether the tool can add to and delete from the archive (7z, ZIP, tar and wim).
    bool CanBeChanged() const;

    // Renames the entry at `path` (a folder with all it holds) to `newName` in its folder,
    // in one run of the tool, and lists the archive again. A name that cannot be an entry's,
    // or that another entry of that folder has (letter case aside), is refused with a
    // message before anything runs. 0 when renamed (or the name is the same), -1 otherwise.
    int RenameEntry(const std::wstring& path, const std::wstring& newName);
    // Makes an empty folder `name` in the folder shown, refused as a rename is, and lists
    // the archive again. 0 when made.
    int MakeFolderEntry(const std::wstring& name);
    // Moves the entries at `paths` (folders with all they hold) into the folder `folder`
    // ("" the root), in one run of the tool, and lists the archive again. An entry whose
    // name that folder has already, or a folder moved into itself, is refused with a
    // message before anything runs. 0 when moved.
    int MoveEntries(const std::vector<std::wstring>& paths, const std::wstring& folder);
    // `base`, or "base (2)", "base (3)", ...: the first that no entry of the folder shown
    // has, letter case aside.
    std::wstring FreeName(const std::wstring& base) const;

    // --- entries opened with their programs ---

    // Asks about each opened entry whose copy was saved since the last question ("notes.txt
    // was changed. Update it in the archive?") and writes back those the user says Yes to.
    // True when the archive was changed: the caller shows it anew.
    bool OfferEdits();
    // Before the archive is left: asks about each change it does not have yet, Yes writing
    // it back and No leaving it out; with `mayStay`, Cancel too, and then false.
    bool SettleEdits(bool mayStay);

    // --- state ---

    // The folder shown: ArchiveTree::none (the ".." row) first, then its children's nodes.
    std::vector<ArchiveTree::Node> rows;
    std::wstring archivePath;
    std::string subPath;   // folder shown, relative to the root; "" is the root
    std::string addFolder; // where the running add puts its files in the open archive
    std::wstring tmpPath;  // scratch folder of the last open-entry, extract or add job
    int32_t mode = ModeNone;
    int32_t replaceAll = 0;
    std::atomic<int32_t> cancelled{0}; // set by the progress dialog's thread
    HANDLE hInput_wr = nullptr;        // standard input of the running console job
    std::vector<std::wstring> files;   // files to add or entry names to extract
    std::wstring destFolder;
    std::wstring password;
    ArchiveTree tree;
    // Where the open job lists the archive; it becomes `tree` once the job has ended.
    ArchiveTree listing;
    // Its kind, volumes and encryption, for the status line; the job's own until it ends.
    ArchiveFacts facts;
    ArchiveFacts listingFacts;
    // The open job listed the archive.
    bool listed = false;
    // Why the last add or extract job did not do all it was asked; empty when it did.
    std::wstring jobFailure;
    // What the last add job left out on purpose (links), to be said when it has ended.
    std::wstring jobNotice;
    // The running add's archives and choices (its password is in `password`).
    std::vector<AddTarget> addTargets;
    AddOptions addOptions;
    // What the last add moved to the Recycle Bin after compressing, and what it kept
    // although asked to delete it, with why.
    std::vector<std::wstring> recycledFiles;
    std::vector<FaultyEntry> keptFiles;
    // The files the tool left out of the last add (locked, unreadable), with why.
    std::vector<FaultyEntry> skippedFiles;
    // How the last add, delete or extraction ended, for the exit code of a verb.
    JobOutcome lastOutcome;
    // Set while Refresh lists the archive again: the password that opened it is tried
    // first instead of asking the user once more.
    bool reopening = false;
    // The last Open failed because the user cancelled it or declined the password.
    bool openStoppedByUser = false;
    // The last Open failed because a volume of the set is not there: its name.
    std::wstring missingVolume;

    // The copies of the entries opened with their programs.
    EditedEntries edits;

    // The entries of the rows at `paths` (from the archive's root, as the rows show them),
    // as an extraction or a test chooses them.
    EntryChoice ChoiceOf(const std::vector<std::wstring>& paths) const;
    const EntryChoice& extractChoice() const { return extractChoice_; }
    // Where an extraction writes the entry of the row at `path`, relative to its folder:
    // its name as stored, made valid for Windows (a second "dup.txt", shown as
    // "dup.txt [2]", is written as "dup.txt").
    std::wstring WrittenPath(const std::wstring& path) const;

  private:
    // One run of the tool's `command` ("d", "rn") on `names`, with the archive's password;
    // its end goes to lastOutcome, why it failed to jobFailure.
    void RunOnEntries(const std::wstring& command, const std::vector<std::wstring>& names,
                      const std::atomic<int32_t>* stop);
    // The child of `folder` named `name`, letter case aside; none when there is none.
    ArchiveTree::Node ChildNamed(ArchiveTree::Node folder, const std::wstring& name) const;
    // Whether `name` may be given to `self` (none: a new entry) in `folder`; why not is said.
    bool MayTakeName(ArchiveTree::Node folder, ArchiveTree::Node self, const std::wstring& name);
    // Writes the copy of opened entry `i` over its entry; true when the archive has it.
    bool WriteBack(size_t i);
    // An edit that could not be written (`why`, when it is known before trying) stays on
    // the disk: said with its place, and a copy elsewhere offered.
    void KeepEdit(size_t i, const std::wstring& why);
    // Checks the targets and runs the add job on them; the outcome is said. -1 when it was
    // refused before it began, otherwise 0.
    int RunAdd(std::vector<AddTarget> targets);
    // The paths from the archive's root of the rows named `names` in the folder shown.
    std::vector<std::wstring> PathsInFolderShown(const std::vector<std::wstring>& names) const;
    // What the extract job takes.
    EntryChoice extractChoice_;
    // The one file the last extraction into a scratch folder wrote, when it wrote one.
    std::wstring lastWrittenFile_;
    // The order of the paths is made again for the next find.
    void ForgetPathOrder();
    // The name a row's kind (type and icon) is told by: a second entry of one name, or one
    // shown as stored between quotes, is of the kind of its own name.
    std::wstring KindName(ArchiveTree::Node node) const;

    // The Modified texts already made, by day and minute.
    mutable ModifiedTextCache modifiedTexts_;
    std::vector<ArchiveTree::Node> pathOrder_;
    std::vector<uint32_t> pathRanks_;
};

// What AddFiles says when a ZIP archive is to get a password with other than ASCII
// characters, which the tool refuses for that format.
extern const wchar_t zipPasswordMessage[];
// What an add or delete job says when its list file cannot be written.
extern const wchar_t listFileFailure[];
// How the message begins when entries could not all be extracted.
extern const wchar_t extractFailureMessage[];

// A name as typed, made as Explorer makes it: blanks before it, blanks and dots after it
// taken away.
std::wstring CleanName(const std::wstring& typed);
// Why `name` cannot be the name of a file or an entry (empty, or with one of
// \ / : * ? " < > |); "" when it can.
std::wstring NameProblem(const std::wstring& name);

Archiver* GetArchiver();
void ReleaseArchiver();

// Extracts every entry of an archive file into `folder`, on the calling thread, asking
// before a file that is there is replaced; `cancelled` stops it. -1 when the file is no
// archive the program reads, otherwise 0 on success and 1 on failure (`report` says more).
int ExtractAll(const std::wstring& archive, const std::wstring& folder,
               ExtractReport* report = nullptr, CancelFlag cancelled = nullptr);

// How an extraction of `archivePath` ended, for the user: `result` is what ExtractAll,
// ExtractArchive or ExtractToNewFolder returned. Failed and possibly damaged entries are
// named with why, changed names listed, and what is wrong with the archive said.
JobOutcome ExtractOutcome(const std::wstring& archivePath, int result, const ExtractReport& report);

// Why an archive could not be opened, from the engine's error flags: cut short, damaged,
// or not an archive at all.
std::wstring OpenProblemText(const std::wstring& archiveName, uint32_t openErrors);

// What the window says when a volume of a set is not there.
std::wstring MissingVolumeMessage(const std::wstring& volume);
