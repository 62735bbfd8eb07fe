// Find: the search string and the case option, kept for the whole run.
#pragma once

#include <windows.h>

// The search string (at most 255 characters); empty at start-up.  A search
// without regard to case leaves it in lower case.
extern char szFindText[256];
// Non-zero: characters must match exactly.
extern BOOL bFindCaseSensitive;
