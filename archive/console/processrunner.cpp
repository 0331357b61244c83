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
#include <vector>

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

// Standard input that is not ours to write: the tool reads another tool's output there.
class NoInput : public ToolInput {
  public:
    void Write(std::string_view) override {}
    void Close() override {}
    bool closed() const override { return true; }
};

// The tools of one run and what they start, stopped together.
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
        processes_.push_back(process.hProcess);
        if (job_ && AssignProcessToJobObject(job_.get(), process.hProcess))
            ++adopted_;
    }

    void Stop() {
        if (AllAdopted()) {
            TerminateJobObject(job_.get(), 1);
            return;
        }
        for (HANDLE process : processes_)
            TerminateProcess(process, 1);
    }

    // After Stop: waits (a bounded time) until every process of the group has gone, so
    // that the files the tools held can be removed.
    void WaitUntilGone() {
        WaitForMultipleObjects(static_cast<DWORD>(processes_.size()), processes_.data(), TRUE,
                               5000);
        for (int i = 0; AllAdopted() && i < 100; ++i) {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting = {};
            if (!QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation,
                                           &accounting, sizeof accounting, nullptr) ||
                accounting.ActiveProcesses == 0)
                return;
            Sleep(50);
        }
    }

  private:
    // Stopping the job stops every process only when each of them joined it.
    bool AllAdopted() const { return adopted_ > 0 && adopted_ == processes_.size(); }

    win::KernelHandle job_;
    std::vector<HANDLE> processes_;
    size_t adopted_ = 0;
};

// One running tool as the reading loop sees it: the pipe its messages come through, the
// interpreter that reads them, and where the interpreter's answers go.
struct ToolOutput {
    ToolOutput(HANDLE messages, HANDLE tool, ConsoleSession& toolSession, ToolInput& toolInput)
        : pipe(messages), process(tool), session(toolSession), input(toolInput),
          interpreter(toolSession, toolInput) {}

    HANDLE pipe;
    HANDLE process;
    ConsoleSession& session;
    ToolInput& input;
    OutputInterpreter interpreter;
    DWORD lastOutput = GetTickCount();
    DWORD endedAt = 0;
    bool ended = false; // the process has gone
    bool read = false;  // its output is read to the end
};

// Reads the tools' output until every pipe ends, handing every chunk to the tool's
// interpreter and copying it to this program's own standard output. Meanwhile it stops the
// tools when the session is cancelled, and closes a tool's input when its output rests in
// a line that nobody will answer. One thread reads them all, so that neither waits while
// the other is read.
void ReadOutput(const std::vector<ToolOutput*>& tools, ProcessGroup& group,
                const std::atomic<int32_t>* cancelled) {
    HANDLE ownOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    bool stopping = false;
    // Right after output the next chunk is usually about to come: the wait grows from one
    // millisecond while the pipes stay empty.
    DWORD idleWait = 1;
    for (;;) {
        // Looked at between any two reads: a tool that prints without pause is stopped too.
        if (!stopping && cancelled && *cancelled) {
            stopping = true;
            for (ToolOutput* tool : tools)
                tool->session.stopped = true;
            group.Stop();
        }
        bool gotOutput = false;
        std::vector<ToolOutput*> running;
        for (ToolOutput* tool : tools) {
            if (tool->read)
                continue;
            DWORD available = 0;
            if (!PeekNamedPipe(tool->pipe, nullptr, 0, nullptr, &available, nullptr)) {
                tool->read = true; // the pipe has ended: the tool has gone
                continue;
            }
            if (available > 0) {
                DWORD read = 0;
                DWORD wanted = std::min<DWORD>(available, sizeof outputBuffer - 1);
                if (!ReadFile(tool->pipe, outputBuffer, wanted, &read, nullptr) || read == 0) {
                    tool->read = true;
                    continue;
                }
                outputBuffer[read] = '\0';
                OutputDebugStringA(outputBuffer);
                tool->interpreter.InterpretOutput(outputBuffer, read);
                DWORD written = 0;
                WriteFile(ownOutput, outputBuffer, read, &written, nullptr);
                tool->lastOutput = GetTickCount();
                gotOutput = true;
            }
            if (!tool->ended)
                running.push_back(tool);
        }
        if (std::all_of(tools.begin(), tools.end(), [](ToolOutput* tool) { return tool->read; }))
            break;
        if (gotOutput) {
            idleWait = 1;
            continue;
        }

        std::vector<HANDLE> processes;
        for (ToolOutput* tool : running)
            processes.push_back(tool->process);
        DWORD woken = processes.empty()
                          ? WAIT_TIMEOUT
                          : WaitForMultipleObjects(static_cast<DWORD>(processes.size()),
                                                   processes.data(), FALSE, idleWait);
        if (woken < WAIT_OBJECT_0 + processes.size()) {
            ToolOutput* tool = running[woken - WAIT_OBJECT_0];
            tool->ended = true;
            tool->endedAt = GetTickCount();
            continue; // what it wrote last is still to be read
        }
        if (processes.empty())
            Sleep(idleWait);
        for (ToolOutput* tool : tools) {
            if (tool->read)
                continue;
            if (tool->ended) {
                // The tool has gone, but something it started still holds the pipe.
                if (GetTickCount() - tool->endedAt > 2000)
                    tool->read = true;
            } else if (!tool->input.closed() && tool->interpreter.StoppedInUnansweredLine() &&
                       GetTickCount() - tool->lastOutput > unansweredLineLimit) {
                tool->input.Close();
            }
        }
        idleWait = std::min<DWORD>(idleWait * 2, 20);
    }
    for (ToolOutput* tool : tools)
        tool->interpreter.Finish();
    if (stopping)
        group.WaitUntilGone();
}

// Forgets what the session's last run said, before a new one.
void StartOver(ConsoleSession& session) {
    session.stopped = false;
    session.exitCode = 0;
    session.errorText.clear();
    session.finishedOk = false;
    session.warned = false;
    session.skipped.clear();
}

void CannotStart(const ToolRun& run, ConsoleSession& session) {
    Diagnose(L"CreateProcess");
    session.exitCode = 2;
    session.errorText = WideToUtf8(L"The archive tool " + run.program + L" could not be started.");
}

// Starts the tool suspended with the given standard handles, which it inherits (with every
// other inheritable handle of this process), and puts it into the group.
bool StartInGroup(const ToolRun& run, HANDLE input, HANDLE output, HANDLE error,
                  ProcessGroup& group, win::ProcessInformation& process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    startup.dwFlags = STARTF_USESTDHANDLES;
    std::wstring commandLine = run.commandLine;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(run.program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr,
                        run.folder.empty() ? nullptr : run.folder.c_str(), &startup, &started))
        return false;
    ++runsStarted;
    process = win::ProcessInformation(started);
    group.Adopt(started);
    return true;
}

// The output has ended, so the tool has ended or is about to. One that lingers without any
// output gets a bounded wait, then is stopped.
DWORD ExitCodeOf(HANDLE process, ProcessGroup& group) {
    if (WaitForSingleObject(process, 10000) == WAIT_TIMEOUT) {
        group.Stop();
        WaitForSingleObject(process, 5000);
    }
    DWORD code = 2;
    if (!GetExitCodeProcess(process, &code))
        code = 2;
    return code;
}

} // namespace

int ToolRunsStarted() {
    return runsStarted;
}

bool RunTool(const ToolRun& run, ConsoleSession& session) {
    StartOver(session);

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

    ProcessGroup group;
    win::ProcessInformation process;
    if (!StartInGroup(run, inRead.get(), outWrite.get(), outWrite.get(), group, process)) {
        CannotStart(run, session);
        return false;
    }
    ResumeThread(process.thread());
    OutputDebugStringA("----- runProcess -----\n");

    // Only the tool holds the child's ends now: the output pipe ends when it does.
    outWrite.reset();
    inRead.reset();
    PipeInput input(session.archiver, std::move(inWrite));
    ToolOutput tool(outRead.get(), process.process(), session, input);
    ReadOutput({&tool}, group, session.cancelled);

    // One that lingers gets the end of its input before the wait.
    input.Close();
    session.exitCode = ExitCodeOf(process.process(), group);
    OutputDebugStringA("----- runProcess : End -----\n");
    return true;
}

bool RunPipedTools(const ToolRun& writer, ConsoleSession& writerSession, const ToolRun& reader,
                   ConsoleSession& readerSession) {
    StartOver(writerSession);
    StartOver(readerSession);

    // Every handle is made for this program alone, and each tool's own ends are made
    // inheritable just before it starts: the reader must not hold the stream's writing
    // end, or its input would never end.
    win::KernelHandle writerRead, writerWrite, inRead, inWrite, streamRead, streamWrite;
    win::KernelHandle readerRead, readerWrite;
    // The data goes through a buffer of a megabyte: the writer works ahead instead of waiting
    // for every read of the reader (under Wine each write to a pipe is a call to its
    // server, and the default buffer made a tar.gz a tenth slower than a shell's pipe).
    const DWORD streamBuffer = 1 << 20;
    if (!CreatePipe(writerRead.put(), writerWrite.put(), nullptr, 0) ||
        !CreatePipe(inRead.put(), inWrite.put(), nullptr, 0) ||
        !CreatePipe(streamRead.put(), streamWrite.put(), nullptr, streamBuffer) ||
        !CreatePipe(readerRead.put(), readerWrite.put(), nullptr, 0)) {
        Diagnose(L"CreatePipe");
        CannotStart(writer, writerSession);
        return false;
    }
    auto inheritable = [](const win::KernelHandle& handle) {
        SetHandleInformation(handle.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    };

    ProcessGroup group;
    win::ProcessInformation writing, reading;
    inheritable(writerWrite);
    inheritable(inRead);
    inheritable(streamWrite);
    bool writerStarted =
        StartInGroup(writer, inRead.get(), streamWrite.get(), writerWrite.get(), group, writing);
    // Only the writer holds these ends now.
    writerWrite.reset();
    inRead.reset();
    streamWrite.reset();
    if (!writerStarted) {
        CannotStart(writer, writerSession);
        return false;
    }
    inheritable(readerWrite);
    inheritable(streamRead);
    bool readerStarted = StartInGroup(reader, streamRead.get(), readerWrite.get(),
                                      readerWrite.get(), group, reading);
    readerWrite.reset();
    streamRead.reset();
    if (!readerStarted) {
        group.Stop(); // the writer, which never ran
        group.WaitUntilGone();
        CannotStart(reader, readerSession);
        return false;
    }
    ResumeThread(reading.thread());
    ResumeThread(writing.thread());

    PipeInput writerInput(writerSession.archiver, std::move(inWrite));
    NoInput readerInput;
    ToolOutput writerOutput(writerRead.get(), writing.process(), writerSession, writerInput);
    ToolOutput readerOutput(readerRead.get(), reading.process(), readerSession, readerInput);
    ReadOutput({&writerOutput, &readerOutput}, group, writerSession.cancelled);

    writerInput.Close();
    writerSession.exitCode = ExitCodeOf(writing.process(), group);
    readerSession.exitCode = ExitCodeOf(reading.process(), group);
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