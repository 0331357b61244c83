#include "shell/iconcache.h"

#include <shellapi.h>

#include <mutex>
#include <unordered_map>

namespace {

// Past this many kinds a new extension gets a plain file's look: an archive of entries
// with 100,000 made-up extensions must not hold 100,000 icons.
const size_t maxKinds = 512;

const wchar_t folderKey[] = L"<folder>";

std::mutex kindsLock;
// Node-based: an entry stays where it is while others are added, so a reference handed
// out stays good.
std::unordered_map<std::wstring, ShellKind> kinds;

ShellKind AskShell(const std::wstring& name, DWORD attributes) {
    // No SHGFI_EXETYPE: combined with the other flags it makes the shell return at once
    // with neither icon nor type name.
    SHFILEINFOW info = {};
    SHGetFileInfoW(name.c_str(), attributes, &info, sizeof info,
                   SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME);
    HICON large = LargeShellIcon(name.c_str(), attributes, SHGFI_USEFILEATTRIBUTES);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ShellKind{info.hIcon, large, info.szTypeName};
    return ShellKind{info.hIcon, large, TypeNameOf(LowerExtension(name), info.szTypeName)};
}

const ShellKind& Kind(const std::wstring& key, const std::wstring& name, DWORD attributes) {
    std::lock_guard<std::mutex> lock(kindsLock);
    auto found = kinds.find(key);
    if (found != kinds.end())
        return found->second;
    if (kinds.size() >= maxKinds && key != folderKey && !key.empty()) {
        found = kinds.find(std::wstring());
        if (found != kinds.end())
            return found->second;
        return kinds.emplace(std::wstring(), AskShell(L"file", FILE_ATTRIBUTE_NORMAL))
            .first->second;
    }
    return kinds.emplace(key, AskShell(name, attributes)).first->second;
}

} // namespace

HICON LargeShellIcon(const wchar_t* path, DWORD attributes, UINT flags) {
    SHFILEINFOW info = {};
    SHGetFileInfoW(path, attributes, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON | flags);
    return info.hIcon;
}

bool WantsLargeIcon(int pixels) {
    return pixels > GetSystemMetrics(SM_CXSMICON);
}

HICON IconForSize(HICON icon, HICON largeIcon, int pixels) {
    if (WantsLargeIcon(pixels) && largeIcon)
        return largeIcon;
    return icon ? icon : largeIcon;
}

std::wstring LowerExtension(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos)
        return std::wstring();
    std::wstring extension = name.substr(dot); // ".bashrc" is all extension, as Windows has it
    bool ascii = true;
    for (wchar_t& c : extension) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        else if (c >= 0x80)
            ascii = false;
    }
    if (!ascii) // the system's rules for the letters beyond ASCII
        CharLowerBuffW(&extension[0], static_cast<DWORD>(extension.size()));
    return extension;
}

const ShellKind& FileKind(const std::wstring& name) {
    std::wstring extension = LowerExtension(name);
    // Asked as "file.ext": the shell's look of a kind depends on nothing but the extension.
    return Kind(extension, L"file" + extension, FILE_ATTRIBUTE_NORMAL);
}

const ShellKind& FolderKind() {
    return Kind(folderKey, L"folder", FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring TypeNameOf(const std::wstring& extension, const std::wstring& shellName) {
    if (extension.size() < 2)
        return shellName;
    std::wstring bare = extension.substr(1);
    // The shell's name for a kind nobody claimed: "xsd file", ".xsd file" or nothing.
    if (!shellName.empty() && _wcsicmp(shellName.c_str(), (bare + L" file").c_str()) != 0 &&
        _wcsicmp(shellName.c_str(), (extension + L" file").c_str()) != 0)
        return shellName;
    std::wstring capitals = bare;
    CharUpperBuffW(&capitals[0], static_cast<DWORD>(capitals.size()));
    return capitals + L" File";
}
