// The frame: start-up, menu bar, accelerators, menu state, help and shut-down.
#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/commands.h"
#include "app/find.h"
#include "tests/app/gui_harness.h"

namespace {
struct Entry {
    int id;  // 0: separator
    const char* text;
};
struct Popup {
    const char* text;
    std::vector<Entry> entries;
};

const std::vector<Popup> menu_bar = {
    {"&File",
     {{1001, "&New"},
      {1002, "&Open..."},
      {1010, "&Close"},
      {1003, "&Save"},
      {1004, "Save &As..."},
      {0, ""},
      {1005, "&Print..."},
      {1008, "Printer Set&up..."},
      {0, ""},
      {5004, "Anali&ze a File..."},
      {0, ""},
      {1006, "E&xit"}}},
    {"&Edit",
     {{2001, "&Undo\tAlt+BkSp"},
      {0, ""},
      {2002, "Cu&t (Move)\tShift+Del"},
      {2003, "&Copy\tCtrl+Ins"},
      {2004, "&Paste (Insert)\tShift+Ins"},
      {2005, "&Delete\tDel"},
      {0, ""},
      {2006, "&Select All"},
      {0, ""},
      {139, "&Word Wrap"},
      {0, ""},
      {3001, "&Find..."},
      {3002, "&Next\tF3"},
      {3003, "Pre&vious\tF4"}}},
    {"&Secure",
     {{1028, "&New"},
      {1020, "&Open Encrypted Text..."},
      {1026, "Open Encrypted Text that was &UU Encoded..."},
      {113, "&Close"},
      {1022, "&Save Encrypted Text..."},
      {1027, "Sa&ve Encrypted Text and then UU (Text Mode) Encode it ..."},
      {1024, "Save &As Encrypted Text..."},
      {0, ""},
      {1021, "&Decrypt a File..."},
      {111, "Decr&ypt an Encrypted File that is UU Encoded..."},
      {1023, "&Encrypt a File..."},
      {112, "&Encrypt a File and then UU (&Text Mode) Encode it..."},
      {0, ""},
      {5005, "Anali&ze an Encrypted File..."}}},
    {"&UU EnCoding",
     {{1050, "UU &TEXT MODE EnCode a file..."},
      {1051, "UU &DeCode a file..."},
      {1052, "UU &BINARY MODE EnCode a file..."},
      {0, ""},
      {137, "&Split Up UU Encoded File..."},
      {138, "&Rebuild Split Up UU Encoded File..."}}},
    {"&Compression",
     {{130, "&Maximum Compression..."}, {131, "&Expand a File..."}, {132, "&Fast Compression..."}}},
    {"E&rase", {{114, "&Wipe Out a File..."}}},
    {"&Window",
     {{4001, "Tile &Vertically"},
      {4005, "Tile &Horizontally"},
      {4002, "&Cascade Windows"},
      {4004, "Arrange &Icons"},
      {4003, "Close &All"},
      {0, ""},
      {2008, "&Word Wrap"}}},
    {"&Help",
     {{116, "&Contents"},
      {134, "&Search"},
      {0, ""},
      {136, "C&ustomer Support"},
      {0, ""},
      {117, "&Keyboard/Selection/Cursor"},
      {133, "&Passwords"},
      {0, ""},
      {118, "Using &Help"},
      {0, ""},
      {5002, "&About Lockquill..."}}},
};

std::string menu_text(HMENU menu, int index) {
    char buf[256] = "";
    GetMenuStringA(menu, UINT(index), buf, sizeof buf, MF_BYPOSITION);
    return buf;
}

bool grayed(int id) { return GetMenuState(GetMenu(hwndFrame), UINT(id), MF_BYCOMMAND) & MF_GRAYED; }
bool checked(int id) {
    return GetMenuState(GetMenu(hwndFrame), UINT(id), MF_BYCOMMAND) & MF_CHECKED;
}

using FrameTest = LqGuiTest;
}  // namespace

TEST_F(FrameTest, StartsWithTitleClassesAndClientWindow) {
    ASSERT_TRUE(IsWindow(hwndFrame));
    EXPECT_EQ(lq_gui_text(hwndFrame), "Lockquill(TM) v:LQ32E40L");
    EXPECT_EQ(lq_gui_class(hwndFrame), "lqdwframe");
    EXPECT_TRUE(IsWindowVisible(hwndFrame));
    LONG ex = GetWindowLongA(hwndFrame, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_ACCEPTFILES);
    LONG style = GetWindowLongA(hwndFrame, GWL_STYLE);
    EXPECT_EQ(style & (WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN),
              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);

    ASSERT_TRUE(IsWindow(hwndMDIClient));
    EXPECT_EQ(lq_gui_class(hwndMDIClient), "MDIClient");
    EXPECT_EQ(GetParent(hwndMDIClient), hwndFrame);
    EXPECT_EQ(GetDlgCtrlID(hwndMDIClient), 3244);
    EXPECT_TRUE(IsWindowVisible(hwndMDIClient));
    LONG cstyle = GetWindowLongA(hwndMDIClient, GWL_STYLE);
    EXPECT_EQ(cstyle & (WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL),
              WS_CHILD | WS_CLIPCHILDREN | WS_VSCROLL | WS_HSCROLL);

    // No editor window without a command-line file.
    EXPECT_EQ(GetWindow(hwndMDIClient, GW_CHILD), nullptr);
    EXPECT_EQ(hwndActiveChild, nullptr);
    EXPECT_EQ(hwndActiveEdit, nullptr);
    EXPECT_EQ(dwNewChildStyle, 0u);

    // The shared open-file record as the first command finds it.
    EXPECT_EQ(ofnShared.lpstrFile, szFileName);
    EXPECT_EQ(ofnShared.nMaxFile, 256u);
    EXPECT_EQ(ofnShared.lpstrFileTitle, szFileTitle);
    EXPECT_EQ(ofnShared.nMaxFileTitle, 128u);
    EXPECT_EQ(ofnShared.Flags, 0x1004u);

    WNDCLASSA wc;
    ASSERT_TRUE(GetClassInfoA(hInst, "lqdwframe", &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.hbrBackground, HBRUSH(INT_PTR(13)));
    EXPECT_EQ(wc.cbWndExtra, 0);
    ASSERT_TRUE(GetClassInfoA(hInst, "lqdwchild", &wc));
    EXPECT_EQ(wc.style, 0u);
    EXPECT_EQ(wc.hbrBackground, HBRUSH(INT_PTR(13)));
    // One handle and four 16-bit flags.
    EXPECT_EQ(wc.cbWndExtra, int(sizeof(LONG_PTR) + 4 * 2));
    EXPECT_EQ(wc.lpszMenuName, nullptr);

    lq_gui_screenshot(hwndFrame, "frame");
}

TEST_F(FrameTest, HelpFileIsTheProgramPathWithHlp) {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string want = module;
    want = want.substr(0, want.rfind('.')) + ".hlp";
    EXPECT_EQ(std::string(szHelpFile), want);
}

TEST_F(FrameTest, MenuBarMatchesTheTable) {
    HMENU bar = GetMenu(hwndFrame);
    ASSERT_TRUE(bar);
    ASSERT_EQ(GetMenuItemCount(bar), int(menu_bar.size()));
    for (size_t p = 0; p < menu_bar.size(); ++p) {
        SCOPED_TRACE(menu_bar[p].text);
        EXPECT_EQ(menu_text(bar, int(p)), menu_bar[p].text);
        HMENU sub = GetSubMenu(bar, int(p));
        ASSERT_TRUE(sub);
        const auto& entries = menu_bar[p].entries;
        ASSERT_EQ(GetMenuItemCount(sub), int(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            MENUITEMINFOA mi = {};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_FTYPE | MIIM_ID;
            ASSERT_TRUE(GetMenuItemInfoA(sub, UINT(i), TRUE, &mi));
            if (entries[i].id == 0) {
                EXPECT_TRUE(mi.fType & MFT_SEPARATOR) << "entry " << i;
                continue;
            }
            EXPECT_EQ(int(mi.wID), entries[i].id) << "entry " << i;
            EXPECT_EQ(menu_text(sub, int(i)), entries[i].text) << "entry " << i;
            // Every command is in the table (or is the default frame's).
            EXPECT_TRUE(lq_find_command(entries[i].id)) << entries[i].id;
        }
    }
}

TEST_F(FrameTest, AcceleratorTable) {
    ACCEL want[] = {
        {FVIRTKEY | FCONTROL, VK_INSERT, 2003},
        {FVIRTKEY | FSHIFT, VK_INSERT, 2004},
        {FVIRTKEY | FSHIFT, VK_DELETE, 2002},
        {FVIRTKEY | FALT, VK_BACK, 2001},
        {FVIRTKEY, VK_F3, 3002},
        {FVIRTKEY, VK_F4, 3003},
    };
    ACCEL got[16];
    int n = CopyAcceleratorTableA(hAccel, got, 16);
    ASSERT_EQ(n, 6);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(got[i].fVirt & ~0x80, want[i].fVirt) << i;  // 0x80: last-entry mark
        EXPECT_EQ(got[i].key, want[i].key) << i;
        EXPECT_EQ(got[i].cmd, want[i].cmd) << i;
    }
    // F3 on the frame reaches the command table as 3002.
    MSG msg = {};
    msg.hwnd = hwndFrame;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_F3;
    msg.lParam = 1;
    EXPECT_TRUE(TranslateAcceleratorA(hwndFrame, hAccel, &msg));
}

TEST_F(FrameTest, InitMenuWithoutEditorWindowGraysEditorCommands) {
    szFindText[0] = 0;
    SendMessageA(hwndFrame, WM_INITMENU, WPARAM(GetMenu(hwndFrame)), 0);
    for (int id : {2001, 2002, 2003, 2004, 2005, 2006, 2008, 139, 3001, 3002, 3003})
        EXPECT_TRUE(grayed(id)) << id;
    EXPECT_FALSE(checked(2008));
    EXPECT_FALSE(checked(139));
    for (int id : {1003, 1010, 113, 1004, 1022, 1027, 1024, 4001, 4005, 4002, 4004, 4003, 1005})
        EXPECT_TRUE(grayed(id)) << id;
    // Commands that need no window stay enabled.
    for (int id :
         {1001, 1002, 1008, 5004, 1006, 1028, 1020, 1026, 1021, 111, 1023, 112, 5005, 1050, 1051,
          1052, 137,  138,  130,  131,  132,  114,  116,  134,  136, 117,  133, 118,  5002})
        EXPECT_FALSE(grayed(id)) << id;
}

TEST_F(FrameTest, EditorCommandsWithoutAWindowDoNothing) {
    for (int id :
         {1010, 113, 2001, 2002, 2003, 2004, 2005, 2006, 139, 2008, 4001, 4005, 4002, 4004, 4003})
        command(id);
    EXPECT_TRUE(IsWindow(hwndFrame));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(FrameTest, HelpCommandsPassTheKeys) {
    for (int id : {116, 134, 136, 117, 133, 118}) command(id);
    auto& calls = lq_gui_help_calls();
    ASSERT_EQ(calls.size(), 6u);
    std::string hlp = szHelpFile;
    EXPECT_EQ(calls[0].file, hlp);
    EXPECT_EQ(calls[0].command, UINT(HELP_CONTENTS));
    EXPECT_EQ(calls[1].command, UINT(HELP_PARTIALKEY));
    EXPECT_EQ(calls[1].key, "");
    EXPECT_EQ(calls[2].key, "Customer Support");
    EXPECT_EQ(calls[3].key, "Selecting text and moving about a document");
    EXPECT_EQ(calls[4].key, "Passwords");
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(calls[i].file, hlp) << i;
        EXPECT_EQ(calls[i].command, UINT(HELP_PARTIALKEY)) << i;
    }
    EXPECT_EQ(calls[5].file, "WINHELP.HLP");
    EXPECT_EQ(calls[5].command, UINT(HELP_CONTENTS));
}

TEST_F(FrameTest, ExitDestroysTheFrameReleasesHelpAndQuits) {
    HWND frame = hwndFrame;
    command(1006);
    EXPECT_FALSE(IsWindow(frame));
    ASSERT_EQ(lq_gui_help_calls().size(), 1u);
    EXPECT_EQ(lq_gui_help_calls()[0].command, UINT(HELP_QUIT));
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_QUIT) {
            quit = true;
            EXPECT_EQ(msg.wParam, 0u);
            break;
        }
    EXPECT_TRUE(quit);
}

TEST_F(FrameTest, LogOffQueryWithoutWindowsAllowsIt) {
    EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 1);
}

TEST_F(FrameTest, UnknownCommandsGoToTheDefaultFrameProcedure) {
    command(4100);  // no editor window listed: nothing happens
    command(9999);
    EXPECT_TRUE(IsWindow(hwndFrame));
    EXPECT_TRUE(lq_boxes().empty());
}

// The real program: started as its own process, it shows the frame and ends
// with 0 when its frame is closed.
namespace {
struct Found {
    DWORD pid;
    HWND frame;
};
BOOL CALLBACK find_frame(HWND w, LPARAM p) {
    Found* f = reinterpret_cast<Found*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && lq_gui_class(w) == "lqdwframe") {
        f->frame = w;
        return FALSE;
    }
    return TRUE;
}
std::string windows_path(std::string p) {
    if (!p.empty() && p[0] == '/') p = "Z:" + p;
    for (char& c : p)
        if (c == '/') c = '\\';
    return p;
}
}  // namespace

TEST_F(FrameTest, ProgramStartsAndEndsWhenClosed) {
    std::string exe = windows_path(LQ_EXE_PATH);
    std::string line = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi))
        << exe << " error " << GetLastError();
    Found f = {pi.dwProcessId, nullptr};
    for (int i = 0; i < 500 && !f.frame; ++i) {
        Sleep(20);
        EnumWindows(find_frame, LPARAM(&f));
    }
    ASSERT_TRUE(f.frame) << "no frame window appeared";
    EXPECT_EQ(lq_gui_text(f.frame), "Lockquill(TM) v:LQ32E40L");
    PostMessageA(f.frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}
