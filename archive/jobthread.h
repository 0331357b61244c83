#pragma once

#include "win/handle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// A job's work on a worker thread of its own (COM is ready on it).
class Job {
  public:
    Job() = default;
    ~Job();
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Starts the work; false when no thread could be made and the work never ran.
    bool Start(LPTHREAD_START_ROUTINE work, void* argument);

    // Waits until the work has returned, still handing out the thread's messages so that
    // the window paints and a password prompt the job shows can be answered. The main
    // window takes no input meanwhile. With a time limit it returns false once that time
    // has passed, unless a question of the job's is up: the user is answering it, so the
    // wait goes on until it has gone. True when the work has returned. Keys and clicks that
    // reach the window meanwhile are dropped: acted on, they would start a second job on
    // what the first is still working on.
    bool Wait(DWORD milliseconds = INFINITE);

  private:
    bool running_ = false;
    win::KernelHandle thread_;
    // Set by the thread once the work has returned: the thread's own end comes some
    // milliseconds later in Wine, and nothing of the job's is left to wait for by then.
    win::KernelHandle done_;
};

// Whether a job has been started and not yet seen to end: the window then neither starts
// another nor closes.
bool JobRunning();

// How long a job may run before its progress dialog comes up, for work that is mostly
// over in a moment: a dialog that flashes up and away is worse than none.
const DWORD progressDelay = 500;

// Runs `work` on a job thread while the progress dialog (`title`, `message`) shows the
// shared progress counters; the dialog's Cancel sets the flag `work` is given. The dialog
// comes up once the work has taken `showAfter` milliseconds. Returns once the work has
// ended; false when no thread could be started and the work never ran.
bool RunUnderProgress(const std::wstring& title, const std::wstring& message,
                      const std::function<void(const std::atomic<int32_t>* cancelled)>& work,
                      DWORD showAfter = 0);
