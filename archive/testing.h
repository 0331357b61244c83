#pragma once

#include "archive/library/archivetest.h"
#include "archive/outcome.h"

#include <string>
#include <vector>

// What a test tells the user.
struct TestOutcome {
    JobOutcome outcome;
    std::wstring message; // its text; empty when the user stopped the test
    bool clean = false;   // no errors were found
};

// Tests the entries `names` of `archive` (paths inside it; empty: the whole archive)
// through the library's test mode under the progress dialog, writing nothing. `password`
// is the known one (empty: the user is asked when it is needed). UI thread.
TestOutcome TestWithProgress(const std::wstring& archive, const std::wstring& password,
                             const std::vector<std::wstring>& names,
                             const EntryChoice* choice = nullptr);

// A test's outcome: no errors found, or the damaged entries by name with what is wrong
// with each, and what is wrong with the archive as a whole.
JobOutcome TestResultOutcome(const std::wstring& archiveName, bool wholeArchive,
                             const TestReport& report);
// Its words (the first twenty damaged entries, then how many more).
std::wstring TestResultText(const std::wstring& archiveName, bool wholeArchive,
                            const TestReport& report);
