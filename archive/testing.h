#pragma once

#include "archive/library/archivetest.h"

#include <string>
#include <vector>

// What a test tells the user.
struct TestOutcome {
    std::wstring message; // empty when the user stopped the test
    bool clean = false;   // no errors were found
};

// Tests the entries `names` of `archive` (paths inside it; empty: the whole archive)
// through the library's test mode under the progress dialog, writing nothing. `password`
// is the known one (empty: the user is asked when it is needed). UI thread.
TestOutcome TestWithProgress(const std::wstring& archive, const std::wstring& password,
                             const std::vector<std::wstring>& names);

// The words for a test's outcome: no errors found, or the damaged entries by name (the
// first twenty, then how many more) with what is wrong with each.
std::wstring TestResultText(const std::wstring& archiveName, bool wholeArchive,
                            const TestReport& report);
