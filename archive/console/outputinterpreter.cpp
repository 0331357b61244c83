#include "archive/console/outputinterpreter.h"

#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/console/consolesession.h"
#include "archive/progress.h"
#include "archive/textconv.h"
#include "archive/questions.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

const char OutputInterpreter::passwordPrompt[] = "Enter password (will not be echoed):";
const char OutputInterpreter::verifyPrompt[] = "Verify password (will not be echoed)";
const char OutputInterpreter::replacePrompt[] =
    "(Y)es / (N)o / (A)lways / (S)kip all / A(u)to rename all / (Q)uit?";

// Longer than every text a line is tested for, and than the path of any file the tool
// names as it packs it, but for the longest that Windows allows.
static const size_t keptLineLength = 4096;

// A line begins with a text when the text stands at its very first position.
static bool BeginsWith(const std::string& line, const char* text) {
    return line.compare(0, strlen(text), text) == 0;
}

JobEnd ConsoleSession::RunEnd() const {
    if (stopped || passwordDeclined)
        return JobEnd::Cancelled;
    if (exitCode == 0 && finishedOk)
        return JobEnd::Success;
    // 1 is the tool's "done, with warnings" (files it could not read were left out) only
    // when it said so: a process ended from outside has that code too.
    if (exitCode == 1 && warned)
        return JobEnd::Warnings;
    return JobEnd::Failure;
}

std::wstring ConsoleSession::FailureMessage() const {
    std::wstring text = L"The archive could not be changed.";
    if (!errorText.empty())
        text += L"\n\n" + Utf8ToWide(errorText);
    else if (exitCode == 0)
        text += L" The archive tool ended before it had finished: another program may have "
                L"stopped it.";
    else
        text += L" The archive tool ended with code " + std::to_wstring(exitCode) + L".";
    return text;
}

std::vector<FaultyEntry> ConsoleSession::SkippedFiles() const {
    std::vector<FaultyEntry> files;
    for (const std::string& line : skipped) {
        // "path : reason"; the path may hold " : " itself only in no name Windows allows.
        size_t colon = line.find(" : ");
        std::wstring path = Utf8ToWide(line.substr(0, colon));
        std::wstring reason = colon == std::string::npos ? L"" : Utf8ToWide(line.substr(colon + 3));
        Fault fault = Fault::CannotRead;
        if (reason.find(L"being used by another process") != std::wstring::npos ||
            reason.find(L"Sharing violation") != std::wstring::npos ||
            reason.find(L"locked") != std::wstring::npos)
            fault = Fault::InUse;
        else if (reason.find(L"Access is denied") != std::wstring::npos)
            fault = Fault::AccessDenied;
        else if (reason.find(L"cannot find") != std::wstring::npos)
            fault = Fault::NotFound;
        files.push_back({path, fault});
    }
    return files;
}

OutputInterpreter::OutputInterpreter(ConsoleSession& session, ToolInput& input)
    : session_(session), input_(input) {}

// The tool's progress figure, as it draws it over and over on one line (-bsp): "  0%",
// " 13% 5" (percent done, then files done). -1 when the text is no such figure.
static int ProgressPercent(const std::string& text) {
    size_t digits = text.find_first_not_of(' ');
    if (digits == std::string::npos)
        return -1;
    size_t sign = text.find_first_not_of("0123456789", digits);
    if (sign == digits || sign == std::string::npos || text[sign] != '%' || sign - digits > 3)
        return -1;
    return std::min(std::stoi(text.substr(digits, sign - digits)), 100);
}

// The bytes a run of the tool packs, from its line "Add new data to archive: 2 folders,
// 3 files, 50000003 bytes (48 MiB)". False for any other line.
static bool RunBytes(const std::string& text, uint64_t& bytes) {
    if (!BeginsWith(text, "Add new data to archive:"))
        return false;
    size_t word = text.find(" byte");
    if (word == std::string::npos)
        return false;
    size_t digits = text.find_last_not_of("0123456789", word - 1) + 1;
    if (digits == word || word - digits > 19)
        return false;
    bytes = std::stoull(text.substr(digits, word - digits));
    return true;
}

// Moves the bytes done on, never back, and never past the total.
static void RaiseBytesDone(uint64_t done) {
    done = std::min<uint64_t>(done, progressBytesTotal);
    uint64_t shown = progressBytesDone;
    while (done > shown && !progressBytesDone.compare_exchange_weak(shown, done)) {
    }
}

void OutputInterpreter::InterpretOutput(const char* chunk, size_t size) {
    const char* end = chunk + size;
    // A carriage return that ended the last chunk: the line end, or the start of a redraw.
    if (returnPending_ && size > 0) {
        returnPending_ = false;
        if (*chunk == '\n')
            Append("\r", 1);
        else
            Redraw();
    }
    while (chunk < end) {
        const char* mark = chunk;
        while (mark < end && *mark != '\n' && *mark != '\r')
            ++mark;
        Append(chunk, mark - chunk);
        if (mark == end)
            break;
        chunk = mark + 1;
        if (*mark == '\n') {
            CheckForPrompt();
            EndLine();
        } else if (chunk == end) {
            returnPending_ = true; // the next chunk tells which
        } else if (*chunk == '\n') {
            Append("\r", 1); // kept before the line end, as the tool wrote it
        } else {
            Redraw();
        }
    }
    // A prompt comes without a line end: the tool waits for the answer right behind it.
    CheckForPrompt();
}

void OutputInterpreter::Append(const char* text, size_t size) {
    line_.append(text, std::min(keptLineLength - line_.size(), size));
}

bool OutputInterpreter::StoppedInUnansweredLine() const {
    // The tool's progress figure waits for nothing: it stays while the tool works, and so
    // do the blanks it wipes the figure with.
    return !line_.empty() && !lineAnswered_ && ProgressPercent(line_) < 0 &&
           line_.find_first_not_of(' ') != std::string::npos;
}

void OutputInterpreter::Redraw() {
    // A carriage return without a line end: the tool goes back to the start of the line to
    // draw its progress anew, and what stood there is gone as it is on a console.
    int percent = ProgressPercent(line_);
    if (percent >= 0 && session_.archiver.mode == ModeAdd) {
        // The total is in the job's own unit: the figure moves the count in proportion,
        // one short of the total until the job ends, as the file count does.
        uint64_t total = progressTotal;
        uint64_t completed = total * static_cast<uint64_t>(percent) / 100;
        if (total > 0 && completed >= total)
            completed = total - 1;
        if (completed > progressCompleted)
            progressCompleted = completed;
        // The figure is of this run's bytes; a run whose size the tool did not say is
        // taken for the whole job.
        if (runBytes_ > 0)
            RaiseBytesDone(runStart_ + runBytes_ * static_cast<uint64_t>(percent) / 100);
        else
            RaiseBytesDone(progressBytesTotal * static_cast<uint64_t>(percent) / 100);
        // On a console the figure names the file too: " 37% 12 + name".
        size_t name = line_.find(" + ");
        if (name != std::string::npos)
            SetProgressFile(Utf8ToWide(line_.substr(name + 3)));
    }
    line_.clear();
    lineAnswered_ = false;
}

void OutputInterpreter::Finish() {
    if (returnPending_) {
        returnPending_ = false;
        Append("\r", 1);
    }
    if (!line_.empty()) {
        CheckForPrompt();
        EndLine();
    }
}

void OutputInterpreter::CheckForPrompt() {
    if (lineAnswered_ || line_.empty())
        return;
    if (BeginsWith(line_, passwordPrompt) || BeginsWith(line_, verifyPrompt)) {
        lineAnswered_ = true;
        AnswerPassword();
    } else if (BeginsWith(line_, replacePrompt)) {
        lineAnswered_ = true;
        AnswerReplace();
    }
}

void OutputInterpreter::EndLine() {
    OutputDebugStringA((line_ + "\n").c_str());
    Archiver& archiver = session_.archiver;
    // 7-Zip prints "Compressing  name" in older versions and "+ name" (asked for with
    // -bb1) in current ones, once per file. The count stays one short of the total until
    // the job ends, so that the progress dialog does not close while the last file is
    // still being packed.
    std::string text = line_.substr(0, line_.find_last_not_of("\r") + 1);
    if (archiver.mode == ModeAdd && (BeginsWith(line_, "Compressing") || BeginsWith(line_, "+ "))) {
        uint64_t total = progressTotal;
        if (total == 0 || progressCompleted + 1 < total)
            ++progressCompleted;
        if (BeginsWith(text, "+ "))
            SetProgressFile(Utf8ToWide(text.substr(2)));
    }
    // Where this run's bytes start among the job's.
    if (archiver.mode == ModeAdd && RunBytes(text, runBytes_))
        runStart_ = progressBytesDone;
    // 7-Zip's account of a failure: its first error line and the lines after it.
    if (errorLines_ == 0 && (BeginsWith(text, "ERROR") || BeginsWith(text, "System ERROR") ||
                             BeginsWith(text, "Command Line Error")))
        errorLines_ = 1;
    else if (errorLines_ > 0 && !text.empty())
        ++errorLines_;
    if (errorLines_ > 0 && errorLines_ <= 10 && !text.empty())
        session_.errorText += text + "\n";

    // The tool's closing words: "Everything is Ok", or the files it left out.
    if (text == "Everything is Ok") {
        session_.finishedOk = true;
        // The figure stops short of 100 %: the run's bytes are all packed now.
        if (archiver.mode == ModeAdd && runBytes_ > 0)
            RaiseBytesDone(runStart_ + runBytes_);
    }
    if (BeginsWith(text, "WARNING") || text.find("WARNINGS") != std::string::npos)
        session_.warned = true;
    // "WARNINGS for files:", or "Scan WARNINGS for files and folders:".
    if (text.find("WARNINGS for files") != std::string::npos) {
        inWarnings_ = true;
    } else if (inWarnings_ && BeginsWith(text, "----")) {
        inWarnings_ = false;
    } else if (inWarnings_ && text.find(" : ") != std::string::npos) {
        NoteSkipped(text.substr(0, text.find(" : ")), text.substr(text.find(" : ") + 3));
    } else if (!scanWarning_.empty() && !text.empty()) {
        // While scanning the tool says the warning first and the file on the next line.
        NoteSkipped(text, scanWarning_);
        scanWarning_.clear();
    } else if (BeginsWith(text, "WARNING: ") && !BeginsWith(text, "WARNING: Cannot open") &&
               !BeginsWith(text, "WARNING: No more files")) {
        scanWarning_ = text.substr(9);
    } else if (BeginsWith(text, "WARNING: No more files")) {
        scanWarning_ = "The system cannot find the file specified.";
    }

    line_.clear();
    lineAnswered_ = false;
}

void OutputInterpreter::NoteSkipped(const std::string& file, const std::string& reason) {
    // Said while scanning, and again in the closing list: named once.
    for (const std::string& known : session_.skipped) {
        if (known.compare(0, file.size() + 3, file + " : ") == 0)
            return;
    }
    session_.skipped.push_back(file + " : " + reason);
}

void OutputInterpreter::AnswerPassword() {
    if (!session_.passwordKnown && !session_.passwordDeclined) {
        std::string typed;
        if (User().AskPassword(typed))
            session_.SetPassword(typed);
        else
            session_.passwordDeclined = true;
        SecureZeroMemory(&typed[0], typed.size());
    }
    if (session_.passwordKnown) {
        input_.Write(session_.password);
        input_.Write("\n");
    } else {
        // Declined: the tool reads the end of its input and gives up.
        input_.Close();
    }
}

void OutputInterpreter::AnswerReplace() {
    Archiver& archiver = session_.archiver;
    if (archiver.replaceAll == 0 &&
        User().AskYesNo(L"File already exists.\nDo you want to replace it?"))
        archiver.replaceAll = 1;
    // "N" is the tool's own answer for keeping the file: it goes on instead of waiting.
    input_.Write(archiver.replaceAll == 1 ? "Y\n" : "N\n");
}
