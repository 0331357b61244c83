// The add job: runs of the console tool that put files into archives, on a worker thread
// under the progress dialog; volumes put in order; the sources recycled after a whole
// success when the user asked for it.
#include "archive/addjob.h"

#include "archive/archivekind.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/tarpipeline.h"
#include "archive/console/toolcommand.h"
#include "archive/library/archivetest.h"
#include "archive/progress.h"
#include "archive/progresstext.h"
#include "archive/questions.h"
#include "archive/textconv.h"
#include "shell/paths.h"

#include <shellapi.h>

#include <map>

namespace {

// A path as the file functions and the tool take it: no trailing backslash (a drive root
// keeps its own).
std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// Rebuilds the archive folder `folder` inside `scratch` and copies the entries into it,
// so that the tool, run inside `scratch`, stores them under that folder. Links inside
// dropped folders are not followed: they are named in `skippedLinks`. Returns the number
// of files staged (an empty folder counts as one).
int StageFiles(const std::wstring& scratch, const std::wstring& folder,
               const std::vector<std::wstring>& entries, const std::atomic<int32_t>& cancelled,
               std::vector<std::wstring>& skippedLinks) {
    CreateDirectoryW(scratch.c_str(), nullptr);
    std::wstring target = scratch;
    std::vector<std::string> components;
    SplitText(WideToUtf8(folder), '\\', components);
    for (const std::string& component : components) {
        target += L"\\" + Utf8ToWide(component);
        CreateDirectoryW(target.c_str(), nullptr);
    }
    int count = 0;
    for (const std::wstring& entry : entries) {
        if (cancelled)
            break;
        std::wstring destination = target + L"\\" + FileNamePart(entry);
        // A dropped folder may hold the scratch folder (a user's profile, a drive's root):
        // that is never copied into itself.
        if (IsDirectory(entry)) {
            int copied = CopyFolderTree(entry, destination, &cancelled, scratch, &skippedLinks);
            // A folder that holds nothing is added all the same, as a folder.
            count += copied == 0 && IsDirectory(destination) ? 1 : copied;
        } else if (CopyOneFile(entry, destination, false, &cancelled))
            ++count;
    }
    return count;
}

// The entries of the runs that add `entries` to the root, in as few runs as can be. The
// tool stores an entry under its own name, without its folder, and refuses two of one name
// in a run: a name that comes again goes into the next run, which replaces the entry as
// the later pick of that name always did.
std::vector<std::vector<std::wstring>> RunsByName(const std::vector<std::wstring>& entries) {
    std::vector<std::vector<std::wstring>> runs;
    std::map<std::wstring, size_t> picks; // names in capitals, as the tool compares them
    for (const std::wstring& entry : entries) {
        if (!IsListableName(entry))
            continue; // a path Windows gives no file has nothing to add
        std::wstring name = FileNamePart(entry);
        CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
        size_t run = picks[name]++;
        if (run == runs.size())
            runs.emplace_back();
        runs[run].push_back(entry);
    }
    return runs;
}

// Whether `path` is `inside` or holds it.
bool IsOrHolds(const std::wstring& path, const std::wstring& inside) {
    if (_wcsicmp(path.c_str(), inside.c_str()) == 0)
        return true;
    return inside.size() > path.size() && inside[path.size()] == L'\\' &&
           _wcsnicmp(path.c_str(), inside.c_str(), path.size()) == 0;
}

// How many of the files and folders picked the tool left out themselves (not a file inside a
// folder picked).
size_t CountSkipped(const std::vector<std::wstring>& picked,
                    const std::vector<FaultyEntry>& skipped) {
    size_t count = 0;
    for (const std::wstring& path : picked) {
        for (const FaultyEntry& file : skipped) {
            if (_wcsicmp(file.path.c_str(), path.c_str()) == 0) {
                ++count;
                break;
            }
        }
    }
    return count;
}

// Takes what a run of the tool did into the job's account. False when the job is to stop:
// the run failed or was stopped.
bool NoteRun(Archiver& archiver, const ConsoleSession& session) {
    switch (session.RunEnd()) {
    case JobEnd::Success:
        return true;
    case JobEnd::Warnings:
        for (const FaultyEntry& file : session.SkippedFiles())
            archiver.skippedFiles.push_back(file);
        return true;
    case JobEnd::Failure:
        archiver.jobFailure = session.FailureMessage();
        return false;
    case JobEnd::Cancelled:
        archiver.cancelled = 1; // a declined password stops the job as Cancel does
        return false;
    }
    return false;
}

// Puts the sources that went whole into `target.archive` into the Recycle Bin, once a test
// of the archive has read every entry back. A source the tool left out, or a folder that
// holds one, stays.
void RecycleSources(Archiver& archiver, const AddTarget& target,
                    const std::vector<FaultyEntry>& skippedHere) {
    std::wstring archive = target.archive;
    if (!PathExists(archive) && PathExists(archive + L".001"))
        archive += L".001";
    ArchiveContents contents;
    contents.password = archiver.password;
    TestReport report;
    int tested = TestArchive(archive, GetArchiveKind(archive), contents, nullptr,
                             &archiver.cancelled, report);
    SecureZeroMemory(&contents.password[0], contents.password.size() * sizeof(wchar_t));
    if (tested != 0 || !report.opened || !report.damaged.empty()) {
        for (const std::wstring& file : target.files)
            archiver.keptFiles.push_back({file, Fault::None,
                                          L"kept: the test of " + FileNamePart(target.archive) +
                                              L" did not read every entry back whole"});
        return;
    }
    for (const std::wstring& file : target.files) {
        bool skipped = false;
        for (const FaultyEntry& left : skippedHere)
            skipped = skipped || IsOrHolds(file, left.path);
        if (skipped) {
            archiver.keptFiles.push_back({file, Fault::None, L"kept: not all of it was added"});
            continue;
        }
        // A list of one path, ended by two zeros. Sent to the Recycle Bin; should it not take
        // the file (a drive without one, a file too big), Windows asks before deleting it
        // for good, and a "no" keeps it.
        std::wstring from = file;
        from.push_back(L'\0');
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags =
            FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT | FOF_NOERRORUI;
        if (SHFileOperationW(&operation) == 0 && !operation.fAnyOperationsAborted &&
            !PathExists(file))
            archiver.recycledFiles.push_back(file);
        else
            archiver.keptFiles.push_back(
                {file, Fault::None, L"kept: it could not be moved to the Recycle Bin"});
    }
}

// The files of a set the tool wrote as "name.001", "name.002", ...; while it writes, the
// first one is "name.001.tmp" until the set is complete.
std::vector<std::wstring> VolumesOf(const std::wstring& archive) {
    std::vector<std::wstring> volumes;
    for (int number = 1; number < 100000; ++number) {
        wchar_t suffix[16];
        swprintf(suffix, 16, L".%03d", number);
        const std::wstring volume = archive + suffix;
        bool found = false;
        for (const std::wstring& name : {volume, volume + L".tmp"}) {
            if (PathExists(name)) {
                volumes.push_back(name);
                found = true;
            }
        }
        if (!found)
            break;
    }
    return volumes;
}

// Whether the disk can take what is known to be written, said in jobFailure when it
// cannot: an archive changed in place is written anew beside the old one, and a stored one
// (no compression) is as large as its files, `sourceBytes`.
bool RoomFor(Archiver& archiver, const AddTarget& target, bool archiveExisted,
             uint64_t sourceBytes) {
    const FormatInfo& info = InfoOf(archiver.addOptions.format);
    const bool storing = !info.levels || archiver.addOptions.level == LevelStore;
    uint64_t need = 0;
    if (archiveExisted) {
        need += FileSize(target.archive);
    }
    if (storing && !archiveExisted)
        need += sourceBytes;
    ULARGE_INTEGER available = {};
    const std::wstring folder = ParentFolder(target.archive);
    if (need == 0 || !GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) ||
        available.QuadPart >= need)
        return true;
    const std::wstring room = L"the disk has " + SizeText(available.QuadPart) +
                              L" free, and about " + SizeText(need) + L" are needed (" +
                              SizeText(need - available.QuadPart) + L" more).";
    archiver.jobFailure =
        archiveExisted ? L"The archive could not be changed.\n" + FileNamePart(target.archive) +
                             L" is written anew beside the old one while it changes, and " + room
                       : FileNamePart(target.archive) + L" was not made: " + room;
    return false;
}

// What the creates of a job made: how many archives, of how many bytes of sources, into
// how many bytes.
struct MadeTally {
    int archives = 0;
    std::wstring name; // the one archive's
    uint64_t sourceBytes = 0;
    uint64_t archiveBytes = 0;
};

// Adds one target's files, of `sourceBytes` in all; false when the job is to stop. A new
// archive made is counted in `made`.
bool AddToTarget(Archiver& archiver, ConsoleSession& session, const AddTarget& target,
                 uint64_t sourceBytes, MadeTally& made) {
    const bool askPassword = session.passwordKnown;
    const bool archiveExisted = PathExists(target.archive);
    AddOptions options = archiver.addOptions;
    // A new archive gets the format chosen; one that is there keeps its own, and cannot be
    // split anew.
    std::wstring switches = AddSwitches(options, !archiveExisted);
    const bool volumes =
        !archiveExisted && options.volumeSize > 0 && InfoOf(options.format).volumes;
    const size_t skippedBefore = archiver.skippedFiles.size();
    if (!RoomFor(archiver, target, archiveExisted, sourceBytes))
        return false;

    std::vector<std::wstring> entries;
    for (const std::wstring& file : target.files)
        entries.push_back(WithoutTrailingBackslash(file));
    const std::vector<std::wstring> picked = entries;

    bool going = true;
    size_t sources = 0;
    if (IsCompressedTar(options.format) && !archiveExisted) {
        // The tar is made and compressed in one step; its compressor gets the level and
        // threads, and no type: the pipeline names it.
        sources = entries.size();
        RunTarPipeline(entries, target.archive, ToolType(options.format),
                       AddSwitches(options, false), session);
        going = NoteRun(archiver, session);
        entries.clear(); // nothing for the runs below
    }
    for (const std::vector<std::wstring>& names : RunsByName(entries)) {
        if (archiver.cancelled || session.passwordDeclined)
            break;
        ToolRun run;
        if (!MakeItemsRun(target.archive, L"a", names, askPassword, run, switches)) {
            archiver.jobFailure = listFileFailure;
            going = false;
            break;
        }
        sources += names.size();
        RunToolOnArchive(run, session, target.archive);
        if (!NoteRun(archiver, session)) {
            going = false;
            break;
        }
        // A later run of the same archive adds to what the first one made.
        switches = AddSwitches(options, false);
    }
    const bool stopped = !going || archiver.cancelled || session.passwordDeclined;
    std::vector<FaultyEntry> skippedHere(archiver.skippedFiles.begin() + skippedBefore,
                                         archiver.skippedFiles.end());
    if (volumes) {
        std::vector<std::wstring> made = VolumesOf(target.archive);
        if (stopped) {
            for (const std::wstring& volume : made)
                DeleteFileW(volume.c_str()); // a set that did not end is removed whole
        } else if (made.size() == 1 && made.front() == target.archive + L".001") {
            // One volume is no set: it gets the archive's own name.
            MoveFileW(made.front().c_str(), target.archive.c_str());
        }
    }
    if (stopped)
        return false;
    // A new archive that got none of its files is no archive the user asked for. One of
    // several (an archive for each item) is left out, and the others are still made: the
    // files it did not get are named.
    if (!archiveExisted && sources > 0 && CountSkipped(picked, skippedHere) >= sources) {
        DeleteFileW(target.archive.c_str());
        for (const std::wstring& volume : VolumesOf(target.archive))
            DeleteFileW(volume.c_str());
        if (archiver.addTargets.size() > 1)
            return true;
        archiver.jobFailure = L"The archive " + FileNamePart(target.archive) +
                              L" was not made: none of its files could be read.";
        return false;
    }
    if (!archiveExisted) {
        ++made.archives;
        made.name = FileNamePart(target.archive);
        made.sourceBytes += sourceBytes;
        made.archiveBytes += FileSize(target.archive);
        for (const std::wstring& volume : VolumesOf(target.archive))
            made.archiveBytes += FileSize(volume);
    }
    if (options.deleteAfter)
        RecycleSources(archiver, target, skippedHere);
    return true;
}

// Adds into a folder of the open archive (archiver.addFolder): the files are copied into a
// scratch folder that rebuilds that folder, and the tool adds all it holds.
void AddIntoFolder(Archiver& archiver, ConsoleSession& session,
                   const std::vector<std::wstring>& files) {
    archiver.RemoveTempFolder();
    // A folder of our own: everything in it goes into the archive.
    archiver.tmpPath = MakeScratchFolder(L"Quorp");
    if (archiver.tmpPath.empty())
        archiver.jobFailure = L"The archive could not be changed.\nNo scratch folder "
                              L"could be made in the Temp folder.";
    std::vector<std::wstring> entries;
    for (const std::wstring& file : files)
        entries.push_back(WithoutTrailingBackslash(file));
    std::vector<std::wstring> skippedLinks;
    int count = archiver.tmpPath.empty()
                    ? 0
                    : StageFiles(archiver.tmpPath, Utf8ToWide(archiver.addFolder), entries,
                                 archiver.cancelled, skippedLinks);
    if (!skippedLinks.empty() && !archiver.cancelled) {
        archiver.jobNotice = L"These links were not added: a link is not followed into "
                             L"the place it leads to.";
        for (const std::wstring& link : skippedLinks)
            archiver.jobNotice += L"\n" + link;
    }
    progressTotal = count;
    progressBytesTotal = count == 0 ? 0 : SourceBytes({archiver.tmpPath});
    if (count != 0 && !archiver.cancelled) {
        ToolRun run = MakeFolderRun(archiver.archivePath, archiver.tmpPath, session.passwordKnown,
                                    AddSwitches(archiver.addOptions, false));
        RunToolOnArchive(run, session, archiver.archivePath);
        NoteRun(archiver, session);
    }
}

} // namespace

uint64_t SourceBytes(const std::vector<std::wstring>& sources, size_t limit) {
    uint64_t bytes = 0;
    size_t seen = 0;
    std::vector<std::wstring> folders;
    for (const std::wstring& source : sources) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data))
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            folders.push_back(WithoutTrailingBackslash(source));
        else
            bytes += (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    while (!folders.empty()) {
        const std::wstring folder = folders.back();
        folders.pop_back();
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            if (limit != 0 && ++seen > limit) {
                FindClose(search);
                return 0;
            }
            if (wcscmp(found.cFileName, L".") == 0 || wcscmp(found.cFileName, L"..") == 0 ||
                (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                folders.push_back(folder + L"\\" + found.cFileName);
            else
                bytes += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return bytes;
}

uint64_t CountFilesToAdd(const std::vector<std::wstring>& entries) {
    uint64_t count = 0;
    for (const std::wstring& entry : entries)
        count += IsDirectory(entry) ? static_cast<uint64_t>(CountFiles(entry, true)) : 1;
    return count;
}

DWORD WINAPI AddJob(void* parameter) {
    auto archiver = static_cast<Archiver*>(parameter);
    archiver->mode = ModeAdd;

    ConsoleSession session(*archiver);
    session.cancelled = &archiver->cancelled;
    if (!archiver->password.empty())
        session.SetPassword(WideToUtf8(archiver->password));

    const std::vector<AddTarget>& targets = archiver->addTargets;
    if (targets.size() == 1 && targets.front().archive == archiver->archivePath &&
        !archiver->addFolder.empty()) {
        AddIntoFolder(*archiver, session, targets.front().files);
    } else {
        // Each target's sources are walked once: for the progress, and for the ratio at the end.
        uint64_t total = 0, bytes = 0;
        std::vector<uint64_t> targetBytes;
        for (const AddTarget& target : targets) {
            total += CountFilesToAdd(target.files);
            targetBytes.push_back(SourceBytes(target.files));
            bytes += targetBytes.back();
        }
        progressTotal = total;
        progressBytesTotal = bytes;
        MadeTally made;
        bool whole = true;
        for (size_t i = 0; i < targets.size(); ++i) {
            if (archiver->cancelled ||
                !AddToTarget(*archiver, session, targets[i], targetBytes[i], made)) {
                whole = false;
                break;
            }
        }
        // A create that went through ends with how well it packed.
        if (whole && made.archives > 0 && archiver->skippedFiles.empty()) {
            std::wstring name =
                made.archives == 1 ? made.name : std::to_wstring(made.archives) + L" archives";
            SetProgressEnding(PackedText(name, made.sourceBytes, made.archiveBytes));
        }
    }

    User().EndProgress();
    archiver->mode = ModeNone;
    archiver->files.clear();
    return 0;
}
