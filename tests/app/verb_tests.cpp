// The shell's verbs, started as the shell starts them: the real program with /e, /x and /s.
#include "archive/extracttofolder.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

namespace {

using namespace testing_support;

// The exit codes the verbs end with.
const int success = 0, warnings = 1, failure = 2, cancelled = 255;

// An archive copied into its own folder, as a user would have it.
std::wstring Place(const ScratchFolder& scratch, const std::wstring& source) {
    std::wstring target = scratch / FileNamePart(source);
    CopyFileW(source.c_str(), target.c_str(), FALSE);
    return target;
}

TEST(ExtractHere, PutsEveryEntryNextToTheArchive) {
    for (const std::wstring& source :
         {TestData(L"nested.zip"), TestData(L"plain.7z"), Fixture(L"rar4-folders.rar"),
          Fixture(L"rar5-folders.rar")}) {
        ScratchFolder scratch;
        std::wstring archive = Place(scratch, source);
        EXPECT_EQ(RunAndWait(ProgramPath(), L"/e \"" + archive + L"\""), 0);
        std::vector<std::wstring> entries = ListTree(scratch.path());
        EXPECT_GT(entries.size(), 5u) << Narrow(source);
    }
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, Fixture(L"rar5-folders.rar"));
    RunAndWait(ProgramPath(), L"/e \"" + archive + L"\"");
    EXPECT_EQ(ReadTextFile(scratch / L"sub\\\u00fc\u0235\u0129\u00f6\u1e0b\u00e8\\file.txt"),
              "file\n");

    // Files get the times the archive keeps.
    ScratchFolder sevenZip;
    archive = Place(sevenZip, TestData(L"plain.7z"));
    RunAndWait(ProgramPath(), L"/e \"" + archive + L"\"");
    SYSTEMTIME when = {2012, 3, 0, 4, 5, 6, 7, 0};
    FILETIME expected;
    SystemTimeToFileTime(&when, &expected);
    FILETIME got = ModifiedTime(sevenZip / L"folder\\inner\\two.txt");
    EXPECT_EQ(got.dwLowDateTime, expected.dwLowDateTime);
    EXPECT_EQ(got.dwHighDateTime, expected.dwHighDateTime);
}

TEST(ExtractHere, FilesFromADownloadedArchiveCarryItsWebMark) {
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, TestData(L"plain.7z"));
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/p.7z\r\n";
    SetWebMark(archive, mark);
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/e \"" + archive + L"\""), 0);
    EXPECT_EQ(WebMarkOf(scratch / L"folder\\inner\\two.txt"), mark);
    EXPECT_EQ(WebMarkOf(scratch / L"root.txt"), mark);
}

TEST(ExtractHere, ANonArchiveOrADamagedOneExtractsNothingAndSaysSo) {
    const struct {
        std::wstring source;
        const wchar_t* said;
    } cases[] = {{TestData(L"notes.txt"), L"notes.txt is not an archive this program reads."},
                 {TestData(L"damaged.zip"), L"damaged.zip could not be opened."},
                 {Fixture(L"rar5-unopenable.rar"), L"rar5-unopenable.rar could not be opened."},
                 {TestData(L"truncated.7z"), L"truncated.7z is cut short"}};
    for (const auto& c : cases) {
        ScratchFolder scratch;
        std::wstring archive = Place(scratch, c.source);
        VerbRun run = RunVerb(L"/e \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure) << Narrow(c.source);
        EXPECT_TRUE(run.Said(c.said)) << Narrow(c.source);
        EXPECT_EQ(CountEntries(scratch.path()), 1) << Narrow(c.source);
    }
}

TEST(ExtractHere, AnEncryptedArchiveAsksForThePassword) {
    {
        ScratchFolder scratch;
        std::wstring archive = Place(scratch, Fixture(L"rar4-data-encrypted.rar"));
        StartedProgram program(L"/e \"" + archive + L"\"");
        DialogAnswerer user(DialogWithCaption(L"Varnix File Opener", program.id()),
                            TypeAndPressEnter(1004, L"12345678"));
        EXPECT_EQ(program.Wait(), 0);
        EXPECT_EQ(ReadTextFile(scratch / L"foo.txt"), "data of foo.txt\n");
        EXPECT_EQ(ReadTextFile(scratch / L"bar.txt"), "data of bar.txt\n");
        EXPECT_EQ(user.answered(), 1);
    }
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, Fixture(L"rar4-data-encrypted.rar"));
    StartedProgram program(L"/e \"" + archive + L"\"");
    DialogAnswerer user(DialogWithCaption(L"Varnix File Opener", program.id()),
                        PressButton(IDCANCEL));
    EXPECT_EQ(program.Wait(), cancelled);
    EXPECT_EQ(CountEntries(scratch.path()), 1);
}

TEST(ExtractHere, AnArchiveAtADriveRootExtractsIntoThatRoot) {
    // The shell may start the program in any folder of the same drive, where "C:" alone
    // would name that folder.
    const std::wstring archive = L"C:\\varnix-root-test.zip";
    const std::wstring entry = L"C:\\varnix-root-entry.txt";
    ASSERT_TRUE(CopyFileW(TestData(L"rootentry.zip").c_str(), archive.c_str(), FALSE));
    ScratchFolder elsewhere;
    ASSERT_EQ(towupper(elsewhere.path()[0]), L'C');
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(elsewhere.path().c_str());
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/e \"" + archive + L"\""), 0);
    SetCurrentDirectoryW(previous);

    EXPECT_EQ(ReadTextFile(entry), "at the root");
    EXPECT_EQ(CountEntries(elsewhere.path()), 0);
    DeleteFileW(entry.c_str());
    DeleteFileW(archive.c_str());
}

TEST(ExtractHere, ThePasswordTypedToOpenTheNamesAlsoExtractsThem) {
    const struct {
        std::wstring archive;
        const wchar_t* password;
        const wchar_t* entry;
    } cases[] = {{TestData(L"headers.7z"), L"secret", L"root.txt"},
                 {Fixture(L"rar4-headers-encrypted.rar"), L"12345678", L"foo.txt"},
                 {Fixture(L"rar5-headers-encrypted.rar"), L"password", L"stest1.txt"}};
    for (const auto& c : cases) {
        ScratchFolder scratch;
        std::wstring archive = Place(scratch, c.archive);
        StartedProgram program(L"/e \"" + archive + L"\"");
        DialogAnswerer user(DialogWithText(L"Enter password:", program.id()),
                            TypeAndPressEnter(IDC_PASSWORD, c.password));
        EXPECT_EQ(program.Wait(), 0);
        EXPECT_EQ(user.answered(), 1) << Narrow(c.archive);
        EXPECT_TRUE(FileExists(scratch / c.entry)) << Narrow(c.archive);
    }
}

TEST(ExtractHere, AFileThatIsThereAlreadyIsReplacedOnlyWithTheUsersWord) {
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, TestData(L"nested.zip"));
    WriteTextFile(scratch / L"top.txt", "edited by the user");
    WriteTextFile(scratch / L"director.txt", "edited too");
    {
        // top.txt comes first: No keeps it; Cancel stops before director.txt.
        StartedProgram program(L"/e \"" + archive + L"\"");
        int asked = 0;
        DialogAnswerer user(DialogWithText(L"&Keep Both", program.id()), [&](HWND question) {
            PressButton(++asked == 1 ? IDNO : IDCANCEL)(question);
        });
        EXPECT_EQ(program.Wait(), cancelled);
        EXPECT_EQ(user.answered(), 2);
    }
    EXPECT_EQ(ReadTextFile(scratch / L"top.txt"), "edited by the user");
    EXPECT_EQ(ReadTextFile(scratch / L"director.txt"), "edited too");
    EXPECT_FALSE(FileExists(scratch / L"big.bin")); // after the cancel

    // Yes to all replaces both without asking again.
    StartedProgram program(L"/e \"" + archive + L"\"");
    DialogAnswerer user(DialogWithText(L"&Keep Both", program.id()), PressButton(IDC_REPLACE_ALL));
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(ReadTextFile(scratch / L"top.txt"), "top level");
    EXPECT_EQ(ReadTextFile(scratch / L"director.txt"), "director");
}

TEST(ExtractHere, AnEntryThatCannotComeOutWholeLeavesNoFileAndIsNamed) {
    {
        ScratchFolder scratch;
        Place(scratch, Fixture(L"rar4-truncated.rar"));
        VerbRun run = RunVerb(L"/e \"" + (scratch / L"rar4-truncated.rar") + L"\"");
        EXPECT_EQ(run.exitCode, failure);
        EXPECT_EQ(run.messages.size(), 1u);
        EXPECT_EQ(ListTree(scratch.path()), (std::vector<std::wstring>{L"rar4-truncated.rar"}));
    }
    // d.txt has a password of its own: the one typed for b.txt cannot decrypt it.
    for (const wchar_t* name : {L"rar4-mixed-passwords.rar", L"rar5-mixed-passwords.rar"}) {
        ScratchFolder scratch;
        std::wstring archive = Place(scratch, Fixture(name));
        StartedProgram program(L"/e \"" + archive + L"\"");
        DialogAnswerer user(DialogWithText(L"Enter password:", program.id()),
                            TypeAndPressEnter(IDC_PASSWORD, L"password"));
        ProgramMessages told(program);
        EXPECT_EQ(program.Wait(), failure);
        ASSERT_EQ(told.messages().size(), 1u);
        EXPECT_NE(told.messages()[0].find(L"\nd.txt: "), std::wstring::npos)
            << Narrow(told.messages()[0]);
        EXPECT_EQ(ListTree(scratch.path()), Sorted({name, L"a.txt", L"b.txt", L"c.txt"}));
        EXPECT_EQ(ReadTextFile(scratch / L"b.txt").size(), 18u);
    }
}

TEST(ExtractHere, EveryKindOfArchiveExtractsItsEntries) {
    const std::string readme = "read me first\n";
    const struct {
        const wchar_t* archive;
        const wchar_t* entry; // a file that must come out, beginning with `content`
        std::string content;
    } cases[] = {
        {L"kit.tar", L"kit\\readme.txt", readme},
        {L"kit.tar.gz", L"kit\\readme.txt", readme}, // the tar's entries, straight
        {L"kit.tgz", L"kit\\readme.txt", readme},
        {L"kit.tar.bz2", L"kit\\readme.txt", readme},
        {L"kit.tar.xz", L"kit\\readme.txt", readme},
        {L"kit.tar.zst", L"kit\\readme.txt", readme},
        {L"kit.cpio", L"kit\\readme.txt", readme},
        {L"kit.iso", L"kit\\readme.txt", readme},
        {L"kit.cab", L"kit\\readme.txt", readme},
        {L"kit.wim", L"kit\\readme.txt", readme},
        {L"kit.deb", L"data.tar.xz",
         std::string("\xFD"
                     "7zXZ",
                     5)},
        {L"kit.rpm", L"kit-1.0-1.noarch.cpio.gz", "\x1F\x8B"}, // its payload
        {L"notes.txt.gz", L"notes.txt", "compressed notes\n"}, // named after the archive
        {L"notes.txt.lzma", L"notes.txt", "compressed notes\n"},
        {L"really-7z.zip", L"root.txt", "root file\n"}, // told by its signature
        {L"really-zip.rar", L"top.txt", "top level"},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        std::wstring archive = Place(scratch, TestData(std::wstring(L"formats\\") + c.archive));
        EXPECT_EQ(RunAndWait(ProgramPath(), L"/e \"" + archive + L"\""), 0);
        EXPECT_EQ(ReadTextFile(scratch / c.entry).substr(0, c.content.size()), c.content)
            << Narrow(c.archive);
    }
}

// The volumes of a set, copied beside each other as a download leaves them.
std::wstring PlaceSet(const ScratchFolder& scratch, const std::wstring& folder,
                      const std::wstring& prefix, const std::wstring& opened) {
    EXPECT_GT(CopyFilesBeginningWith(folder, prefix, scratch.path()), 1) << Narrow(prefix);
    return scratch / opened;
}

TEST(ExtractHere, AnyVolumeOfASetExtractsTheWholeSet) {
    const std::wstring volumes = TestData(L"volumes");
    const uint32_t bigCrc = FileCrc(volumes + L"\\source\\big.bin");
    const struct {
        std::wstring folder;
        const wchar_t* prefix;
        const wchar_t* opened; // a middle volume, or the first of a spanned ZIP
        const wchar_t* entry;
        uint32_t crc;
    } cases[] = {
        {volumes, L"split7z.7z.", L"split7z.7z.003", L"big.bin", bigCrc},
        {volumes, L"splitzip.zip.", L"splitzip.zip.002", L"big.bin", bigCrc},
        {volumes, L"spanned.z", L"spanned.z02", L"big.bin", bigCrc},
        {VolumeFixture(L""), L"rar5-volumes.", L"rar5-volumes.part3.rar",
         L"home\\antek\\temp\\build\\unrar5\\libarchive\\bin\\bsdtar_test", 0xE59665F8},
        {VolumeFixture(L""), L"rar4-volumes.", L"rar4-volumes.part2.rar",
         L"ppmd_lzss_conversion_test.txt", 0xF72B4477},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        std::wstring opened = PlaceSet(scratch, c.folder, c.prefix, c.opened);
        EXPECT_EQ(RunAndWait(ProgramPath(), L"/e \"" + opened + L"\""), 0);
        EXPECT_EQ(FileCrc(scratch / c.entry), c.crc) << Narrow(c.opened);
    }
}

TEST(ExtractHere, ASetWithAVolumeMissingLeavesNothingAndNamesTheVolume) {
    for (const wchar_t* opened : {L"split7z.7z.001", L"spanned.zip"}) {
        ScratchFolder scratch;
        PlaceSet(scratch, TestData(L"volumes\\gaps"), std::wstring(opened).substr(0, 9), opened);
        size_t before = ListTree(scratch.path()).size();
        VerbRun run = RunVerb(L"/e \"" + (scratch / opened) + L"\"");
        EXPECT_EQ(run.exitCode, failure) << Narrow(opened);
        EXPECT_TRUE(run.Said(L"of this set is missing")) << Narrow(opened);
        EXPECT_EQ(ListTree(scratch.path()).size(), before) << Narrow(opened);
    }
}

TEST(ExtractTo, ThePickerStartsAtTheArchivesFolder) {
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, TestData(L"plain.7z"));
    {
        // Cancel: nothing happens.
        StartedProgram program(L"/x \"" + archive + L"\"");
        DialogAnswerer user(
            DialogWithText(L"Please select a folder to extract to...", program.id()),
            PressButton(IDCANCEL));
        EXPECT_EQ(program.Wait(), cancelled);
        EXPECT_EQ(user.answered(), 1);
        EXPECT_EQ(CountEntries(scratch.path()), 1);
    }
    // The picker starts on the archive's folder; OK extracts there.
    StartedProgram program(L"/x \"" + archive + L"\"");
    std::wstring folderName = FileNamePart(scratch.path());
    DialogAnswerer user(
        DialogWithText(L"Please select a folder to extract to...", program.id()), [&](HWND dialog) {
            EXPECT_TRUE(WaitUntil([&] { return SelectedFolderInBrowser(dialog) == folderName; }));
            PressButton(IDOK)(dialog);
        });
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"folder\\inner\\two.txt"), "two two\n");
}

TEST(ExtractToFolder, ManyEntriesGoIntoANewFolderThatNeverMixesWithOneThere) {
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, TestData(L"nested.zip"));
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/s \"" + archive + L"\""), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"nested\\docs\\deep\\deeper\\note.txt"), "deep note");

    // "nested" is taken now, and "nested (2)" by a file: the next free name.
    WriteTextFile(scratch / L"nested (2)", "a file of the user's");
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/s " + archive), 0); // unquoted, as typed
    EXPECT_EQ(ReadTextFile(scratch / L"nested (3)\\top.txt"), "top level");
    EXPECT_EQ(CountEntries(scratch.path()), 4);

    // A set's volume and compression extensions go with the archive's own.
    for (const wchar_t* name : {L"set.part1.rar", L"set.PART12.RAR", L"set.7z.001", L"set.zip.001",
                                L"set.tar.gz", L"set.tgz", L"set.tar", L"set.zip", L"set. .zip"})
        EXPECT_EQ(ExtractFolderName(L"C:\\data\\" + std::wstring(name)), L"set") << Narrow(name);
    EXPECT_EQ(ExtractFolderName(L"C:\\notes.part1.2023.zip"), L"notes.part1.2023");
    EXPECT_EQ(ExtractFolderName(L"C:\\.zip"), L".zip");
}

TEST(ExtractToFolder, OneTopLevelEntryComesOutBesideTheArchive) {
    ScratchFolder scratch;
    std::wstring folderArchive = Place(scratch, TestData(L"onefolder.zip"));
    std::wstring fileArchive = Place(scratch, TestData(L"rootentry.zip"));
    std::wstring rarArchive = Place(scratch, Fixture(L"rar5-folders.rar"));
    std::wstring sevenZip = Place(scratch, TestData(L"plain.7z")); // three top-level entries
    for (const std::wstring& archive : {folderArchive, fileArchive, rarArchive, sevenZip})
        EXPECT_EQ(RunAndWait(ProgramPath(), L"/s \"" + archive + L"\""), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"project\\src\\main.c"), "int main(void) { return 0; }");
    EXPECT_EQ(ReadTextFile(scratch / L"varnix-root-entry.txt"), "at the root");
    EXPECT_EQ(ReadTextFile(scratch / L"sub\\dir1\\file1.txt"), "file1\n");
    EXPECT_EQ(ReadTextFile(scratch / L"plain\\folder\\inner\\two.txt"), "two two\n");
    EXPECT_EQ(CountEntries(scratch.path()), 8);

    // The folder is there now: a new folder named after the archive takes the entry.
    WriteTextFile(scratch / L"project\\readme.txt", "edited by the user");
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/s \"" + folderArchive + L"\""), 0);
    EXPECT_EQ(ReadTextFile(scratch / L"onefolder\\project\\readme.txt"), "project readme");
    EXPECT_EQ(ReadTextFile(scratch / L"project\\readme.txt"), "edited by the user");

    // A file that is there is replaced only with the user's word.
    WriteTextFile(scratch / L"varnix-root-entry.txt", "kept");
    StartedProgram program(L"/s \"" + fileArchive + L"\"");
    DialogAnswerer user(DialogWithText(L"&Keep Both", program.id()), PressButton(IDNO));
    EXPECT_EQ(program.Wait(), 0);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(ReadTextFile(scratch / L"varnix-root-entry.txt"), "kept");
    EXPECT_EQ(CountEntries(scratch.path()), 9);
}

TEST(ExtractToFolder, AFailureIsSaidAndLeavesNoFolder) {
    ScratchFolder scratch;
    for (const std::wstring& source :
         {TestData(L"notes.txt"), TestData(L"damaged.zip"), TestData(L"truncated.7z")}) {
        std::wstring archive = Place(scratch, source);
        VerbRun run = RunVerb(L"/s \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure) << Narrow(source);
        EXPECT_EQ(run.messages.size(), 1u) << Narrow(source);
    }
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/s"), failure);
    // The password is declined: the new folder goes again, and that needs no word.
    std::wstring encrypted = Place(scratch, TestData(L"encrypted.7z"));
    StartedProgram program(L"/s \"" + encrypted + L"\"");
    DialogAnswerer user(DialogWithText(L"Enter password:", program.id()), PressButton(IDCANCEL));
    EXPECT_EQ(program.Wait(), cancelled);
    EXPECT_EQ(user.answered(), 1);
    EXPECT_EQ(CountEntries(scratch.path()), 4);
}

TEST(ExtractHere, WithoutTheLibraryNothingIsExtractedAndTheReasonIsPrinted) {
    ScratchFolder scratch;
    std::wstring program = scratch / L"VarnixFileOpener.exe";
    CopyFileW(ProgramPath().c_str(), program.c_str(), FALSE);
    std::wstring archive = Place(scratch, TestData(L"plain.7z"));

    // Standard output goes to a file, where the library back-end's message lands.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileW((scratch / L"out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                &inherit, CREATE_ALWAYS, 0, nullptr);
    std::wstring commandLine = L"\"" + program + L"\" /e \"" + archive + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &info));
    // The user is told too.
    DialogAnswerer told(MessageBeginningWith(L"plain.7z could not be opened", info.dwProcessId),
                        PressButton(IDOK));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeProcess(info.hProcess, &exitCode);
    EXPECT_EQ(exitCode, static_cast<DWORD>(failure));
    EXPECT_EQ(told.answered(), 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(output);

    EXPECT_EQ(ReadTextFile(scratch / L"out.txt"), "\nCan not load 7-zip library\n");
    EXPECT_EQ(CountEntries(scratch.path()), 3); // program, archive, output
}

// Names that cannot be written as they are: the questions say why two entries meet, the
// names changed are listed at the end as a warning, and nothing goes outside the folder.
TEST(ExtractHere, NamesChangedOrMetAreSaidAndStayInside) {
    ScratchFolder scratch;
    std::wstring archive = Place(scratch, TestData(L"broken\\badnames.zip"));
    StartedProgram program(L"/e \"" + archive + L"\"");
    std::vector<std::wstring> questions;
    std::mutex lock;
    DialogAnswerer keepBoth(DialogWithText(L"&Keep Both", program.id()), [&](HWND question) {
        {
            std::lock_guard<std::mutex> hold(lock);
            questions.push_back(ControlText(question, IDC_REPLACE_TEXT));
        }
        PressButton(IDC_KEEP_BOTH)(question);
    });
    ProgramMessages told(program);
    EXPECT_EQ(program.Wait(), warnings);
    ASSERT_EQ(questions.size(), 2u);
    EXPECT_EQ(questions[0].rfind(L"The archive holds the entry \"dup.txt\" twice.", 0), 0u)
        << Narrow(questions[0]);
    EXPECT_NE(questions[1].find(L"differ only in dots or blanks at the end"), std::wstring::npos)
        << Narrow(questions[1]);
    ASSERT_EQ(told.messages().size(), 1u);
    const std::wstring message = told.messages()[0];
    for (const wchar_t* changed :
         {L"../escape.txt \u2192 escape.txt", L"/abs.txt \u2192 abs.txt", L"a:b \u2192 a_b",
          L"what? \u2192 what_", L"CON.txt \u2192 _CON.txt", L"COM\u00b9.txt \u2192 _COM\u00b9.txt",
          L"LPT\u00b2 \u2192 _LPT\u00b2"})
        EXPECT_NE(message.find(changed), std::wstring::npos) << Narrow(changed) << Narrow(message);
    EXPECT_EQ(ListTree(scratch.path()),
              Sorted({L"badnames.zip", L"escape.txt", L"abs.txt", L"dup.txt", L"dup (2).txt",
                      L"dot", L"dot\\inside.txt", L"a_b", L"what_", L"_CON.txt", L"_COM\u00b9.txt",
                      L"_LPT\u00b2", L"trailing", L"trailing (2)", L"normal.txt"}));
    EXPECT_EQ(ReadTextFile(scratch / L"dup (2).txt"), "second dup");

    // A backslash inside a name is written and said alike.
    ScratchFolder tar;
    VerbRun run = RunVerb(L"/e \"" + Place(tar, TestData(L"broken\\backslash.tar")) + L"\"");
    EXPECT_EQ(run.exitCode, warnings);
    EXPECT_TRUE(run.Said(L"back\\slash.txt \u2192 back_slash.txt")) << run.All();
    EXPECT_EQ(ReadTextFile(tar / L"back_slash.txt"), "backslash\n");
}

// A set is as trusted as its least trusted volume: one volume from the Internet marks
// every file of the set, whichever volume was opened.
TEST(ExtractHere, ASetCarriesTheStrictestMarkOfItsVolumes) {
    ScratchFolder scratch;
    std::wstring opened =
        PlaceSet(scratch, TestData(L"volumes"), L"split7z.7z.", L"split7z.7z.004");
    const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
    SetWebMark(opened, mark);
    EXPECT_EQ(RunAndWait(ProgramPath(), L"/e \"" + opened + L"\""), success);
    for (const wchar_t* file : {L"big.bin", L"small.txt"})
        EXPECT_EQ(WebMarkOf(scratch / file), mark) << Narrow(file);
}

} // namespace
