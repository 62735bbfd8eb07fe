// Start-up, the frame window, its client window, the message loop and
// shut-down.
#include "app/app.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

#include "app/editor.h"
#include "app/editor_words.h"
#include "app/progress_window.h"
#include "crypt/veil_stats.h"
#include "uu/uu_common.h"
#include "fileops/file_services.h"

HINSTANCE hInst;
HWND hwndFrame;
HWND hwndMDIClient;
HWND hwndActiveChild;
HWND hwndActiveEdit;
HACCEL hAccel;
char szHelpFile[260];
DWORD dwNewChildStyle = WS_MINIMIZE;
OPENFILENAMEA ofnShared;
LqWinHelpFn lq_win_help = WinHelpA;
LqModuleFileNameFn lq_module_file_name = [](char* buf, DWORD size) {
    return GetModuleFileNameA(nullptr, buf, size);
};

namespace {
const char frame_class[] = "lqdwframe";
const char child_class[] = "lqdwchild";
// The Window menu, to which the platform appends the open editor windows.
const int window_menu_index = 6;

// Steps 1 to 4 of bCreateFrameWindow.
bool create_frame(int show) {
    lq_message_format("%s%s%s", LQ_PRODUCT_NAME, " v:", LQ_BUILD_TAG);
    hwndFrame = CreateWindowExA(WS_EX_ACCEPTFILES, frame_class, szMessageBuffer,
                                WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, hInst, nullptr);
    if (!hwndFrame || !hwndMDIClient) return false;
    hAccel = LoadAcceleratorsA(hInst, MAKEINTRESOURCEA(IDR_FRAME));
    if (!hAccel) return false;
    ShowWindow(hwndFrame, show);
    UpdateWindow(hwndFrame);
    return true;
}

// Steps 5 and 6: the command line is one file name, taken whole (blanks
// included).  Quotes around it are taken off: no file name holds a quote,
// and a starting shell puts them around a name with blanks.
void open_command_line_file(const char* command_line) {
    size_t n = command_line ? std::strlen(command_line) : 0;
    if (n > 0) {
        std::vector<char> name(command_line, command_line + n + 1);
        if (n >= 2 && name[0] == '"' && name[n - 1] == '"') {
            name[n - 1] = 0;
            name.erase(name.begin());
        }
        if (name[0]) hAddEditWindow(name.data(), FALSE);  // created minimized
    }
    dwNewChildStyle = 0;
}

// Files dropped on the frame open in drop order.
void open_dropped_files(HDROP drop) {
    char name[512];
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, name, sizeof name);
    for (UINT i = 0; i < count; ++i)
        if (DragQueryFileA(drop, i, name, sizeof name)) hAddEditWindow(name, FALSE);
    DragFinish(drop);
}

// The records shared by every Part, as the first command finds them.
void prepare_shared_state() {
    iDefaultVeilStats(&gVeilStats);
    iDefaultVeilStats(&gDlgVeilStats);
    gRiddle[0] = 0;
    szTargetFilename[0] = 0;
    szFileTitle[0] = 0;
    ofnShared.lpstrFile = szFileName;
    ofnShared.nMaxFile = sizeof(szFileName);
    ofnShared.lpstrFileTitle = szFileTitle;
    ofnShared.nMaxFileTitle = sizeof(szFileTitle);
    ofnShared.Flags = LQ_OFN_OPEN_FLAGS;
    szHelpFile[0] = 0;
    szMessageBuffer[0] = 0;
    // A module path cut to the buffer would give another file's name.
    DWORD n = lq_module_file_name(szMessageBuffer, 256);
    if (n > 0 && n < 256) iMakeExtendedFilename(szHelpFile, szMessageBuffer, "hlp");
}

void create_client_window(HWND frame) {
    CLIENTCREATESTRUCT ccs;
    ccs.hWindowMenu = GetSubMenu(GetMenu(frame), window_menu_index);
    ccs.idFirstChild = ID_FIRSTCHILD;
    hwndMDIClient = CreateWindowExA(0, "mdiclient", nullptr,
                                    WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL, 0, 0, 0,
                                    0, frame, HMENU(INT_PTR(ID_MDICLIENT)), hInst, &ccs);
    if (hwndMDIClient) ShowWindow(hwndMDIClient, SW_SHOW);
}
}  // namespace

BOOL bRegisterWindowClasses() {
    WNDCLASSA wc = {};
    wc.style = 0;
    wc.lpfnWndProc = MPFRAMEWNDPROC;
    wc.hInstance = hInst;
    wc.hIcon = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_FRAME));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = HBRUSH(INT_PTR(COLOR_APPWORKSPACE + 1));
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_FRAME);
    wc.lpszClassName = frame_class;
    if (!RegisterClassA(&wc)) return FALSE;

    wc.lpfnWndProc = MPMDICHILDWNDPROC;
    wc.hIcon = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_DOCUMENT));
    wc.lpszMenuName = nullptr;
    wc.cbWndExtra = LQ_CHILD_EXTRA_BYTES;
    wc.lpszClassName = child_class;
    return RegisterClassA(&wc) != 0;
}

BOOL bCreateFrameWindow(const char* command_line, int show) {
    if (!create_frame(show)) return FALSE;
    open_command_line_file(command_line);
    return TRUE;
}

bool lq_query_close_children() {
    for (HWND w = GetWindow(hwndMDIClient, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        // Title windows of minimized editor windows have an owner.
        if (GetWindow(w, GW_OWNER)) continue;
        if (SendMessageA(w, WM_QUERYENDSESSION, 0, 0)) return false;
    }
    return true;
}

LRESULT CALLBACK MPFRAMEWNDPROC(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    switch (msg) {
        case WM_CREATE: create_client_window(hwnd); return 0;
        case WM_COMMAND: iDoFrameCommand(hwnd, LOWORD(wparam)); return 0;
        case WM_INITMENU: iInitMenu(HMENU(wparam)); return 0;
        case WM_DROPFILES: open_dropped_files(HDROP(wparam)); return 1;
        case WM_CLOSE:
            if (lq_query_close_children()) DestroyWindow(hwnd);
            return 0;
        case WM_QUERYENDSESSION: return lq_query_close_children() ? 1 : 0;
        case WM_DESTROY:
            lq_win_help(hwnd, szHelpFile, HELP_QUIT, 0);
            PostQuitMessage(0);
            return 0;
    }
    return DefFrameProcA(hwnd, hwndMDIClient, msg, wparam, lparam);
}

bool lq_app_start(HINSTANCE instance, const char* command_line, int show) {
    hInst = instance;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&icc);
    if (!bRegisterWindowClasses()) return false;
    if (!create_frame(show)) return false;
    lq_install_progress_window();
    prepare_shared_state();
    open_command_line_file(command_line);
    return true;
}

int lq_app_message_loop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateMDISysAccel(hwndMDIClient, &msg)) continue;
        if (TranslateAcceleratorA(hwndFrame, hAccel, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

int lq_app_message_box(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(hwndFrame, text, caption, style);
}
