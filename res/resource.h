#pragma once

// Program icon, menu, toolbar and accelerators share this id.
#define IDR_MAINFRAME 128
// The toolbar images at 48 and 64 pixels; the 32-pixel ones are IDR_MAINFRAME's.
#define IDB_TOOLBAR_48 130
#define IDB_TOOLBAR_64 131

#define IDD_ABOUTBOX 100
#define IDD_VARNIX_FORM 129
#define IDD_PASSWORD 205
#define IDD_PROGRESS 206
#define IDD_ADD 207
#define IDD_REPLACE 208
#define IDD_OUTCOME 209

#define IDC_LOCATION 1001
#define IDC_LIST 1002
#define IDC_PATH 1003
#define IDC_PASSWORD 1004
#define IDC_PROGRESS_BAR 1005
#define IDC_PROGRESS_MESSAGE 1006
#define IDC_ARCHIVE_NAME 1007
#define IDC_BROWSE 1008
#define IDC_ADD_PASSWORD 1009
#define IDC_ADD_PASSWORD_AGAIN 1010
#define IDC_REPLACE_TEXT 1011
#define IDC_REPLACE_ICON 1012
#define IDC_REPLACE_ALL 1013
#define IDC_SKIP_ALL 1014
#define IDC_KEEP_BOTH 1015
#define IDC_FIND 1016
#define IDC_OUTCOME_ICON 1017
#define IDC_OUTCOME_COPY 1018
#define IDC_ADD_FORMAT 1019
#define IDC_ADD_LEVEL 1020
#define IDC_ADD_METHOD 1021
#define IDC_ADD_SOLID 1022
#define IDC_ADD_THREADS 1023
#define IDC_ADD_MEMORY 1024
#define IDC_ADD_VOLUMES 1025
#define IDC_ADD_UPDATE 1026
#define IDC_ADD_SHOW_PASSWORD 1027
#define IDC_ADD_ENCRYPT_NAMES 1028
#define IDC_ADD_ZIP_ENCRYPTION 1029
#define IDC_ADD_ZIP_NOTE 1030
#define IDC_ADD_DELETE_AFTER 1031
#define IDC_ADD_SEPARATE 1032
#define IDC_ADD_SUMMARY 1033
// The progress dialog's lines of an add: the file being packed, the bytes, the speed, the
// times.
#define IDC_PROGRESS_FILE 1040
#define IDC_PROGRESS_BYTES 1041
#define IDC_PROGRESS_SPEED 1042
#define IDC_PROGRESS_TIMES 1043

// The frame's commands.
#define ID_ADD 32775
#define ID_EXTRACT 32776
#define ID_DELETE 32777
#define ID_TEST 32778
// The commands of a row's context menu that the toolbar does not have.
#define ID_EXTRACT_TO_FOLDER 32779
#define ID_OPEN_ROW 32780
#define ID_OPEN_IN_WINDOW 32781
#define ID_EXTRACT_HERE 32782
#define ID_COPY_PATH 32783
#define ID_QUICK_ADD_7Z 32784
#define ID_QUICK_ADD_ZIP 32785
#define ID_RENAME 32786
#define ID_NEW_FOLDER 32787
#define ID_COPY 32788
#define ID_CUT 32789
#define ID_PASTE 32790

// Command ids of the standard frame, as the menu and accelerators use them.
#define ID_FILE_NEW 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_FILE_PRINT 57607
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_NEXT_PANE 57680
#define ID_PREV_PANE 57681
#define ATL_IDS_IDLEMESSAGE 57345
#define ATL_IDW_TOOLBAR 59392
#define ATL_IDW_STATUS_BAR 59393
#define ID_VIEW_TOOLBAR 59392
#define ID_VIEW_STATUS_BAR 59393
