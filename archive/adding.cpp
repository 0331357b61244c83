// Adding files to archives: what is asked is checked, the add job runs under the progress
// dialog, and how it went is said.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/addjob.h"
#include "archive/archivekind.h"
#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/library/extraction.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "archive/questions.h"

#include <algorithm>

const wchar_t listFileFailure[] = L"The archive could not be changed.\nThe list of names for the "
                                  L"archive tool could not be written in the Temp folder.";

const wchar_t zipPasswordMessage[] =
    L"A ZIP archive's password can hold only ASCII characters: letters without accents, "
    L"digits, blanks and punctuation. Choose a 7z archive for this password.";

namespace {

void ShowMessage(const wchar_t* text) {
    User().Tell(text);
}

// The absolute form of a path, however long; "" when there is none.
std::wstring FullPathName(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return std::wstring();
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size)
        return std::wstring();
    full.resize(length);
    return full;
}

// The format of an archive that is there, as its name tells it.
AddFormat FormatOfArchive(const std::wstring& path) {
    AddFormat format = AddFormat::SevenZip;
    if (!FormatOfName(path, format) && GetArchiveKind(path) == ArchiveKindZip)
        format = AddFormat::Zip;
    return format;
}

} // namespace

int Archiver::AddFiles(const std::vector<std::wstring>& newFiles) {
    return AddFilesInto(newFiles, subPath);
}

int Archiver::AddFilesInto(const std::vector<std::wstring>& newFiles, const std::string& folder) {
    addFolder = folder;
    // Refused until the job starts.
    lastOutcome = JobOutcome();
    lastOutcome.end = JobEnd::Failure;
    if (!CanBeChanged()) {
        ShowMessage(L"Operation is not supported.");
        return -1;
    }
    // An archive made with a password gets no entry in the clear: when it was opened
    // without one (only its data is encrypted), the password is asked for now.
    if (facts.encrypted && password.empty()) {
        std::string typed;
        if (!User().AskPassword(typed)) {
            lastOutcome.end = JobEnd::Cancelled;
            return -1;
        }
        password = Utf8ToWide(typed);
        SecureZeroMemory(&typed[0], typed.size());
    }
    addOptions = AddOptions();
    addOptions.format = FormatOfArchive(archivePath);
    addOptions.password = password;
    addOptions.encryptNames = facts.namesEncrypted;
    if (facts.zipCrypto)
        addOptions.zipEncryption = ZipEncryption::ZipCrypto;
    return RunAdd({{archivePath, newFiles}});
}

int Archiver::AddToArchive(const std::wstring& archive, const std::vector<std::wstring>& newFiles,
                           const std::wstring& newPassword) {
    AddOptions options;
    options.format = FormatOfArchive(archive);
    options.password = newPassword;
    CreateArchives({{archive, newFiles}}, options);
    return 0;
}

void Archiver::CreateArchives(const std::vector<AddTarget>& targets, AddOptions options) {
    lastOutcome = JobOutcome();
    lastOutcome.end = JobEnd::Failure;
    subPath.clear();
    if (targets.empty())
        return;
    archivePath = targets.front().archive;
    addFolder.clear();
    password = options.password;
    addOptions = options;
    SecureZeroMemory(&options.password[0], options.password.size() * sizeof(wchar_t));
    RunAdd(targets);
    SecureZeroMemory(&addOptions.password[0], addOptions.password.size() * sizeof(wchar_t));
    addOptions.password.clear();
}

int Archiver::RunAdd(std::vector<AddTarget> targets) {
    std::wstring missing;
    for (AddTarget& target : targets) {
        // The tool gets the path as one quoted argument; it is also where the files go
        // when the tool runs inside the staging folder, so it must not be relative.
        std::wstring fullPath = FullPathName(target.archive);
        if (!IsUsableToolPath(target.archive) || fullPath.empty()) {
            ShowMessage(L"The archive's name is not a valid file name.");
            return -1;
        }
        if (target.archive == archivePath)
            archivePath = fullPath;
        target.archive = fullPath;
        const bool exists = PathExists(target.archive);
        AddFormat named;
        if (!exists && !FormatOfName(target.archive, named) &&
            !IsUpdatableKind(GetArchiveKind(target.archive)) &&
            GetArchiveKind(target.archive) != ArchiveKindNone) {
            // A new archive named as a kind the tool cannot write (".rar").
            ShowMessage(L"Operation is not supported.");
            return -1;
        }
        if (exists && !IsUpdatableKind(GetArchiveKind(target.archive))) {
            ShowMessage((FileNamePart(target.archive) + L" is there already, and files cannot be "
                                                        L"added to an archive of its kind.")
                            .c_str());
            return -1;
        }
        const AddFormat format = exists ? FormatOfArchive(target.archive) : addOptions.format;
        if (format == AddFormat::Zip && !ZipTakesPassword(password)) {
            ShowMessage(zipPasswordMessage);
            return -1;
        }
        if (!exists && addOptions.volumeSize > 0 && InfoOf(format).volumes &&
            (PathExists(target.archive + L".001") || PathExists(target.archive + L".001.tmp"))) {
            ShowMessage((FileNamePart(target.archive) + L".001 is there already: choose another "
                                                        L"name for the volumes.")
                            .c_str());
            return -1;
        }
        // A path that names nothing would leave the tool an archive with nothing in it.
        std::vector<std::wstring> present;
        for (const std::wstring& file : target.files) {
            if (PathExists(file))
                present.push_back(file);
            else
                missing += L"\n" + file;
        }
        target.files = present;
    }
    // A folder of the archive is rebuilt on disk for the tool: its name has to be one that
    // Windows takes as it is.
    std::wstring folder = Utf8ToWide(addFolder);
    if (!folder.empty() && SafeItemPath(folder) != folder) {
        ShowMessage(L"Files cannot be added into this folder: its name is not a valid "
                    L"Windows folder name.");
        return -1;
    }
    targets.erase(std::remove_if(targets.begin(), targets.end(),
                                 [](const AddTarget& target) { return target.files.empty(); }),
                  targets.end());
    if (targets.empty()) {
        ShowMessage(
            (L"Nothing was added to the archive: these files were not found." + missing).c_str());
        return -1;
    }

    ResetProgress();
    addTargets = targets;
    cancelled = 0;
    jobFailure.clear();
    jobNotice.clear();
    skippedFiles.clear();
    recycledFiles.clear();
    keptFiles.clear();
    lastOutcome.end = JobEnd::Success;
    Job job;
    if (!job.Start(AddJob, this)) {
        lastOutcome.end = JobEnd::Failure;
        return 0;
    }
    if (!User().ShowProgress(L"Add Files", L"Adding Files "))
        cancelled = 1; // the running tool is stopped, and no further run starts
    job.Wait();
    addTargets.clear();
    if (cancelled)
        lastOutcome.end = JobEnd::Cancelled;
    if (!jobFailure.empty()) {
        lastOutcome.end = JobEnd::Failure;
        ShowMessage(jobFailure.c_str());
    }
    const std::wstring archiveName =
        targets.size() == 1 ? FileNamePart(targets.front().archive) : L"the archives";
    if (!skippedFiles.empty() && lastOutcome.end != JobEnd::Failure) {
        // Added, but not all: said as a warning, never as a success.
        JobOutcome told;
        told.end = JobEnd::Warnings;
        told.headline = L"Not every file could be added to " + archiveName + L".";
        told.listTitle = L"These files were not added:";
        told.entries = skippedFiles;
        if (!keptFiles.empty())
            told.notes.push_back(L"What was not added whole is kept on the disk.");
        User().TellOutcome(told);
        lastOutcome.AtLeast(JobEnd::Warnings);
    } else if (!keptFiles.empty() && lastOutcome.end != JobEnd::Failure) {
        JobOutcome told;
        told.end = JobEnd::Warnings;
        told.headline = L"The files were added to " + archiveName +
                        L", but not all of them were deleted afterwards.";
        told.listTitle = L"Kept on the disk:";
        told.entries = keptFiles;
        User().TellOutcome(told);
        lastOutcome.AtLeast(JobEnd::Warnings);
    }
    if (!missing.empty()) {
        ShowMessage((L"These files were not found and were not added:" + missing).c_str());
        lastOutcome.AtLeast(JobEnd::Warnings);
    }
    if (!jobNotice.empty()) {
        ShowMessage(jobNotice.c_str());
        lastOutcome.AtLeast(JobEnd::Warnings);
    }
    return 0;
}
