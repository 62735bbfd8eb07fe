// Window menu: arranging the editor windows and Close All.
#include "app/app.h"
#include "app/commands.h"

void lq_cmd_window_arrange(HWND, int id) {
    switch (id) {
        case IDM_WINDOW_TILEVERT:
            SendMessageA(hwndMDIClient, WM_MDITILE, MDITILE_VERTICAL, 0);
            break;
        case IDM_WINDOW_TILEHORZ:
            SendMessageA(hwndMDIClient, WM_MDITILE, MDITILE_HORIZONTAL, 0);
            break;
        case IDM_WINDOW_CASCADE: SendMessageA(hwndMDIClient, WM_MDICASCADE, 0, 0); break;
        case IDM_WINDOW_ARRANGE: SendMessageA(hwndMDIClient, WM_MDIICONARRANGE, 0, 0); break;
    }
}

void lq_cmd_close_all(HWND, int) {
    // Every window is asked first: one Cancel keeps them all.
    if (!lq_query_close_children()) return;
    ShowWindow(hwndMDIClient, SW_HIDE);
    for (;;) {
        HWND child = GetWindow(hwndMDIClient, GW_CHILD);
        while (child && GetWindow(child, GW_OWNER)) child = GetWindow(child, GW_HWNDNEXT);
        if (!child) break;
        SendMessageA(hwndMDIClient, WM_MDIDESTROY, WPARAM(child), 0);
        if (IsWindow(child)) break;  // never loop on a window that will not go
    }
    ShowWindow(hwndMDIClient, SW_SHOW);
}
