// Menu state from the active editor window, set each time the menu opens.
#include "app/app.h"
#include "app/find.h"

namespace {
void enable(HMENU menu, UINT id, bool on) {
    EnableMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}
void check(HMENU menu, UINT id, bool on) {
    CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

// Commands that need an active editor window.
const UINT window_commands[] = {
    IDM_FILE_SAVE,       IDM_FILE_CLOSE,     IDM_SECURE_CLOSE,   IDM_FILE_SAVEAS,
    IDM_SECURE_SAVE,     IDM_SECURE_SAVE_UU, IDM_SECURE_SAVEAS,  IDM_WINDOW_TILEVERT,
    IDM_WINDOW_TILEHORZ, IDM_WINDOW_CASCADE, IDM_WINDOW_ARRANGE, IDM_WINDOW_CLOSEALL,
    IDM_FILE_PRINT,
};

bool clipboard_has_text() {
    if (!OpenClipboard(hwndFrame)) return false;
    bool text = false;
    for (UINT f = EnumClipboardFormats(0); f && !text; f = EnumClipboardFormats(f))
        text = f == CF_TEXT;
    CloseClipboard();
    return text;
}
}  // namespace

int iInitMenu(HMENU menu) {
    bool active = hwndActiveEdit != nullptr;
    if (!active) {
        for (UINT id = 2001; id <= 2009; ++id) enable(menu, id, false);
        enable(menu, IDM_EDIT_WORDWRAP, false);
        check(menu, IDM_WINDOW_WORDWRAP, false);
        check(menu, IDM_EDIT_WORDWRAP, false);
        for (UINT id = IDM_EDIT_FIND; id <= IDM_EDIT_FINDPREV; ++id) enable(menu, id, false);
    } else {
        enable(menu, IDM_EDIT_UNDO, SendMessageA(hwndActiveEdit, EM_CANUNDO, 0, 0) != 0);

        // The full 32-bit positions: the packed 16-bit answer would call a
        // selection of 65536 characters empty.
        DWORD start = 0, end = 0;
        SendMessageA(hwndActiveEdit, EM_GETSEL, WPARAM(&start), LPARAM(&end));
        bool selection = end != start;
        enable(menu, IDM_EDIT_CUT, selection);
        enable(menu, IDM_EDIT_COPY, selection);
        enable(menu, IDM_EDIT_DELETE, selection);

        enable(menu, IDM_EDIT_PASTE, clipboard_has_text());

        // Second parameter 0: a query of the window's wrap state.
        LRESULT wrap = SendMessageA(hwndActiveChild, WM_COMMAND, IDM_WINDOW_WORDWRAP, 0);
        check(menu, IDM_WINDOW_WORDWRAP, LOWORD(wrap) != 0);
        check(menu, IDM_EDIT_WORDWRAP, LOWORD(wrap) != 0);

        bool search = szFindText[0] != 0;
        enable(menu, IDM_EDIT_FINDNEXT, search);
        enable(menu, IDM_EDIT_FINDPREV, search);
        enable(menu, IDM_EDIT_SELECTALL, true);
        enable(menu, IDM_WINDOW_WORDWRAP, true);
        enable(menu, IDM_EDIT_WORDWRAP, true);
        enable(menu, IDM_EDIT_FIND, true);
    }
    for (UINT id : window_commands) enable(menu, id, active);
    return 0;
}
