// GUI test harness: drives the real frame, its windows and dialogs in the
// test's own process and thread (see tests/app/README.md).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/lq_test.h"

// LqGuiTest: LqTest (fresh folder, recorded message boxes, reset records)
// plus the started frame: hInst is the test executable (which carries the
// resources), the frame is shown, the progress window installed, and help
// requests are recorded instead of starting a viewer.  TearDown destroys the
// frame without questions, drains its quit message, unregisters the classes
// and checks that every queued dialog action was used.
class LqGuiTest : public LqTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Destroys the frame and starts the program again with this command line.
    void restart(const char* command_line);
    // Sends a menu command to the frame; returns when its dialogs have closed.
    static void command(int id);
};

// ------------------------------------------------------------- dialog driver
// A dialog action runs on the next dialog (class #32770, visible, enabled,
// not the progress window) that this thread shows, from a thread timer that
// fires inside the dialog's modal loop.  Actions run in the order queued; an
// action should post (lq_gui_click, lq_gui_key) rather than send, so that the
// dialog's own loop does the work.
typedef std::function<void(HWND dlg)> LqDialogAction;
void lq_gui_on_dialog(LqDialogAction action);
// Runs action on dlg again at a later tick (for a second step on the same
// dialog, after the posted messages of the first have been handled).
void lq_gui_again(HWND dlg, LqDialogAction action);
// Actions not yet run.
size_t lq_gui_pending();
// Dispatches the messages waiting for this thread.
void lq_gui_pump();

// Posts BM_CLICK to a button of dlg; fails the test when it is disabled (a
// disabled button would still take BM_CLICK under Wine).
void lq_gui_click(HWND dlg, int id);
// Posts a key press (down and up) to the window with the focus, as typed.
void lq_gui_key(UINT vk);
// Posts the close box's command to a window.
void lq_gui_close_box(HWND w);
std::string lq_gui_text(HWND w);
std::string lq_gui_item_text(HWND dlg, int id);
std::string lq_gui_class(HWND w);

// Queues answers to the platform's open and save dialogs: the chosen path,
// or Cancel.  The dialog's title is checked when title is not null.
void lq_gui_choose_file(const std::string& path, const char* title = nullptr);
void lq_gui_cancel_file_dialog(const char* title = nullptr);

// Real message boxes: installs MessageBoxA (owned by the frame) as the
// program's routine, and queues the answer for the next box, whose caption,
// text and style are recorded into lq_boxes() like the recorder's.  Used
// where a screenshot of a real box is wanted; other tests keep the recorder.
void lq_gui_use_real_message_boxes();
void lq_gui_answer_real_box(int button_id, const std::string& screenshot_name = "");

// Saves a picture of the window (with its children) as
// <artifacts>/screenshots/<name>.png.  Works under the null display driver.
bool lq_gui_screenshot(HWND w, const std::string& name);
// The colour of one pixel of a window (client coordinates), as 0xRRGGBB.
uint32_t lq_gui_pixel(HWND w, int x, int y);

// Help requests recorded instead of calling the viewer.
struct LqHelpCall {
    std::string file;
    UINT command;
    std::string key;  // HELP_PARTIALKEY only
};
std::vector<LqHelpCall>& lq_gui_help_calls();
