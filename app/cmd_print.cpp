// File, Print and File, Printer Setup.
#include "app/app.h"
#include "app/commands.h"
#include "app/editor.h"
#include "app/print.h"

void lq_cmd_print(HWND, int) {
    HWND window = hwndActiveChild;
    if (!window || !lq_confirm_plain_print(window)) return;
    iPrintFile(window);
}

void lq_cmd_printer_setup(HWND frame, int) { iPrinterSetup(&hPrinterDC, &pdPrinter, frame); }
