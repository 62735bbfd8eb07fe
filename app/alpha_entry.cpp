#include "app/alpha_entry.h"

#include "app/app.h"

namespace {
// The prompt that is open (one at a time: the dialog is modal).
const char* prompt_question;
char* prompt_buffer;
uint16_t prompt_length;
}  // namespace

BOOL bAskAlphaEntry(const char* question, char* buffer, uint16_t length) {
    prompt_question = question;
    prompt_buffer = buffer;
    prompt_length = length;
    INT_PTR r = DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_ALPHAENTRY), hwndFrame,
                                ALPHAENTRYDIALOGBOXPROC, 0);
    return r > 0;
}

INT_PTR CALLBACK ALPHAENTRYDIALOGBOXPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            SetDlgItemTextA(dlg, IDC_ALPHA_TEXT, prompt_buffer);
            SetWindowTextA(dlg, prompt_question);
            return TRUE;
        case WM_PAINT: SetFocus(GetDlgItem(dlg, IDC_ALPHA_TEXT)); return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_ALPHA_OK:
                    // WM_GETTEXT cuts the answer to the buffer.
                    SendDlgItemMessageA(dlg, IDC_ALPHA_TEXT, WM_GETTEXT, prompt_length,
                                        LPARAM(prompt_buffer));
                    EndDialog(dlg, 1);
                    return TRUE;
                case IDC_ALPHA_CANCEL: EndDialog(dlg, 0); return TRUE;
            }
            break;
    }
    return FALSE;
}
