#include "app/about.h"

#include "app/app.h"
#include "app/commands.h"

INT_PTR CALLBACK ABOUTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            SetDlgItemTextA(dlg, IDC_ABOUT_VERSION,
                            "Version: " LQ_BUILD_TAG "  Dated: " LQ_BUILD_DATE);
            return TRUE;
        case WM_COMMAND:
            // OK and Enter send IDOK; Esc and the close box send IDCANCEL.
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                EndDialog(dlg, 0);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

void lq_cmd_about(HWND, int) {
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ABOUT), hwndFrame, ABOUTDLGPROC, 0);
}
