#include "archive/archivekind.h"

#include "archive/library/formats.h"

#include <windows.h>

#include <cwctype>

namespace {

// The last component of a path.
std::wstring NamePart(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    if (start == 0 && path.size() >= 2 && path[1] == L':')
        start = 2; // "C:name.zip"
    return path.substr(start);
}

// The extension of the last path component in lower case, without the dot ("" when none).
// Done by hand rather than with _wsplitpath so that no path is too long for it.
std::wstring ExtensionOf(const std::wstring& path) {
    std::wstring name = NamePart(path);
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return std::wstring();
    std::wstring extension = name.substr(dot + 1);
    for (wchar_t& c : extension)
        c = static_cast<wchar_t>(towlower(c));
    return extension;
}

bool AllDigits(const std::wstring& text, size_t from = 0) {
    if (text.size() <= from)
        return false;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
    }
    return true;
}

// What a user calls an archive, beside 7z, RAR and ZIP.
const wchar_t* const archiveExtensions[] = {
    L"zipx", L"tar", L"gz",   L"gzip", L"tgz",    L"tpz", L"bz2", L"bzip2", L"tbz2", L"tbz", L"xz",
    L"txz",  L"zst", L"tzst", L"lzma", L"lzma86", L"z",   L"taz", L"cab",   L"iso",  L"wim", L"swm",
    L"esd",  L"arj", L"lzh",  L"lha",  L"cpio",   L"rpm", L"deb", L"udeb",  L"xar",  L"001"};

// A volume number in a name: its text's position and length, and the kind of set.
struct VolumeNumber {
    size_t at = 0;
    size_t length = 0;
    enum { None, Part, Split, OldRar, SpannedZip } style = None;
};

VolumeNumber FindVolumeNumber(const std::wstring& path) {
    VolumeNumber number;
    std::wstring name = NamePart(path);
    size_t nameStart = path.size() - name.size();
    std::wstring extension = ExtensionOf(path);
    size_t extensionAt = path.size() - extension.size();
    if (extension.size() >= 3 && AllDigits(extension)) {
        number = {extensionAt, extension.size(), VolumeNumber::Split}; // "set.7z.002"
    } else if (extension.size() == 3 && extension[0] == L'r' && AllDigits(extension, 1)) {
        number = {extensionAt + 1, 2, VolumeNumber::OldRar}; // "set.r00" after "set.rar"
    } else if (extension.size() == 3 && extension[0] == L'z' && AllDigits(extension, 1)) {
        number = {extensionAt + 1, 2, VolumeNumber::SpannedZip}; // "set.z01" before "set.zip"
    } else if (extension == L"rar") {
        // "set.part3.rar"
        std::wstring stem = path.substr(nameStart, extensionAt - 1 - nameStart);
        size_t dot = stem.rfind(L'.');
        if (dot != std::wstring::npos && stem.size() > dot + 5 &&
            _wcsnicmp(stem.c_str() + dot + 1, L"part", 4) == 0 && AllDigits(stem, dot + 5))
            number = {nameStart + dot + 5, stem.size() - dot - 5, VolumeNumber::Part};
    }
    return number;
}

std::wstring WithNumber(const std::wstring& path, const VolumeNumber& number, unsigned value) {
    std::wstring digits = std::to_wstring(value);
    if (digits.size() < number.length)
        digits.insert(0, number.length - digits.size(), L'0');
    return path.substr(0, number.at) + digits + path.substr(number.at + number.length);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace

ArchiveKind GetArchiveKind(const std::wstring& path) {
    std::wstring extension = ExtensionOf(path);
    if (extension.empty())
        return ArchiveKindNone;
    switch (FindVolumeNumber(path).style) {
    case VolumeNumber::Split:
        extension = L"001";
        break;
    case VolumeNumber::OldRar:
        extension = L"rar";
        break;
    case VolumeNumber::SpannedZip:
        extension = L"zip";
        break;
    default:
        break;
    }
    if (extension == L"7z")
        return ArchiveKind7z;
    if (extension == L"rar")
        return ArchiveKindRar;
    if (extension == L"zip")
        return ArchiveKindZip;
    int format = FindFormatByExtension(extension);
    return format < 0 ? ArchiveKindNone : static_cast<ArchiveKind>(ArchiveKindOther + format);
}

bool IsArchivePath(const std::wstring& path) {
    std::wstring extension = ExtensionOf(path);
    VolumeNumber number = FindVolumeNumber(path);
    // Any name ending in digits is no split set ("data.2023"): only one whose first
    // volume is there.
    if (number.style == VolumeNumber::Split)
        return extension == L"001" || FirstVolume(path) != path;
    if (extension == L"7z" || extension == L"rar" || extension == L"zip" ||
        number.style != VolumeNumber::None)
        return true;
    for (const wchar_t* archive : archiveExtensions) {
        if (extension == archive)
            return true;
    }
    return false;
}

bool IsUpdatableKind(ArchiveKind kind) {
    if (kind == ArchiveKind7z || kind == ArchiveKindZip)
        return true;
    if (kind < ArchiveKindOther)
        return false;
    const std::vector<ArchiveFormat>& formats = ArchiveFormats();
    size_t index = static_cast<size_t>(kind - ArchiveKindOther);
    return index < formats.size() &&
           (formats[index].name == L"tar" || formats[index].name == L"wim");
}

std::wstring FirstVolumeName(const std::wstring& path) {
    VolumeNumber number = FindVolumeNumber(path);
    switch (number.style) {
    case VolumeNumber::Part:
    case VolumeNumber::Split:
        return WithNumber(path, number, 1);
    case VolumeNumber::OldRar:
        return path.substr(0, number.at) + L"ar";
    case VolumeNumber::SpannedZip:
        return path.substr(0, number.at) + L"ip";
    case VolumeNumber::None:
        break;
    }
    return std::wstring();
}

std::wstring FirstVolume(const std::wstring& path) {
    std::wstring first = FirstVolumeName(path);
    return !first.empty() && Exists(first) ? first : path;
}

std::wstring NextVolume(const std::wstring& path) {
    VolumeNumber number = FindVolumeNumber(path);
    if (number.style == VolumeNumber::None)
        return std::wstring();
    unsigned value = static_cast<unsigned>(_wtoi(path.substr(number.at, number.length).c_str()));
    return WithNumber(path, number, value + 1);
}

std::wstring ContainedName(const std::wstring& archiveName) {
    std::wstring name = NamePart(archiveName);
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos || dot == 0)
        return name;
    std::wstring extension = ExtensionOf(name);
    std::wstring added;
    int format = FindFormatByExtension(AllDigits(extension) ? L"001" : extension);
    if (format >= 0) {
        const ArchiveFormat& found = ArchiveFormats()[static_cast<size_t>(format)];
        for (size_t i = 0; i < found.extensions.size(); ++i) {
            if (found.extensions[i] == extension)
                added = found.addExtensions[i];
        }
    }
    return name.substr(0, dot) + added;
}
