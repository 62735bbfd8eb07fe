// Editor windows: creation, the already-open check, the close question, word
// wrap and the window procedure.
#include <cstring>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_words.h"
#include "platform/platform.h"

namespace {
const char untitled[] = "Untitled";

HWND edit_of(HWND window) { return HWND(GetWindowLongPtrA(window, GWL_EDIT)); }

// The set-up of every edit control: no text limit, a tab stop every 12
// dialog template units.
// It is made at the size of the window's client area: a wrapping control that
// takes a text while it is 0 wide lays out every word on a line of its own.
HWND create_edit(HWND parent, BOOL wrap, bool visible) {
    DWORD style = WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
    if (!wrap) style |= WS_HSCROLL | ES_AUTOHSCROLL;
    if (visible) style |= WS_VISIBLE;
    RECT rc = {};
    GetClientRect(parent, &rc);
    HWND edit = CreateWindowExA(0, "edit", nullptr, style, 0, 0, rc.right, rc.bottom, parent,
                                HMENU(INT_PTR(ID_EDIT)), hInst, nullptr);
    if (edit) {
        SendMessageA(edit, EM_LIMITTEXT, 0, 0);
        int stops = 12;
        SendMessageA(edit, EM_SETTABSTOPS, 1, LPARAM(&stops));
    }
    return edit;
}

void show_notice() {
    lq_message_format("%s%s", " This operation/proceedure is not allowed ",
                      " because the file is already open for editing.");
    lq_message_show("Lockquill(TM) Notice: File being edited... ", LQ_MB_OK | LQ_MB_ICONSTOP);
}
}  // namespace

HWND hFindOpenWindow(const char* path) {
    // Whole full paths, ignoring case: a title that is only the start of the
    // path (or the reverse) is another file.
    char wanted[LQ_MAX_PATH];
    if (!pf_get_full_path(path, wanted, sizeof wanted)) {
        std::strncpy(wanted, path, sizeof wanted - 1);
        wanted[sizeof wanted - 1] = 0;
    }
    CharUpperA(wanted);
    for (HWND w = GetWindow(hwndMDIClient, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (GetWindow(w, GW_OWNER)) continue;  // title window of a minimized document
        char title[LQ_MAX_PATH] = "";
        GetWindowTextA(w, title, sizeof title);
        CharUpperA(title);
        if (std::strcmp(title, wanted) != 0) continue;
        show_notice();
        BringWindowToTop(w);
        return w;
    }
    return nullptr;
}

HWND hAddEditWindow(const char* path, BOOL encrypted) {
    // The title is the full path: a relative name would point elsewhere once
    // an open dialog has moved the current directory, and Save reads it back
    // into szFileName.  A path that does not fit there is refused: a cut name
    // may be another file.
    char full[LQ_MAX_PATH] = "";
    if (path) {
        if (!pf_get_full_path(path, full, sizeof full) || std::strlen(full) >= sizeof szFileName) {
            lq_message_format(
                " The name of the file\r\n %s\r\n is too long: a full path may have at most %u "
                "characters.",
                path, unsigned(sizeof szFileName - 1));
            lq_message_show("Lockquill(TM) ERROR: hAddEditWindow ", LQ_MB_OK | LQ_MB_ICONSTOP);
            return nullptr;
        }
        if (HWND open = hFindOpenWindow(full)) return open;
    }
    MDICREATESTRUCTA mcs = {};
    mcs.szClass = "lqdwchild";
    mcs.szTitle = path ? full : untitled;
    mcs.hOwner = hInst;
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    mcs.style = dwNewChildStyle;
    HWND w = HWND(SendMessageA(hwndMDIClient, WM_MDICREATE, 0, LPARAM(&mcs)));
    if (!w) return nullptr;
    SetWindowWord(w, GWW_ENCRYPTED, WORD(encrypted ? 1 : 0));
    if (path && iLoadFile(w, full) != 0) {
        SendMessageA(hwndMDIClient, WM_MDIDESTROY, WPARAM(w), 0);
        return nullptr;
    }
    BringWindowToTop(w);
    return w;
}

BOOL bQueryCloseChild(HWND window) {
    if (!GetWindowWord(window, GWW_MODIFIED)) return TRUE;
    char title[64] = "";
    GetWindowTextA(window, title, sizeof title);
    lq_message_format(" %s has been changed.  Save file before closing? ", title);
    int answer = lq_message_show("Lockquill(TM) WARNING: bQueryCloseChild ",
                                 LQ_MB_YESNOCANCEL | LQ_MB_ICONQUESTION);
    if (answer == LQ_IDCANCEL) return FALSE;
    if (answer != LQ_IDYES) return TRUE;  // the changes are dropped
    if (GetWindowWord(window, GWW_ENCRYPTED)) {
        int plain = iMessageBox(
            "The file you are about to save was previously EnCrypted...Do you want to save this "
            "file without using EnCryption ?",
            "Lockquill(TM) WARNING: Potential Security Loss",
            LQ_MB_YESNO | LQ_MB_ICONSTOP | LQ_MB_SYSTEMMODAL);
        if (plain == LQ_IDYES) SetWindowWord(window, GWW_ENCRYPTED, 0);
    }
    // Only a saved text may go: a failed save or a cancelled name dialog
    // keeps the window, its text and its modified state.
    return iSaveFile(window) == 0;
}

BOOL bSetWrap(HWND window, BOOL wrap) {
    HWND old = edit_of(window);
    HWND fresh = create_edit(window, wrap, false);
    if (!fresh) return FALSE;

    int n = GetWindowTextLengthA(old);
    szMessageBuffer[0] = 0;
    PfGlobal block = pf_global_alloc(uint32_t(n) + 1);
    char* text = nullptr;
    if (!block) {
        lq_message_format(" Global wrap memory buffer allocation failed.");
    } else if (!(text = static_cast<char*>(pf_global_lock(block)))) {
        lq_message_format(" Global wrap memory buffer address query failed.");
    } else if (GetWindowTextA(old, text, n + 1) != n) {
        lq_message_format(" Global wrap memory buffer copy failed.");
    }
    if (szMessageBuffer[0]) {
        lq_message_show("Lockquill(TM) ERROR: bSetWrap ", LQ_MB_OK | LQ_MB_ICONSTOP);
        DestroyWindow(fresh);
        if (text) pf_global_unlock(block);
        if (block) pf_global_free(block);
        return FALSE;
    }

    SetWindowLongPtrA(window, GWL_EDIT, LONG_PTR(fresh));
    if (hwndActiveChild == window) hwndActiveEdit = fresh;
    DestroyWindow(old);
    // Taking over the text is no change of it.
    WORD modified = GetWindowWord(window, GWW_MODIFIED);
    SetWindowTextA(fresh, text);
    SetWindowWord(window, GWW_MODIFIED, modified);
    pf_global_unlock(block);
    pf_global_free(block);

    SetWindowWord(window, GWW_WRAP, WORD(wrap ? 1 : 0));
    RECT rc;
    GetClientRect(window, &rc);
    // The size type the window is in: SIZE_RESTORED would make the client
    // window drop a maximized child's state.
    WPARAM type = IsZoomed(window)   ? SIZE_MAXIMIZED
                  : IsIconic(window) ? SIZE_MINIMIZED
                                     : SIZE_RESTORED;
    SendMessageA(window, WM_SIZE, type, MAKELPARAM(rc.right, rc.bottom));
    ShowWindow(fresh, SW_SHOW);
    SetFocus(fresh);

    if (GetWindowTextLengthA(fresh) != n) {
        lq_message_format(" Error copying Editor buffer to change wrap ?");
        lq_message_show("Lockquill(TM) ERROR: bSetWrap ", LQ_MB_OK | LQ_MB_ICONSTOP);
        return FALSE;
    }
    return TRUE;
}

LRESULT CALLBACK MPMDICHILDWNDPROC(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_CREATE: {
            HWND edit = create_edit(hwnd, TRUE, true);
            SetWindowLongPtrA(hwnd, GWL_EDIT, LONG_PTR(edit));
            SetWindowWord(hwnd, GWW_MODIFIED, 0);
            SetWindowWord(hwnd, GWW_WRAP, 1);
            SetWindowWord(hwnd, GWW_UNNAMED, 1);
            InvalidateRect(edit, nullptr, TRUE);
            SetFocus(edit);
            return 0;
        }
        case WM_SIZE: MoveWindow(edit_of(hwnd), 0, 0, LOWORD(lparam), HIWORD(lparam), TRUE); break;
        case WM_SETFOCUS: SetFocus(edit_of(hwnd)); return 0;
        case WM_MDIACTIVATE:
            if (HWND(lparam) == hwnd) {
                hwndActiveChild = hwnd;
                hwndActiveEdit = edit_of(hwnd);
            } else {
                hwndActiveChild = hwndActiveEdit = nullptr;
            }
            return 0;
        case WM_CLOSE:
            if (!bQueryCloseChild(hwnd)) return 0;
            break;
        case WM_QUERYENDSESSION: return bQueryCloseChild(hwnd) ? 0 : 1;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDM_FILE_SAVE: iSaveFile(hwnd); return 0;
                case IDM_EDIT_WORDWRAP:
                case IDM_WINDOW_WORDWRAP: {
                    WORD wrap = GetWindowWord(hwnd, GWW_WRAP);
                    if (LOWORD(lparam) == 0) return wrap;  // a query
                    bSetWrap(hwnd, !wrap);
                    return !wrap;
                }
                case ID_EDIT:
                    if (HIWORD(wparam) == EN_CHANGE) SetWindowWord(hwnd, GWW_MODIFIED, 1);
                    if (HIWORD(wparam) == EN_ERRSPACE) MessageBeep(0);
                    return 0;
            }
            break;
    }
    return DefMDIChildProcA(hwnd, msg, wparam, lparam);
}
