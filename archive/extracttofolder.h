#pragma once

#include "archive/library/extraction.h"

#include <string>

// The name "Extract to Folder" gives the archive's folder: its file name without its
// extension, and without the volume or compression extensions before it ("set.part1.rar",
// "set.7z.001", "set.zip.001", "set.tar.gz" and "set.tgz" all give "set").
std::wstring ExtractFolderName(const std::wstring& archivePath);

// "Extract to Folder": every entry of an archive into a new folder beside it, named by
// ExtractFolderName, or "name (2)", "name (3)", ... when that name is taken, so that it
// never mixes into a folder that is there already. When all entries lie under one
// top-level entry, that entry comes out beside the archive instead (no doubled folder),
// unless a folder of its name is there already. Runs on the calling thread and asks before
// replacing a file. -1 when the file is no archive the program reads, 0 when every entry
// came out, 1 otherwise (`report` says more). `made` gets the path of the folder or entry
// made beside the archive.
int ExtractToNewFolder(const std::wstring& archive, CancelFlag cancelled = nullptr,
                       ExtractReport* report = nullptr, std::wstring* made = nullptr);
