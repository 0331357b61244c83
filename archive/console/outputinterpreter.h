#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct ConsoleSession;

// Where the interpreter's answers go: the tool's standard input.
class ToolInput {
  public:
    virtual ~ToolInput() = default;
    virtual void Write(std::string_view bytes) = 0;
    // End of input: a tool that reads on gets nothing and gives up instead of waiting.
    virtual void Close() = 0;
    virtual bool closed() const = 0;
};

// Reads the console tool's output as it comes, line by line, answers its password prompt
// and replace question, and counts the files an add job has added (by its "+ name" lines,
// or by its progress figure where it prints no names); the figure's percentage of the
// run's bytes moves the bytes done, and the last "+ name" is the file being packed. A line that the
// chunks of output cut in two is put together again, and a prompt is answered as soon as it has
// come, line end or not. A carriage return inside a line starts it again, as on a console.
class OutputInterpreter {
  public:
    OutputInterpreter(ConsoleSession& session, ToolInput& input);

    // One chunk of output, as the pipe delivered it.
    void InterpretOutput(const char* chunk, size_t size);
    // The output has ended: a last line without a line end still counts.
    void Finish();

    // The output stopped inside a line that is no prompt this interpreter answered: the
    // tool may be waiting for an answer nobody will give.
    bool StoppedInUnansweredLine() const;

    // The prompts and lines the tool's output is read for.
    static const char passwordPrompt[];
    static const char verifyPrompt[];
    static const char replacePrompt[];

  private:
    void Append(const char* text, size_t size);
    void CheckForPrompt();
    void EndLine();
    // A carriage return inside a line: the tool draws the line again (its progress).
    void Redraw();
    // A file the tool left out, with its reason.
    void NoteSkipped(const std::string& file, const std::string& reason);
    void AnswerPassword();
    void AnswerReplace();

    ConsoleSession& session_;
    ToolInput& input_;
    // The beginning of the line that has not ended yet: enough to tell every line the
    // interpreter looks for, so that a huge line costs no memory.
    std::string line_;
    bool lineAnswered_ = false;
    // The last chunk ended in a carriage return; the next one's first byte tells whether
    // it ended the line or starts it again.
    bool returnPending_ = false;
    // Lines taken into the session's error text since the tool's first error line.
    int errorLines_ = 0;
    // Inside the tool's closing list of the files it left out ("WARNINGS for files:").
    bool inWarnings_ = false;
    // The bytes this run packs, as the tool said them, and the job's bytes done before it.
    uint64_t runBytes_ = 0;
    uint64_t runStart_ = 0;
    // The tool warned about a file while scanning: the next line names it.
    std::string scanWarning_;
};
