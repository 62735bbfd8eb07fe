// Resource and command ids of the editor.  Plain #defines: this header is read
// by the resource compiler as well as by the C++ sources.
#pragma once

// Icons
#define IDI_DOCUMENT 1
#define IDI_FRAME 2
#define IDI_ABOUT 101

// Menu bar and accelerator table
#define IDR_FRAME 3

// Client window and the edit control of every editor window
#define ID_MDICLIENT 3244
#define ID_EDIT 3244
// Command id of the first editor window listed in the Window menu
#define ID_FIRSTCHILD 4100

// File
#define IDM_FILE_NEW 1001
#define IDM_FILE_OPEN 1002
#define IDM_FILE_CLOSE 1010
#define IDM_FILE_SAVE 1003
#define IDM_FILE_SAVEAS 1004
#define IDM_FILE_PRINT 1005
#define IDM_FILE_PRINTSETUP 1008
#define IDM_FILE_ANALYZE 5004
#define IDM_FILE_EXIT 1006

// Edit
#define IDM_EDIT_UNDO 2001
#define IDM_EDIT_CUT 2002
#define IDM_EDIT_COPY 2003
#define IDM_EDIT_PASTE 2004
#define IDM_EDIT_DELETE 2005
#define IDM_EDIT_SELECTALL 2006
#define IDM_EDIT_WORDWRAP 139
#define IDM_EDIT_FIND 3001
#define IDM_EDIT_FINDNEXT 3002
#define IDM_EDIT_FINDPREV 3003

// Secure
#define IDM_SECURE_NEW 1028
#define IDM_SECURE_OPEN 1020
#define IDM_SECURE_OPEN_UU 1026
#define IDM_SECURE_CLOSE 113
#define IDM_SECURE_SAVE 1022
#define IDM_SECURE_SAVE_UU 1027
#define IDM_SECURE_SAVEAS 1024
#define IDM_SECURE_DECRYPT 1021
#define IDM_SECURE_DECRYPT_UU 111
#define IDM_SECURE_ENCRYPT 1023
#define IDM_SECURE_ENCRYPT_UU 112
#define IDM_SECURE_ANALYZE 5005

// UU EnCoding
#define IDM_UU_ENCODE_TEXT 1050
#define IDM_UU_DECODE 1051
#define IDM_UU_ENCODE_BINARY 1052
#define IDM_UU_SPLIT 137
#define IDM_UU_REBUILD 138

// Compression
#define IDM_COMPRESS_MAX 130
#define IDM_COMPRESS_EXPAND 131
#define IDM_COMPRESS_FAST 132

// Erase
#define IDM_ERASE_WIPE 114

// Window
#define IDM_WINDOW_TILEVERT 4001
#define IDM_WINDOW_TILEHORZ 4005
#define IDM_WINDOW_CASCADE 4002
#define IDM_WINDOW_ARRANGE 4004
#define IDM_WINDOW_CLOSEALL 4003
#define IDM_WINDOW_WORDWRAP 2008

// Help
#define IDM_HELP_CONTENTS 116
#define IDM_HELP_SEARCH 134
#define IDM_HELP_SUPPORT 136
#define IDM_HELP_KEYBOARD 117
#define IDM_HELP_PASSWORDS 133
#define IDM_HELP_USINGHELP 118
#define IDM_HELP_ABOUT 5002

// About box
#define IDD_ABOUT 300
#define IDC_ABOUT_VERSION 301

// Find
#define IDD_FIND 400
#define IDC_FIND_LABEL 100
#define IDC_FIND_TEXT 401
#define IDC_FIND_PREVIOUS 402
#define IDC_FIND_CASE 403

// Progress window
#define IDD_PROGRESS 1100
#define IDC_PROGRESS_OPERATION 1101
#define IDC_PROGRESS_PERCENT 1102
#define IDC_PROGRESS_BAR 1103
#define IDC_PROGRESS_FILE 1104

// Text entry prompt
#define IDD_ALPHAENTRY 1105
#define IDC_ALPHA_OK 1106
#define IDC_ALPHA_CANCEL 1107
#define IDC_ALPHA_TEXT 1108

// Print window
#define IDD_PRINT 600
#define IDC_PRINT_LABEL 100
#define IDC_PRINT_DOCUMENT 1030
