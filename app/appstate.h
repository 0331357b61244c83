#pragma once

#include "ui/settings.h"

#include <windows.h>

// The process-wide record: all zero at start, cleared again by start-up.
struct ApplicationState {
    HINSTANCE instance;
    // Owner of every message box and modal dialog; null while only a command-line verb
    // runs (the add dialog stands in while its job runs).
    HWND mainWindow;
    AppSettings settings;
};

extern ApplicationState AppState;

void ClearAppState();

// The module that holds the program's resources: the instance handle start-up stored, or
// the running executable when there is none (a test, say).
HINSTANCE AppInstance();
