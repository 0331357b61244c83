#pragma once

#include "archive/outcome.h"

#include <windows.h>

// Tells the user how a job ended, in one message: its text (the first twenty entries and
// how many more), OK, and Copy, which puts the whole list on the clipboard. The same
// message on every route: the window, the add dialog and the shell's verbs (`owner` null).
void ShowOutcome(HWND owner, const JobOutcome& outcome);

// Asks the main window to show `outcome` once it has done what it is doing (listed the
// archive just opened, say), so that the message comes over the rows it speaks of.
// Shown at once when there is no window.
void PostOutcome(const JobOutcome& outcome);
// The message that carries it: lParam is a JobOutcome* the window takes over.
const UINT WM_SHOW_OUTCOME = WM_APP + 21;
// What the window does with that message.
void ShowPostedOutcome(HWND window, LPARAM outcome);
