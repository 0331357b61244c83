#pragma once

#include <windows.h>

#include <string>

// Gives a dialog the program's caption ("Varnix File Opener") and small icon.
void SetAppCaptionAndIcon(HWND hwnd);

// Shows the modal progress dialog while a job runs on another thread. The dialog shows
// the shared progress counters ten times a second. Returns true when the job finished
// (FinishProgress, or the counters met), false when the user cancelled or the dialog could
// not be shown.
bool ShowProgress(const std::wstring& title, const std::wstring& message);

// The job's last step, from any thread: closes the dialog, also one that is not up yet.
int FinishProgress();

// The window of the progress dialog that is up, or null.
HWND ProgressWindow();
