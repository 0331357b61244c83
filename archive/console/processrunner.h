#pragma once

#include <windows.h>

#include <string>

struct ConsoleSession;
struct ToolRun;

// Runs the console tool once, hidden, with its standard output and error on one pipe that
// is read while it runs and its standard input on another, where the output interpreter
// answers its prompts. The tool and anything it starts run in a job object: the session's
// cancel flag stops them all. True when the tool was started (it has ended by then).
bool RunTool(const ToolRun& run, ConsoleSession& session);

// Runs two tools at once, as RunTool runs one, the writer's standard output a pipe into the
// reader's standard input. The writer's messages come through its standard error (a tool
// that writes data to its standard output prints them there), the reader's through its
// standard output and error; each session reads and judges its own tool. Both are in one
// process group: the writer session's cancel flag stops them together. True when both were
// started (they have ended by then); otherwise the session of the one that could not start
// says so, and neither has run.
bool RunPipedTools(const ToolRun& writer, ConsoleSession& writerSession, const ToolRun& reader,
                   ConsoleSession& readerSession);

// Runs the tool on `archive` as RunTool does, then removes the run's list file. A stopped
// run leaves nothing beside the archive: the tool writes a new archive in place and an
// updated one as "<archive>.tmp" first, and what was not there before the run goes.
void RunToolOnArchive(ToolRun& run, ConsoleSession& session, const std::wstring& archive);

// How long the output may rest inside a line that is no prompt the interpreter knows
// before the tool's input is closed: a tool that waits there for an answer then ends.
const DWORD unansweredLineLimit = 3000;

// How many runs this process has started (a piped pair counts two), for diagnostics.
int ToolRunsStarted();
