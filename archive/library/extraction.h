#pragma once

#include "archive/archivetypes.h"
#include "archive/library/archivelibrary.h"

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Entries chosen by their paths: an entry named, and everything inside a folder named
// ("docs" takes "docs\\readme.txt", not "docs2"). No names, or an empty one, take every
// entry. Each path costs one look-up per folder in it, however many names there are. The
// names must outlive the selection.
class EntrySelection {
  public:
    explicit EntrySelection(const std::vector<std::wstring>* names = nullptr);
    bool TakesEverything() const { return names_.empty(); }
    bool Takes(std::wstring_view path) const;

  private:
    std::unordered_set<std::wstring_view> names_;
};

// What an extraction is asked to do.
struct ExtractOptions {
    // Only the entries whose paths begin with one of these (null or empty: every entry).
    const std::vector<std::wstring>* names = nullptr;
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
    // The entries that did not come out whole, in the archive's order; their files were
    // removed.
    std::vector<std::wstring> failedEntries;
    // A volume of the set that is not there, when that is why nothing came out.
    std::wstring missingVolume;
};

// Unpacks an archive into `outputFolder`. `contents.password` is the known password
// (empty: the user is asked when the library needs one); afterwards it holds the one that
// opened the archive, or, when every entry came out, the one that decrypted them. Returns
// 0 when every entry came out whole; 1 when opening failed, the library stopped, the job
// was cancelled, or an entry was damaged, not decrypted or refused (the others still come
// out).
int ExtractArchive(const std::wstring& archiveName, int kind, const std::wstring& outputFolder,
                   ArchiveContents& contents, const ExtractOptions& options = ExtractOptions(),
                   ExtractReport* report = nullptr);

// Where an entry goes below the output folder. Entry paths come from the archive and may
// try to leave the folder: roots, drive letters, device and UNC prefixes, "." and ".."
// parts are dropped, characters Windows forbids in names become "_", device names such as
// CON get a "_" in front. The result is relative and stays inside the folder; it is empty
// when nothing of the path is left.
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
