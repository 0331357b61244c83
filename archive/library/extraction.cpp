#include "archive/library/extraction.h"

#include "archive/library/diagnostics.h"
#include "archive/library/extractcallback.h"
#include "archive/library/streampipe.h"
#include "archive/library/webmark.h"
#include "shell/paths.h"

#include <algorithm>
#include <cwctype>

// Names Windows keeps for devices, with or without an extension ("nul.txt" is NUL too):
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, and COM and LPT with a digit 1 to 9 or a
// superscript one, two or three ("COM¹" is a port to Windows 10 and 11 too).
static bool IsDeviceName(const std::wstring& name) {
    static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (const wchar_t* device : devices) {
        if (_wcsicmp(base.c_str(), device) == 0)
            return true;
    }
    if (base.size() == 4 &&
        (_wcsnicmp(base.c_str(), L"COM", 3) == 0 || _wcsnicmp(base.c_str(), L"LPT", 3) == 0)) {
        wchar_t number = base[3];
        return (number >= L'1' && number <= L'9') || number == L'\u00b9' || number == L'\u00b2' ||
               number == L'\u00b3';
    }
    return false;
}

// One path component as a name Windows accepts; "" when nothing usable is left.
static std::wstring SafeComponent(std::wstring component) {
    for (wchar_t& c : component) {
        if (c < 32 || wcschr(L"<>:\"|?*", c) || c == backslashInName)
            c = L'_';
    }
    // Windows drops trailing dots and blanks, which would turn ". " into "." or "..".
    while (!component.empty() && (component.back() == L'.' || component.back() == L' '))
        component.pop_back();
    if (!component.empty() && IsDeviceName(component))
        component.insert(0, L"_");
    return component;
}

EntrySelection::EntrySelection(const std::vector<std::wstring>* names,
                               const std::vector<uint32_t>* indices,
                               const std::vector<uint32_t>* notByName) {
    if (notByName)
        notByName_.insert(notByName->begin(), notByName->end());
    if (indices && !indices->empty()) {
        indices_.insert(indices->begin(), indices->end());
        everything_ = false;
    }
    if (!names)
        return;
    for (const std::wstring& name : *names) {
        if (name.empty()) {
            names_.clear(); // an empty name takes everything
            indices_.clear();
            everything_ = true;
            return;
        }
        names_.insert(name);
        everything_ = false;
    }
}

bool EntrySelection::Takes(std::wstring_view path, uint32_t index) const {
    if (everything_ || indices_.count(index))
        return true;
    if (names_.count(path) && !notByName_.count(index))
        return true;
    for (size_t at = path.find(L'\\'); at != std::wstring_view::npos;
         at = path.find(L'\\', at + 1)) {
        if (names_.count(path.substr(0, at)))
            return true;
    }
    return false;
}

std::wstring SafeItemPath(const std::wstring& itemPath) {
    std::wstring safe;
    size_t start = 0;
    while (start <= itemPath.size()) {
        size_t end = itemPath.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = itemPath.size();
        std::wstring component = itemPath.substr(start, end - start);
        start = end + 1;

        // Drives ("C:") and device prefixes ("\\?\", "\??\") before the first name are
        // roots.
        bool isRoot = safe.empty() && ((component.size() == 2 && component[1] == L':') ||
                                       component == L"?" || component == L"??");
        if (isRoot || component == L"." || component == L"..")
            continue;
        component = SafeComponent(component);
        if (component.empty())
            continue;
        if (!safe.empty())
            safe += L'\\';
        safe += component;
    }
    return safe;
}

bool IsExtractablePath(const std::wstring& diskPath, const std::wstring& relativePath) {
    size_t depth = static_cast<size_t>(std::count(relativePath.begin(), relativePath.end(), L'\\'));
    return depth <= maxEntryDepth && diskPath.size() <= maxDiskPathLength;
}

bool CreateFolderPath(const std::wstring& path, std::vector<std::wstring>* created,
                      CancelFlag cancelled) {
    std::wstring folder = path;
    while (folder.size() > 1 && folder.back() == L'\\')
        folder.pop_back();
    if (folder.size() == 2 && folder[1] == L':')
        return true; // a drive root

    // Walk up to the first folder that exists, then make the missing ones downwards.
    std::vector<std::wstring> missing;
    std::wstring current = folder;
    for (;;) {
        if (IsCancelled(cancelled))
            return false;
        DWORD attributes = GetFileAttributesW(LongPathForm(current).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return false;
            break;
        }
        missing.push_back(current);
        size_t slash = current.rfind(L'\\');
        if (slash == std::wstring::npos || slash == 0 || (slash == 2 && current[1] == L':'))
            break;
        current.erase(slash);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (IsCancelled(cancelled))
            return false;
        if (CreateDirectoryW(LongPathForm(*it).c_str(), nullptr)) {
            if (created)
                created->push_back(*it);
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return IsDirectory(LongPathForm(folder));
}

bool DeleteFileForced(const std::wstring& path) {
    std::wstring diskPath = LongPathForm(path);
    return SetFileAttributesW(diskPath.c_str(), 0) && DeleteFileW(diskPath.c_str());
}

// The output folder as a full path, so that the entries' paths are joined to a fixed
// place (and can take the long form). A bare drive ("C:") is that drive's root: alone, it
// would name the folder the program happens to run in on that drive.
static std::wstring FullFolderPath(const std::wstring& folder) {
    std::wstring given = folder.empty() ? L"." : folder;
    if (given.size() == 2 && given[1] == L':')
        given += L'\\';
    DWORD length = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return given;
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(given.c_str(), length, &full[0], nullptr);
    full.resize(length);
    return full;
}

static int ExtractWithLibrary(const std::wstring& archiveName, int kind,
                              const std::wstring& outputFolder, ArchiveContents& contents,
                              const ExtractOptions& options, ExtractReport& report) {
    OpenedArchive opened;
    std::wstring password = contents.password;
    int result = OpenArchive(opened, archiveName, kind, &password, options.cancelled);
    report.missingVolume = opened.missingVolume;
    report.openErrors = opened.openErrors;
    if (result != 0)
        return 1;
    report.opened = true;
    // The password that opened the archive (typed just now for its names, say) decrypts
    // its entries too: the user is not asked twice.
    contents.password = password;

    win::ComPtr<CArchiveExtractCallback> callback(new CArchiveExtractCallback);
    callback->SetUp(opened.archive.get(), FullFolderPath(outputFolder), options);
    callback->defaultItemName = opened.defaultItemName;
    // A set carries the strictest mark any of its volumes carries.
    callback->webMark = ReadWebMark(opened.path);
    for (const std::wstring& volume : opened.volumePaths)
        callback->webMark = StricterWebMark(callback->webMark, ReadWebMark(volume));
    if (!password.empty()) {
        callback->passwordDefined = true;
        callback->password = password;
    }

    // Every entry is offered, and the names choose: an archive read front to back can only
    // be gone through whole.
    HRESULT extracted = opened.archive->Extract(nullptr, 0xFFFFFFFF, 0, callback.get());
    report.failed = callback->faults();
    report.written = callback->writtenEntries();
    report.writtenFiles = callback->writtenFiles();
    report.renamed = callback->renamedEntries();
    report.userStopped = callback->stoppedByUser();
    // A compressed stream is checked to its end: a tar may end before its gzip does.
    if (opened.feeder && extracted == S_OK)
        report.health.streamFault = opened.feeder->Finish(options.cancelled);
    report.health.Add(ReadHealth(opened));
    if (extracted != S_OK) {
        callback->DiscardUnfinishedWork();
        EmitError(L"Extract Error");
        report.stoppedEarly = !report.userStopped && !IsCancelled(options.cancelled);
        return 1;
    }
    // The other entries are out; the ones refused or damaged were reported one by one.
    if (callback->refusedEntries() > 0 || !report.failed.empty() || report.health.Damaged())
        return 1;
    // A password typed during the extraction decrypted every entry: the caller keeps it.
    if (callback->passwordDefined)
        contents.password = callback->password;
    return 0;
}

int ExtractArchive(const std::wstring& archiveName, int kind, const std::wstring& outputFolder,
                   ArchiveContents& contents, const ExtractOptions& options,
                   ExtractReport* report) {
    int declinedBefore = passwordsDeclined;
    ExtractReport local;
    ExtractReport& outcome = report ? *report : local;
    outcome = ExtractReport();
    int result = ExtractWithLibrary(archiveName, kind, outputFolder, contents, options, outcome);
    if (result != 0)
        outcome.userStopped = outcome.userStopped || IsCancelled(options.cancelled) ||
                              passwordsDeclined != declinedBefore;
    return result;
}
