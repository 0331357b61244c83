// Testing an archive: every entry decoded and checked, nothing written.
#include "archive/testing.h"

#include "archive/archiver.h"
#include "archive/archivekind.h"
#include "archive/jobthread.h"
#include "shell/paths.h"

TestOutcome TestWithProgress(const std::wstring& archive, const std::wstring& password,
                             const std::vector<std::wstring>& names) {
    TestReport report;
    int result = 1;
    bool ran = RunUnderProgress(
        L"Test Files", L"Testing Files ... ", [&](const std::atomic<int32_t>* cancelled) {
            ArchiveContents contents;
            contents.password = password;
            result =
                TestArchive(archive, GetArchiveKind(archive), contents, &names, cancelled, report);
        });
    TestOutcome outcome;
    if (!ran || report.userStopped)
        return outcome;
    outcome.clean = result == 0;
    outcome.message = TestResultText(FileNamePart(archive), names.empty(), report);
    return outcome;
}

std::wstring TestResultText(const std::wstring& archiveName, bool wholeArchive,
                            const TestReport& report) {
    if (!report.missingVolume.empty())
        return MissingVolumeMessage(report.missingVolume);
    if (!report.opened)
        return archiveName + L" could not be tested: it cannot be opened. It may be damaged, "
                             L"incomplete, or not an archive.";
    if (report.damaged.empty() && !report.stopped) {
        const wchar_t* what = wholeArchive ? L"" : L"the selected entries of ";
        return L"No errors were found in " + std::wstring(what) + archiveName + L".";
    }

    std::wstring text = L"Errors were found in " + archiveName + L".";
    if (!report.damaged.empty()) {
        text += L"\n\nDamaged entries:";
        const size_t shown = 20;
        for (size_t i = 0; i < report.damaged.size() && i < shown; ++i)
            text += L"\n" + report.damaged[i].path + L": " + DamageText(report.damaged[i]);
        if (report.damaged.size() > shown)
            text += L"\n... and " + std::to_wstring(report.damaged.size() - shown) + L" more";
    }
    if (report.stopped)
        text += L"\n\nThe test stopped at a fault it could not read past; the entries after "
                L"it were not tested.";
    return text;
}
