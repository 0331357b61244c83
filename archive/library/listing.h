#pragma once

#include "archive/archivetypes.h"
#include "archive/library/archivehealth.h"
#include "archive/library/archivelibrary.h"

#include <propidl.h>

#include <cstdint>
#include <functional>
#include <string>

// Reads the entries of an archive into `contents.items` (appended, in the library's
// order). `contents.password` is used and updated as by OpenArchive. Returns 0 when
// listed, 1 when the archive could not be opened or the job was cancelled.
int ListArchive(const std::wstring& archiveName, int kind, ArchiveContents& contents,
                CancelFlag cancelled = nullptr);

// The same listing, each entry handed to `take` as soon as it is read (with its index and
// the number of entries, 0 when it is not known before the end: a tar inside a compressed
// file; the progress counters then move by the bytes read) instead of being kept: a caller
// that builds its own structure from the entries then never holds them all twice.
// `password` is used and updated as by OpenArchive. On failure some entries may have been
// handed over already; `missingVolume`, when given, names a volume of a set that is not
// there when that is why.
using ItemSink = std::function<void(DirItem& item, uint32_t index, uint32_t count)>;
// What the window says of an open archive besides its entries.
struct ArchiveFacts {
    std::wstring kind;      // "ZIP archive", "7z archive", "TAR archive in GZIP", ...
    std::wstring format;    // the outermost handler, as the library names it: "zip", "gzip"
    size_t volumes = 1;     // files of the set
    bool encrypted = false; // names or entries' data need the password
    bool namesEncrypted = false; // even its names: it is listed only with the password
    bool zipCrypto = false; // a ZIP whose entries have the old ZIP encryption, not AES
    // What is wrong with it as a whole: cut short, damaged headers, data after its end, a
    // compressed stream that failed its check. Its entries are listed all the same.
    ArchiveHealth health;
    // Why it could not be opened, when it could not (the engine's error flags).
    uint32_t openErrors = 0;
};
int ListArchiveItems(const std::wstring& archiveName, int kind, std::wstring& password,
                     CancelFlag cancelled, const ItemSink& take,
                     std::wstring* missingVolume = nullptr, ArchiveFacts* facts = nullptr);

// Text of a property value: strings as they are, numbers in decimal, booleans "+" / "-",
// times by FileTimeToText, nothing for other types.
std::wstring PropertyToText(const PROPVARIANT& value);
// The number of an unsigned value; 0 for other types.
uint64_t PropertyToNumber(const PROPVARIANT& value);
// Whether the library says the entry at `index` is encrypted.
bool IsEncryptedEntry(sevenzip::IInArchive* archive, UINT32 index);
// "YYYY-MM-DD HH:MM:SS" of a file time as it is (no time-zone shift); "" when it has no
// calendar date.
std::wstring FileTimeToText(const FILETIME& time);
