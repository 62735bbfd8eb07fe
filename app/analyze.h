// File analysis: the spread of the byte values 0 to 255 over a file, as a
// histogram and four numbers in dialog 700.
#pragma once

#include <windows.h>

// Command 5004: counts every byte of the chosen file.  Returns 1.
int iAnalyzeFile(HWND frame);
// Command 5005: counts the data part of the chosen encrypted file (its Riddle
// and record left out).  Returns 1.
int iAnalyzeEncryptedFile(HWND frame);
// Dialog 700 over gByteCounts; only its OK button (710) ends it.
INT_PTR CALLBACK FILEANALYSISBOXPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
