// Help menu: the help viewer with the program's help file and its keys.
#include "app/app.h"
#include "app/commands.h"

void lq_cmd_help(HWND frame, int id) {
    const char* key = nullptr;
    switch (id) {
        case IDM_HELP_CONTENTS: lq_win_help(frame, szHelpFile, HELP_CONTENTS, 0); return;
        case IDM_HELP_USINGHELP: lq_win_help(frame, "WINHELP.HLP", HELP_CONTENTS, 0); return;
        case IDM_HELP_SEARCH: key = ""; break;  // the viewer's keyword search
        case IDM_HELP_SUPPORT: key = "Customer Support"; break;
        case IDM_HELP_KEYBOARD: key = "Selecting text and moving about a document"; break;
        case IDM_HELP_PASSWORDS: key = "Passwords"; break;
        default: return;
    }
    lq_win_help(frame, szHelpFile, HELP_PARTIALKEY, ULONG_PTR(key));
}
