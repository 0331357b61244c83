#include "shell/paths.h"

#include "win/handle.h"

#include <shellapi.h>

#include <cstdio>
#include <sstream>

std::wstring& SetExtension(std::wstring& path, const std::wstring& extension, bool replace) {
    size_t dot = path.rfind(L'.');
    size_t slash = path.rfind(L'\\');
    bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || slash < dot);

    if (hasExtension && lstrcmpiW(path.c_str() + dot + 1, extension.c_str()) == 0)
        return path;
    if (hasExtension && replace)
        path.erase(dot);
    if (!extension.empty())
        path += L"." + extension;
    return path;
}

bool FileExists(const std::wstring& path) {
    FILE* file = nullptr;
    if (_wfopen_s(&file, path.c_str(), L"r") != 0 || !file)
        return false;
    fclose(file);
    return true;
}

bool IsDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FileNamePart(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExW(LongPathForm(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring ParentFolder(const std::wstring& path) {
    if (path.size() < 2)
        return std::wstring();
    // Start at the second-to-last character so that a trailing backslash is skipped.
    size_t slash = path.rfind(L'\\', path.size() - 2);
    if (slash == std::wstring::npos || slash == 0)
        return std::wstring();
    return path.substr(0, slash);
}

size_t SplitText(const std::string& text, char delimiter, std::vector<std::string>& pieces) {
    std::istringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, delimiter))
        pieces.push_back(piece);
    return pieces.size();
}

int DeleteFolderTree(HWND owner, const std::wstring& folder) {
    if (!IsDirectory(folder))
        return 1;

    // The shell takes a list of paths ended by an empty one: two zeros behind the path.
    std::vector<wchar_t> source(folder.begin(), folder.end());
    source.push_back(L'\0');
    source.push_back(L'\0');

    SHFILEOPSTRUCTW operation = {};
    operation.hwnd = owner;
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.data();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    SHFileOperationW(&operation);
    return 0;
}

static bool IsDotEntry(const wchar_t* name) {
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

static bool IsLink(const WIN32_FIND_DATAW& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

int CountFiles(const std::wstring& folder, bool recurse) {
    std::wstring dir = folder;
    if (dir.empty() || dir.back() != L'\\')
        dir += L'\\';

    WIN32_FIND_DATAW entry;
    win::FindHandle search(FindFirstFileW((dir + L"*.*").c_str(), &entry));
    if (!search)
        return 0;

    int count = 0;
    do {
        if (IsDotEntry(entry.cFileName) || IsLink(entry))
            continue;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            count += 1;
        else if (recurse)
            count += CountFiles(dir + entry.cFileName + L"\\", recurse);
    } while (FindNextFileW(search.get(), &entry));
    return count;
}

// The long, full form of a path, for comparing two of them.
static std::wstring ComparablePath(const std::wstring& path) {
    wchar_t full[MAX_PATH] = {};
    DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    std::wstring result = length > 0 && length < MAX_PATH ? full : path;
    wchar_t longForm[MAX_PATH] = {};
    length = GetLongPathNameW(result.c_str(), longForm, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        result = longForm;
    while (result.size() > 3 && result.back() == L'\\')
        result.pop_back();
    return result;
}

static DWORD CALLBACK CopyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                   DWORD, DWORD, HANDLE, HANDLE, void* cancelled) {
    auto flag = static_cast<const std::atomic<int32_t>*>(cancelled);
    return flag && *flag ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

bool CopyOneFile(const std::wstring& source, const std::wstring& target, bool failIfExists,
                 const std::atomic<int32_t>* cancelled) {
    if (cancelled && *cancelled)
        return false;
    return CopyFileExW(source.c_str(), target.c_str(), CopyProgress,
                       const_cast<std::atomic<int32_t>*>(cancelled), nullptr,
                       failIfExists ? COPY_FILE_FAIL_IF_EXISTS : 0) != FALSE;
}

static bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

namespace {

struct TreeCopy {
    const std::atomic<int32_t>* cancelled;
    std::wstring exclude; // in its comparable form
    std::wstring excludeName;
    std::vector<std::wstring>* skippedLinks;

    // Only a folder of the same name is looked at more closely.
    bool Excluded(const std::wstring& path, const wchar_t* name) const {
        return !exclude.empty() && EqualIgnoringCase(name, excludeName) &&
               EqualIgnoringCase(ComparablePath(path), exclude);
    }

    int Copy(const std::wstring& source, const std::wstring& target) const {
        CreateDirectoryW(target.c_str(), nullptr);

        WIN32_FIND_DATAW entry;
        win::FindHandle search(FindFirstFileW((source + L"\\*.*").c_str(), &entry));
        if (!search)
            return 0;

        int copied = 0;
        do {
            if (cancelled && *cancelled)
                break;
            if (IsDotEntry(entry.cFileName))
                continue;
            std::wstring sourceItem = source + L"\\" + entry.cFileName;
            std::wstring targetItem = target + L"\\" + entry.cFileName;
            if (IsLink(entry)) {
                if (skippedLinks)
                    skippedLinks->push_back(sourceItem);
                continue;
            }
            bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (folder && Excluded(sourceItem, entry.cFileName))
                continue;

            WIN32_FIND_DATAW existing;
            win::FindHandle probe(FindFirstFileW(targetItem.c_str(), &existing));
            if (probe)
                continue; // never overwrite a file or enter a folder the target already has

            if (folder)
                copied += Copy(sourceItem, targetItem);
            else if (CopyOneFile(sourceItem, targetItem, true, cancelled))
                copied += 1;
        } while (FindNextFileW(search.get(), &entry));
        return copied;
    }
};

} // namespace

int CopyFolderTree(const std::wstring& source, const std::wstring& target,
                   const std::atomic<int32_t>* cancelled, const std::wstring& exclude,
                   std::vector<std::wstring>* skippedLinks) {
    std::wstring excluded = exclude.empty() ? std::wstring() : ComparablePath(exclude);
    TreeCopy copy{cancelled, excluded, FileNamePart(excluded), skippedLinks};
    return copy.Copy(source, target);
}

std::wstring ModuleFileName(HMODULE module) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2); // cut short: try again with more room
    }
}

std::wstring ProgramFolder() {
    std::wstring folder = ModuleFileName(nullptr);
    size_t slash = folder.rfind(L'\\');
    if (slash != std::wstring::npos)
        folder.erase(slash);
    return folder;
}

std::wstring LongPathForm(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}
