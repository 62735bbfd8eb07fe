// Edit menu commands: straight to the active edit control or editor window.
#include "app/app.h"
#include "app/commands.h"

void lq_cmd_edit(HWND, int id) {
    HWND edit = hwndActiveEdit;
    if (!edit) return;
    switch (id) {
        case IDM_EDIT_UNDO: SendMessageA(edit, EM_UNDO, 0, 0); break;
        case IDM_EDIT_CUT: SendMessageA(edit, WM_CUT, 0, 0); break;
        case IDM_EDIT_COPY: SendMessageA(edit, WM_COPY, 0, 0); break;
        case IDM_EDIT_PASTE: SendMessageA(edit, WM_PASTE, 0, 0); break;
        // Replaced by nothing, not undoable.
        case IDM_EDIT_DELETE: SendMessageA(edit, EM_REPLACESEL, FALSE, LPARAM("")); break;
        // The whole text, however long it is.
        case IDM_EDIT_SELECTALL: SendMessageA(edit, EM_SETSEL, 0, -1); break;
    }
}

void lq_cmd_word_wrap(HWND, int) {
    // Second parameter 1: switch the window's word wrap.
    if (hwndActiveChild) SendMessageA(hwndActiveChild, WM_COMMAND, IDM_WINDOW_WORDWRAP, 1);
}
