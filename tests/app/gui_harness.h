// GUI test harness: drives the real frame, its windows and dialogs in the
// test's own process and thread (see tests/app/README.md).
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

// LqTest plus the started frame (hInst is the test executable, which carries
// the resources); help requests are recorded.  TearDown destroys the frame
// without questions and checks that every queued dialog action was used.
class LqGuiTest : public LqTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    void restart(const char* command_line);  // the program again, with this command line
    static void command(int id);             // WM_COMMAND to the frame
};

// An action runs on the next dialog (#32770, visible, enabled, not the
// progress window) this thread shows, from a timer inside its modal loop, in
// the order queued.  Actions post (click, key) so the dialog's loop works.
typedef std::function<void(HWND dlg)> LqDialogAction;
void lq_gui_on_dialog(LqDialogAction action);
// A second step on dlg once the first step's posted messages were handled.
void lq_gui_again(HWND dlg, LqDialogAction action);
void lq_gui_pump();  // dispatches the messages waiting for this thread

// BM_CLICK; fails the test on a disabled button (Wine would still click it).
void lq_gui_click(HWND dlg, int id);
void lq_gui_key(UINT vk);  // a key press posted to the focused window
std::string lq_gui_text(HWND w);
std::string lq_gui_item_text(HWND dlg, int id);
bool lq_gui_enabled(HWND dlg, int id);

// Answers the next open or save dialog (its title checked when given).
void lq_gui_choose_file(const std::string& path, const char* title = nullptr);
void lq_gui_cancel_file_dialog(const char* title = nullptr);

// Real MessageBoxA (still recorded into lq_boxes()), for pictures of boxes;
// the answer clicks a button of the next box after its screenshot.
void lq_gui_use_real_message_boxes();
void lq_gui_answer_real_box(int button_id, const std::string& screenshot_name = "");

// <artifacts>/screenshots/<name>.png of the window; works under the null
// display driver.  lq_gui_pixel: one client pixel as 0xRRGGBB.
bool lq_gui_screenshot(HWND w, const std::string& name);
uint32_t lq_gui_pixel(HWND w, int x, int y);

// Starts a command line (a Unix program too: Wine runs it on the host) with
// its output to out when given; the process handle (0 when it did not start).
HANDLE lq_gui_start(std::string line, HANDLE out = nullptr);
// The boxes since the last call as "caption/style" lines; clears them.
std::string lq_gui_captions();

// Help requests as "file|command|key" (key: HELP_PARTIALKEY only).
std::vector<std::string>& lq_gui_help_calls();

// Editor windows.
inline HWND edit_of(HWND child) { return HWND(GetWindowLongPtrA(child, GWL_EDIT)); }
inline int word(HWND child, int offset) { return GetWindowWord(child, offset); }
inline std::string edit_text(HWND child) { return lq_gui_text(edit_of(child)); }
// Types text at the caret as the user would (the control notifies a change).
inline void type_text(HWND child, const std::string& text) {
    SendMessageA(edit_of(child), EM_REPLACESEL, TRUE, LPARAM(text.c_str()));
}
// The editor windows, first the top one.
std::vector<HWND> editor_windows();
// Opens path as the dropped or command-line file is opened.
inline HWND open_file(const std::string& path) { return hAddEditWindow(path.c_str(), FALSE); }

// The passwords of the encrypted files (tests/golden/note was made with them).
inline const char P1[] = "Nightjar7", P2[] = "Kestrel42";
void set_passwords();  // P1 and P2 as the dialogs leave them
// Types keys into a control as the keyboard does ('\b' is Backspace).
void type_keys(HWND dlg, int id, const std::string& keys);
// Answers the encryption dialog: each password and its confirmation typed,
// the Riddle, Speed (2) or Size (1), Read Only; OK once enabled (or Cancel).
void answer_encrypt(int compression = 0, bool read_only = false, bool cancel = false,
                    const char* shot = nullptr, const std::string& riddle = "");
// Answers the decryption dialog with two passwords typed (a null: Cancel),
// after checking its title and the record's status.
void answer_decrypt(const char* a = P1, const char* b = P2, const char* shot = nullptr);
