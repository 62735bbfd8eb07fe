// The password dialogs: decryption (resource 100) and encryption (resource
// 200).  Both work on gDlgVeilStats and leave the passwords in gPassword1 and
// gPassword2; the caption names szFileTitle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "crypt/veil_stats.h"

// Whether the decryption dialog lets the user change Make Backup (1 at
// start-up).  The editor's encrypted load clears it before the dialog; the
// dialog's OK and Cancel set it to 1 again.
extern int16_t gMakeBackupEnabled;

// Runs the decryption dialog for record: record is copied into gDlgVeilStats
// first and, after OK, back (no copy when record is gDlgVeilStats).  The
// caller has scanned the file (iScanFileBytes with the trailers read), so
// that gRiddle, gByteSum and gDataLength describe it.  Returns 1 after OK
// (gPassword1, gPassword2 and gMakeBackup set), 0 after Cancel (both
// passwords empty).
int lq_run_decryption_dialog(VeilStats* record);
// The same for the encryption dialog.  After OK the record has been prepared
// by iDefaultVeilStats and holds the user's readonly, compression and
// riddlelength; gRiddle holds the Riddle.
int lq_run_encryption_dialog(VeilStats* record);

INT_PTR CALLBACK OPENENCRYPTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
INT_PTR CALLBACK SAVEENCRYPTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
