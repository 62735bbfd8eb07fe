#include "app/find.h"

#include <cstdint>
#include <cstring>

#include "app/app.h"
#include "app/commands.h"
#include "platform/platform.h"

char szFindText[256];
BOOL bFindCaseSensitive;

namespace {
const char find_caption[] = "Lockquill(TM) ERROR: bMyFindText";

// CharLowerA of every single character of the code page, taken once per
// search: the same folding as one call per character, at table speed.
void lower_table(unsigned char table[256]) {
    char chars[256];
    for (int i = 0; i < 256; ++i) chars[i] = char(i);
    CharLowerBuffA(chars + 1, 255);  // the zero stays the end of the text
    for (int i = 0; i < 256; ++i) table[i] = static_cast<unsigned char>(chars[i]);
}

bool matches_at(const unsigned char* text, const unsigned char* key, const unsigned char* fold) {
    // The zero after the text ends every comparison that runs past it.
    for (; *key; ++key, ++text) {
        unsigned char c = fold ? fold[*text] : *text;
        if (c != *key) return false;
    }
    return true;
}
}  // namespace

BOOL bMyFindText(int direction) {
    if (!szFindText[0]) return FALSE;
    HWND edit = hwndActiveEdit;
    if (!edit) return FALSE;

    // The 32-bit positions: texts may be longer than 65535 characters.
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    int64_t s = start;
    int64_t n = GetWindowTextLengthA(edit);
    int64_t len = int64_t(std::strlen(szFindText));

    szMessageBuffer[0] = 0;
    PfGlobal block = pf_global_alloc(uint32_t(n) + 1);
    char* text = nullptr;
    if (!block) {
        lq_message_format(" Global search memory buffer allocation failed.");
    } else if (!(text = static_cast<char*>(pf_global_lock(block)))) {
        lq_message_format(" Global search memory buffer address query failed.");
    } else if (GetWindowTextA(edit, text, int(n) + 1) != n) {
        lq_message_format(" Global search memory buffer copy failed.");
    }
    if (szMessageBuffer[0]) {
        lq_message_show(find_caption, LQ_MB_OK | LQ_MB_ICONSTOP);
        if (text) pf_global_unlock(block);
        if (block) pf_global_free(block);
        return FALSE;
    }

    // The stored string is lowered only when a comparison is made.
    bool candidates = direction > 0 ? n - len - s + 1 > 0 : s > 0;
    unsigned char fold[256];
    const unsigned char* folding = nullptr;
    if (!bFindCaseSensitive && candidates) {
        CharLowerA(szFindText);
        lower_table(fold);
        folding = fold;
    }
    const unsigned char* t = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* key = reinterpret_cast<const unsigned char*>(szFindText);
    int64_t found = -1;
    if (direction > 0) {
        for (int64_t p = s + 1; p <= n - len + 1 && found < 0; ++p)
            if (matches_at(t + p, key, folding)) found = p;
    } else {
        for (int64_t p = s - 1; p >= 0 && found < 0; --p)
            if (p <= n && matches_at(t + p, key, folding)) found = p;
    }
    pf_global_unlock(block);
    pf_global_free(block);

    if (found < 0) {
        lq_message_format(" Could Not find \"%s\" ", szFindText);
        lq_message_show(find_caption, LQ_MB_OK | LQ_MB_ICONSTOP);
        return FALSE;
    }
    SendMessageA(edit, EM_SETSEL, WPARAM(found), LPARAM(found + len));
    SendMessageA(edit, EM_SCROLLCARET, 0, 0);
    return TRUE;
}

BOOL bFindNext() { return bMyFindText(1); }
BOOL bFindPrevious() { return bMyFindText(-1); }

int iFindDialog() {
    DialogBoxParamA(hInst, MAKEINTRESOURCEA(IDD_FIND), hwndFrame, FINDDLGPROC, 0);
    return 0;
}

INT_PTR CALLBACK FINDDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG:
            CheckDlgButton(dlg, IDC_FIND_CASE, bFindCaseSensitive ? BST_CHECKED : BST_UNCHECKED);
            SetDlgItemTextA(dlg, IDC_FIND_TEXT, szFindText);
            if (!szFindText[0]) {
                EnableWindow(GetDlgItem(dlg, IDOK), FALSE);
                EnableWindow(GetDlgItem(dlg, IDC_FIND_PREVIOUS), FALSE);
            }
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_FIND_TEXT:
                    if (HIWORD(wparam) == EN_CHANGE) {
                        bool any =
                            uint16_t(GetWindowTextLengthA(GetDlgItem(dlg, IDC_FIND_TEXT))) != 0;
                        EnableWindow(GetDlgItem(dlg, IDOK), any);
                        EnableWindow(GetDlgItem(dlg, IDC_FIND_PREVIOUS), any);
                    }
                    return TRUE;
                case IDC_FIND_CASE:
                    CheckDlgButton(
                        dlg, IDC_FIND_CASE,
                        IsDlgButtonChecked(dlg, IDC_FIND_CASE) ? BST_UNCHECKED : BST_CHECKED);
                    return TRUE;
                case IDOK:
                case IDC_FIND_PREVIOUS:
                    bFindCaseSensitive = IsDlgButtonChecked(dlg, IDC_FIND_CASE) == BST_CHECKED;
                    GetDlgItemTextA(dlg, IDC_FIND_TEXT, szFindText, sizeof szFindText);
                    bMyFindText(LOWORD(wparam) == IDOK ? 1 : -1);
                    EndDialog(dlg, 0);
                    return TRUE;
                case IDCANCEL: EndDialog(dlg, 0); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

void lq_cmd_find(HWND, int) { iFindDialog(); }
void lq_cmd_find_next(HWND, int) { bFindNext(); }
void lq_cmd_find_previous(HWND, int) { bFindPrevious(); }
