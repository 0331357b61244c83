#pragma once

// Program icon, menu, toolbar and accelerators share this id.
#define IDR_MAINFRAME 128

#define IDD_PASSWORD 205
#define IDD_PROGRESS 206

#define IDC_PASSWORD 1004
#define IDC_PROGRESS_BAR 1005
#define IDC_PROGRESS_MESSAGE 1006
