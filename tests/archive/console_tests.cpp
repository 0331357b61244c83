// The console back-end: the tool's command lines, the output interpreter, and the runner
// with a stand-in tool that shows what the real one cannot on demand.
#include "archive/archiver.h"
#include "archive/console/consolesession.h"
#include "archive/console/outputinterpreter.h"
#include "archive/console/processrunner.h"
#include "archive/console/toolcommand.h"
#include "archive/progress.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "support/testsupport.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <atomic>
#include <thread>

namespace {

using namespace testing_support;

std::string Utf8(const std::wstring& text) {
    return Narrow(text);
}

TEST(ToolCommands, CoreAndScratchLocations) {
    EXPECT_EQ(GetCorePath(L"7z.exe"), ProgramFolder() + L"\\core\\7z.exe");
    EXPECT_EQ(GetCorePath(), ProgramFolder() + L"\\core\\");

    wchar_t localAppData[MAX_PATH];
    SHGetSpecialFolderPathW(nullptr, localAppData, CSIDL_LOCAL_APPDATA, FALSE);
    std::wstring name = GetTempName(L"Quorp");
    std::wstring temp = std::wstring(localAppData) + L"\\Temp\\";
    ASSERT_EQ(name.substr(0, temp.size()), temp);
    std::wstring rest = name.substr(temp.size());
    EXPECT_EQ(rest.substr(0, 5), L"Quorp");
    EXPECT_EQ(rest.find_first_not_of(L"-0123456789", 5), std::wstring::npos);
    EXPECT_TRUE(IsDirectory(ParentFolder(name)));
}

TEST(ToolCommands, ScratchFoldersAndFilesAreAlwaysNewOnes) {
    // Somebody else's folders and files under the names of the next tenth of a second.
    std::wstring first = GetTempName(L"Quorp");
    long ticks = std::stol(FileNamePart(first).substr(5));
    std::wstring temp = ParentFolder(first);
    std::vector<std::wstring> foreign;
    for (long step = 0; step < 100; ++step) {
        std::wstring folder = temp + L"\\Quorp" + std::to_wstring(ticks + step);
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            WriteTextFile(folder + L"\\theirs.txt", "theirs");
            foreign.push_back(folder);
        }
        std::wstring file = temp + L"\\7z" + std::to_wstring(ticks + step) + L".txt";
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) {
            WriteTextFile(file, "their list");
            foreign.push_back(file);
        }
    }

    std::wstring folder = MakeScratchFolder(L"Quorp");
    std::wstring second = MakeScratchFolder(L"Quorp");
    std::wstring file = MakeScratchFile(L"7z", L".txt");
    ASSERT_FALSE(folder.empty());
    ASSERT_FALSE(file.empty());
    EXPECT_NE(folder, second);
    EXPECT_EQ(CountEntries(folder), 0);
    EXPECT_EQ(ReadTextFile(file), "");
    for (const std::wstring& theirs : foreign) {
        EXPECT_NE(folder, theirs);
        EXPECT_NE(second, theirs);
        EXPECT_NE(file, theirs);
    }
    // Handing names to the tool makes a list file of our own too.
    ToolRun run;
    ASSERT_TRUE(MakeItemsRun(L"D:\\set.zip", L"a", {L"a.txt"}, false, run));
    for (const std::wstring& theirs : foreign)
        EXPECT_NE(run.listFile, theirs);
    DiscardRun(run);

    RemoveDirectoryW(folder.c_str());
    RemoveDirectoryW(second.c_str());
    DeleteFileW(file.c_str());
    for (const std::wstring& theirs : foreign) {
        bool isFolder = IsDirectory(theirs);
        EXPECT_EQ(ReadTextFile(isFolder ? theirs + L"\\theirs.txt" : theirs),
                  isFolder ? "theirs" : "their list");
        if (isFolder) {
            DeleteFileW((theirs + L"\\theirs.txt").c_str());
            RemoveDirectoryW(theirs.c_str());
        } else {
            DeleteFileW(theirs.c_str());
        }
    }
}

TEST(ToolCommands, NamesGoQuotedIntoAUtf8ListFile) {
    const std::wstring tool = L"\"" + GetCorePath(L"7z.exe") + L"\"";
    ToolRun run;
    ASSERT_TRUE(MakeItemsRun(L"C:\\data\\set.zip", L"d",
                             {L"docs\\x.txt", L" blank first", L"\"quoted\"", L"\u00fcber*.txt"},
                             false, run));
    EXPECT_EQ(run.program, GetCorePath(L"7z.exe"));
    EXPECT_TRUE(run.folder.empty());
    EXPECT_EQ(FileNamePart(run.listFile).substr(0, 2), L"7z");
    EXPECT_EQ(run.commandLine, tool + L" d \"C:\\data\\set.zip\" @\"" + run.listFile +
                                   L"\" -scsUTF-8 -sccUTF-8 -bb1 -bsp1 -spd");
    EXPECT_EQ(ReadTextFile(run.listFile),
              "\"docs\\x.txt\"\r\n\" blank first\"\r\n\"\"quoted\"\"\r\n"
              "\"\xc3\xbc"
              "ber*.txt\"\r\n");
    std::wstring listFile = run.listFile;
    DiscardRun(run);
    EXPECT_FALSE(FileExists(listFile));
    EXPECT_TRUE(run.listFile.empty());

    // An add with a password: the tool is told to ask for it, and nothing of it is written.
    ASSERT_TRUE(MakeItemsRun(L"C:\\a b\\set.7z", L"a", {L"C:\\files\\doc.txt"}, true, run));
    EXPECT_EQ(run.commandLine, tool + L" a \"C:\\a b\\set.7z\" @\"" + run.listFile +
                                   L"\" -scsUTF-8 -sccUTF-8 -bb1 -bsp1 -snl -p");
    DiscardRun(run);

    ToolRun folderRun = MakeFolderRun(L"D:\\set.zip", L"E:\\Temp\\Quorp5", true);
    EXPECT_EQ(folderRun.folder, L"E:\\Temp\\Quorp5");
    EXPECT_EQ(folderRun.commandLine, tool + L" a \"D:\\set.zip\" * -sccUTF-8 -bb1 -bsp1 -p");
    EXPECT_TRUE(folderRun.listFile.empty());
}

TEST(ToolCommands, TextThatCannotBeHandedOverIsRefused) {
    // Quotes would end the argument; Windows allows them in no file name anyway.
    for (const wchar_t* path : {L"", L"C:\\a\"b.zip", L"C:\\a\nb.zip", L"C:\\a|b.zip",
                                L"C:\\a*.zip", L"C:\\x:y.zip", L"C:\\a<b>.zip"})
        EXPECT_FALSE(IsUsableToolPath(path)) << Utf8(path);
    for (const wchar_t* path : {L"C:\\a & b\\%OS%\\!x! (1)^.zip", L"\\\\server\\share\\a.7z",
                                L"C:\\\u0444\u0430\u0439\u043b\\\u6587\u4ef6.zip"})
        EXPECT_TRUE(IsUsableToolPath(path)) << Utf8(path);

    ToolRun run;
    EXPECT_FALSE(MakeItemsRun(L"C:\\a\"b.zip", L"a", {L"C:\\x.txt"}, false, run));
    EXPECT_FALSE(MakeItemsRun(L"C:\\a.zip", L"d", {L"two\nlines"}, false, run));
    EXPECT_FALSE(IsListableName(L"a\rb"));
    EXPECT_FALSE(IsListableName(std::wstring(L"a\0b", 3)));
    EXPECT_TRUE(IsListableName(L"tab\there \"and\" %OS%"));
}

// The tool's standard input as the interpreter writes it.
class RecordedInput : public ToolInput {
  public:
    void Write(std::string_view bytes) override { written.append(bytes); }
    void Close() override { isClosed = true; }
    bool closed() const override { return isClosed; }
    std::string written;
    bool isClosed = false;
};

struct InterpreterCase {
    InterpreterCase() : session(archiver), interpreter(session, input) { ResetProgress(); }
    void Feed(const std::string& chunk) { interpreter.InterpretOutput(chunk.data(), chunk.size()); }
    Archiver archiver;
    ConsoleSession session;
    RecordedInput input;
    OutputInterpreter interpreter;
};

TEST(OutputInterpreter, CountsAddedFilesOnlyInAnAddJob) {
    InterpreterCase add;
    add.archiver.mode = ModeAdd;
    add.Feed("Compressing  a.txt\r\nCompressing  b.txt\r\n");
    EXPECT_EQ(progressCompleted, 2u);
    // What 7-Zip prints today for every file (-bb1), also cut across chunks.
    add.Feed("+ c.txt\r\n+ d");
    add.Feed(".txt\r\n");
    EXPECT_EQ(progressCompleted, 4u);
    // Only at the start of a line.
    add.Feed(" Compressing  e.txt\r\nxCompressing\r\nAdd new data to archive: 2 files\r\n"
             "Files read from disk: 2 (+ 0)\r\n");
    EXPECT_EQ(progressCompleted, 4u);
    // A last line without a line end counts when the output ends.
    add.Feed("+ last.txt");
    EXPECT_EQ(progressCompleted, 4u);
    add.interpreter.Finish();
    EXPECT_EQ(progressCompleted, 5u);

    InterpreterCase remove;
    remove.archiver.mode = ModeDelete;
    remove.Feed("Compressing  a.txt\r\nCompressing  b.txt\r\n");
    EXPECT_EQ(progressCompleted, 0u);
}

TEST(OutputInterpreter, TheCountStaysBelowTheTotalUntilTheJobEnds) {
    InterpreterCase add;
    add.archiver.mode = ModeAdd;
    progressTotal = 3;
    add.Feed("+ a\n+ b\n+ c\n+ d\n");
    EXPECT_EQ(progressCompleted, 2u);
}

TEST(OutputInterpreter, AProgressFigureDrawnOverItselfMovesTheCount) {
    InterpreterCase add;
    add.archiver.mode = ModeAdd;
    progressTotal = 200;
    // What the tool prints with -bsp2: each figure goes back to the start of its line.
    add.Feed("Scanning the drive:\r\n  0M Scan  C:\\data\\\r      \r");
    add.Feed("\r\nWARNING: File not found.\r\nC:\\data\\gone.txt\r\n\r\n");
    add.Feed("  0%\r    \r 13% 5\r      \r 50% 9");
    EXPECT_EQ(progressCompleted, 26u);
    EXPECT_FALSE(add.interpreter.StoppedInUnansweredLine()); // the figure asks nothing
    // A carriage return at the end of a chunk: the next one tells a redraw from a line end.
    add.Feed("\r");
    EXPECT_EQ(progressCompleted, 26u);
    add.Feed("      \r");
    EXPECT_EQ(progressCompleted, 100u);
    add.Feed("100%\r    \r\r\n+ a.txt\r");
    add.Feed("\nEverything is Ok\r");
    add.Feed("\n");
    EXPECT_EQ(progressCompleted, 199u); // one short of the total until the job ends
    EXPECT_TRUE(add.session.finishedOk);
    EXPECT_EQ(add.session.skipped,
              std::vector<std::string>{"C:\\data\\gone.txt : File not found."});
}

TEST(OutputInterpreter, EachRunsFigureMovesTheBytesOfThatRunAndNamesTheFile) {
    InterpreterCase first;
    first.archiver.mode = ModeAdd;
    progressBytesTotal = 1000;
    // As the tool prints it to a pipe with -bb1 -bsp1.
    first.Feed("Add new data to archive: 1 folder, 2 files, 600 bytes (1 KiB)\r\n\r\n");
    first.Feed("  0%\r    \r+ photos\\a.jpg\r\n 50%\r    \r");
    EXPECT_EQ(progressBytesDone, 300u);
    EXPECT_EQ(ProgressFile(), L"photos\\a.jpg");
    first.Feed("Files read from disk: 2\r\nEverything is Ok\r\n");
    EXPECT_EQ(progressBytesDone, 600u); // the figure stopped short of 100 %

    // The next run's figure starts where the first ended; a console's figure names the file.
    InterpreterCase second;
    second.archiver.mode = ModeAdd;
    progressBytesTotal = 1000;
    progressBytesDone = 600;
    second.Feed("Add new data to archive: 1 file, 400 bytes (1 KiB)\r\n");
    second.Feed(" 50% 1 + b\xc3\xa4r.bin\r                \r");
    EXPECT_EQ(progressBytesDone, 800u);
    EXPECT_EQ(ProgressFile(), L"b\u00e4r.bin");
    // A figure never takes the bytes back, nor past the total.
    second.Feed(" 10%\r    \r");
    EXPECT_EQ(progressBytesDone, 800u);
    second.Feed("Add new data to archive: 1 file, 9000 bytes (9 KiB)\r\n 90%\r");
    second.Feed("    \r");
    EXPECT_EQ(progressBytesDone, 1000u);
}

TEST(OutputInterpreter, APasswordPromptIsAnsweredWhereverTheChunksCutIt) {
    InterpreterCase known;
    known.session.SetPassword("p\xc3\xa4ss");
    // No line end: the tool waits right behind the prompt.
    known.Feed("\r\nOpen archive: x.7z\r\n\r\nEnter password (will not be echoed):");
    EXPECT_EQ(known.input.written, "p\xc3\xa4ss\n");
    EXPECT_FALSE(known.interpreter.StoppedInUnansweredLine());
    // The line end that follows the answer does not answer it twice.
    known.Feed("\r\n");
    EXPECT_EQ(known.input.written, "p\xc3\xa4ss\n");

    InterpreterCase split;
    split.session.SetPassword("pw");
    split.Feed("....\r\nEnter passw");
    EXPECT_EQ(split.input.written, "");
    EXPECT_TRUE(split.interpreter.StoppedInUnansweredLine());
    split.Feed("ord (will not be echoed):");
    EXPECT_EQ(split.input.written, "pw\n");
    // A second prompt in the same run (7-Zip asks once to open, once for new data).
    split.Feed("\r\nEnter password (will not be echoed):\r\n");
    EXPECT_EQ(split.input.written, "pw\npw\n");

    // Only at the very start of a line.
    InterpreterCase indented;
    indented.session.SetPassword("pw");
    indented.Feed(" Enter password (will not be echoed):\n");
    EXPECT_EQ(indented.input.written, "");
}

TEST(OutputInterpreter, TheUserIsAskedOnceAndADeclineEndsTheInput) {
    {
        InterpreterCase asked;
        DialogAnswerer user(DialogWithText(L"Enter password:"),
                            TypeAndPressOk(IDC_PASSWORD, L"typed"));
        asked.Feed("Enter password (will not be echoed):");
        EXPECT_EQ(asked.input.written, "typed\n");
        asked.Feed("\r\nEnter password (will not be echoed):");
        EXPECT_EQ(asked.input.written, "typed\ntyped\n");
        EXPECT_EQ(user.answered(), 1);
    }
    InterpreterCase declined;
    DialogAnswerer refuser(DialogWithText(L"Enter password:"), PressButton(IDCANCEL));
    declined.Feed("Enter password (will not be echoed):");
    EXPECT_TRUE(declined.input.closed());
    EXPECT_EQ(declined.input.written, "");
    EXPECT_TRUE(declined.session.passwordDeclined);
    // Later prompts of the operation do not ask again.
    declined.Feed("\r\nEnter password (will not be echoed):");
    EXPECT_EQ(refuser.answered(), 1);
}

const char replaceQuestion[] =
    "Would you like to replace the existing file:\r\n"
    "(Y)es / (N)o / (A)lways / (S)kip all / A(u)to rename all / (Q)uit? ";

TEST(OutputInterpreter, AfterAYesNoSecondBoxAppears) {
    InterpreterCase run;
    DialogAnswerer user(DialogWithText(L"File already exists.\nDo you want to replace it?"),
                        PressButton(IDYES));
    run.Feed(replaceQuestion);
    EXPECT_EQ(run.input.written, "Y\n");
    EXPECT_EQ(run.archiver.replaceAll, 1);
    run.Feed(std::string("\r\n") + replaceQuestion);
    EXPECT_EQ(run.input.written, "Y\nY\n");
    EXPECT_EQ(user.answered(), 1);
}

TEST(OutputInterpreter, ANoKeepsTheFileAndAsksAgainNextTime) {
    InterpreterCase run;
    DialogAnswerer user(DialogWithText(L"File already exists.\nDo you want to replace it?"),
                        PressButton(IDNO));
    run.Feed(replaceQuestion);
    EXPECT_EQ(run.input.written, "N\n");
    run.Feed(std::string("\r\n") + replaceQuestion);
    EXPECT_EQ(run.input.written, "N\nN\n");
    EXPECT_EQ(run.archiver.replaceAll, 0);
    EXPECT_TRUE(user.WaitForAnswers(2));
}

TEST(OutputInterpreter, AHugeLineCostsNoMemory) {
    InterpreterCase run;
    run.archiver.mode = ModeAdd;
    std::string chunk(4096, 'x');
    for (int i = 0; i < 2500; ++i) // 10 MB without a line end
        run.Feed(chunk);
    EXPECT_TRUE(run.interpreter.StoppedInUnansweredLine());
    run.Feed("\n+ a\n");
    EXPECT_EQ(progressCompleted, 1u);
}

// Runs the stand-in tool in one of its modes; returns what it printed.
struct FakeRun {
    explicit FakeRun(const std::wstring& mode) : session(archiver) {
        run.program = ProgramFolder() + L"\\fake_tool.exe";
        run.commandLine = L"\"" + run.program + L"\" " + mode;
    }
    bool Run() {
        OutputCapture capture;
        DWORD start = GetTickCount();
        bool started = RunTool(run, session);
        milliseconds = GetTickCount() - start;
        output = capture.Text();
        return started;
    }
    Archiver archiver;
    ConsoleSession session;
    ToolRun run;
    std::string output;
    DWORD milliseconds = 0;
};

TEST(ProcessRunner, APromptCutByTheReadBoundaryIsAnswered) {
    FakeRun fake(L"split-prompt");
    fake.session.SetPassword("s3cret");
    ASSERT_TRUE(fake.Run());
    EXPECT_NE(fake.output.find("password[s3cret]"), std::string::npos) << fake.output;
    EXPECT_EQ(fake.archiver.hInput_wr, nullptr);
}

TEST(ProcessRunner, ReplaceQuestionsGetTheUsersAnswer) {
    FakeRun yes(L"replace 2");
    DialogAnswerer user(DialogWithText(L"File already exists.\nDo you want to replace it?"),
                        PressButton(IDYES));
    ASSERT_TRUE(yes.Run());
    EXPECT_NE(yes.output.find("answer[Y]\r\n"), std::string::npos);
    EXPECT_NE(yes.output.rfind("answer[Y]\r\n"), yes.output.find("answer[Y]\r\n"));
    EXPECT_EQ(user.answered(), 1);
}

TEST(ProcessRunner, NoRunWaitsForever) {
    // A No: the tool gets its own answer for keeping the file.
    {
        FakeRun no(L"replace 1");
        DialogAnswerer user(DialogWithText(L"File already exists.\nDo you want to replace it?"),
                            PressButton(IDNO));
        ASSERT_TRUE(no.Run());
        EXPECT_NE(no.output.find("answer[N]"), std::string::npos);
    }
    // A declined password: the tool reads the end of its input.
    {
        FakeRun declined(L"split-prompt");
        DialogAnswerer user(DialogWithText(L"Enter password:"), PressButton(IDCANCEL));
        ASSERT_TRUE(declined.Run());
        EXPECT_NE(declined.output.find("password input ended"), std::string::npos);
    }
    // A question nobody knows: after a while the tool's input ends.
    {
        FakeRun waiting(L"wait");
        ASSERT_TRUE(waiting.Run());
        EXPECT_NE(waiting.output.find("key input ended"), std::string::npos);
        EXPECT_GE(waiting.milliseconds, unansweredLineLimit);
        EXPECT_LT(waiting.milliseconds, unansweredLineLimit + 5000);
    }
}

TEST(ProcessRunner, TenMegabytesOfOutputDoNotBlock) {
    FakeRun flood(L"flood");
    ASSERT_TRUE(flood.Run());
    EXPECT_EQ(flood.output.size(), 10000000u + 6u); // copied to our own output, every byte
    EXPECT_EQ(flood.output.substr(flood.output.size() - 6), "done\r\n");
}

// The run of a stand-in tool that the user cancels after a second.
void RunCancelledAfterASecond(FakeRun& fake) {
    std::atomic<int32_t> cancelled{0};
    fake.session.cancelled = &cancelled;
    std::thread user([&] {
        Sleep(1000);
        cancelled = 1;
    });
    ASSERT_TRUE(fake.Run());
    user.join();
    EXPECT_TRUE(fake.session.stopped);
    EXPECT_LT(fake.milliseconds, 8000u);
}

TEST(ProcessRunner, CancelStopsTheToolAndWhatItStarted) {
    FakeRun sleeper(L"sleep");
    RunCancelledAfterASecond(sleeper);
    size_t at = sleeper.output.find("child ");
    ASSERT_NE(at, std::string::npos) << sleeper.output;
    DWORD child = static_cast<DWORD>(std::stoul(sleeper.output.substr(at + 6)));
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, child);
    if (process) { // a process that has gone may not be opened at all
        EXPECT_EQ(WaitForSingleObject(process, 5000), WAIT_OBJECT_0);
        CloseHandle(process);
    }
}

TEST(ProcessRunner, CancelStopsAToolThatPrintsWithoutPause) {
    FakeRun chatter(L"chatter");
    RunCancelledAfterASecond(chatter);
}

TEST(ProcessRunner, AToolThatCannotStartIsReported) {
    Archiver archiver;
    ConsoleSession session(archiver);
    ToolRun run;
    run.program = ProgramFolder() + L"\\no such tool.exe";
    run.commandLine = L"\"" + run.program + L"\"";
    int before = ToolRunsStarted();
    EXPECT_FALSE(RunTool(run, session));
    EXPECT_EQ(ToolRunsStarted(), before);
    EXPECT_EQ(archiver.hInput_wr, nullptr);
}

} // namespace
