#include "archive/library/listing.h"

#include "archive/library/filestreams.h"
#include "archive/library/formats.h"
#include "archive/library/libraryobject.h"
#include "archive/library/propvariant.h"
#include "archive/library/streampipe.h"

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace sevenzip;

// "YYYY-MM-DD HH:MM:SS" into `text`, written digit by digit: a formatting call per entry
// is a large part of listing 100,000 entries.
static bool FormatFileTime(const FILETIME& time, wchar_t (&text)[19]) {
    SYSTEMTIME when;
    if (!FileTimeToSystemTime(&time, &when))
        return false;
    auto put = [&text](int at, unsigned value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10)
            text[at + i] = static_cast<wchar_t>(L'0' + value % 10);
    };
    put(0, when.wYear, 4);
    text[4] = L'-';
    put(5, when.wMonth, 2);
    text[7] = L'-';
    put(8, when.wDay, 2);
    text[10] = L' ';
    put(11, when.wHour, 2);
    text[13] = L':';
    put(14, when.wMinute, 2);
    text[16] = L':';
    put(17, when.wSecond, 2);
    return true;
}

std::wstring FileTimeToText(const FILETIME& time) {
    wchar_t text[19];
    return FormatFileTime(time, text) ? std::wstring(text, 19) : std::wstring();
}

// Decimal digits written by hand: std::to_wstring goes through a formatting call, and
// listing 100,000 entries makes 200,000 of these.
static std::wstring Decimal(uint64_t value) {
    wchar_t digits[20];
    int at = 20;
    do {
        digits[--at] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value);
    return std::wstring(digits + at, digits + 20);
}

static std::wstring Decimal(int64_t value) {
    if (value >= 0)
        return Decimal(static_cast<uint64_t>(value));
    return L"-" + Decimal(0 - static_cast<uint64_t>(value));
}

std::wstring PropertyToText(const PROPVARIANT& value) {
    switch (value.vt) {
    case VT_BSTR:
        return value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                             : std::wstring();
    case VT_UI1:
        return Decimal(uint64_t{value.bVal});
    case VT_UI2:
        return Decimal(uint64_t{value.uiVal});
    case VT_UI4:
        return Decimal(uint64_t{value.ulVal});
    case VT_UI8:
        return Decimal(uint64_t{value.uhVal.QuadPart});
    case VT_I2:
        return Decimal(int64_t{value.iVal});
    case VT_I4:
        return Decimal(int64_t{value.lVal});
    case VT_I8:
        return Decimal(int64_t{value.hVal.QuadPart});
    case VT_BOOL:
        return value.boolVal != VARIANT_FALSE ? L"+" : L"-";
    case VT_FILETIME:
        return FileTimeToText(value.filetime);
    default:
        return std::wstring();
    }
}

bool IsEncryptedEntry(IInArchive* archive, UINT32 index) {
    PropVariant value;
    return archive->GetProperty(index, kpidEncrypted, value.Reset()) == S_OK &&
           value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
}

uint64_t PropertyToNumber(const PROPVARIANT& value) {
    switch (value.vt) {
    case VT_UI1:
        return value.bVal;
    case VT_UI2:
        return value.uiVal;
    case VT_UI4:
        return value.ulVal;
    case VT_UI8:
        return value.uhVal.QuadPart;
    default:
        return 0;
    }
}

// An unsigned number, when the property holds one.
static bool ReadNumber(const PROPVARIANT& value, uint64_t& number) {
    switch (value.vt) {
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
        number = PropertyToNumber(value);
        return true;
    default:
        return false;
    }
}

// One entry: path, attributes, sizes and time, written over `item` (whose path keeps its
// room from the entry before, so that reading 100,000 entries allocates little). Numbers
// stay numbers: the texts are made when a row is drawn. An entry without a path gets
// `defaultName`.
static void ReadItem(IInArchive* archive, UINT32 index, const std::wstring& defaultName,
                     DirItem& item) {
    PropVariant value;
    archive->GetProperty(index, kpidPath, value.Reset());
    if (value.vt == VT_BSTR && value.bstrVal)
        item.path.assign(value.bstrVal, SysStringLen(value.bstrVal));
    else
        item.path = PropertyToText(value);
    if (item.path.empty())
        item.path = defaultName;

    ArchiveTree::Entry& entry = item.entry;
    archive->GetProperty(index, kpidAttrib, value.Reset());
    entry.attributes = static_cast<uint32_t>(PropertyToNumber(value));
    // Some archives keep no attributes for their folders: the folder flag of the entry
    // then marks it, so that it is still listed and entered as a folder.
    archive->GetProperty(index, kpidIsDir, value.Reset());
    if (value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE)
        entry.attributes |= FILE_ATTRIBUTE_DIRECTORY;

    archive->GetProperty(index, kpidSize, value.Reset());
    entry.hasSize = ReadNumber(value, entry.size);
    archive->GetProperty(index, kpidPackSize, value.Reset());
    entry.hasPackedSize = ReadNumber(value, entry.packedSize);

    archive->GetProperty(index, kpidMTime, value.Reset());
    // A time with its top bit set has no calendar date (FileTimeToSystemTime refuses it).
    entry.hasModified = value.vt == VT_FILETIME && value.filetime.dwHighDateTime < 0x80000000u;
    entry.modified = entry.hasModified ? value.filetime : FILETIME{};
}

namespace {

// Lists an archive that is read front to back (a tar inside a compressed file): the
// library hands over each item as it goes through the archive, and nothing is written.
// The progress is how far the file has been read.
class CListCallback : public LibraryObject<IArchiveExtractCallback> {
  public:
    CListCallback(const OpenedArchive& opened, CancelFlag cancelled, const ItemSink& take)
        : opened_(opened), cancelled_(cancelled), take_(take) {}

    HRESULT STDMETHODCALLTYPE SetTotal(UINT64) override { return Go(); }
    HRESULT STDMETHODCALLTYPE SetCompleted(const UINT64*) override { return Go(); }
    HRESULT STDMETHODCALLTYPE GetStream(UINT32 index, ISequentialOutStream** outStream,
                                        INT32) override {
        if (!outStream)
            return E_POINTER;
        *outStream = nullptr; // skipped: only its properties are wanted
        if (count_ == 0) {
            uint64_t size = opened_.file->Size();
            HandleArchiveRequest(RequestTotal, &size, 0);
        }
        uint64_t position = opened_.file->Position();
        HandleArchiveRequest(RequestCompleted, &position, 0);
        ReadItem(opened_.archive.get(), index, opened_.defaultItemName, item_);
        take_(item_, count_++, 0);
        return Go();
    }
    HRESULT STDMETHODCALLTYPE PrepareOperation(INT32) override { return Go(); }
    HRESULT STDMETHODCALLTYPE SetOperationResult(INT32) override { return Go(); }

  private:
    HRESULT Go() const { return IsCancelled(cancelled_) ? E_ABORT : S_OK; }

    const OpenedArchive& opened_;
    CancelFlag cancelled_;
    const ItemSink& take_;
    DirItem item_;
    uint32_t count_ = 0;
};

} // namespace

// A format's name as users know it: "ZIP", "RAR5", "GZIP"; 7z keeps its small z.
static std::wstring FormatTitle(int format) {
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    if (format < 0 || static_cast<size_t>(format) >= formats.size())
        return std::wstring();
    std::wstring name = formats[static_cast<size_t>(format)].name;
    if (name == L"7z")
        return name;
    CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
    return name;
}

int ListArchiveItems(const std::wstring& archiveName, int kind, std::wstring& password,
                     CancelFlag cancelled, const ItemSink& take, std::wstring* missingVolume,
                     ArchiveFacts* facts) {
    auto openedHere = std::make_unique<OpenedArchive>();
    OpenedArchive& opened = *openedHere;
    int result = OpenArchive(opened, archiveName, kind, &password, cancelled);
    if (missingVolume)
        *missingVolume = opened.missingVolume;
    ArchiveFacts unasked;
    ArchiveFacts& said = facts ? *facts : unasked;
    said = ArchiveFacts();
    said.openErrors = opened.openErrors;
    if (result != 0)
        return 1;
    said.kind = FormatTitle(opened.format) + L" archive";
    const int outermost = opened.outerFormat >= 0 ? opened.outerFormat : opened.format;
    if (outermost >= 0 && static_cast<size_t>(outermost) < ArchiveFormats().size())
        said.format = ArchiveFormats()[static_cast<size_t>(outermost)].name;
    // A compressed tar names its compression; a split set is told by its volumes.
    if (opened.outerFormat >= 0 && FindFormatByName(L"Split") != opened.outerFormat)
        said.kind += L" in " + FormatTitle(opened.outerFormat);
    said.volumes = 1 + opened.volumes.size();
    said.encrypted = opened.namesEncrypted;
    said.namesEncrypted = opened.namesEncrypted;

    if (opened.sequential) {
        win::ComPtr<CListCallback> callback(new CListCallback(opened, cancelled, take));
        HRESULT listed = opened.archive->Extract(nullptr, 0xFFFFFFFF, 0, callback.get());
        // Read to its end, the compressed file says whether it is whole.
        if (listed == S_OK && opened.feeder)
            said.health.streamFault = opened.feeder->Finish(cancelled);
        said.health.Add(ReadHealth(opened));
        opened.archive->Close();
        return listed == S_OK && !IsCancelled(cancelled) ? 0 : 1;
    }
    said.health = ReadHealth(opened);

    UINT32 numItems = 0;
    opened.archive->GetNumberOfItems(&numItems);
    DirItem item;
    bool stopped = false;
    for (UINT32 index = 0; index < numItems; ++index) {
        if (IsCancelled(cancelled)) {
            stopped = true;
            break;
        }
        ReadItem(opened.archive.get(), index, opened.defaultItemName, item);
        // Asked until one entry says so, of the first entries and then of one in 64: most
        // archives are encrypted whole or not at all, and asking each of a million entries
        // would add a tenth to the listing.
        if (facts && !said.encrypted && (index < 1024 || index % 64 == 0)) {
            said.encrypted = IsEncryptedEntry(opened.archive.get(), index);
            // The first encrypted entry tells the method of a ZIP: "ZipCrypto Deflate".
            PropVariant method;
            if (said.encrypted &&
                opened.archive->GetProperty(index, kpidMethod, method.Reset()) == S_OK)
                said.zipCrypto = PropertyToText(method).find(L"ZipCrypto") != std::wstring::npos;
        }
        take(item, index, numItems);
    }
    CloseInBackground(std::move(openedHere));
    return stopped ? 1 : 0;
}

int ListArchive(const std::wstring& archiveName, int kind, ArchiveContents& contents,
                CancelFlag cancelled) {
    std::wstring password = contents.password;
    std::vector<DirItem> items;
    int result = ListArchiveItems(archiveName, kind, password, cancelled,
                                  [&items](DirItem& item, uint32_t index, uint32_t count) {
                                      if (index == 0) // the count is the archive's word
                                          items.reserve(std::min<uint32_t>(count, 1u << 20));
                                      items.push_back(std::move(item));
                                  });
    if (result != 0)
        return result;
    contents.password = password;
    contents.items.insert(contents.items.end(), std::make_move_iterator(items.begin()),
                          std::make_move_iterator(items.end()));
    return 0;
}
