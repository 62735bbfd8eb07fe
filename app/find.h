// Find: searching the active editor window's text forward and backward.
#pragma once

#include <windows.h>

// The search string (at most 255 characters); empty at start-up.  A search
// without regard to case leaves it in lower case.
extern char szFindText[256];
// Non-zero: characters must match exactly.
extern BOOL bFindCaseSensitive;

// Searches the active edit control from its selection start s: forward the
// positions s+1, s+2, ..., backward s-1 down to 0 (never s itself), and
// selects the first occurrence.  False with no message when szFindText is
// empty; false after " Could Not find "..." " when there is none (the
// selection stays).
BOOL bMyFindText(int direction);
BOOL bFindNext();
BOOL bFindPrevious();
// The Find dialog (400), modal, owned by the frame.
int iFindDialog();
INT_PTR CALLBACK FINDDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
