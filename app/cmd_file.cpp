// File menu commands of the frame.
#include "app/app.h"
#include "app/commands.h"

void lq_cmd_file_close(HWND, int) {
    // The window asks about unsaved changes itself.
    if (hwndActiveChild) SendMessageA(hwndActiveChild, WM_CLOSE, 0, 0);
}

void lq_cmd_file_exit(HWND frame, int) { SendMessageA(frame, WM_CLOSE, 0, 0); }
