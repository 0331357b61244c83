// Testing an archive: every entry decoded and checked, nothing written.
#include "archive/testing.h"

#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/jobthread.h"
#include "archive/shownpath.h"
#include "shell/paths.h"

TestOutcome TestWithProgress(const std::wstring& archive, const std::wstring& password,
                             const std::vector<std::wstring>& names, const EntryChoice* choice) {
    TestReport report;
    int result = 1;
    bool ran = RunUnderProgress(L"Test Files", L"Testing Files ... ",
                                [&](const std::atomic<int32_t>* cancelled) {
                                    ArchiveContents contents;
                                    contents.password = password;
                                    result = TestArchive(archive, GetArchiveKind(archive), contents,
                                                         &names, cancelled, report, choice);
                                });
    TestOutcome outcome;
    if (!ran || report.userStopped)
        return outcome;
    outcome.clean = result == 0;
    outcome.outcome = TestResultOutcome(FileNamePart(archive), names.empty(), report);
    outcome.message = OutcomeText(outcome.outcome);
    return outcome;
}

JobOutcome TestResultOutcome(const std::wstring& archiveName, bool wholeArchive,
                             const TestReport& report) {
    JobOutcome outcome;
    outcome.end = JobEnd::Failure;
    if (!report.missingVolume.empty()) {
        outcome.headline = MissingVolumeMessage(report.missingVolume);
        return outcome;
    }
    if (!report.opened) {
        outcome.headline = archiveName + L" could not be tested: it cannot be opened.";
        std::wstring why = OpenProblemText(archiveName, report.openErrors);
        if (report.openErrors != 0)
            outcome.notes.push_back(why);
        else
            outcome.headline += L" It may be damaged, incomplete, or not an archive.";
        return outcome;
    }
    outcome.notes = HealthNotes(report.health, archiveName);
    if (report.damaged.empty() && !report.stopped && !report.health.Damaged()) {
        const wchar_t* what = wholeArchive ? L"" : L"the selected entries of ";
        outcome.end = report.health.warnings != 0 ? JobEnd::Warnings : JobEnd::Success;
        outcome.headline = L"No errors were found in " + std::wstring(what) + archiveName + L".";
        return outcome;
    }
    outcome.headline = L"Errors were found in " + archiveName + L".";
    outcome.listTitle = L"Damaged entries:";
    for (const DamagedEntry& entry : report.damaged)
        outcome.entries.push_back({ShownPath(entry.path), Fault::DataError, DamageText(entry)});
    if (report.stopped)
        outcome.notes.push_back(L"The test stopped at a fault it could not read past; the "
                                L"entries after it were not tested.");
    return outcome;
}

std::wstring TestResultText(const std::wstring& archiveName, bool wholeArchive,
                            const TestReport& report) {
    return OutcomeText(TestResultOutcome(archiveName, wholeArchive, report));
}
