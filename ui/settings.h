#pragma once

#include "win/handle.h"

#include <windows.h>

#include <cstdint>

// What the program remembers between runs, kept under HKCU\Software\Varnix FileOpener.
// All zero means "nothing stored".
struct AppSettings {
    int32_t hasPlacement;      // placement holds a record
    WINDOWPLACEMENT placement; // the main window's, as GetWindowPlacement gave it
    wchar_t lastPath[260];     // folder to list, or archive to open, at start
    int32_t columnWidths[32];  // list column widths by position; 0 = the default width
};

static_assert(sizeof(WINDOWPLACEMENT) == 44, "MAIN_WP is stored as 44 bytes");
static_assert(sizeof(AppSettings::columnWidths) == 128, "column_width is stored as 128 bytes");

// Both return true when the settings key could be opened or created. Missing, mistyped or
// wrongly sized values load as zeros.
bool LoadSettings(AppSettings& settings);
bool SaveSettings(const AppSettings& settings);

// The settings key, created when it does not exist yet.
win::RegKey OpenSettingsKey();
