#include "archive/jobthread.h"

#include "app/appstate.h"
#include "archive/progress.h"
#include "ui/progressdialog.h"

#include <objbase.h>

namespace {

struct JobStart {
    LPTHREAD_START_ROUTINE job;
    void* argument;
};

DWORD WINAPI RunJob(void* parameter) {
    JobStart start = *static_cast<JobStart*>(parameter);
    delete static_cast<JobStart*>(parameter);
    // The shell calls of a job (icons and type names of the rows) want COM.
    CoInitialize(nullptr);
    DWORD result = start.job(start.argument);
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
    FinishProgress();
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

} // namespace

win::KernelHandle StartJob(LPTHREAD_START_ROUTINE job, void* argument) {
    auto start = new JobStart{job, argument};
    win::KernelHandle thread(CreateThread(nullptr, 0, RunJob, start, 0, nullptr));
    if (!thread)
        delete start;
    return thread;
}

bool WaitForJob(HANDLE thread, DWORD milliseconds) {
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
            else if (ShowsAWindow(thread))
                wait = 50; // looked at again until the question has gone
            else
                break;
        }
        DWORD woken = MsgWaitForMultipleObjects(1, &thread, FALSE, wait, QS_ALLINPUT);
        if (woken == WAIT_TIMEOUT)
            continue;
        if (woken != WAIT_OBJECT_0 + 1) {
            ended = true; // the thread has ended (or the wait failed: do not spin)
            break;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true; // for the real message loop, once the job is over
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
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
    win::KernelHandle thread = StartJob(RunProgressJob, &job);
    if (!thread)
        return false;
    if (showAfter != 0 && WaitForJob(thread.get(), showAfter))
        return true;
    if (!ShowProgress(title, message))
        job.cancelled = 1; // the work stops at the library's next call
    WaitForJob(thread.get());
    return true;
}
