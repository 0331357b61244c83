// "Extract to Folder": the whole archive into a new folder named after it.
#include "archive/extracttofolder.h"

#include "archive/archivekind.h"
#include "archive/library/listing.h"
#include "shell/paths.h"

#include <cwchar>
#include <cwctype>

namespace {

// The extension of a file name, dot included; "" when it has none (".profile" is all name).
std::wstring ExtensionOf(const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot == 0 ? std::wstring() : name.substr(dot);
}

// Cuts the extension off a file name and returns it.
std::wstring TakeExtension(std::wstring& name) {
    std::wstring extension = ExtensionOf(name);
    name.resize(name.size() - extension.size());
    return extension;
}

bool IsNumber(const std::wstring& text) {
    if (text.empty())
        return false;
    for (wchar_t c : text) {
        if (!iswdigit(c))
            return false;
    }
    return true;
}

// Drops `suffix` from the end of `name` when it ends so, ignoring letter case.
void DropSuffix(std::wstring& name, const wchar_t* suffix) {
    size_t length = wcslen(suffix);
    if (name.size() > length && _wcsicmp(name.c_str() + name.size() - length, suffix) == 0)
        name.resize(name.size() - length);
}

// The folder an archive lies in; a drive's root keeps its backslash ("C:" alone names the
// current folder of drive C).
std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return std::wstring();
    return path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

// Makes the folder `path`, or "path (2)", "path (3)", ... when the name is taken. Made
// rather than looked for, so that two extractions started together (set.zip and set.7z
// chosen at once) never share one. Its path, or "" when none could be made.
std::wstring MakeNewFolder(const std::wstring& path) {
    for (int number = 1; number < 10000; ++number) {
        std::wstring candidate = number == 1 ? path : path + L" (" + std::to_wstring(number) + L")";
        if (CreateDirectoryW(LongPathForm(candidate).c_str(), nullptr))
            return candidate;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
    return std::wstring();
}

std::wstring FullPath(const std::wstring& path) {
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return path;
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(path.c_str(), length, &full[0], nullptr));
    return full;
}

// The first parts of the entries' paths, as extraction writes them: whether all entries
// share one, and whether it is a folder.
struct TopLevel {
    std::wstring name;
    bool isFolder = false;
    int count = 0; // 0, 1, or 2 for "more than one"

    void Add(const DirItem& item) {
        std::wstring relative = SafeItemPath(item.path);
        bool folderEntry = (item.entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (relative.empty()) {
            if (folderEntry)
                return; // the archive's root itself
            relative = L"[Content]";
        }
        size_t slash = relative.find(L'\\');
        std::wstring first = relative.substr(0, slash);
        bool folder = folderEntry || slash != std::wstring::npos;
        if (count == 0) {
            name = first;
            isFolder = folder;
            count = 1;
        } else if (first != name) {
            count = 2;
        } else {
            isFolder = isFolder || folder;
        }
    }
};

} // namespace

std::wstring ExtractFolderName(const std::wstring& archivePath) {
    const std::wstring fileName = FileNamePart(archivePath);
    std::wstring name = fileName;
    const std::wstring extension = TakeExtension(name);
    const std::wstring inner = ExtensionOf(name);
    if (extension.size() > 1 && IsNumber(extension.substr(1)) && !inner.empty() &&
        IsArchivePath(name))
        TakeExtension(name); // "set.7z.001": a volume's number, then the archive's extension
    else if (_wcsicmp(extension.c_str(), L".rar") == 0 && inner.size() > 5 &&
             _wcsnicmp(inner.c_str(), L".part", 5) == 0 && IsNumber(inner.substr(5)))
        TakeExtension(name);   // "set.part1.rar"
    DropSuffix(name, L".tar"); // "set.tar.gz"
    // Windows drops trailing dots and blanks from a folder's name.
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.pop_back();
    return name.empty() ? fileName : name;
}

int ExtractToNewFolder(const std::wstring& archive, CancelFlag cancelled, ExtractReport* report,
                       std::wstring* made) {
    const int kind = GetArchiveKind(archive);
    if (kind == ArchiveKindNone)
        return -1;
    const std::wstring archivePath = FullPath(archive);
    const std::wstring besideArchive = FolderOf(archivePath);

    // The listing asks for a password the names need; the extraction then uses it.
    ArchiveContents contents;
    TopLevel top;
    const int declinedBefore = passwordsDeclined;
    std::wstring missingVolume;
    ArchiveFacts facts;
    if (ListArchiveItems(archivePath, kind, contents.password, cancelled,
                         [&top](DirItem& item, uint32_t, uint32_t) { top.Add(item); },
                         &missingVolume, &facts) != 0) {
        if (report) {
            *report = ExtractReport();
            report->userStopped = IsCancelled(cancelled) || passwordsDeclined != declinedBefore;
            report->missingVolume = missingVolume;
            report->openErrors = facts.openErrors;
        }
        return 1;
    }
    ExtractOptions options;
    options.cancelled = cancelled;

    if (top.count == 1) {
        // Beside the archive, unless that means mixing into a folder that is there, or
        // writing over the archive itself. A file that is there is asked about.
        std::wstring target = Join(besideArchive, top.name);
        DWORD existing = GetFileAttributesW(LongPathForm(target).c_str());
        bool clash = existing != INVALID_FILE_ATTRIBUTES &&
                     (top.isFolder || (existing & FILE_ATTRIBUTE_DIRECTORY) ||
                      _wcsicmp(top.name.c_str(), FileNamePart(archivePath).c_str()) == 0);
        if (!clash) {
            if (made)
                *made = target;
            return ExtractArchive(archivePath, kind, besideArchive, contents, options, report);
        }
    }

    std::wstring folder = MakeNewFolder(Join(besideArchive, ExtractFolderName(archivePath)));
    if (folder.empty())
        return 1;
    if (made)
        *made = folder;
    int result = ExtractArchive(archivePath, kind, folder, contents, options, report);
    if (result != 0)
        RemoveDirectoryW(LongPathForm(folder).c_str()); // only when nothing came out
    return result;
}
