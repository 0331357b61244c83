#include "archive/archivekind.h"

#include <cwchar>

// The extension of the last path component, dot included ("" when it has no dot).
// Done by hand rather than with _wsplitpath so that no path is too long for it.
static std::wstring ExtensionOf(const std::wstring& path) {
    size_t nameStart = path.find_last_of(L"\\/");
    nameStart = nameStart == std::wstring::npos ? 0 : nameStart + 1;
    if (nameStart == 0 && path.size() >= 2 && path[1] == L':')
        nameStart = 2; // "C:name.zip"
    size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos || dot < nameStart)
        return std::wstring();
    return path.substr(dot);
}

ArchiveKind GetArchiveKind(const std::wstring& path) {
    static const struct {
        const wchar_t* extension;
        ArchiveKind kind;
    } kinds[] = {{L".zip", ArchiveKindZip}, {L".rar", ArchiveKindRar}, {L".7z", ArchiveKind7z}};

    std::wstring extension = ExtensionOf(path);
    for (const auto& entry : kinds) {
        if (_wcsicmp(extension.c_str(), entry.extension) == 0)
            return entry.kind;
    }
    return ArchiveKindNone;
}

bool IsArchivePath(const std::wstring& path) {
    return GetArchiveKind(path) != ArchiveKindNone;
}
