#include "archive/jobthread.h"

#include "app/appstate.h"
#include "archive/progress.h"
#include "archive/questions.h"

#include <objbase.h>

#include <atomic>

namespace {

// Jobs started on the window's thread and not yet seen to end.
std::atomic<int> jobsRunning{0};

struct JobStart {
    LPTHREAD_START_ROUTINE work;
    void* argument;
    HANDLE done; // the thread's own copy of the job's event
};

DWORD WINAPI RunJob(void* parameter) {
    JobStart start = *static_cast<JobStart*>(parameter);
    delete static_cast<JobStart*>(parameter);
    // The shell calls of a job (icons and type names of the rows) want COM.
    CoInitialize(nullptr);
    DWORD result = start.work(start.argument);
    SetEvent(start.done);
    CloseHandle(start.done);
    CoUninitialize();
    return result;
}

struct ProgressJob {
    const std::function<void(const std::atomic<int32_t>*)>& work;
    std::atomic<int32_t> cancelled{0};
};

DWORD WINAPI RunProgressJob(void* parameter) {
    auto job = static_cast<ProgressJob*>(parameter);
    job->work(&job->cancelled);
    User().EndProgress();
    return 0;
}

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM found) {
    if (!IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
}

// Whether the job's thread shows a window: a question (a password, a file to replace).
bool ShowsAWindow(HANDLE thread) {
    bool shown = false;
    EnumThreadWindows(GetThreadId(thread), NoteVisibleWindow, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// Keys and mouse clicks, for the window or any of its controls.
bool IsInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
           (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

} // namespace

bool JobRunning() {
    return jobsRunning > 0;
}

Job::~Job() {
    if (running_)
        --jobsRunning;
}

bool Job::Start(LPTHREAD_START_ROUTINE work, void* argument) {
    done_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE threadsCopy = nullptr;
    if (!done_ || !DuplicateHandle(GetCurrentProcess(), done_.get(), GetCurrentProcess(),
                                   &threadsCopy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return false;
    auto start = new JobStart{work, argument, threadsCopy};
    thread_.reset(CreateThread(nullptr, 0, RunJob, start, 0, nullptr));
    if (!thread_) {
        CloseHandle(threadsCopy);
        delete start;
        return false;
    }
    running_ = true;
    ++jobsRunning;
    return true;
}

bool Job::Wait(DWORD milliseconds) {
    HWND mainWindow = AppState.mainWindow;
    bool disabledHere = mainWindow && !EnableWindow(mainWindow, FALSE);
    bool quit = false;
    int quitCode = 0;
    bool ended = false;
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = INFINITE;
        if (milliseconds != INFINITE) {
            DWORD passed = GetTickCount() - start;
            if (passed < milliseconds)
                wait = milliseconds - passed;
            else if (ShowsAWindow(thread_.get()))
                wait = 50; // looked at again until the question has gone
            else
                break;
        }
        // The thread's end counts too, should it ever end without setting the event.
        const HANDLE ends[] = {done_.get(), thread_.get()};
        DWORD woken = MsgWaitForMultipleObjects(2, ends, FALSE, wait, QS_ALLINPUT);
        if (woken == WAIT_TIMEOUT)
            continue;
        if (woken != WAIT_OBJECT_0 + 2) {
            ended = true; // the work has returned (or the wait failed: do not spin)
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true; // for the real message loop, once the job is over
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            if (IsInput(message.message))
                continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (ended && running_) {
        running_ = false;
        --jobsRunning;
    }
    if (disabledHere)
        EnableWindow(mainWindow, TRUE);
    if (quit)
        PostQuitMessage(quitCode);
    return ended;
}

bool RunUnderProgress(const std::wstring& title, const std::wstring& message,
                      const std::function<void(const std::atomic<int32_t>* cancelled)>& work,
                      DWORD showAfter) {
    ProgressJob job{work};
    ResetProgress();
    Job thread;
    if (!thread.Start(RunProgressJob, &job))
        return false;
    if (showAfter != 0 && thread.Wait(showAfter))
        return true;
    if (!User().ShowProgress(title, message))
        job.cancelled = 1; // the work stops at the library's next call
    thread.Wait();
    return true;
}
