// Printing the active editor window: the heading prompt, the printer set-up
// through the platform's print dialog, and the job with its "Print" window
// (dialog 600) and abort procedure.  Lines and pages are laid out by
// print/print_text.h; only the device-context calls live here.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>

// The print-dialog record of every set-up: its hDC is the printer context of
// every job (0 until the first set-up).
extern PRINTDLGA pdPrinter;
// The context of the last set-up (the same value as pdPrinter.hDC).
extern HDC hPrinterDC;
// The "Print" window of the running job.
extern HWND hDlgPrint;

// The record's size: the packed layout of the 32-bit platform is 66 bytes;
// the dialog checks for the layout of the platform it runs on.
const DWORD LQ_PD_STRUCT_SIZE = sizeof(PRINTDLGA);
// PD_PRINTSETUP | PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION |
// PD_HIDEPRINTTOFILE, and no others.
const DWORD LQ_PD_SETUP_FLAGS =
    PD_PRINTSETUP | PD_RETURNDC | PD_NOPAGENUMS | PD_NOSELECTION | PD_HIDEPRINTTOFILE;

// Asks for the heading ("Page Header ?", proposed: the window's title) and
// prints the window's text.  0 printed, cancelled, or failed inside
// iPrintTextBuff (which reports itself); -1 the text could not be copied
// (reported under "Lockquill(TM) ERROR: iPrintFile ").
int iPrintFile(HWND window);
// The platform's printer set-up dialog on record, owned by owner.  0 with
// the chosen printer's context in *out; -1 when the dialog was cancelled or
// gave no printer.
int iPrinterSetup(HDC* out, PRINTDLGA* record, HWND owner);
// Prints length characters of text with heading on every page; the job is
// named doc_name.  A record without a context runs the set-up first.  0
// printed; -1 cancelled by the user or no printer chosen (no message); 1
// failed (reported under "Lockquill(TM) ERROR: iPrintTextBuff").
int iPrintTextBuff(HWND owner, int32_t length, const char* doc_name, const char* text, HDC* dc,
                   PRINTDLGA* record, HINSTANCE instance, const char* heading);
// The abort procedure: keeps the program's windows alive while the job
// prints; false once the user cancelled.
BOOL CALLBACK ABORTPROCESS(HDC dc, int code);
// The "Print" window's procedure: any command (Cancel, Enter, Esc) cancels.
INT_PTR CALLBACK PRINTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM lparam);
