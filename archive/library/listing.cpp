#include "archive/library/listing.h"

#include "archive/library/propvariant.h"

#include <algorithm>
#include <cstdio>

using namespace sevenzip;

std::wstring FileTimeToText(const FILETIME& time) {
    SYSTEMTIME when;
    if (!FileTimeToSystemTime(&time, &when))
        return std::wstring();
    wchar_t text[32];
    swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", when.wYear, when.wMonth, when.wDay,
             when.wHour, when.wMinute, when.wSecond);
    return text;
}

std::wstring PropertyToText(const PROPVARIANT& value) {
    switch (value.vt) {
    case VT_BSTR:
        return value.bstrVal ? std::wstring(value.bstrVal, SysStringLen(value.bstrVal))
                             : std::wstring();
    case VT_UI1:
        return std::to_wstring(value.bVal);
    case VT_UI2:
        return std::to_wstring(value.uiVal);
    case VT_UI4:
        return std::to_wstring(value.ulVal);
    case VT_UI8:
        return std::to_wstring(value.uhVal.QuadPart);
    case VT_I2:
        return std::to_wstring(value.iVal);
    case VT_I4:
        return std::to_wstring(value.lVal);
    case VT_I8:
        return std::to_wstring(value.hVal.QuadPart);
    case VT_BOOL:
        return value.boolVal != VARIANT_FALSE ? L"+" : L"-";
    case VT_FILETIME:
        return FileTimeToText(value.filetime);
    default:
        return std::wstring();
    }
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

// One entry: path, attributes, sizes and time.
static DirItem ReadItem(IInArchive* archive, UINT32 index) {
    DirItem item;
    PropVariant value;
    archive->GetProperty(index, kpidPath, value.Reset());
    item.path = PropertyToText(value);

    archive->GetProperty(index, kpidAttrib, value.Reset());
    item.attributes = static_cast<uint32_t>(PropertyToNumber(value));
    // Some archives keep no attributes for their folders: the folder flag of the entry
    // then marks it, so that it is still listed and entered as a folder.
    archive->GetProperty(index, kpidIsDir, value.Reset());
    if (value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE)
        item.attributes |= FILE_ATTRIBUTE_DIRECTORY;

    archive->GetProperty(index, kpidSize, value.Reset());
    item.size = PropertyToText(value);
    archive->GetProperty(index, kpidPackSize, value.Reset());
    item.packedSize = PropertyToText(value);

    archive->GetProperty(index, kpidMTime, value.Reset());
    std::wstring time = PropertyToText(value);
    item.date = time.substr(0, 10);
    item.time = time.size() > 11 ? time.substr(11) : std::wstring();
    if (value.vt == VT_FILETIME)
        item.modified = value.filetime;
    return item;
}

int ListArchive(const std::wstring& archiveName, int kind, ArchiveContents& contents,
                CancelFlag cancelled) {
    OpenedArchive opened;
    std::wstring password = contents.password;
    if (OpenArchive(opened, archiveName, kind, &password, cancelled) != 0)
        return 1;

    UINT32 numItems = 0;
    opened.archive->GetNumberOfItems(&numItems);
    std::vector<DirItem> items;
    items.reserve(std::min<UINT32>(numItems, 1u << 20)); // the count is the archive's word
    for (UINT32 index = 0; index < numItems; ++index) {
        if (IsCancelled(cancelled)) {
            opened.archive->Close();
            return 1;
        }
        items.push_back(ReadItem(opened.archive.get(), index));
    }
    opened.archive->Close();

    contents.password = password;
    contents.items.insert(contents.items.end(), std::make_move_iterator(items.begin()),
                          std::make_move_iterator(items.end()));
    return 0;
}
