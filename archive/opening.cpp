// Opening an archive: listing it on a worker thread under the progress dialog.
#include "archive/archiver.h"

#include "archive/archivekind.h"
#include "archive/jobthread.h"
#include "archive/library/archivelibrary.h"
#include "archive/library/listing.h"
#include "archive/progress.h"
#include "ui/progressdialog.h"

static DWORD WINAPI OpenJob(void* parameter) {
    auto archiver = static_cast<Archiver*>(parameter);
    archiver->mode = ModeOpen;
    archiver->ClearRows();
    archiver->ClearTree();

    // Listing the same archive again (a refresh) needs no second question for its password.
    std::wstring password;
    if (archiver->reopening)
        password = archiver->password;
    int kind = GetArchiveKind(archiver->archivePath);
    // Each entry goes into the tree as it is read, so that 100,000 entries are never held
    // twice, as a listing and as the tree.
    // An archive read front to back counts its bytes instead (the listing moves the counters).
    int listed = ListArchiveItems(
        archiver->archivePath, kind, password, &archiver->cancelled,
        [archiver](DirItem& item, uint32_t index, uint32_t count) {
            if (count != 0) {
                if (index == 0)
                    progressTotal = count;
                progressCompleted = index;
            }
            archiver->AddToTree(item);
        },
        &archiver->missingVolume);
    if (listed == 0 && !archiver->cancelled) {
        archiver->password = password;
        // A refresh stays in the folder shown, here rather than on the window's thread.
        std::string folder = archiver->reopening ? archiver->subPath : std::string();
        archiver->ListFolder(folder);
    } else {
        archiver->ClearTree();
    }
    FinishProgress();
    archiver->mode = ModeNone;
    return 0;
}

bool Archiver::Open(const std::wstring& path) {
    // Any volume of a set is shown as the set, by its first volume.
    archivePath = FirstVolume(path);
    missingVolume.clear();
    replaceAll = 0;
    cancelled = 0;
    openStoppedByUser = false;
    int declinedBefore = passwordsDeclined;
    ResetProgress();

    win::KernelHandle job = StartJob(OpenJob, this);
    if (!job)
        return false;
    if (!ShowProgress(L"Open File", L"Opening File ... "))
        cancelled = 1; // the listing stops at the library's next call
    // The job writes the tree and the rows: they are read only once it has ended.
    WaitForJob(job.get());

    if (cancelled) {
        ClearRows();
        ClearTree();
    }
    openStoppedByUser = rows.empty() && (cancelled || passwordsDeclined != declinedBefore);
    return !rows.empty();
}

void Archiver::Refresh() {
    // The old tree and rows go on the job's thread, where the new ones are made.
    RemoveTempFolder();
    reopening = true;
    std::wstring archiveCopy = archivePath;
    Open(archiveCopy);
    reopening = false;
}
