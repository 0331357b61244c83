#include "archive/console/processrunner.h"

#include "archive/archiver.h"
#include "archive/console/consolesession.h"
#include "archive/console/outputinterpreter.h"
#include "archive/console/toolcommand.h"
#include "archive/textconv.h"
#include "shell/paths.h"
#include "win/handle.h"

#include <algorithm>
#include <atomic>
#include <string>

namespace {

// Shared by every run of the process: runs never overlap.
char outputBuffer[4096 + 1];
std::atomic<int> runsStarted{0};

void Diagnose(const wchar_t* text) {
    OutputDebugStringW((std::wstring(text) + L"\n").c_str());
}

// The tool's standard input, as the interpreter sees it. Archiver.hInput_wr names the same
// handle while the run lasts.
class PipeInput : public ToolInput {
  public:
    PipeInput(Archiver& archiver, win::KernelHandle handle)
        : archiver_(archiver), handle_(std::move(handle)) {
        archiver_.hInput_wr = handle_.get();
    }
    ~PipeInput() override { Close(); }

    void Write(std::string_view bytes) override {
        DWORD written = 0;
        if (handle_) // a failed write is not acted upon: the tool then reads the end
            WriteFile(handle_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                      nullptr);
    }
    void Close() override {
        handle_.reset();
        archiver_.hInput_wr = nullptr;
    }
    bool closed() const override { return !handle_; }

  private:
    Archiver& archiver_;
    win::KernelHandle handle_;
};

// The tool and what it starts, stopped together.
class ProcessGroup {
  public:
    ProcessGroup() : job_(CreateJobObjectW(nullptr, nullptr)) {
        if (!job_)
            return;
        // Should this program end, its tools end with it.
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits,
                                sizeof limits);
    }

    // The process was made suspended: it joins the group before it can start another.
    void Adopt(const PROCESS_INFORMATION& process) {
        process_ = process.hProcess;
        adopted_ = job_ && AssignProcessToJobObject(job_.get(), process.hProcess);
    }

    void Stop() {
        if (adopted_)
            TerminateJobObject(job_.get(), 1);
        else
            TerminateProcess(process_, 1);
    }

    // After Stop: waits (a bounded time) until every process of the group has gone, so
    // that the files the tool held can be removed.
    void WaitUntilGone() {
        WaitForSingleObject(process_, 5000);
        for (int i = 0; adopted_ && i < 100; ++i) {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
            if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                                           &accounting, sizeof accounting, nullptr) ||
                accounting.ActiveProcesses == 0)
                return;
            Sleep(50);
        }
    }

  private:
    win::KernelHandle job_;
    HANDLE process_ = nullptr;
    bool adopted_ = false;
};

// Reads the tool's output until the pipe ends, handing every chunk to the interpreter and
// copying it to this program's own standard output. Meanwhile it stops the tool when the
// session is cancelled, and closes the tool's input when the output rests in a line that
// nobody will answer.
void ReadOutput(HANDLE pipe, HANDLE process, ProcessGroup& group, PipeInput& input,
                ConsoleSession& session) {
    HANDLE ownOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    OutputInterpreter interpreter(session, input);
    DWORD lastOutput = GetTickCount();
    DWORD endedAt = 0;
    bool ended = false;
    bool stopping = false;
    // Right after output the next chunk is usually about to come: the wait grows from one
    // millisecond while the pipe stays empty.
    DWORD idleWait = 1;
    for (;;) {
        // Looked at between any two reads: a tool that prints without pause is stopped too.
        if (!stopping && session.cancelled && *session.cancelled) {
            stopping = true;
            session.stopped = true;
            group.Stop();
        }
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr))
            break; // the pipe has ended: the tool has gone
        if (available > 0) {
            DWORD read = 0;
            DWORD wanted = std::min<DWORD>(available, sizeof outputBuffer - 1);
            if (!ReadFile(pipe, outputBuffer, wanted, &read, nullptr) || read == 0)
                break;
            outputBuffer[read] = '\0';
            OutputDebugStringA(outputBuffer);
            interpreter.InterpretOutput(outputBuffer, read);
            DWORD written = 0;
            WriteFile(ownOutput, outputBuffer, read, &written, nullptr);
            lastOutput = GetTickCount();
            idleWait = 1;
            continue;
        }

        if (!ended && WaitForSingleObject(process, idleWait) == WAIT_OBJECT_0) {
            ended = true;
            endedAt = GetTickCount();
            continue; // what it wrote last is still to be read
        }
        if (ended) {
            if (GetTickCount() - endedAt > 2000)
                break; // the tool has gone, but something it started still holds the pipe
            Sleep(idleWait);
        } else if (!input.closed() && interpreter.StoppedInUnansweredLine() &&
                   GetTickCount() - lastOutput > unansweredLineLimit) {
            input.Close();
        }
        idleWait = std::min<DWORD>(idleWait * 2, 20);
    }
    interpreter.Finish();
    if (stopping)
        group.WaitUntilGone();
}

} // namespace

int ToolRunsStarted() {
    return runsStarted;
}

bool RunTool(const ToolRun& run, ConsoleSession& session) {
    session.stopped = false;
    session.exitCode = 0;
    session.errorText.clear();
    session.finishedOk = false;
    session.warned = false;
    session.skipped.clear();

    SECURITY_ATTRIBUTES security = {sizeof security, nullptr, TRUE};
    win::KernelHandle outRead, outWrite, inRead, inWrite;
    if (!CreatePipe(outRead.put(), outWrite.put(), &security, 0))
        Diagnose(L"StdoutRd CreatePipe");
    if (!SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0))
        Diagnose(L"Stdout SetHandleInformation");
    if (!CreatePipe(inRead.put(), inWrite.put(), &security, 0))
        Diagnose(L"Stdin CreatePipe");
    if (!SetHandleInformation(inWrite.get(), HANDLE_FLAG_INHERIT, 0))
        Diagnose(L"Stdin SetHandleInformation");

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.hStdError = outWrite.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdInput = inRead.get();
    startup.dwFlags = STARTF_USESTDHANDLES;

    ProcessGroup group;
    std::wstring commandLine = run.commandLine;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(run.program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr,
                        run.folder.empty() ? nullptr : run.folder.c_str(), &startup, &started)) {
        Diagnose(L"CreateProcess");
        session.exitCode = 2;
        session.errorText =
            WideToUtf8(L"The archive tool " + run.program + L" could not be started.");
        return false;
    }
    ++runsStarted;
    win::ProcessInformation process(started);
    group.Adopt(started);
    ResumeThread(process.thread());
    OutputDebugStringA("----- runProcess -----\n");

    // Only the tool holds the child's ends now: the output pipe ends when it does.
    outWrite.reset();
    inRead.reset();
    PipeInput input(session.archiver, std::move(inWrite));
    ReadOutput(outRead.get(), process.process(), group, input, session);

    // The output has ended, so the tool has ended or is about to. One that lingers without
    // any output gets the end of its input, then a bounded wait, then is stopped.
    input.Close();
    if (WaitForSingleObject(process.process(), 10000) == WAIT_TIMEOUT) {
        group.Stop();
        WaitForSingleObject(process.process(), 5000);
    }
    if (!GetExitCodeProcess(process.process(), &session.exitCode))
        session.exitCode = 2;
    OutputDebugStringA("----- runProcess : End -----\n");
    return true;
}

// The names the tool may give the new archive it writes beside the old one: "name.tmp",
// then "name.tmp1", ... when that is taken.
static std::vector<std::wstring> TemporaryNames(const std::wstring& archive) {
    std::vector<std::wstring> names{archive + L".tmp"};
    for (int number = 1; number < 10; ++number)
        names.push_back(archive + L".tmp" + std::to_wstring(number));
    return names;
}

void RunToolOnArchive(ToolRun& run, ConsoleSession& session, const std::wstring& archive) {
    const bool archiveExisted = PathExists(archive);
    std::vector<std::wstring> newTemporaries;
    for (const std::wstring& name : TemporaryNames(archive)) {
        if (!PathExists(name))
            newTemporaries.push_back(name);
    }
    RunTool(run, session);
    DiscardRun(run);
    JobEnd end = session.RunEnd();
    if (end == JobEnd::Success || end == JobEnd::Warnings)
        return;
    // Stopped, killed or failed: nothing of the run stays beside the archive. Should the
    // tool have gone between removing the archive and putting the new one in its place,
    // the new one takes the place rather than leave nothing.
    for (const std::wstring& name : newTemporaries) {
        if (!PathExists(name))
            continue;
        if (archiveExisted && !PathExists(archive))
            MoveFileW(name.c_str(), archive.c_str());
        else
            DeleteFileW(name.c_str());
    }
    if (!archiveExisted)
        DeleteFileW(archive.c_str());
}