#include "archive/library/archivehealth.h"

#include "archive/library/filestreams.h"
#include "archive/library/propvariant.h"

using namespace sevenzip;

namespace {

// Bits that say the archive itself is cut short.
const uint32_t cutShortBits = ErrorUnexpectedEnd;
// Bits that say its description of itself is damaged.
const uint32_t damagedBits = ErrorHeaders | ErrorEncryptedHeaders | ErrorData | ErrorCrc;

uint32_t Flags(IInArchive* archive, PROPID property) {
    PropVariant value;
    if (!archive || archive->GetArchiveProperty(property, value.Reset()) != S_OK)
        return 0;
    return value.vt == VT_UI4 ? value.ulVal : 0;
}

} // namespace

void ArchiveHealth::Add(const ArchiveHealth& other) {
    errors |= other.errors;
    warnings |= other.warnings;
    if (streamFault == Fault::None)
        streamFault = other.streamFault;
}

ArchiveHealth HandlerHealth(IInArchive* archive) {
    ArchiveHealth health;
    health.errors = Flags(archive, kpidErrorFlags);
    health.warnings = Flags(archive, kpidWarningFlags);
    // "Not an archive" of an archive that opened is the handler's word for a start it
    // could not confirm: the other bits say what is wrong.
    health.errors &= ~static_cast<uint32_t>(ErrorIsNotArchive);
    // Data after the end leaves the archive whole: worth knowing, no more.
    health.warnings |= health.errors & ErrorDataAfterEnd;
    health.errors &= ~static_cast<uint32_t>(ErrorDataAfterEnd);
    return health;
}

// Whether the archive says it is longer than its file: its end was cut off. Only a
// single file is weighed so; a set's handlers count their sizes each their own way.
bool LongerThanItsFile(const OpenedArchive& opened) {
    IInArchive* outermost = opened.outers.empty() ? opened.archive.get() : opened.outers[0].get();
    if (!outermost || !opened.file || !opened.volumes.empty())
        return false;
    PropVariant value;
    if (outermost->GetArchiveProperty(kpidPhySize, value.Reset()) != S_OK)
        return false;
    uint64_t claimed = 0;
    if (value.vt == VT_UI8)
        claimed = value.uhVal.QuadPart;
    else if (value.vt == VT_UI4)
        claimed = value.ulVal;
    else
        return false;
    uint64_t size = opened.file->Size();
    return size != 0 && claimed > size;
}

ArchiveHealth ReadHealth(const OpenedArchive& opened) {
    ArchiveHealth health = HandlerHealth(opened.archive.get());
    if (LongerThanItsFile(opened))
        health.errors |= ErrorUnexpectedEnd;
    for (const auto& outer : opened.outers) {
        ArchiveHealth outside = HandlerHealth(outer.get());
        // A compressed file unpacked through a pipe says its faults through the stream's
        // result (see StreamFeeder::Finish), once, in its own words.
        if (opened.feeder)
            outside.errors = 0;
        health.Add(outside);
    }
    return health;
}

std::vector<std::wstring> HealthNotes(const ArchiveHealth& health,
                                      const std::wstring& archiveName) {
    std::vector<std::wstring> notes;
    if (health.errors & cutShortBits)
        notes.push_back(archiveName + L" is cut short: its end is missing, and the entries "
                                      L"that were there cannot be read. It may be an unfinished "
                                      L"download or copy.");
    if (health.errors & ErrorUnavailableStart)
        notes.push_back(archiveName + L" does not begin where an archive begins: its start "
                                      L"is missing.");
    if (health.errors & damagedBits)
        notes.push_back(archiveName + L" is damaged: the engine found errors in its headers "
                                      L"or data.");
    if (health.errors & (ErrorUnsupportedMethod | ErrorUnsupportedFeature))
        notes.push_back(archiveName + L" uses a method or feature the engine does not "
                                      L"support.");
    if (health.streamFault != Fault::None)
        notes.push_back(archiveName + L" is damaged: its compressed data failed its own check (" +
                        FaultText(health.streamFault) +
                        L"). Every file written from it may be damaged.");
    if (notes.empty() && health.Damaged())
        notes.push_back(archiveName + L" is damaged.");
    if (health.warnings & ErrorDataAfterEnd)
        notes.push_back(L"There is data after the end of " + archiveName + L".");
    return notes;
}

std::wstring HealthWords(const ArchiveHealth& health) {
    if (health.errors & cutShortBits)
        return L"cut short";
    if (health.Damaged())
        return L"damaged";
    if (health.warnings & ErrorDataAfterEnd)
        return L"data after the end";
    return std::wstring();
}
