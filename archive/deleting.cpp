// Deleting entries of the open archive through the console tool, in one run on a worker
// thread under the progress dialog.
#include "archive/archiver.h"

#include "app/appstate.h"
#include "archive/archivekind.h"
#include "archive/console/consolesession.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/jobthread.h"
#include "archive/questions.h"
#include "archive/textconv.h"

bool Archiver::CanBeChanged() const {
    return IsUpdatableKind(GetArchiveKind(archivePath));
}

void Archiver::RunOnEntries(const std::wstring& command, const std::vector<std::wstring>& names,
                            const std::atomic<int32_t>* stop) {
    mode = ModeDelete;
    // The password that opened the archive answers the tool when it needs one to open it
    // (encrypted names); without one the user is asked.
    ConsoleSession session(*this);
    session.cancelled = stop;
    if (!password.empty())
        session.SetPassword(WideToUtf8(password));
    ToolRun run;
    if (!MakeItemsRun(archivePath, command, names, false, run)) {
        jobFailure = listFileFailure;
    } else {
        RunToolOnArchive(run, session, archivePath);
        lastOutcome.end = session.RunEnd();
        // A delete or a rename has nothing to leave out: anything but a clean end failed.
        if (lastOutcome.end == JobEnd::Failure || lastOutcome.end == JobEnd::Warnings)
            jobFailure = session.FailureMessage();
    }
    mode = ModeNone;
}

int Archiver::DeleteItems(const std::vector<std::wstring>& names) {
    return DeleteEntries(PathsInFolderShown(names));
}

int Archiver::DeleteEntries(const std::vector<std::wstring>& paths) {
    if (!CanBeChanged()) {
        User().Tell(L"Operation is not supported.");
        return -1;
    }

    std::vector<std::wstring> entries;
    std::wstring refused;
    std::wstring alike;
    for (const std::wstring& entry : paths) {
        // The tool deletes by name: one of two entries of one name, or an entry whose path
        // leaves the archive (shown between quotes), cannot be named alone.
        bool quoted = entry.size() >= 2 && entry.front() == L'"' && entry.back() == L'"';
        if (quoted || tree.DuplicateIndex(tree.Find(WideToUtf8(entry))) != ArchiveTree::noIndex)
            alike += L"\n" + entry;
        else if (IsListableName(entry))
            entries.push_back(entry);
        else
            refused += L"\n" + entry;
    }

    jobFailure.clear();
    lastOutcome = JobOutcome();
    if (!entries.empty()) {
        RunUnderProgress(
            L"Delete Files", L"Deleting Files ... ",
            [this, &entries](const std::atomic<int32_t>* stop) {
                RunOnEntries(L"d", entries, stop);
            },
            progressDelay);
    }
    if (!jobFailure.empty()) {
        lastOutcome.end = JobEnd::Failure;
        User().Tell(jobFailure);
    }
    if (!refused.empty()) {
        lastOutcome.AtLeast(JobEnd::Failure);
        std::wstring text = L"These entries were not deleted: their names cannot be handed "
                            L"to the archive tool." +
                            refused;
        User().Tell(text);
    }

    if (!alike.empty()) {
        lastOutcome.AtLeast(JobEnd::Failure);
        std::wstring text = L"These entries were not deleted: the archive holds another entry "
                            L"of the same name, or their names lead out of the archive, and "
                            L"the archive tool deletes by name." +
                            alike;
        User().Tell(text);
    }

    Refresh();
    // The tool may end well having found nothing of that name to delete: whatever is still
    // there was not deleted, and is said so rather than taken for done.
    if (jobFailure.empty() && lastOutcome.end != JobEnd::Cancelled && listed) {
        std::wstring kept;
        for (const std::wstring& entry : entries) {
            if (tree.Find(WideToUtf8(entry)) != ArchiveTree::none)
                kept += L"\n" + entry;
        }
        if (!kept.empty()) {
            lastOutcome.AtLeast(JobEnd::Failure);
            std::wstring text = L"These entries could not be deleted:" + kept;
            User().Tell(text);
        }
    }
    return 0;
}
