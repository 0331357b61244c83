// Archives the program cannot have its way with: held open by another program, read-only,
// on a disk that is full. Each gives a clear message, and nothing is lost.
#include "archive/archiver.h"
#include "archive/console/processrunner.h"
#include "shell/paths.h"
#include "support/testsupport.h"
#include "win/handle.h"
#include "ui/folderbrowser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace testing_support;

std::string Bytes(const std::wstring& path) {
    return ReadTextFile(path);
}

TEST(Resilience, AnArchiveAnotherProgramHoldsSaysSoAndStaysAsItWas) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"held.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    std::string before = Bytes(archive);
    std::wstring file = RandomFile(scratch / L"new.bin", 1000);
    {
        // Held as an editor holds its document: nobody else may read or write it.
        win::KernelHandle held(CreateFileW(archive.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);

        MessageBoxReader messages;
        FolderBrowser model;
        EXPECT_FALSE(model.OpenArchive(archive));
        EXPECT_TRUE(messages.Saw(L"Couldn't open the file.\n\nAnother program is using it."))
            << messages.All();

        Archiver archiver;
        archiver.AddToArchive(archive, {file}, L"");
        EXPECT_TRUE(messages.Saw(L"The archive could not be changed."));
    }
    EXPECT_EQ(Bytes(archive), before);
    EXPECT_EQ(CountEntries(scratch.path()), 2); // no scratch copy left beside it
}

TEST(Resilience, AReadOnlyArchiveOpensButIsNotChanged) {
    ScratchFolder scratch;
    std::wstring archive = scratch / L"read-only.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_READONLY);
    std::string before = Bytes(archive);

    MessageBoxReader messages;
    FolderBrowser model;
    EXPECT_TRUE(model.OpenArchive(archive));
    model.CloseArchive();

    Archiver archiver;
    archiver.AddToArchive(archive, {RandomFile(scratch / L"new.bin", 1000)}, L"");
    EXPECT_TRUE(messages.Saw(L"The archive could not be changed.")) << messages.All();
    EXPECT_EQ(Bytes(archive), before);
    EXPECT_EQ(ArchiveEntries(archive), ArchiveEntries(TestData(L"nested.zip")));
    SetFileAttributesW(archive.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(Resilience, AFullDiskGivesAMessageAndLosesNothing) {
    std::wstring disk = SmallDisk();
    if (disk.empty())
        GTEST_SKIP() << "no small disk mounted for this run";
    std::wstring archive = disk + L"\\on-full-disk.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    std::string before = Bytes(archive);
    ScratchFolder scratch;
    std::wstring file = RandomFile(scratch / L"incompressible.bin", 300000);
    std::wstring out = disk + L"\\out";
    CreateDirectoryW(out.c_str(), nullptr);
    {
        Filler filler(disk);
        MessageBoxReader messages;

        // It still opens: reading needs no room.
        Archiver archiver;
        ASSERT_TRUE(archiver.Open(archive));

        // Adding: the tool cannot write its new archive; the old one stays whole.
        archiver.AddFiles({file});
        EXPECT_TRUE(messages.Saw(L"The archive could not be changed.")) << messages.All();
        EXPECT_EQ(Bytes(archive), before);

        // Extracting: said so, and no cut-off file is left behind.
        archiver.ListFolder("");
        archiver.ExtractItems({L"big.bin"}, out);
        EXPECT_TRUE(messages.Saw(extractFailureMessage));
        EXPECT_EQ(GetFileAttributesW((out + L"\\big.bin").c_str()), INVALID_FILE_ATTRIBUTES);
        archiver.Close();
    }
    std::vector<std::wstring> left = ListTree(disk);
    EXPECT_EQ(left, (std::vector<std::wstring>{L"on-full-disk.zip", L"out"}));
    EXPECT_EQ(ArchiveEntries(archive), ArchiveEntries(TestData(L"nested.zip")));
    DeleteFileW(archive.c_str());
    RemoveDirectoryW(out.c_str());
}

// The shell's verbs, where they cannot do all they are asked: each says what did not come
// out and why, and ends with the exit code of a failure; the files that could come out,
// did.
TEST(Resilience, TheShellVerbsSayEveryFailureAndEndWithItsCode) {
    const int failure = 2;
    // A damaged ZIP: the damaged entries by name, twenty of them, and how many more.
    {
        ScratchFolder scratch;
        std::wstring archive = scratch / L"crc.zip";
        CopyFileW(TestData(L"crc.zip").c_str(), archive.c_str(), FALSE);
        VerbRun run = RunVerb(L"/s \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure);
        EXPECT_TRUE(run.Said(L"Some files could not be extracted from crc.zip.")) << run.All();
        EXPECT_TRUE(run.Said(L"bad\\01.txt: CRC error") && run.Said(L"... and 5 more"))
            << run.All();
        EXPECT_EQ(ReadTextFile(scratch / L"crc\\good.txt"), "good data");
    }
    // Compressed streams that fail their own check: never said to be whole, and what came
    // out of them is named.
    for (const wchar_t* name : {L"flip-kit.tar.gz", L"flip-kit.tar.xz", L"flip-notes.txt.gz"}) {
        ScratchFolder scratch;
        std::wstring archive = scratch / name;
        CopyFileW(TestData(std::wstring(L"broken\\") + name).c_str(), archive.c_str(), FALSE);
        VerbRun run = RunVerb(L"/e \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure) << Narrow(name);
        EXPECT_TRUE(run.Said(L"CRC error")) << run.All();
    }
    // A cut-short tar.gz, to a folder picked.
    {
        ScratchFolder scratch;
        std::wstring archive = scratch / L"trunc-kit.tar.gz";
        CopyFileW(TestData(L"broken\\trunc-kit.tar.gz").c_str(), archive.c_str(), FALSE);
        StartedProgram program(L"/x \"" + archive + L"\"");
        // OK once the picker has come to the archive's folder, as a user would see it there.
        const std::wstring folderName = FileNamePart(scratch.path());
        DialogAnswerer picker(
            DialogWithText(L"Please select a folder to extract to...", program.id()),
            [&](HWND dialog) {
                WaitUntil([&] { return SelectedFolderInBrowser(dialog) == folderName; });
                PressButton(IDOK)(dialog);
            });
        ProgramMessages told(program);
        EXPECT_EQ(program.Wait(), failure);
        ASSERT_EQ(told.messages().size(), 1u);
        EXPECT_NE(told.messages()[0].find(L"trunc-kit.tar.gz is cut short"), std::wstring::npos)
            << Narrow(told.messages()[0]);
    }
    // A target file another program holds: that file is named, the others come out.
    {
        ScratchFolder scratch;
        std::wstring archive = scratch / L"set.zip";
        CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE);
        WriteTextFile(scratch / L"top.txt", "held");
        win::KernelHandle held(CreateFileW((scratch / L"top.txt").c_str(), GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        StartedProgram program(L"/e \"" + archive + L"\"");
        DialogAnswerer replace(DialogWithText(L"&Keep Both", program.id()), PressButton(IDYES));
        ProgramMessages told(program);
        EXPECT_EQ(program.Wait(), failure);
        ASSERT_EQ(told.messages().size(), 1u);
        EXPECT_NE(told.messages()[0].find(L"top.txt: in use by another program"),
                  std::wstring::npos)
            << Narrow(told.messages()[0]);
        held.reset();
        EXPECT_EQ(ReadTextFile(scratch / L"top.txt"), "held");
        EXPECT_EQ(ReadTextFile(scratch / L"director.txt"), "director");
    }
    // "link" is a file, and "link\x" needs it as a folder: that entry fails alone.
    {
        ScratchFolder scratch;
        std::wstring archive = scratch / L"fileinway.tar";
        CopyFileW(TestData(L"broken\\fileinway.tar").c_str(), archive.c_str(), FALSE);
        VerbRun run = RunVerb(L"/e \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure);
        EXPECT_TRUE(run.Said(L"link\\x: a file is in the way of its folder")) << run.All();
        EXPECT_EQ(ReadTextFile(scratch / L"after.txt"), "after\n");
    }
    // A name longer than Windows takes: refused alone.
    {
        ScratchFolder scratch;
        std::wstring archive = scratch / L"longname.zip";
        CopyFileW(TestData(L"longname.zip").c_str(), archive.c_str(), FALSE);
        VerbRun run = RunVerb(L"/e \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure);
        EXPECT_TRUE(run.Said(std::wstring(300, L'n') + L".txt: ")) << run.All();
        EXPECT_EQ(ReadTextFile(scratch / L"short.txt"), "short name");
    }
    // A full disk: the file that does not fit is named; the later one that fits comes out.
    if (std::wstring disk = SmallDisk(); !disk.empty()) {
        ScratchFolder scratch;
        WriteTextFile(scratch / L"a-big.bin", std::string(3 << 20, '\0'));
        WriteTextFile(scratch / L"b-small.txt", "small");
        std::wstring archive = disk + L"\\fills.zip";
        Archiver archiver;
        archiver.AddToArchive(archive, {scratch / L"a-big.bin", scratch / L"b-small.txt"}, L"");
        VerbRun run = RunVerb(L"/e \"" + archive + L"\"");
        EXPECT_EQ(run.exitCode, failure);
        EXPECT_TRUE(run.Said(L"a-big.bin: disk full")) << run.All();
        EXPECT_EQ(ReadTextFile(disk + L"\\b-small.txt"), "small");
        EXPECT_FALSE(FileExists(disk + L"\\a-big.bin"));
        for (const wchar_t* name : {L"fills.zip", L"b-small.txt"})
            DeleteFileW((disk + L"\\" + name).c_str());
    }
    // A folder nobody may write: every file is named as refused.
    const std::wstring readOnly = TestData(L"fulldisk-readonly\\nested.zip");
    if (FileExists(readOnly)) {
        VerbRun run = RunVerb(L"/e \"" + readOnly + L"\"");
        EXPECT_EQ(run.exitCode, failure);
        EXPECT_TRUE(run.Said(L"top.txt: ")) << run.All();
        EXPECT_FALSE(run.Said(L"in the way")) << run.All();
    }
}

// The tool's runs judged by what they did, its closing words with its exit code: a file it
// could not read is named and the add is a warning; a tool stopped from outside (which
// Wine reports as exit code 0) is a failure, and nothing of its run is left.
TEST(Resilience, AToolRunIsJudgedByWhatItDid) {
    ScratchFolder scratch;
    std::wstring held = RandomFile(scratch / L"held.txt", 100);
    std::wstring free = RandomFile(scratch / L"free.txt", 100);
    {
        win::KernelHandle holding(CreateFileW(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holding);
        MessageBoxReader told;
        Archiver archiver;
        archiver.AddToArchive(scratch / L"both.zip", {held, free}, L"");
        EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Warnings);
        EXPECT_TRUE(told.Saw(L"Not every file could be added to both.zip.")) << told.All();
        EXPECT_NE(told.All().find(Narrow(held) + ": in use by another program"), std::string::npos)
            << told.All() << "\n"
            << Narrow(held);
        EXPECT_EQ(ArchiveEntries(scratch / L"both.zip"), std::vector<std::wstring>{L"free.txt"});

        // Nothing of a new archive could be read: no archive is made.
        archiver.AddToArchive(scratch / L"none.zip", {held}, L"");
        EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Failure);
        EXPECT_TRUE(told.Saw(L"The archive none.zip was not made")) << told.All();
        EXPECT_FALSE(FileExists(scratch / L"none.zip"));
    }

    // Stopped from outside while it writes the new archive beside the old one.
    std::wstring archive = scratch / L"kept.zip";
    ASSERT_TRUE(CopyFileW(TestData(L"nested.zip").c_str(), archive.c_str(), FALSE));
    const std::string before = Bytes(archive);
    std::wstring big = RandomFile(scratch / L"big.bin", 48 << 20);
    std::atomic<bool> stopped{false};
    std::thread stopper([&] {
        if (WaitUntil([&] { return FileExists(archive + L".tmp"); }, 60000))
            stopped = StopProcessesNamed(L"7z.exe") > 0;
    });
    auto listFiles = [] { // the tool's lists of names in Temp
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        std::vector<std::wstring> found;
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW((std::wstring(temp) + L"7z*.txt").c_str(), &data);
        for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &data))
            found.push_back(data.cFileName);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        return Sorted(found);
    };
    const std::vector<std::wstring> listsBefore = listFiles();
    MessageBoxReader told;
    Archiver archiver;
    archiver.AddToArchive(archive, {big}, L"");
    stopper.join();
    EXPECT_EQ(listFiles(), listsBefore); // the run's list of names went with it
    ASSERT_TRUE(stopped);
    EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Failure);
    EXPECT_TRUE(told.Saw(L"The archive could not be changed.")) << told.All();
    EXPECT_EQ(Bytes(archive), before);
    EXPECT_EQ(ListTree(scratch.path()),
              Sorted({L"big.bin", L"both.zip", L"free.txt", L"held.txt", L"kept.zip"}));
}

// A set of volumes that did not end, stopped by Cancel or by the tool stopped from outside,
// is removed whole: no volume of it is left, and nothing else is touched.
TEST(Resilience, AVolumeSetThatDidNotEndLeavesNoVolume) {
    ScratchFolder scratch;
    std::wstring big = RandomFile(scratch / L"big.bin", 48 << 20);
    const std::wstring archive = scratch / L"set.7z";
    AddOptions options;
    options.format = AddFormat::SevenZip;
    options.level = LevelStore;
    options.volumeSize = 1 << 20;
    const int runsBefore = ToolRunsStarted() + 2; // the two runs below
    for (bool cancel : {true, false}) {
        SCOPED_TRACE(cancel ? "cancelled" : "tool stopped");
        Archiver archiver;
        std::atomic<bool> stopped{false};
        std::thread stopper([&] {
            if (!WaitUntil([&] { return FileExists(archive + L".003"); }, 60000))
                return;
            if (cancel)
                archiver.cancelled = 1;
            stopped = cancel || StopProcessesNamed(L"7z.exe") > 0;
        });
        MessageBoxReader told;
        archiver.CreateArchives({{archive, {big}}}, options);
        stopper.join();
        ASSERT_TRUE(stopped);
        EXPECT_EQ(archiver.lastOutcome.end, cancel ? JobEnd::Cancelled : JobEnd::Failure);
        EXPECT_EQ(ListTree(scratch.path()), std::vector<std::wstring>{L"big.bin"});
    }
    // A stored archive larger than the disk's room is refused before the tool runs, with
    // how much is missing.
    if (std::wstring disk = SmallDisk(); !disk.empty()) {
        Archiver archiver;
        MessageBoxReader told;
        archiver.CreateArchives({{disk + L"\\stored.7z", {big}}}, options);
        EXPECT_EQ(archiver.lastOutcome.end, JobEnd::Failure);
        EXPECT_TRUE(told.Saw(L"stored.7z was not made: the disk has ")) << told.All();
        EXPECT_FALSE(PathExists(disk + L"\\stored.7z.001"));
        EXPECT_EQ(ToolRunsStarted(), runsBefore);
    }
}

} // namespace
