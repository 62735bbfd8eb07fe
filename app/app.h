// The editor application: program-wide handles, the frame window, the shared
// open-file record and the command table.  Everything runs on the one
// user-interface thread.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>

#include "fileops/file_services.h"
#include "res/resource.h"

// Build identification, also the end of the frame title.
#define LQ_PRODUCT_NAME "Lockquill(TM)"
#define LQ_BUILD_TAG "LQ32E40L"
#define LQ_BUILD_DATE "6may95"

extern HINSTANCE hInst;
// The frame: the owner of every message box and dialog (0 before it exists).
extern HWND hwndFrame;
extern HWND hwndMDIClient;
// The active editor window and its edit control, 0 when none is active.
extern HWND hwndActiveChild;
extern HWND hwndActiveEdit;
extern HACCEL hAccel;
// The program's own module path with the extension "hlp"; empty when the
// module path could not be had.
extern char szHelpFile[260];
// Style of the next editor window: WS_MINIMIZE while the command-line file is
// opened at start-up, 0 afterwards.
extern DWORD dwNewChildStyle;

// The one open-file record of every open dialog and of Save As.
extern OPENFILENAMEA ofnShared;
// szFileName (the initial name or pattern before a dialog, the chosen full
// path after it) and szFileTitle (the chosen name without folders) are the
// file services' (fileops/file_services.h).

// The record's size: the layout that predates the extended fields (76 bytes
// on the 32-bit platform), which every version of the dialog accepts.
const DWORD LQ_OFN_STRUCT_SIZE = OPENFILENAME_SIZE_VERSION_400A;
// OFN_FILEMUSTEXIST | OFN_HIDEREADONLY
const DWORD LQ_OFN_OPEN_FLAGS = 0x1004;
// OFN_DONTADDTORECENT: the Secure menu's dialogs keep the names of private
// files out of the system's recent documents.
const DWORD LQ_OFN_DONT_ADD_TO_RECENT = 0x02000000;

// Registers lqdwframe and lqdwchild; false as soon as one fails.
BOOL bRegisterWindowClasses();
// Creates the frame (which creates the client window), loads the accelerators,
// shows the frame, opens the command-line file (an empty line opens nothing)
// and sets dwNewChildStyle to 0.  False when the frame, the client window or
// the accelerators could not be had.
BOOL bCreateFrameWindow(const char* command_line, int show);
LRESULT CALLBACK MPFRAMEWNDPROC(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Grays, enables and checks the menu entries from the active window's state.
int iInitMenu(HMENU menu);
// The command table: runs the command of one menu entry or accelerator.
int iDoFrameCommand(HWND frame, int id);
// Runs the open dialog on record, owned by owner.  With full set-up the file
// buffer, the emptied title buffer and the flags 0x1004 are put in first; the
// caller has put the initial name into szFileName and the filter list and the
// title into the record.  True when the user chose an existing file.
BOOL bGetOpenFileName(OPENFILENAMEA* record, HWND owner, BOOL full_setup);
// bGetOpenFileName(&ofnShared, owner, TRUE) for the Secure menu: the chosen
// name is not added to the recent documents.
BOOL lq_get_private_open_file_name(HWND owner);

// Asks every editor window whether it may close (WM_QUERYENDSESSION); false
// at the first refusal.
bool lq_query_close_children();

// Start-up up to the message loop: keeps the instance, registers the classes,
// creates the frame, installs the progress window, prepares the shared state
// and opens the command-line file.  False when the program cannot run.
bool lq_app_start(HINSTANCE instance, const char* command_line, int show);
// The message loop; returns when the quit message arrives.
int lq_app_message_loop();
// The message-box routine of the program: MessageBoxA owned by the frame.
int lq_app_message_box(const char* text, const char* caption, unsigned style);

// WinHelpA, replaceable so that tests can watch the help requests without
// starting a viewer.
typedef BOOL(WINAPI* LqWinHelpFn)(HWND, LPCSTR, UINT, ULONG_PTR);
extern LqWinHelpFn lq_win_help;
// GetModuleFileNameA of the program itself, replaceable so that tests can
// give a path that does not fit.
typedef DWORD (*LqModuleFileNameFn)(char* buf, DWORD size);
extern LqModuleFileNameFn lq_module_file_name;

// A platform global block holding a whole text, locked while p is set; the
// destructor unlocks and frees it on every way out.
struct LqGlobalText {
    PfGlobal handle = nullptr;
    char* p = nullptr;
    ~LqGlobalText() {
        if (p) pf_global_unlock(handle);
        if (handle) pf_global_free(handle);
    }
};
