#include "app/commandline.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, RegistrationSwitchesAreCaseSensitiveSubstrings) {
    EXPECT_TRUE(HasUnregisterSwitch(L"/UnRegister"));
    EXPECT_TRUE(HasUnregisterSwitch(L"something /UnRegister behind"));
    EXPECT_FALSE(HasUnregisterSwitch(L"/unregister"));
    EXPECT_TRUE(HasRegisterSwitch(L"/Register"));
    EXPECT_TRUE(HasRegisterSwitch(L"x/Registered"));
    EXPECT_FALSE(HasRegisterSwitch(L"/UnRegister"));
    EXPECT_FALSE(HasRegisterSwitch(L"/register"));
}

TEST(CommandLine, VerbsAreToldByTheirFirstTwoCharacters) {
    struct {
        const wchar_t* line;
        Verb verb;
        const wchar_t* argument;
    } cases[] = {
        {L"/e \"C:\\data\\set.zip\"", Verb::ExtractHere, L"C:\\data\\set.zip"},
        {L"/x \"C:\\data\\set.zip\"", Verb::ExtractTo, L"C:\\data\\set.zip"},
        {L"/x \"C:\\my files\\a b.rar\"", Verb::ExtractTo, L"C:\\my files\\a b.rar"},
        {L"/s \"C:\\data\\set.tar.gz\"", Verb::ExtractToFolder, L"C:\\data\\set.tar.gz"},
        {L"/s C:\\my files\\set.7z", Verb::ExtractToFolder, L"C:\\my files\\set.7z"},
        // The add collector gets the rest of the line with its quotes.
        {L"/a \"C:\\data\\notes.txt\"", Verb::AddRequest, L"\"C:\\data\\notes.txt\""},
        // Anything that begins like a verb is taken as one.
        {L"/example", Verb::ExtractHere, L"xample"},
        {L"/xy", Verb::ExtractTo, L"y"},
        // Unquoted paths are taken whole; a missing closing quote loses nothing.
        {L"/e C:\\data\\set.zip", Verb::ExtractHere, L"C:\\data\\set.zip"},
        {L"/e \"C:\\data\\set.zip", Verb::ExtractHere, L"C:\\data\\set.zip"},
        {L"/e  \"C:\\two blanks.zip\"", Verb::ExtractHere, L"C:\\two blanks.zip"},
        // Lines shorter than the registered form give no path and read nothing beyond.
        {L"/e", Verb::ExtractHere, L""},
        {L"/e ", Verb::ExtractHere, L""},
        {L"/e \"", Verb::ExtractHere, L""},
        {L"/e \"\"", Verb::ExtractHere, L""},
        {L"/e \"x\"", Verb::ExtractHere, L"x"},
        {L"/a", Verb::AddRequest, L""},
        {L"/a ", Verb::AddRequest, L""},
        // Not verbs: the window runs.
        {L"", Verb::None, L""},
        {L"/", Verb::None, L""},
        {L"/E \"C:\\set.zip\"", Verb::None, L""},
        {L"C:\\data\\set.zip", Verb::None, L""},
        {L" /e \"C:\\set.zip\"", Verb::None, L""},
    };
    for (const auto& c : cases) {
        VerbRequest request = ParseVerb(c.line);
        EXPECT_EQ(request.verb, c.verb) << testing::PrintToString(std::wstring(c.line));
        EXPECT_EQ(request.argument, c.argument) << testing::PrintToString(std::wstring(c.line));
    }
}

TEST(CommandLine, AnArchiveLiesInThePathUpToItsLastBackslash) {
    EXPECT_EQ(ArchiveFolder(L"C:\\data\\set.zip"), L"C:\\data");
    EXPECT_EQ(ArchiveFolder(L"C:\\set.zip"), L"C:\\"); // the root, not drive C's current folder
    EXPECT_EQ(ArchiveFolder(L"set.zip"), L"");
}

} // namespace
