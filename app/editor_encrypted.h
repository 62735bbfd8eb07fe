// Encrypted text in editor windows: the load and the save of a window whose
// GWW_ENCRYPTED word is set (the portable part is crypt/encrypted_text.h).
#pragma once

#include <windows.h>

#include "crypt/veil_stats.h"

// Scans path (questions about other versions asked, an unsupported file
// reported), runs the decryption dialog with Make Backup fixed, and puts the
// decrypted (and expanded) text into the edit control.  0 when the text is
// in the edit control, also after the size warning; -1 when the file was
// refused, the dialog cancelled, or loading failed (reported; the edit
// control's text unchanged).  The passwords are emptied at the end.
int iLoadEncryptedEditFile(HWND edit, const char* path, VeilStats* record);
// Runs the encryption dialog (szFileName and szFileTitle name path) and
// writes the edit control's text as the encrypted text file path.  0 saved;
// 1 the dialog was cancelled and nothing was written; -1 failed (reported;
// the old file as it was).  The passwords are emptied at the end.
int iSaveEncryptedEditFile(HWND edit, const char* path, VeilStats* record);
