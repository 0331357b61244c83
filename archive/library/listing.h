#pragma once

#include "archive/archivetypes.h"
#include "archive/library/archivelibrary.h"

#include <propidl.h>

#include <string>

// Reads the entries of an archive into `contents.items` (appended, in the library's
// order). `contents.password` is used and updated as by OpenArchive. Returns 0 when
// listed, 1 when the archive could not be opened or the job was cancelled.
int ListArchive(const std::wstring& archiveName, int kind, ArchiveContents& contents,
                CancelFlag cancelled = nullptr);

// Text of a property value: strings as they are, numbers in decimal, booleans "+" / "-",
// times by FileTimeToText, nothing for other types.
std::wstring PropertyToText(const PROPVARIANT& value);
// The number of an unsigned value; 0 for other types.
uint64_t PropertyToNumber(const PROPVARIANT& value);
// "YYYY-MM-DD HH:MM:SS" of a file time as it is (no time-zone shift); "" when it has no
// calendar date.
std::wstring FileTimeToText(const FILETIME& time);
