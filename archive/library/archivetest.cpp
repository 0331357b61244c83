#include "archive/library/archivetest.h"

#include "archive/library/diagnostics.h"
#include "archive/library/extractcallback.h"
#include "archive/library/listing.h"
#include "archive/library/propvariant.h"
#include "archive/library/streampipe.h"
#include "archive/shownpath.h"

#include <unordered_map>

using namespace sevenzip;

namespace {

std::wstring ItemPath(IInArchive* archive, UINT32 index) {
    PropVariant value;
    if (archive->GetProperty(index, kpidPath, value.Reset()) != S_OK || value.vt != VT_BSTR ||
        !value.bstrVal)
        return std::wstring();
    return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
}

// The library reports a wrong 7z or RAR 4 password as damaged data: whether the damaged
// entries are encrypted tells the user what is most likely wrong.
void MarkEncrypted(IInArchive* archive, UINT32 count, std::vector<DamagedEntry>& damaged) {
    std::unordered_map<std::wstring, bool> dataErrors;
    for (const DamagedEntry& entry : damaged) {
        if (entry.result == ResultDataError || entry.result == ResultCrcError)
            dataErrors[entry.path] = false;
    }
    if (dataErrors.empty())
        return;
    for (UINT32 index = 0; index < count; ++index) {
        auto found = dataErrors.find(ItemPath(archive, index));
        if (found != dataErrors.end() && IsEncryptedEntry(archive, index))
            found->second = true;
    }
    for (DamagedEntry& entry : damaged) {
        auto found = dataErrors.find(entry.path);
        entry.encrypted = found != dataErrors.end() && found->second;
    }
}

} // namespace

int TestArchive(const std::wstring& archiveName, int kind, ArchiveContents& contents,
                const std::vector<std::wstring>* names, CancelFlag cancelled, TestReport& report,
                const EntryChoice* choice) {
    if (choice)
        names = &choice->names;
    report = TestReport();
    const int declinedBefore = passwordsDeclined;
    OpenedArchive opened;
    std::wstring password = contents.password;
    if (OpenArchive(opened, archiveName, kind, &password, cancelled) != 0) {
        report.userStopped = IsCancelled(cancelled) || passwordsDeclined != declinedBefore;
        report.missingVolume = opened.missingVolume;
        report.openErrors = opened.openErrors;
        return 1;
    }
    report.opened = true;
    contents.password = password;

    // An archive read front to back (a compressed tar) is tested whole; the selection then
    // chooses what is reported.
    UINT32 count = 0;
    if (!opened.sequential)
        opened.archive->GetNumberOfItems(&count);
    const EntrySelection selection(names, choice ? &choice->indices : nullptr,
                                   choice ? &choice->notByName : nullptr);
    const bool selected = !selection.TakesEverything();
    // A selection goes to the library as the indices of its entries, in ascending order.
    const bool everything = !selected || opened.sequential;
    std::vector<UINT32> indices;
    if (!everything) {
        for (UINT32 index = 0; index < count; ++index) {
            std::wstring path = ItemPath(opened.archive.get(), index);
            if (selection.Takes(NeedsShownPath(path) ? ShownPath(path) : path, index))
                indices.push_back(index);
        }
        if (indices.empty())
            return 0;
    }

    win::ComPtr<CArchiveExtractCallback> callback(new CArchiveExtractCallback);
    ExtractOptions options;
    options.cancelled = cancelled;
    callback->SetUp(opened.archive.get(), std::wstring(), options); // no folder: nothing written
    if (!password.empty()) {
        callback->passwordDefined = true;
        callback->password = password;
    }
    const INT32 testMode = 1;
    HRESULT result =
        everything ? opened.archive->Extract(nullptr, 0xFFFFFFFF, testMode, callback.get())
                   : opened.archive->Extract(indices.data(), static_cast<UINT32>(indices.size()),
                                             testMode, callback.get());

    const std::vector<FaultyEntry>& failed = callback->faults();
    for (size_t i = 0; i < failed.size(); ++i) {
        if (!opened.sequential || !selected || selection.Takes(ShownPath(failed[i].path)))
            report.damaged.push_back({failed[i].path, callback->failureResults()[i], false});
    }
    // A compressed stream is checked to its end: a tar may end before its gzip does.
    if (opened.feeder && result == S_OK)
        report.health.streamFault = opened.feeder->Finish(cancelled);
    report.health.Add(ReadHealth(opened));
    if (!opened.sequential)
        MarkEncrypted(opened.archive.get(), count, report.damaged);
    report.userStopped =
        callback->stoppedByUser() || IsCancelled(cancelled) || passwordsDeclined != declinedBefore;
    if (result != S_OK) {
        EmitError(L"Test Error");
        report.stopped = !report.userStopped;
        return 1;
    }
    return report.damaged.empty() && !report.health.Damaged() ? 0 : 1;
}

std::wstring DamageText(const DamagedEntry& entry) {
    const wchar_t* passwordHint = entry.encrypted ? L" (wrong password?)" : L"";
    switch (entry.result) {
    case ResultUnsupportedMethod:
        return L"unsupported method";
    case ResultDataError:
        return L"data error" + std::wstring(passwordHint);
    case ResultCrcError:
        return L"CRC error" + std::wstring(passwordHint);
    case ResultUnavailable:
        return L"data not available (a volume is missing)";
    case ResultUnexpectedEnd:
        return L"unexpected end of data";
    case ResultDataAfterEnd:
        return L"data after the end";
    case ResultIsNotArchive:
        return L"not an archive";
    case ResultHeadersError:
        return L"headers error";
    case ResultWrongPassword:
        return L"wrong password";
    default:
        return L"unknown error";
    }
}
