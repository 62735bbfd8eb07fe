// Editor windows (class lqdwchild): one multi-line edit control each, and the
// window words of editor_words.h.  The window title is the file's full path,
// or "Untitled".
#pragma once

#include <windows.h>

#include "crypt/veil_stats.h"

// The editor window of path, or a new one (path null: an empty "Untitled"
// window).  encrypted sets GWW_ENCRYPTED; loading a file then sets it from
// what the file is.  A path that is already open brings its window to the
// top with the notice and returns it.  0 when the window could not be made or
// the file not loaded (the window is destroyed again).
HWND hAddEditWindow(const char* path, BOOL encrypted);
// The editor window whose file is path (whole full paths, compared ignoring
// case), after the notice and brought to the top; 0 when none.
HWND hFindOpenWindow(const char* path);
// Loads path into the window's edit control.  0 loaded (also after the size
// warning); -1 failed (reported); a negative result of the encrypted-file
// probe; or the result of the encrypted load for an encrypted file.
int iLoadFile(HWND window, const char* path);
// Saves the window under its title.  0 saved; 1 the name dialog of an
// "Untitled" window was cancelled; -1 failed (reported).  A plain save goes
// through lq_replace_file: a failed save leaves the old file whole, and the
// window keeps its text and its modified state.
int iSaveFile(HWND window);
// The Save As dialog; true when a name was chosen (the window's title is then
// that path and GWW_UNNAMED is cleared).
BOOL bNameFileAs(HWND window);
// Asks about unsaved changes; true when the window may close.
BOOL bQueryCloseChild(HWND window);
// Replaces the window's edit control by one with the wrap state asked for;
// true when the control was replaced and the text came over whole.
BOOL bSetWrap(HWND window, BOOL wrap);
LRESULT CALLBACK MPMDICHILDWNDPROC(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// The security question before a decrypted window is printed ("Potential
// Security Loss", 0x1013); true to go on.  True at once for a plain window.
bool lq_confirm_plain_print(HWND window);

// Loading and saving encrypted text (edit control, path, record): the secure
// editor's iLoadEncryptedEditFile and iSaveEncryptedEditFile, named in
// editor_file.cpp.  While they are null an encrypted file is refused on load
// and a window whose encrypted word is set cannot be saved (both reported).
typedef int (*LqEncryptedTextFn)(HWND edit, const char* path, VeilStats* record);
extern const LqEncryptedTextFn lq_encrypted_text_load;
extern const LqEncryptedTextFn lq_encrypted_text_save;
