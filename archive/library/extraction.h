#pragma once

#include "archive/archivetypes.h"
#include "archive/library/archivelibrary.h"

#include <string>
#include <vector>

// Unpacks an archive into `outputFolder`: every entry, or only those whose paths begin
// with one of `names` (null or empty: every entry). Only `contents.password` is used (the
// user is asked when it is empty and the library needs one). Returns 0 when the library
// finished, 1 when opening failed, the library stopped or the job was cancelled.
int ExtractArchive(const std::wstring& archiveName, int kind, const std::wstring& outputFolder,
                   const ArchiveContents& contents, const std::vector<std::wstring>* names,
                   CancelFlag cancelled = nullptr);

// Where an entry goes below the output folder. Entry paths come from the archive and may
// try to leave the folder: roots, drive letters, device and UNC prefixes, "." and ".."
// parts are dropped, characters Windows forbids in names become "_", device names such as
// CON get a "_" in front. The result is relative and stays inside the folder; it is empty
// when nothing of the path is left.
std::wstring SafeItemPath(const std::wstring& itemPath);

// Makes a folder with every missing parent. An existing folder is success, a file of that
// name failure. The folders it made are added to `created` when given, outermost first.
bool CreateFolderPath(const std::wstring& path, std::vector<std::wstring>* created = nullptr);

// Deletes a file, read-only or not.
bool DeleteFileForced(const std::wstring& path);
