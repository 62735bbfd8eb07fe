// GUI test harness: drives the real frame, its windows and dialogs in the
// test's own process and thread (see tests/app/README.md).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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
void lq_gui_close_box(HWND w);
std::string lq_gui_text(HWND w);
std::string lq_gui_item_text(HWND dlg, int id);

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

struct LqHelpCall {
    std::string file;
    UINT command;
    std::string key;  // HELP_PARTIALKEY only
};
std::vector<LqHelpCall>& lq_gui_help_calls();
