// The progress window: a modeless dialog owned by the frame whose three lines
// and bar are drawn onto its controls by iShowProgress, between the working
// operation's own steps (no messages are pumped while it works).
#include "app/progress_window.h"

#include <cstring>

#include "app/app.h"
#include "fileops/progress.h"
#include "platform/ui.h"

namespace {
// Draws text onto the control at the top-left corner of its client area.
void draw_line(HWND dlg, int id, const char* text) {
    if (!text[0]) return;
    HWND control = GetDlgItem(dlg, id);
    HDC dc = GetDC(control);
    SetTextAlign(dc, 0);
    TextOutA(dc, 0, 0, text, int(std::strlen(text)));
    ReleaseDC(control, dc);
    // The controls hold no text: their own painting would wipe the line out.
    ValidateRect(control, nullptr);
}

void draw_bar(HWND dlg) {
    HWND bar = GetDlgItem(dlg, IDC_PROGRESS_BAR);
    HDC dc = GetDC(bar);
    RECT r;
    GetClientRect(bar, &r);
    RECT gray = r;
    if (fProgressFraction > 0) {
        // Past 1.0 the black part would lie beyond the control: stop at its edge.
        int w = r.right - r.left;
        int black = fProgressFraction >= 1.0f ? w : int(w * fProgressFraction);
        RECT left = r;
        left.right = r.left + black;
        FillRect(dc, &left, HBRUSH(GetStockObject(BLACK_BRUSH)));
        gray.left = left.right;
    }
    if (gray.left < gray.right) FillRect(dc, &gray, HBRUSH(GetStockObject(LTGRAY_BRUSH)));
    ReleaseDC(bar, dc);
    ValidateRect(bar, nullptr);
}

intptr_t open_window() {
    HWND dlg = CreateDialogParamA(hInst, MAKEINTRESOURCEA(IDD_PROGRESS), hwndFrame,
                                  PROGRESSDIALOGBOXPROC, 0);
    return intptr_t(dlg);
}

void paint_window(intptr_t window) {
    HWND dlg = HWND(window);
    if (!IsWindow(dlg)) return;
    PAINTSTRUCT ps;
    BeginPaint(dlg, &ps);
    draw_line(dlg, IDC_PROGRESS_OPERATION, szProgressOperation);
    draw_line(dlg, IDC_PROGRESS_FILE, szProgressFileName);
    draw_bar(dlg);
    draw_line(dlg, IDC_PROGRESS_PERCENT, szProgressPercent);
    EndPaint(dlg, &ps);
}

void close_window(intptr_t window) {
    if (IsWindow(HWND(window))) SendMessageA(HWND(window), WM_CLOSE, 0, 0);
}

const LqProgressUi progress_window = {open_window, paint_window, close_window};
}  // namespace

void lq_install_progress_window() { lq_set_progress_ui(&progress_window); }

INT_PTR CALLBACK PROGRESSDIALOGBOXPROC(HWND dlg, UINT msg, WPARAM, LPARAM) {
    switch (msg) {
        case WM_PAINT: iShowProgress(0); return 0;
        case WM_CLOSE:
            EndDialog(dlg, 0);
            DestroyWindow(dlg);
            if (hwndProgress == intptr_t(dlg)) hwndProgress = 0;
            return 0;
    }
    return 0;
}
