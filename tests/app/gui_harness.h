// GUI test harness: drives the real frame, its windows and dialogs in the
// test's own process and thread (tests/app/README.md says how).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_words.h"
#include "res/resource.h"
#include "tests/support/lq_test.h"

// LqTest plus the started frame; help requests recorded; TearDown destroys
// the frame without questions and fails when a queued action went unused.
class LqGuiTest : public LqTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    void restart(const char* command_line);  // the program again, with this command line
    static void command(int id);             // WM_COMMAND to the frame
    // Runs command id with its open dialog answered by path(name), ahead of
    // the answers already queued for the dialogs that follow it.
    void file_command(int id, const std::string& name, const char* title = nullptr);
};

// An action runs on the next dialog this thread shows, from a timer inside its
// modal loop, in the order queued; lq_gui_again: a second step on the same one.
typedef std::function<void(HWND dlg)> LqDialogAction;
void lq_gui_on_dialog(LqDialogAction action);
void lq_gui_again(HWND dlg, LqDialogAction action);
void lq_gui_pump();                   // dispatches the messages waiting for this thread
void lq_gui_click(HWND dlg, int id);  // fails the test on a disabled button
void lq_gui_key(UINT vk);             // a key press posted to the focused window
std::string lq_gui_text(HWND w);
std::string lq_gui_item_text(HWND dlg, int id);
bool lq_gui_enabled(HWND dlg, int id);
// Cancels the next open or save dialog (its title checked when given).
void lq_gui_cancel_file_dialog(const char* title = nullptr);
// <artifacts>/screenshots/<name>.png; lq_gui_pixel: one client pixel as 0xRRGGBB.
bool lq_gui_screenshot(HWND w, const std::string& name);
uint32_t lq_gui_pixel(HWND w, int x, int y);
// Starts a command line (a Unix program too) with its output to out; the process.
HANDLE lq_gui_start(std::string line, HANDLE out = nullptr);
std::string lq_gui_captions();                  // the boxes as "caption/style" lines; clears them
std::vector<std::string>& lq_gui_help_calls();  // "file|command|key"

// Editor windows: the edit control, a window word, the text, typing at the
// caret (the window becomes modified), the windows (top first), a file opened
// as the dropped or command-line file is.
inline HWND edit_of(HWND child) { return HWND(GetWindowLongPtrA(child, GWL_EDIT)); }
inline int word(HWND child, int offset) { return GetWindowWord(child, offset); }
inline std::string edit_text(HWND child) { return lq_gui_text(edit_of(child)); }
inline void type_text(HWND child, const std::string& text) {
    SendMessageA(edit_of(child), EM_REPLACESEL, TRUE, LPARAM(text.c_str()));
}
std::vector<HWND> editor_windows();
inline HWND open_file(const std::string& path) { return hAddEditWindow(path.c_str(), FALSE); }

// The passwords of the encrypted files (tests/golden/note was made with them).
inline const char P1[] = "Nightjar7", P2[] = "Kestrel42";
void type_keys(HWND dlg, int id, const std::string& keys);  // '\b' is Backspace
// The encryption dialog: passwords and confirmations typed, the Riddle, Speed
// (2) or Size (1), Read Only; OK once enabled (or Cancel).
void answer_encrypt(int compression = 0, bool read_only = false, bool cancel = false,
                    const char* shot = nullptr, const std::string& riddle = "");
// The decryption dialog (title and status checked): two passwords, OK; a null: Cancel.
void answer_decrypt(const char* a = P1, const char* b = P2, const char* shot = nullptr);
