// Opening an archive: listing it on a worker thread under the progress dialog.
#include "archive/archiver.h"

#include "archive/archivekind.h"
#include "archive/jobthread.h"
#include "archive/library/archivelibrary.h"
#include "archive/library/listing.h"
#include "archive/progress.h"
#include "archive/shownpath.h"
#include "archive/treefeeder.h"
#include "archive/questions.h"

#include <utility>

// Lists the archive into `listing`, a tree of its own: the window may still draw the rows
// of the tree shown meanwhile, which stays as it is until the job has ended.
static DWORD WINAPI OpenJob(void* parameter) {
    auto archiver = static_cast<Archiver*>(parameter);
    archiver->mode = ModeOpen;
    ArchiveTree& listing = archiver->listing;
    listing.Clear();

    // Listing the same archive again (a refresh) needs no second question for its password.
    std::wstring password;
    if (archiver->reopening)
        password = archiver->password;
    int kind = GetArchiveKind(archiver->archivePath);
    // Each entry goes into the tree as it is read, so that 100,000 entries are never held
    // twice, as a listing and as the tree; the tree is built on a thread of its own
    // meanwhile. An archive read front to back counts its bytes instead (the listing moves
    // the counters).
    TreeFeeder feeder(listing);
    std::wstring shown;
    archiver->listed =
        ListArchiveItems(
            archiver->archivePath, kind, password, &archiver->cancelled,
            [&](DirItem& item, uint32_t index, uint32_t count) {
                if (count != 0) {
                    if (index == 0) {
                        progressTotal = count;
                        feeder.Reserve(count);
                    }
                    // Often enough for the bar, and no fence each entry.
                    if (index % 256 == 0)
                        progressCompleted = index;
                }
                // "./docs" is "docs"; "../x" is shown as stored.
                bool changed = false;
                if (TreePathOf(item.path, item.entry.attributes & FILE_ATTRIBUTE_DIRECTORY, shown,
                               changed))
                    feeder.Put(changed ? shown : item.path, item.entry, index);
            },
            &archiver->missingVolume, &archiver->listingFacts) == 0;
    feeder.Finish();
    if (archiver->listed)
        archiver->password = password;
    User().EndProgress();
    archiver->mode = ModeNone;
    return 0;
}

bool Archiver::Open(const std::wstring& path) {
    // Any volume of a set is shown as the set, by its first volume.
    archivePath = FirstVolume(path);
    missingVolume.clear();
    replaceAll = 0;
    cancelled = 0;
    listed = false;
    openStoppedByUser = false;
    int declinedBefore = passwordsDeclined;
    ResetProgress();

    Job job;
    if (!job.Start(OpenJob, this))
        return false;
    // Most archives are listed in a moment: the dialog comes up only for one that takes
    // longer.
    if (!job.Wait(progressDelay)) {
        if (!User().ShowProgress(L"Open File", L"Opening File ... "))
            cancelled = 1; // the listing stops at the library's next call
        job.Wait();
    }
    // The job writes its own tree: it takes the place of the one shown only now.

    std::swap(tree, listing);
    listing.Clear();
    facts = listingFacts;
    ForgetPathOrder();
    if (listed && !cancelled) {
        // A refresh stays in the folder shown, or the nearest one above that is left.
        ListFolder(reopening ? subPath : std::string());
        return true;
    }
    ClearRows();
    ClearTree();
    // Why it did not open stays to be said.
    facts.openErrors = listingFacts.openErrors;
    openStoppedByUser = cancelled || passwordsDeclined != declinedBefore;
    return false;
}

void Archiver::Refresh() {
    std::wstring archiveCopy = archivePath;
    // The tree stays until the new one is listed: the window draws its rows meanwhile.
    RemoveTempFolder();
    reopening = true;
    Open(archiveCopy);
    reopening = false;
}
