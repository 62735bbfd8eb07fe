// The text entry prompt, dialog 1105: one line of text, OK or Cancel.
#pragma once

#include <windows.h>

#include <cstdint>

// Asks question (shown as the dialog's title) with the proposed answer in
// buffer.  True on OK: buffer then holds the edited text, cut to length - 1
// characters (length counts the terminating zero).  False on Cancel or when
// the dialog could not be shown; buffer is then unchanged.  Esc does not
// close the prompt: only the Cancel button does.
BOOL bAskAlphaEntry(const char* question, char* buffer, uint16_t length);
INT_PTR CALLBACK ALPHAENTRYDIALOGBOXPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
