#include "archive/library/formats.h"

#include "archive/library/archivelibrary.h"
#include "archive/library/propvariant.h"
#include "archive/library/sevenzip.h"

#include <cwctype>

namespace {

std::wstring LowerText(std::wstring text) {
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towlower(c));
    return text;
}

// "gz gzip tgz" -> {"gz", "gzip", "tgz"}.
std::vector<std::wstring> Words(const std::wstring& text) {
    std::vector<std::wstring> words;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L' ', start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

std::string Bytes(const PROPVARIANT& value) {
    if (value.vt != VT_BSTR || !value.bstrVal)
        return std::string();
    return std::string(reinterpret_cast<const char*>(value.bstrVal),
                       SysStringByteLen(value.bstrVal));
}

std::wstring Text(const PROPVARIANT& value) {
    return value.vt == VT_BSTR && value.bstrVal ? std::wstring(value.bstrVal) : std::wstring();
}

std::vector<ArchiveFormat> LoadFormats() {
    std::vector<ArchiveFormat> formats;
    // Kept loaded for the life of the process: the table is asked again and again.
    HMODULE library = LoadLibraryW(GetLibraryPath().c_str());
    if (!library)
        return formats;
    auto count = reinterpret_cast<sevenzip::GetNumberOfFormatsFunction>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetNumberOfFormats")));
    auto property = reinterpret_cast<sevenzip::GetHandlerProperty2Function>(
        reinterpret_cast<void*>(GetProcAddress(library, "GetHandlerProperty2")));
    UINT32 number = 0;
    if (!count || !property || count(&number) != S_OK)
        return formats;

    PropVariant value;
    for (UINT32 index = 0; index < number; ++index) {
        ArchiveFormat format;
        property(index, sevenzip::HandlerPropName, value.Reset());
        format.name = Text(value);
        property(index, sevenzip::HandlerPropClassId, value.Reset());
        std::string id = Bytes(value);
        if (id.size() == sizeof(GUID))
            memcpy(&format.classId, id.data(), sizeof(GUID));
        property(index, sevenzip::HandlerPropExtension, value.Reset());
        format.extensions = Words(LowerText(Text(value)));
        property(index, sevenzip::HandlerPropAddExtension, value.Reset());
        std::vector<std::wstring> added = Words(Text(value));
        for (size_t i = 0; i < format.extensions.size(); ++i)
            format.addExtensions.push_back(i < added.size() && added[i] != L"*" ? added[i]
                                                                                : std::wstring());
        property(index, sevenzip::HandlerPropUpdate, value.Reset());
        format.canUpdate = value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
        property(index, sevenzip::HandlerPropSignature, value.Reset());
        std::string signature = Bytes(value);
        if (!signature.empty())
            format.signatures.push_back(signature);
        property(index, sevenzip::HandlerPropMultiSignature, value.Reset());
        std::string several = Bytes(value);
        for (size_t at = 0; at < several.size();) {
            size_t length = static_cast<unsigned char>(several[at]);
            if (length == 0 || at + 1 + length > several.size())
                break;
            format.signatures.push_back(several.substr(at + 1, length));
            at += 1 + length;
        }
        property(index, sevenzip::HandlerPropSignatureOffset, value.Reset());
        format.signatureOffset = value.vt == VT_UI4 ? value.ulVal : 0;
        formats.push_back(std::move(format));
    }
    return formats;
}

} // namespace

const std::vector<ArchiveFormat>& ArchiveFormats() {
    static const std::vector<ArchiveFormat> formats = LoadFormats();
    return formats;
}

int FindFormatByExtension(const std::wstring& extension, int after) {
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    std::wstring wanted = LowerText(extension);
    for (size_t index = static_cast<size_t>(after + 1); index < formats.size(); ++index) {
        for (const std::wstring& own : formats[index].extensions) {
            if (own == wanted)
                return static_cast<int>(index);
        }
    }
    return -1;
}

int FindFormatByName(const std::wstring& name) {
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    for (size_t index = 0; index < formats.size(); ++index) {
        if (_wcsicmp(formats[index].name.c_str(), name.c_str()) == 0)
            return static_cast<int>(index);
    }
    return -1;
}

std::vector<int> FormatsBySignature(const std::string& head) {
    std::vector<int> found;
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    for (size_t index = 0; index < formats.size(); ++index) {
        const ArchiveFormat& format = formats[index];
        for (const std::string& signature : format.signatures) {
            if (head.size() >= format.signatureOffset + signature.size() &&
                head.compare(format.signatureOffset, signature.size(), signature) == 0) {
                found.push_back(static_cast<int>(index));
                break;
            }
        }
    }
    return found;
}

bool IsStreamFormat(const ArchiveFormat& format) {
    static const wchar_t* const streams[] = {L"gzip", L"bzip2",  L"xz", L"zstd",
                                             L"lzma", L"lzma86", L"Z",  L"Split"};
    for (const wchar_t* name : streams) {
        if (format.name == name)
            return true;
    }
    return false;
}
