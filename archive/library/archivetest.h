#pragma once

#include "archive/archivetypes.h"
#include "archive/library/archivehealth.h"
#include "archive/library/archivelibrary.h"
#include "archive/library/extraction.h"

#include <cstdint>
#include <string>
#include <vector>

// An entry that did not pass the test.
struct DamagedEntry {
    std::wstring path;
    int32_t result = 0;     // how it failed: a sevenzip::OperationResult
    bool encrypted = false; // then a data or CRC error most likely means a wrong password
};

// How a test went.
struct TestReport {
    bool opened = false;      // the archive could be opened at all
    bool userStopped = false; // a cancel, or a declined password
    bool stopped = false;     // the library gave up before the end, at a fault it cannot pass
    std::vector<DamagedEntry> damaged; // in the archive's order
    std::wstring missingVolume;        // a volume of the set that is not there
    // What is wrong with the archive as a whole (cut short, damaged headers, a compressed
    // stream around it that failed its check).
    ArchiveHealth health;
    // Why it could not be opened, when it could not: the engine's error flags.
    uint32_t openErrors = 0;
};

// Reads and checks entries through the library's test mode: every byte is decoded and
// its checksum compared, and nothing is written. `names` are paths inside the archive, each
// selecting that entry and everything below it (null or empty: every entry); `choice`,
// when given, chooses instead, as an extraction's does.
// `contents.password` is the known password (empty: the user is asked when the library
// needs one). Returns 0 when every tested entry is whole, 1 otherwise.
int TestArchive(const std::wstring& archiveName, int kind, ArchiveContents& contents,
                const std::vector<std::wstring>* names, CancelFlag cancelled, TestReport& report,
                const EntryChoice* choice = nullptr);

// How a damaged entry failed, in words: "CRC error", "wrong password", ...
std::wstring DamageText(const DamagedEntry& entry);
