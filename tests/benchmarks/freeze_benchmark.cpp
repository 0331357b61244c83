// Measures how long the window leaves a message unanswered while a long job runs: deleting
// 1,000 entries of a 100,000-entry archive, opening a 500 MB entry, extracting a 200 MB
// archive from the disk view, dropping a 500 MB file into a folder of an archive (its
// staging copy), and, in the program started as the shell starts it, Extract Here (/e) of
// a 50,000-file ZIP and Extract files (/x) of the 200 MB one; and making a 7z and a tar.gz
// of 200 MB of mixed files from the window. Another process (ui_probe
// watch) sends WM_NULL every 50 ms and reports the longest wait for an answer. The
// questions are answered from another thread, as a user would. Not a test: it prints
// figures. Needs a display.
//   freeze_benchmark <bench data folder> <work folder> <program>
// The data folder holds flat-100k.zip, big-entry.zip (one 500 MB entry, movie.varnixbench,
// whose file lies in big-entry\), mixed-200mb.zip, files-50k.zip and mixed-1gb\ (photos
// in media\set0..., notes in docs\part0...).
#include "app/appstate.h"
#include "archive/archiver.h"
#include "archive/console/toolcommand.h"
#include "res/resource.h"
#include "shell/paths.h"
#include "ui/mainfrm.h"
#include "ui/windowquestions.h"

#include <windows.h>

#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Waits for a handle while the window goes on answering.
void WaitPumping(HANDLE handle) {
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1)
        Pump();
}

PROCESS_INFORMATION Start(const std::wstring& commandLine, HANDLE output = nullptr) {
    std::wstring line = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, output != nullptr, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process))
        std::printf("could not start: %ls\n", commandLine.c_str());
    return process;
}

void Finish(PROCESS_INFORMATION& process) {
    if (process.hProcess) {
        WaitPumping(process.hProcess);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    process = PROCESS_INFORMATION();
}

// Where a program started by the shell writes: nowhere.
HANDLE Nowhere() {
    static HANDLE nul = [] {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        return CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                           nullptr);
    }();
    return nul;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring Probe() {
    return Quoted(ProgramFolder() + L"\\ui_probe.exe");
}

// ui_probe watch on a window ("1234") or on the windows of a process ("pid:56").
class Watcher {
  public:
    explicit Watcher(const std::wstring& target) {
        static int count = 0;
        std::wstring name = L"VarnixFreeze" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++count);
        stop_ = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE write = nullptr;
        CreatePipe(&read_, &write, &inherit, 0);
        SetHandleInformation(read_, HANDLE_FLAG_INHERIT, 0);
        process_ = Start(Probe() + L" watch " + target + L" " + name, write);
        CloseHandle(write);
        // It says so before its first message.
        while (output_.find("watching") == std::string::npos && ReadSome())
            Pump();
    }
    ~Watcher() {
        CloseHandle(read_);
        CloseHandle(stop_);
    }

    // Its figures: "longest: ms", "answers: n", "first: ms", "watched: ms".
    std::string Stop() {
        SetEvent(stop_);
        Finish(process_); // it may be waiting for this thread's answer meanwhile
        while (ReadSome()) {
        }
        return output_;
    }

  private:
    bool ReadSome() {
        char buffer[512];
        DWORD read = 0;
        if (!ReadFile(read_, buffer, sizeof buffer, &read, nullptr) || read == 0)
            return false;
        output_.append(buffer, read);
        return true;
    }

    HANDLE stop_ = nullptr;
    HANDLE read_ = nullptr;
    PROCESS_INFORMATION process_ = {};
    std::string output_;
};

long Figure(const std::string& output, const char* key) {
    size_t at = output.find(key);
    return at == std::string::npos ? -1 : std::atol(output.c_str() + at + strlen(key));
}

// The clock ui_probe reports its waits by; QueryPerformanceCounter is the machine's.
double Milliseconds() {
    LARGE_INTEGER now;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::atomic<double> operationStart{0};

// Something the operation did, by its time since the operation started.
void Note(const char* what) {
    std::printf("  %s at %.2f s\n", what, (Milliseconds() - operationStart) / 1000.0);
    std::fflush(stdout);
}

void Report(const char* what, const std::string& figures) {
    for (size_t at = figures.find("stall: "); at != std::string::npos;
         at = figures.find("stall: ", at + 1)) {
        double sent = 0;
        double waited = 0;
        std::sscanf(figures.c_str() + at, "stall: %lf %lf", &sent, &waited);
        std::printf("  a wait of %.0f ms at %.2f s\n", waited, (sent - operationStart) / 1000.0);
    }
    std::printf("freeze %s: longest unanswered %ld ms over %.1f s (%ld answers, first window "
                "after %ld ms)\n",
                what, Figure(figures, "longest: "), Figure(figures, "watched: ") / 1000.0,
                Figure(figures, "answers: "), Figure(figures, "first: "));
    std::fflush(stdout);
}

std::wstring TextOf(HWND window, int id = 0) {
    wchar_t text[1024] = {};
    if (id)
        GetDlgItemTextW(window, id, text, 1024);
    else
        GetWindowTextW(window, text, 1024);
    return text;
}

// Answers what the operations ask from a thread of its own: the delete question with Yes,
// the folder picker with the folder given (through ui_probe, as the end-to-end test picks),
// any other message with OK, which it prints: none is expected.
class Answerer {
  public:
    Answerer() : thread_([this] { Watch(); }) {}
    ~Answerer() {
        stop_ = true;
        thread_.join();
    }
    void PickFolder(const std::wstring& folder) {
        std::lock_guard<std::mutex> lock(mutex_);
        pickFolder_ = folder;
    }

  private:
    static BOOL CALLBACK Find(HWND window, LPARAM found) {
        wchar_t className[64] = {};
        GetClassNameW(window, className, 64);
        if (IsWindowVisible(window) && IsWindowEnabled(window) &&
            wcscmp(className, L"#32770") == 0) {
            std::wstring title = TextOf(window);
            if (title == L"Varnix File Opener" || title == L"Browse for Folder") {
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            }
        }
        return TRUE;
    }

    void Watch() {
        while (!stop_) {
            HWND dialog = nullptr;
            EnumWindows(Find, reinterpret_cast<LPARAM>(&dialog));
            if (!dialog) {
                Sleep(50);
                continue;
            }
            if (TextOf(dialog) == L"Browse for Folder") {
                std::wstring folder;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    folder = pickFolder_;
                }
                Note("the folder picker up");
                PROCESS_INFORMATION picker = Start(Probe() + L" pick-folder " + Quoted(folder));
                WaitForSingleObject(picker.hProcess, 60000);
                CloseHandle(picker.hProcess);
                CloseHandle(picker.hThread);
                Note("a folder picked");
            } else {
                std::wstring text = TextOf(dialog, 0xFFFF);
                bool question = text.compare(0, 12, L"Are you sure") == 0;
                if (!question)
                    std::printf("message: %ls\n", text.c_str());
                Note("a question answered");
                PostMessageW(dialog, WM_COMMAND, question ? IDYES : IDOK, 0);
            }
            for (int i = 0; i < 1200 && IsWindow(dialog) && IsWindowVisible(dialog); ++i)
                Sleep(50);
        }
    }

    std::mutex mutex_;
    std::wstring pickFolder_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

int RowOf(FolderBrowser& model, const std::wstring& name) {
    for (int i = 0; i < model.rows().Count(); ++i) {
        if (model.rows().Get(i).name == name)
            return i;
    }
    return -1;
}

// The view on `folder` of the disk, with nothing selected.
void ShowDiskFolder(CVarnixView& view, const std::wstring& folder) {
    view.model().CloseArchive();
    view.model().BrowseFolder(folder);
    view.RefreshView();
    ListView_SetItemState(view.list(), -1, 0, LVIS_SELECTED);
    Pump();
}

void Select(CVarnixView& view, int first, int count) {
    ListView_SetItemState(view.list(), -1, 0, LVIS_SELECTED);
    for (int row = first; row < first + count; ++row)
        ListView_SetItemState(view.list(), row, LVIS_SELECTED, LVIS_SELECTED);
}

// What the window does for `action`, watched from another process.
void Measure(const char* what, HWND window, const std::function<void()>& action) {
    Watcher watcher(std::to_wstring(reinterpret_cast<uintptr_t>(window)));
    operationStart = Milliseconds();
    action();
    Note("done");
    Pump();
    Report(what, watcher.Stop());
}

// A shell verb of the program, its windows watched from another process.
void MeasureVerb(const char* what, const std::wstring& program, const std::wstring& arguments) {
    operationStart = Milliseconds();
    PROCESS_INFORMATION process = Start(Quoted(program) + L" " + arguments, Nowhere());
    Watcher watcher(L"pid:" + std::to_wstring(process.dwProcessId));
    Finish(process);
    Report(what, watcher.Stop());
}

// A dropped file, as the shell hands it over.
HDROP DropOf(const std::wstring& path) {
    size_t size = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, size);
    auto drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(),
           path.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    UseWindowQuestions();
    if (argc < 4) {
        std::printf("usage: freeze_benchmark <data folder> <work folder> <program>\n");
        return 2;
    }
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    const std::wstring data = argv[1];
    const std::wstring work = argv[2];
    const std::wstring program = argv[3];
    for (const wchar_t* folder : {L"", L"\\disk", L"\\extracted", L"\\e", L"\\x", L"\\x-out"})
        CreateDirectoryW((work + folder).c_str(), nullptr);

    ClearAppState();
    wcscpy_s(AppState.settings.lastPath, work.c_str());
    win::MessageLoop loop;
    CMainFrame frame(loop);
    frame.CreateFrame();
    ShowWindow(frame.hwnd(), SW_SHOW);
    Pump();
    CVarnixView& view = frame.view();
    FolderBrowser& model = view.model();
    Answerer answerer;

    // Delete on 1,000 selected rows of a 100,000-entry archive, after the question.
    CopyFileW((data + L"\\flat-100k.zip").c_str(), (work + L"\\delete.zip").c_str(), FALSE);
    ShowDiskFolder(view, work);
    view.ActivateRow(RowOf(model, L"delete.zip"));
    Select(view, 1, 1000);
    Measure("delete 1,000 of 100,000 entries", frame.hwnd(),
            [&] { SendMessageW(frame.hwnd(), WM_COMMAND, ID_DELETE, 0); });
    std::printf("  (%d rows left)\n", model.rows().Count());
    {
        // What the window's thread still does after the job, each step timed alone.
        double start = Milliseconds();
        model.ShowArchiveFolder();
        double taken = Milliseconds();
        view.RefreshView();
        UpdateWindow(view.list());
        std::printf("  (after the job, on the window's thread: the view takes and sorts the rows "
                    "%.0f ms, puts them in the list %.0f ms)\n",
                    taken - start, Milliseconds() - taken);
    }

    // A double-click on a 500 MB entry: it is extracted, then handed to its program.
    ShowDiskFolder(view, data);
    view.ActivateRow(RowOf(model, L"big-entry.zip"));
    Measure("open a 500 MB entry", frame.hwnd(),
            [&] { view.ActivateRow(RowOf(model, L"movie.varnixbench")); });

    // Extract on a 200 MB archive in the disk view, into a folder picked.
    CopyFileW((data + L"\\mixed-200mb.zip").c_str(), (work + L"\\disk\\mixed.zip").c_str(), FALSE);
    ShowDiskFolder(view, work + L"\\disk");
    Select(view, RowOf(model, L"mixed.zip"), 1);
    answerer.PickFolder(work + L"\\extracted");
    Measure("extract a 200 MB archive from the disk view", frame.hwnd(),
            [&] { SendMessageW(frame.hwnd(), WM_COMMAND, ID_EXTRACT, 0); });

    // A 500 MB file dropped on a folder of an archive: staged, then added (a tar: the tool
    // only copies).
    std::wstring staged = work + L"\\stage";
    CreateDirectoryW(staged.c_str(), nullptr);
    CreateDirectoryW((staged + L"\\docs").c_str(), nullptr);
    CopyFileW(program.c_str(), (staged + L"\\docs\\tool.exe").c_str(), FALSE);
    PROCESS_INFORMATION tar =
        Start(Quoted(GetCorePath(L"7z.exe")) + L" a " + Quoted(work + L"\\stage.tar") + L" " +
              Quoted(staged + L"\\docs"));
    Finish(tar);
    ShowDiskFolder(view, work);
    view.ActivateRow(RowOf(model, L"stage.tar"));
    view.ActivateRow(RowOf(model, L"docs"));
    Measure("add a 500 MB file into a folder of an archive", frame.hwnd(), [&] {
        HDROP drop = DropOf(data + L"\\big-entry\\movie.varnixbench");
        SendMessageW(view.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    });
    std::printf("  (%d rows in docs)\n", model.rows().Count());
    model.CloseArchive();

    // A new 7z at level Normal and a tar.gz, each of 200 MB of mixed files (the photos of
    // four folders and the notes of twenty), made as the add dialog's OK makes them.
    std::vector<std::wstring> mixed;
    for (int i = 0; i < 4; ++i)
        mixed.push_back(data + L"\\mixed-1gb\\media\\set" + std::to_wstring(i));
    for (int i = 0; i < 20; ++i)
        mixed.push_back(data + L"\\mixed-1gb\\docs\\part" + std::to_wstring(i));
    for (AddFormat format : {AddFormat::SevenZip, AddFormat::TarGz}) {
        AddOptions options;
        options.format = format;
        std::wstring made = work + (format == AddFormat::SevenZip ? L"\\made.7z" : L"\\made.tar.gz");
        Measure(format == AddFormat::SevenZip ? "create a 7z (Normal) of 200 MB of mixed files"
                                              : "create a tar.gz of 200 MB of mixed files",
                frame.hwnd(), [&] {
                    Archiver archiver;
                    archiver.CreateArchives({{made, mixed}}, options);
                    if (archiver.lastOutcome.end != JobEnd::Success)
                        std::printf("message: %ls was not made\n", made.c_str());
                });
        DeleteFileW(made.c_str());
    }

    DestroyWindow(frame.hwnd());
    Pump();

    // The verbs, started as the shell starts them.
    CopyFileW((data + L"\\files-50k.zip").c_str(), (work + L"\\e\\files.zip").c_str(), FALSE);
    MeasureVerb("/e of a 50,000-file zip", program, L"/e " + Quoted(work + L"\\e\\files.zip"));
    CopyFileW((data + L"\\mixed-200mb.zip").c_str(), (work + L"\\x\\mixed.zip").c_str(), FALSE);
    answerer.PickFolder(work + L"\\x-out");
    MeasureVerb("/x of a 200 MB zip", program, L"/x " + Quoted(work + L"\\x\\mixed.zip"));
    return 0;
}
