#pragma once

#include "archive/archivetypes.h"
#include "archive/library/archivehealth.h"
#include "archive/library/archivelibrary.h"
#include "archive/outcome.h"

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Entries chosen by their paths as shown (see ShownPath): an entry named, and everything
// inside a folder named ("docs" takes "docs\\readme.txt", not "docs2"). No names, or an
// empty one, take every entry. Entries whose path came twice are told apart by their index
// in the archive: `indices` takes those entries, and a name never takes an entry of
// `notByName` (the second of two "dup.txt" is not the first's), though a folder named
// still takes them all. Each path costs one look-up per folder in it, however many names
// there are. The names must outlive the selection.
class EntrySelection {
  public:
    explicit EntrySelection(const std::vector<std::wstring>* names = nullptr,
                            const std::vector<uint32_t>* indices = nullptr,
                            const std::vector<uint32_t>* notByName = nullptr);
    bool TakesEverything() const { return everything_; }
    bool Takes(std::wstring_view path, uint32_t index = 0xFFFFFFFF) const;

  private:
    bool everything_ = true;
    std::unordered_set<std::wstring_view> names_;
    std::unordered_set<uint32_t> indices_;
    std::unordered_set<uint32_t> notByName_;
};

// Entries chosen for an extraction or a test: by their shown paths, and by their index in
// the archive for entries whose path came twice (see EntrySelection).
struct EntryChoice {
    std::vector<std::wstring> names;
    std::vector<uint32_t> indices;
    std::vector<uint32_t> notByName;
    bool empty() const { return names.empty() && indices.empty(); }
};

// What an extraction is asked to do.
struct ExtractOptions {
    // Only the entries whose paths begin with one of these (null or empty: every entry),
    // and those of `indices`; see EntrySelection.
    const std::vector<std::wstring>* names = nullptr;
    const std::vector<uint32_t>* indices = nullptr;
    const std::vector<uint32_t>* notByName = nullptr;
    CancelFlag cancelled = nullptr;
    // Whether the user is asked before a file that is there already is replaced. Only a
    // scratch folder of the program's own is written over without asking.
    bool askBeforeReplacing = true;
};

// How an extraction went, beyond its result.
struct ExtractReport {
    // A failure was the user's doing (a cancel, a declined password or question), which
    // needs no further word.
    bool userStopped = false;
    // The archive could be opened.
    bool opened = false;
    // The entries that did not come out whole, in the archive's order, each with why; no
    // file of theirs is left.
    std::vector<FaultyEntry> failed;
    // The entries that came out, by their paths in the archive, and the files they became.
    std::vector<std::wstring> written;
    std::vector<std::wstring> writtenFiles;
    // Those written under another name, to be valid on Windows.
    std::vector<RenamedEntry> renamed;
    // What is wrong with the archive as a whole: cut short, damaged headers, a compressed
    // stream around it that failed its check (then every file written may be damaged).
    ArchiveHealth health;
    // The library stopped before the end, at a fault it could not read past.
    bool stoppedEarly = false;
    // A volume of the set that is not there, when that is why nothing came out.
    std::wstring missingVolume;
    // Why the archive could not be opened, when it could not (the engine's error flags).
    uint32_t openErrors = 0;
};

// Unpacks an archive into `outputFolder`. `contents.password` is the known password
// (empty: the user is asked when the library needs one); afterwards it holds the one that
// opened the archive, or, when every entry came out, the one that decrypted them. Returns
// 0 when every entry came out whole from a whole archive; 1 when opening failed, the
// library stopped, the job was cancelled, an entry was damaged, not decrypted, refused or
// could not be written (the others still come out), or the archive is damaged.
int ExtractArchive(const std::wstring& archiveName, int kind, const std::wstring& outputFolder,
                   ArchiveContents& contents, const ExtractOptions& options = ExtractOptions(),
                   ExtractReport* report = nullptr);

// What the library gives for a backslash inside one name (a tar made on Linux may hold
// "back\\slash.txt" as one file): a character of the private-use area.
constexpr wchar_t backslashInName = 0xF05C;

// Where an entry goes below the output folder. Entry paths come from the archive and may
// try to leave the folder: roots, drive letters, device and UNC prefixes, "." and ".."
// parts are dropped, characters Windows forbids in names (and a backslash inside a name)
// become "_", device names such as CON, COM1 or LPT¹ get a "_" in front. The result is relative and
// stays inside the folder; it is empty when nothing of the path is left.
std::wstring SafeItemPath(const std::wstring& itemPath);

// Makes a folder with every missing parent. An existing folder is success, a file of that
// name failure. The folders it made are added to `created` when given, outermost first.
// A cancel between two folders stops it (failure).
bool CreateFolderPath(const std::wstring& path, std::vector<std::wstring>* created = nullptr,
                      CancelFlag cancelled = nullptr);

// Where an entry is refused instead of written: nested deeper than `maxEntryDepth`
// folders, or with a path on disk longer than `maxDiskPathLength` characters (the long
// form's limit, less its prefix). Each new folder level costs a walk of the whole path in
// the file system, so a hostile archive nested thousands of levels deep would otherwise
// keep the extraction busy for hours; no real archive nests that deep.
constexpr size_t maxEntryDepth = 512;
constexpr size_t maxDiskPathLength = 32000;
bool IsExtractablePath(const std::wstring& diskPath, const std::wstring& relativePath);

// Deletes a file, read-only or not.
bool DeleteFileForced(const std::wstring& path);
