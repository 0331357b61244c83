#pragma once

#include <string>

// Archive formats the program reads, told apart by the file extension.
enum ArchiveKind : int {
    ArchiveKindNone = 0,
    ArchiveKind7z = 1,
    ArchiveKindRar = 2,
    ArchiveKindZip = 3,
};

ArchiveKind GetArchiveKind(const std::wstring& path);
bool IsArchivePath(const std::wstring& path);
