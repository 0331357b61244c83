#pragma once

// Program icon, menu, toolbar and accelerators share this id.
#define IDR_MAINFRAME 128

#define IDD_PASSWORD 205
#define IDD_PROGRESS 206
#define IDD_ADD 207

#define IDC_PASSWORD 1004
#define IDC_PROGRESS_BAR 1005
#define IDC_PROGRESS_MESSAGE 1006
#define IDC_ARCHIVE_NAME 1007
#define IDC_BROWSE 1008
#define IDC_ADD_PASSWORD 1009
#define IDC_ADD_PASSWORD_AGAIN 1010
