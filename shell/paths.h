#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// Small path and file helpers shared by the dialogs, the browser and the archive jobs.
// Paths use backslashes; none of these functions shows a message.

// Gives `path` the extension `extension` (no dot). An extension that already matches,
// ignoring case, stays as it is; another one is replaced when `replace` is set, and
// otherwise kept with the new one appended behind it.
std::wstring& SetExtension(std::wstring& path, const std::wstring& extension, bool replace);

// True when the file can be opened for reading (a folder gives false).
bool FileExists(const std::wstring& path);

bool IsDirectory(const std::wstring& path);

// True when anything (file or folder) is at `path`, however long the path.
bool PathExists(const std::wstring& path);

// A file's size in bytes; 0 when there is no such file.
uint64_t FileSize(const std::wstring& path);

// The text after the last backslash, or the whole path when it has none.
std::wstring FileNamePart(const std::wstring& path);

// The path without its last component; a trailing backslash is not a separator.
// A drive root (C:\ or C:) and the empty path have no parent: the result is empty.
std::wstring ParentFolder(const std::wstring& path);

// Appends the pieces of `text` between delimiters to `pieces` and returns its new size.
// A delimiter at the very end gives no empty last piece.
size_t SplitText(const std::string& text, char delimiter, std::vector<std::string>& pieces);

// Deletes a folder with all it holds, for good and without questions. Returns 1 when
// `folder` is not a folder, otherwise 0 (whatever the deletion reported).
int DeleteFolderTree(HWND owner, const std::wstring& folder);

// Number of files in `folder`, and in its subfolders when `recurse` is set. Links (reparse
// points: symbolic links, junctions) are neither counted nor followed.
int CountFiles(const std::wstring& folder, bool recurse);

// Copies one file as CopyFileW does, unless `cancelled` is set: a cancel stops it in the
// middle of a big file too, and what was copied of it goes.
bool CopyOneFile(const std::wstring& source, const std::wstring& target, bool failIfExists,
                 const std::atomic<int32_t>* cancelled = nullptr);

// Copies `source` with everything below it into `target`, leaving alone whatever the
// target already has. Returns the number of files copied.
// - Links are not followed (a junction to its own parent would never end): they are left
//   out, and named in `skippedLinks` when given.
// - The folder `exclude` is never entered: a source that holds the place it is copied to
//   would otherwise copy its own growing copy.
// - A cancel stops the copy, also inside a big file.
int CopyFolderTree(const std::wstring& source, const std::wstring& target,
                   const std::atomic<int32_t>* cancelled = nullptr,
                   const std::wstring& exclude = std::wstring(),
                   std::vector<std::wstring>* skippedLinks = nullptr);

// The full path of a loaded module (the program itself for null), however long it is.
std::wstring ModuleFileName(HMODULE module);

// The folder the running program lies in, without a trailing backslash.
std::wstring ProgramFolder();

// The form of an absolute path that the file functions take beyond MAX_PATH characters
// ("\\?\C:\..." or "\\?\UNC\server\..."); shorter or relative paths stay as they are. Only for
// paths without "." and ".." parts: the long form is not normalised.
std::wstring LongPathForm(const std::wstring& path);
