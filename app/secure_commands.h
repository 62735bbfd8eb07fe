// The Secure menu's file commands: encrypt or decrypt a chosen file, alone or
// chained with UU encoding or decoding, and open a UU-encoded encrypted text.
// Each handler returns 1; the results of the operations it calls are used
// only to chain the next step.
#pragma once

#include <windows.h>

int iDecryptFileCommand();          // 1021
int iEncryptFileCommand();          // 1023
int iEncryptAndUUEncodeCommand();   // 112
int iOpenUUEncryptedTextCommand();  // 1026
int iDecryptUUFileCommand();        // 111
// 1027: saves the editor window encrypted, then UU-encodes the saved file.
int iSaveEncryptedAndUUEncode(HWND window);
