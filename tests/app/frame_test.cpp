// The frame as a user meets it: start, About, help, Erase, the progress
// window, and the end of the program (in its own process too).
#include <algorithm>
#include <cstring>

#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

using FrameTest = LqGuiTest;

TEST_F(FrameTest, StartAboutHelpEraseAndExit) {
    EXPECT_EQ(lq_gui_text(hwndFrame), "Lockquill(TM) v:LQ32E40L");
    EXPECT_TRUE(IsWindowVisible(hwndFrame) && IsWindowVisible(hwndMDIClient) &&
                !GetWindow(hwndMDIClient, GW_CHILD));
    lq_gui_screenshot(hwndFrame, "frame");
    // Commands that need an editor window do nothing without one.
    for (int id :
         {1010, 113, 1003, 1004, 2001, 2002, 2003, 2004, 2005, 2006, 139, 4003, 4100, 9999})
        command(id);
    lq_gui_on_dialog([](HWND dlg) {  // About, owned by the frame, closes by Esc
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
        lq_gui_key(VK_ESCAPE);
    });
    command(IDM_HELP_ABOUT);
    // Erase wipes the chosen file, read-only too; Cancel wipes nothing.
    write_file(path("ro.txt"), "secret");
    set_readonly(path("ro.txt"), true);
    write_file(path("keep.txt"), "keep");
    lq_gui_cancel_file_dialog("Select the file to Wipe...");
    command(IDM_ERASE_WIPE);
    file_command(IDM_ERASE_WIPE, "ro.txt", "Select the file to Wipe...");
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"keep.txt"});
    EXPECT_EQ(lq_gui_captions(), "");
    // Contents, Customer Support, Using Help; the help file is the program's
    // own path ending in "hlp".
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string h = std::string(module).substr(0, std::strlen(module) - 3) + "hlp";
    for (int id : {116, 136, 118}) command(id);
    EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 1);
    HWND frame = hwndFrame;
    command(IDM_FILE_EXIT);
    EXPECT_FALSE(IsWindow(frame));  // then the quit message
    EXPECT_EQ(lq_gui_help_calls(), (std::vector<std::string>{h + "|3|", h + "|261|Customer Support",
                                                             "WINHELP.HLP|3|", h + "|2|"}));
    MSG msg = {};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) continue;
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    // A module path cut to its buffer names no help file.
    LqModuleFileNameFn real = lq_module_file_name;
    lq_module_file_name = [](char* buf, DWORD size) -> DWORD {  // as the system cuts it
        std::memset(buf, 'x', size);
        return size;
    };
    restart("");
    lq_module_file_name = real;
    EXPECT_STREQ(szHelpFile, "");
}

// The real program, in its own process, ends with 0 when its frame closes.
TEST_F(FrameTest, ProgramStartsAndEnds) {
    std::string exe = "Z:" LQ_EXE_PATH;
    std::replace(exe.begin(), exe.end(), '/', '\\');
    HANDLE process = lq_gui_start("\"" + exe + "\"");
    ASSERT_TRUE(process);
    HWND frame = nullptr;
    for (int i = 0; i < 500 && !frame; ++i, Sleep(20))
        for (HWND w = nullptr; !frame && (w = FindWindowExA(nullptr, w, "lqdwframe", nullptr));) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == GetProcessId(process)) frame = w;
        }
    ASSERT_TRUE(frame) << "no frame window appeared";
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(process);
}

// The progress window: a bar that fills from the left, a repaint by the
// platform, and a nested open that one close ends.
TEST_F(FrameTest, ProgressWindow) {
    lq_progress_begin(" UU EnCoding (text mode) of ", "C:\\data\\annual report.txt", 200);
    HWND p = HWND(hwndProgress), bar = GetDlgItem(p, IDC_PROGRESS_BAR);
    ASSERT_TRUE(IsWindow(p) && GetWindow(p, GW_OWNER) == hwndFrame);
    RECT r;
    GetClientRect(bar, &r);
    auto at = [bar, &r](int x) { return lq_gui_pixel(bar, x, r.bottom / 2); };  // 0 black
    lq_progress_step(100);
    EXPECT_STREQ(szProgressPercent, " 50% completed ");
    InvalidateRect(p, nullptr, TRUE);
    lq_gui_pump();
    EXPECT_TRUE(at(0) == 0 && at(r.right / 2 - 2) == 0 && at(r.right / 2 + 2) == 0xC0C0C0);
    EXPECT_TRUE(lq_gui_screenshot(p, "progress"));
    EXPECT_TRUE(iShowProgress(1) == 0 && HWND(hwndProgress) == p);  // nested: opens again
    EXPECT_TRUE(iShowProgress(-1) == 0 && !IsWindow(p) && !szProgressFileName[0]);
    lq_progress_step(10);
    EXPECT_EQ(iShowProgress(-1), 0);
}
