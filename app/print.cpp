// Printing through the platform's printer context.
#include "app/print.h"

#include <cstdio>
#include <cstring>

#include "app/alpha_entry.h"
#include "app/app.h"
#include "app/editor_words.h"
#include "print/print_text.h"

PRINTDLGA pdPrinter;
HDC hPrinterDC;
HWND hDlgPrint;

namespace {
const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;

bool draw_tabbed(void* ctx, int32_t x, int32_t y, const char* s, int32_t count, int32_t tab_width,
                 int32_t tab_origin) {
    INT stop = tab_width;
    return TabbedTextOutA(HDC(ctx), x, y, s, count, 1, &stop, tab_origin) != 0;
}

int new_frame(void* ctx) { return Escape(HDC(ctx), NEWFRAME, 0, nullptr, nullptr); }
}  // namespace

int iPrintFile(HWND window) {
    GetWindowTextA(window, szPageHeader, int(sizeof szPageHeader));
    if (!bAskAlphaEntry("Page Header ?", szPageHeader, sizeof szPageHeader)) return 0;
    char doc_name[31];
    std::snprintf(doc_name, sizeof doc_name, "%.30s", szPageHeader);

    UpdateWindow(hwndFrame);
    HWND edit = HWND(GetWindowLongPtrA(window, GWL_EDIT));
    int32_t n = int32_t(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0));
    szMessageBuffer[0] = 0;
    LqGlobalText text;
    if (!(text.handle = pf_global_alloc(uint32_t(n) + 1)))
        lq_message_format(" Global print memory buffer allocation failed");
    else if (!(text.p = static_cast<char*>(pf_global_lock(text.handle))))
        lq_message_format(" Global print memory buffer address query failed");
    else if (SendMessageA(edit, WM_GETTEXT, WPARAM(n) + 1, LPARAM(text.p)) != n)
        lq_message_format(" Global print memory buffer copy failed");
    if (szMessageBuffer[0]) {
        lq_message_show("Lockquill(TM) ERROR: iPrintFile ", error_style);
        return -1;
    }
    iPrintTextBuff(hwndFrame, n, doc_name, text.p, &hPrinterDC, &pdPrinter, hInst, szPageHeader);
    return 0;
}

int iPrinterSetup(HDC* out, PRINTDLGA* record, HWND owner) {
    std::memset(record, 0, sizeof *record);
    record->lStructSize = LQ_PD_STRUCT_SIZE;
    record->hwndOwner = owner;
    record->nCopies = 1;
    record->Flags = LQ_PD_SETUP_FLAGS;
    if (!PrintDlgA(record)) return -1;

    HDC dc = record->hDC;
    if (!dc && record->hDevNames) {
        // The dialog named the printer but made no context: make one from the
        // driver, device and output names and the device mode it returned.
        auto* names = static_cast<DEVNAMES*>(GlobalLock(record->hDevNames));
        auto* mode =
            record->hDevMode ? static_cast<DEVMODEA*>(GlobalLock(record->hDevMode)) : nullptr;
        if (names) {
            const char* base = reinterpret_cast<const char*>(names);
            dc = CreateDCA(base + names->wDriverOffset, base + names->wDeviceOffset,
                           base + names->wOutputOffset, mode);
            GlobalUnlock(record->hDevNames);
        }
        if (mode) GlobalUnlock(record->hDevMode);
        record->hDC = dc;
    }
    if (record->hDevMode) GlobalFree(record->hDevMode);
    if (record->hDevNames) GlobalFree(record->hDevNames);
    record->hDevMode = nullptr;
    record->hDevNames = nullptr;
    if (!dc) return -1;
    *out = dc;
    return 0;
}

int iPrintTextBuff(HWND owner, int32_t length, const char* doc_name, const char* text, HDC* dc,
                   PRINTDLGA* record, HINSTANCE instance, const char* heading) {
    int result = 0;
    if (!record->hDC && iPrinterSetup(dc, record, owner) == -1) return -1;
    HDC hdc = record->hDC;

    szMessageBuffer[0] = 0;
    bUserAbort = 0;
    DOCINFOA doc = {};
    doc.cbSize = sizeof doc;
    doc.lpszDocName = doc_name;
    doc.lpszOutput = nullptr;

    UpdateWindow(owner);
    SIZE m = {};
    GetTextExtentPoint32A(hdc, "M", 1, &m);
    lq_print_set_metrics(m.cx, m.cy, GetDeviceCaps(hdc, HORZRES), GetDeviceCaps(hdc, VERTRES));
    lq_print_device = {draw_tabbed, new_frame, hdc};

    EnableWindow(owner, FALSE);
    hDlgPrint = CreateDialogA(instance, MAKEINTRESOURCEA(IDD_PRINT), owner, PRINTDLGPROC);
    if (!hDlgPrint) {
        EnableWindow(owner, TRUE);
        return 0;
    }
    SetDlgItemTextA(hDlgPrint, IDC_PRINT_DOCUMENT, doc_name);
    ShowWindow(hDlgPrint, SW_SHOW);
    UpdateWindow(hDlgPrint);

    if (SetAbortProc(hdc, ABORTPROCESS) < 1) {
        lq_message_format(" On SetAbortProc ");
        result = 1;
    } else if (StartDocA(hdc, &doc) < 1) {
        lq_message_format(" On StartDoc ");
        result = 1;
    } else if (StartPage(hdc) < 1) {
        lq_message_format(" On StartPage ");
        result = 1;
    } else {
        result = lq_print_body(text, length, heading);
    }
    // The platform asks the abort procedure from StartDoc and at every page
    // end, and fails that call once it said stop: that is the user's Cancel.
    if (result == 1 && bUserAbort) result = -1;

    if (result != 0)
        AbortDoc(hdc);
    else
        EndDoc(hdc);
    EnableWindow(owner, TRUE);
    DestroyWindow(hDlgPrint);
    hDlgPrint = nullptr;

    if (result == 1) {
        lq_message_append(" Cannot Print %s", doc_name);
        lq_message_show("Lockquill(TM) ERROR: iPrintTextBuff", error_style);
    }
    return result;
}

BOOL CALLBACK ABORTPROCESS(HDC, int) {
    MSG msg;
    while (!bUserAbort && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!hDlgPrint || !IsDialogMessageA(hDlgPrint, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return !bUserAbort;
}

INT_PTR CALLBACK PRINTDLGPROC(HWND, UINT msg, WPARAM, LPARAM) {
    if (msg != WM_COMMAND) return FALSE;
    bUserAbort = 1;
    return TRUE;
}
