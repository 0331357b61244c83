#pragma once

#include "archive/library/archivelibrary.h"
#include "archive/outcome.h"

#include <cstdint>
#include <string>
#include <vector>

// What the engine found wrong with an archive as a whole, beside its entries: cut short,
// damaged headers, data after its end, or a compressed stream around it (the gzip of a
// .tar.gz) that failed its own check.
struct ArchiveHealth {
    uint32_t errors = 0; // sevenzip::ErrorFlag bits, of the archive and of what it is read through
    uint32_t warnings = 0; // the same bits, for what is only worth knowing (data after the end)
    // The compressed stream's own fault: every file written from it may be damaged.
    Fault streamFault = Fault::None;

    bool Damaged() const { return errors != 0 || streamFault != Fault::None; }
    bool Whole() const { return !Damaged() && warnings == 0; }
    void Add(const ArchiveHealth& other);
};

// The flags the handlers of an opened archive hold now: after opening, or after an
// extraction or a test, when they have read further.
ArchiveHealth ReadHealth(const OpenedArchive& opened);
// The flags of one handler.
ArchiveHealth HandlerHealth(sevenzip::IInArchive* archive);

// One sentence per problem, for the user, naming the archive.
std::vector<std::wstring> HealthNotes(const ArchiveHealth& health, const std::wstring& archiveName);
// A few words for the status line: "cut short", "damaged"; empty for a whole archive.
std::wstring HealthWords(const ArchiveHealth& health);
