#pragma once

#include "win/handle.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Starts a job's worker thread (COM is ready on it). An invalid handle when the thread
// could not be made.
win::KernelHandle StartJob(LPTHREAD_START_ROUTINE job, void* argument);

// Waits until the job's thread has ended, still handing out the thread's messages so
// that a password prompt the job shows can be answered. The main window takes no input
// meanwhile.
void WaitForJob(HANDLE thread);

// Runs `work` on a job thread while the progress dialog (`title`, `message`) shows the
// shared progress counters; the dialog's Cancel sets the flag `work` is given. Returns
// once the work has ended; false when no thread could be started and the work never ran.
bool RunUnderProgress(const std::wstring& title, const std::wstring& message,
                      const std::function<void(const std::atomic<int32_t>* cancelled)>& work);
