#pragma once

#include "archive/questions.h"

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// A fresh folder under the Temp folder, removed with everything in it at the end.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

  private:
    std::wstring path_;
};

void WriteTextFile(const std::wstring& path, const std::string& content);
std::string ReadTextFile(const std::wstring& path);
void MakeFolder(const std::wstring& path);
// Files and folders directly in `folder`.
int CountEntries(const std::wstring& folder);

// The program under test, built beside the tests.
std::wstring ProgramPath();

// The program under test started with `arguments`, not waited for. Stopped at the end if it
// is still running.
class StartedProgram {
  public:
    explicit StartedProgram(const std::wstring& arguments);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    DWORD id() const { return info_.dwProcessId; }
    // Its exit code once it has ended, or -2 when it has not within the time.
    int Wait(DWORD milliseconds = 60000);
    bool Ended(DWORD milliseconds = 30000) { return Wait(milliseconds) != -2; }

  private:
    PROCESS_INFORMATION info_ = {};
};

// Every entry path of an archive, listed through the library and sorted; {"<not listed>"}
// when it cannot be listed.
std::vector<std::wstring> ArchiveEntries(const std::wstring& archive,
                                         const std::wstring& password = std::wstring());

// Runs a program with the given arguments and returns its exit code (or -1 when it could
// not be started, -2 when it did not end within the time limit).
int RunAndWait(const std::wstring& program, const std::wstring& arguments,
               DWORD timeoutMilliseconds = 60000);

// What the engine's own tool says of an archive (`7z l -slt`), its output whole; the
// password, when given, is typed at its prompt.
std::string EngineListing(const std::wstring& archive, const std::wstring& password = std::wstring());

// Every key and value below a registry key, for comparing the registry before and after.
// Keys are "ROOT\path"; a value entry is "ROOT\path|name" with its type and data.
struct RegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;
    bool operator==(const RegistryValue& other) const {
        return type == other.type && data == other.data;
    }
};
using RegistrySnapshot = std::map<std::wstring, RegistryValue>;
// Keys named in `countOnly` are not entered: their number of subkeys and values stands
// for their contents.
void AddRegistryTree(RegistrySnapshot& snapshot, HKEY root, const std::wstring& rootName,
                     const std::wstring& key, const std::vector<std::wstring>& countOnly = {});

// The entries that differ between two snapshots, as readable lines ("+ ", "- " or "~ ").
std::vector<std::wstring> RegistryDifference(const RegistrySnapshot& before,
                                             const RegistrySnapshot& after);

// A string value, or "<missing>" when the key or value does not exist.
std::wstring ReadRegistryString(HKEY root, const std::wstring& key,
                                const wchar_t* valueName = nullptr);
bool RegistryKeyExists(HKEY root, const std::wstring& key);

std::string Narrow(const std::wstring& text);

// Test archives made for this run, and the shared RAR fixtures (the sets of volumes are
// beside them: VolumeFixture).
std::wstring TestData(const std::wstring& name);
std::wstring Fixture(const std::wstring& name);
std::wstring VolumeFixture(const std::wstring& name);

// Copies the files of `folder` whose names begin with `prefix` into `target`; returns their
// number.
int CopyFilesBeginningWith(const std::wstring& folder, const std::wstring& prefix,
                           const std::wstring& target);

// The CRC-32 of a file's content, as archives keep it.
uint32_t FileCrc(const std::wstring& path);

// Every file and folder below `folder`, relative to it, sorted ("a", "a\\b.txt").
std::vector<std::wstring> ListTree(const std::wstring& folder);

// The same list, sorted as ListTree sorts.
std::vector<std::wstring> Sorted(std::vector<std::wstring> entries);

// The last-write time of a file.
FILETIME ModifiedTime(const std::wstring& path);

// The user, played by a test through the archive layer's seam for questions: no window is
// shown. It answers with `password` and `yes`, keeps what it is told, and presses Cancel in
// the progress dialog the moment `cancelWhen` holds. In place while it lives.
class PlayedUser : public Unattended {
  public:
    PlayedUser();
    ~PlayedUser() override;
    bool ShowProgress(const std::wstring& title, const std::wstring& message) override;
    bool AskPassword(std::string& typed) override;
    bool AskYesNo(const std::wstring& text) override;
    void Tell(const std::wstring& text, bool warning) override;
    void TellOutcome(const JobOutcome& outcome) override;

    std::function<bool()> cancelWhen;
    std::string password;
    bool yes = false;
    int progressShown = 0;
    int passwordsAsked = 0;
    std::vector<std::wstring> told;

  private:
    UserQuestions* previous_;
};

// A file of `size` bytes that do not compress (the same bytes each time); its path.
std::wstring RandomFile(const std::wstring& path, size_t size);

// The small disk of its own that the test run mounts where the machine allows it; "" where
// there is none.
std::wstring SmallDisk();

// Fills the disk that holds `folder` up to the last byte while it lives; its file is the
// folder's "filler.bin".
struct Filler {
    explicit Filler(const std::wstring& folder);
    ~Filler();
    std::wstring path;
};

// A file's web mark: its Zone.Identifier stream (under Wine a file beside it); "" for none.
inline void SetWebMark(const std::wstring& path, const std::string& mark) {
    WriteTextFile(path + L":Zone.Identifier", mark);
}
inline std::string WebMarkOf(const std::wstring& path) {
    return ReadTextFile(path + L":Zone.Identifier");
}

// What the library back-end writes to standard output while this object lives.
class OutputCapture {
  public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;
    std::string Text() const;

  private:
    ScratchFolder folder_;
    HANDLE file_ = nullptr;
    HANDLE previous_ = nullptr;
};

// Plays the user at the program's modal dialogs: a thread that waits for a matching
// visible dialog window and acts on it, once per dialog that appears.
class DialogAnswerer {
  public:
    using Matcher = std::function<bool(HWND)>;
    using Action = std::function<void(HWND)>;

    DialogAnswerer(Matcher matches, Action action);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    int answered() const { return answered_; }
    // Waits (at most `milliseconds`) until `count` dialogs have been answered.
    bool WaitForAnswers(int count, DWORD milliseconds = 20000) const;

  private:
    void Watch();
    Matcher matches_;
    Action action_;
    std::atomic<bool> stop_{false};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

// A dialog (#32770) of the given process (0: this one) with the given caption.
DialogAnswerer::Matcher DialogWithCaption(const std::wstring& caption, DWORD processId = 0);
// A dialog of the given process that holds a control with the given text.
DialogAnswerer::Matcher DialogWithText(const std::wstring& text, DWORD processId = 0);
// A message box of the given process whose text begins with `start`.
DialogAnswerer::Matcher MessageBeginningWith(const std::wstring& start, DWORD processId = 0);
// The text of a message box.
std::wstring MessageText(HWND box);

// Actions: put text into a control and press OK; press a button.
DialogAnswerer::Action TypeAndPressOk(int controlId, const std::wstring& text);
// Type into a control and press Enter there, as a user at the keyboard does.
DialogAnswerer::Action TypeAndPressEnter(int controlId, const std::wstring& text);
DialogAnswerer::Action PressButton(int buttonId);

// Presses OK in every message of another process and keeps its text (its questions, which
// have no message text, are left to other answerers).
class ProgramMessages {
  public:
    explicit ProgramMessages(const StartedProgram& program);
    ProgramMessages(const ProgramMessages&) = delete;
    ProgramMessages& operator=(const ProgramMessages&) = delete;
    std::vector<std::wstring> messages() const;

  private:
    mutable std::mutex lock_;
    std::vector<std::wstring> messages_;
    DialogAnswerer answerer_; // last: it goes first, before what it writes to
};

// A verb run as the shell starts it: how it ended, and the messages it showed, each
// answered with OK as a user would.
struct VerbRun {
    int exitCode = -1;
    std::vector<std::wstring> messages;
    // Whether a message holds `part`.
    bool Said(const std::wstring& part) const;
    std::string All() const;
};
VerbRun RunVerb(const std::wstring& arguments);

// Presses OK in every message box "Varnix File Opener" of this process and keeps its text.
class MessageBoxReader {
  public:
    MessageBoxReader();
    MessageBoxReader(const MessageBoxReader&) = delete;
    MessageBoxReader& operator=(const MessageBoxReader&) = delete;

    std::vector<std::wstring> Texts() const;
    bool WaitForAnswers(int count, DWORD milliseconds = 20000) const {
        return answerer_.WaitForAnswers(count, milliseconds);
    }
    int answered() const { return answerer_.answered(); }
    // Waits for a message that begins with `start`.
    bool Saw(const std::wstring& start) const;
    // Every text so far, for a failure's report.
    std::string All() const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::wstring> texts_;
    DialogAnswerer answerer_; // last: it goes first, before what it writes to
};

// The first visible dialog that matches, waited for at most `milliseconds`; null if none came.
HWND WaitForDialog(const DialogAnswerer::Matcher& matches, DWORD milliseconds = 20000);

// The text of a control of a dialog (also of another process), and setting it.
std::wstring ControlText(HWND dialog, int controlId);
void SetControlText(HWND dialog, int controlId, const std::wstring& text);

// The text of the selected item in the folder tree of a folder-browser dialog (also of
// another process), or "" when nothing is selected.
std::wstring SelectedFolderInBrowser(HWND dialog);

// Ends every process of that executable name (as another program, or the user in the task
// manager, might); how many it ended.
int StopProcessesNamed(const std::wstring& exeName);

// Waits (at most `milliseconds`) for a condition, polling.
bool WaitUntil(const std::function<bool()>& condition, DWORD milliseconds = 20000);

} // namespace testing_support
