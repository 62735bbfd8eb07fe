// The program's entry.
#include "app/app.h"

#include "platform/ui.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show) {
    lq_set_message_box(lq_app_message_box);
    if (!lq_app_start(instance, command_line, show)) return 0;
    lq_app_message_loop();
    return 0;
}
