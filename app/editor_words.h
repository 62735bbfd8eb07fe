// The values every editor window (class lqdwchild) keeps in its window extra
// bytes, in this order: its edit control, then four 16-bit flags.
#pragma once

#include <windows.h>

// Its edit control (a full handle: SetWindowLongPtr / GetWindowLongPtr).
const int GWL_EDIT = 0;
// 1 when the text changed since it was created, loaded or saved.
const int GWW_MODIFIED = int(sizeof(LONG_PTR));
// 1 when lines wrap at the window's edge.
const int GWW_WRAP = GWW_MODIFIED + 2;
// 1 until the window is loaded from a file or named in Save As.
const int GWW_UNNAMED = GWW_WRAP + 2;
// 1 when the text came from an encrypted file or is to be saved as one.
const int GWW_ENCRYPTED = GWW_UNNAMED + 2;
// Extra bytes of the class.
const int LQ_CHILD_EXTRA_BYTES = GWW_ENCRYPTED + 2;
