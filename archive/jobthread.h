#pragma once

#include "win/handle.h"

#include <windows.h>

// Starts a job's worker thread (COM is ready on it). An invalid handle when the thread
// could not be made.
win::KernelHandle StartJob(LPTHREAD_START_ROUTINE job, void* argument);

// Waits until the job's thread has ended, still handing out the thread's messages so
// that a password prompt the job shows can be answered. The main window takes no input
// meanwhile.
void WaitForJob(HANDLE thread);
