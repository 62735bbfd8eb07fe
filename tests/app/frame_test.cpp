// The frame as a user meets it: start, help, About, the text prompt, the
// progress window, Erase, and the end of the program.
#include <windows.h>

#include <cstring>

#include "app/alpha_entry.h"
#include "app/app.h"
#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

using FrameTest = LqGuiTest;

TEST_F(FrameTest, StartHelpAndExit) {
    EXPECT_EQ(lq_gui_text(hwndFrame), "Lockquill(TM) v:LQ32E40L");
    EXPECT_TRUE(IsWindowVisible(hwndFrame) && IsWindowVisible(hwndMDIClient));
    EXPECT_EQ(GetWindow(hwndMDIClient, GW_CHILD), nullptr);
    lq_gui_screenshot(hwndFrame, "frame");
    // Commands that need an editor window do nothing without one.
    for (int id :
         {1010, 113, 1003, 1004, 2001, 2002, 2003, 2004, 2005, 2006, 139, 4003, 4100, 9999})
        command(id);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();

    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string hlp = std::string(module).substr(0, std::strlen(module) - 3) + "hlp";
    EXPECT_EQ(std::string(szHelpFile), hlp);
    // Contents, Search, Customer Support, Keyboard, Passwords, Using Help.
    const std::pair<int, const char*> help[] = {{116, nullptr},
                                                {134, ""},
                                                {136, "Customer Support"},
                                                {117, "Selecting text and moving about a document"},
                                                {133, "Passwords"},
                                                {118, nullptr}};
    for (auto [id, key] : help) {
        lq_gui_help_calls().clear();
        command(id);
        ASSERT_EQ(lq_gui_help_calls().size(), 1u) << id;
        EXPECT_EQ(lq_gui_help_calls()[0].file, id == 118 ? "WINHELP.HLP" : hlp);
        EXPECT_EQ(lq_gui_help_calls()[0].command, UINT(key ? HELP_PARTIALKEY : HELP_CONTENTS));
        EXPECT_EQ(lq_gui_help_calls()[0].key, key ? key : "");
    }

    EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 1);
    lq_gui_help_calls().clear();
    HWND frame = hwndFrame;
    command(IDM_FILE_EXIT);
    EXPECT_FALSE(IsWindow(frame));
    ASSERT_EQ(lq_gui_help_calls().size(), 1u);
    EXPECT_EQ(lq_gui_help_calls()[0].command, UINT(HELP_QUIT));
    MSG msg = {};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message != WM_QUIT) {
    }
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

// The real program in its own process ends with 0 when its frame closes.
TEST_F(FrameTest, ProgramStartsAndEnds) {
    std::string exe = LQ_EXE_PATH;
    if (exe[0] == '/') exe = "Z:" + exe;
    for (char& c : exe)
        if (c == '/') c = '\\';
    std::string line = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    HWND frame = nullptr;
    for (int i = 0; i < 500 && !frame; ++i) {
        Sleep(20);
        for (HWND w = FindWindowA("lqdwframe", nullptr); w && !frame;
             w = FindWindowExA(nullptr, w, "lqdwframe", nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            if (pid == pi.dwProcessId) frame = w;
        }
    }
    ASSERT_TRUE(frame) << "no frame window appeared";
    PostMessageA(frame, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 20000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

// About closes by OK, Enter, Esc and its close box.
TEST_F(FrameTest, AboutBox) {
    for (int how = 0; how < 4; ++how) {
        bool seen = false;
        lq_gui_on_dialog([how, &seen](HWND dlg) {
            seen = true;
            EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
            EXPECT_EQ(lq_gui_item_text(dlg, 301), "Version: LQ32E40L  Dated: 6may95");
            int icons = 0;
            for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                icons += (GetWindowLongA(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                         SendMessageA(c, STM_GETICON, 0, 0);
            EXPECT_EQ(icons, 2);
            if (how == 0) lq_gui_click(dlg, IDOK);
            if (how == 1) lq_gui_key(VK_RETURN);
            if (how == 2) lq_gui_key(VK_ESCAPE);
            if (how == 3) lq_gui_screenshot(dlg, "about"), lq_gui_close_box(dlg);
        });
        command(IDM_HELP_ABOUT);
        EXPECT_TRUE(seen) << how;
    }
}

// The text prompt: what each way of leaving it gives back.
TEST_F(FrameTest, TextPrompt) {
    struct {
        const char* typed;
        int how, size;  // how 0: OK, 1: Enter, 2: Cancel, 3: Esc (ignored), then Cancel
        BOOL result;
        const char* buffer;
    } cases[] = {{"2048", 0, 40, TRUE, "2048"},      {"Heading", 1, 40, TRUE, "Heading"},
                 {"999", 2, 40, FALSE, "5120"},      {"abc", 3, 40, FALSE, "5120"},
                 {"0123456789", 0, 5, TRUE, "0123"}, {"", 0, 40, TRUE, ""}};
    for (auto& c : cases) {
        SCOPED_TRACE(c.typed);
        char buffer[40] = "5120";
        bool still_open = false;
        lq_gui_on_dialog([&c, &still_open](HWND dlg) {
            EXPECT_EQ(lq_gui_text(dlg), "Enter the maximum size ?");
            EXPECT_EQ(lq_gui_item_text(dlg, 1108), "5120");
            EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 1108));
            if (c.how == 0) lq_gui_screenshot(dlg, "text_prompt");
            SetDlgItemTextA(dlg, 1108, c.typed);
            if (c.how == 0) lq_gui_click(dlg, 1106);
            if (c.how == 1) lq_gui_key(VK_RETURN);
            if (c.how == 2) lq_gui_click(dlg, 1107);
            if (c.how != 3) return;
            lq_gui_key(VK_ESCAPE);
            lq_gui_again(dlg, [&still_open](HWND dlg) {
                still_open = IsWindowVisible(dlg) != 0;
                lq_gui_click(dlg, 1107);
            });
        });
        EXPECT_EQ(bAskAlphaEntry("Enter the maximum size ?", buffer, c.size), c.result);
        EXPECT_STREQ(buffer, c.buffer);
        EXPECT_EQ(still_open, c.how == 3);
    }
}

// The progress window: its lines, a bar that fills from the left, a repaint
// by the platform, and a nested open that one close ends.
TEST_F(FrameTest, ProgressWindow) {
    lq_progress_begin(" UU EnCoding (text mode) of ", "C:\\data\\annual report.txt", 200);
    HWND p = HWND(hwndProgress);
    ASSERT_TRUE(IsWindow(p));
    EXPECT_EQ(GetWindow(p, GW_OWNER), hwndFrame);
    HWND bar = GetDlgItem(p, 1103);
    RECT r;
    GetClientRect(bar, &r);
    auto at = [bar, &r](int x) { return lq_gui_pixel(bar, x, r.bottom / 2); };
    const uint32_t black = 0, gray = 0xC0C0C0;
    EXPECT_EQ(at(0), gray);
    lq_progress_step(100);
    EXPECT_STREQ(szProgressPercent, " 50% completed ");
    InvalidateRect(p, nullptr, TRUE);
    lq_gui_pump();
    EXPECT_TRUE(at(0) == black && at(r.right / 2 - 2) == black && at(r.right / 2 + 2) == gray);
    for (int id : {1101, 1104, 1102}) {  // lines drawn on the controls, not stored
        HWND c = GetDlgItem(p, id);
        EXPECT_EQ(lq_gui_text(c), "");
        RECT cr;
        GetClientRect(c, &cr);
        uint32_t bg = lq_gui_pixel(c, cr.right - 1, cr.bottom - 1);
        bool drawn = false;
        for (int x = 0; x < cr.right / 2 && !drawn; ++x)
            for (int y = 0; y < cr.bottom && !drawn; ++y) drawn = lq_gui_pixel(c, x, y) != bg;
        EXPECT_TRUE(drawn) << id;
    }
    EXPECT_TRUE(lq_gui_screenshot(p, "progress"));
    lq_progress_step(200);
    EXPECT_EQ(at(r.right - 1), black);
    EXPECT_EQ(iShowProgress(1), 0);  // a nested operation opens again
    EXPECT_EQ(HWND(hwndProgress), p);
    EXPECT_EQ(iShowProgress(-1), 0);
    EXPECT_FALSE(IsWindow(p));
    EXPECT_STREQ(szProgressFileName, "");
    lq_progress_step(10);
    EXPECT_EQ(iShowProgress(-1), 0);
}

TEST_F(FrameTest, EraseWipesTheChosenFile) {
    write_file(path("old letter.txt"), std::string(100000, 'x'));
    write_file(path("ro.txt"), "secret");
    set_readonly(path("ro.txt"), true);
    write_file(path("keep.txt"), "keep");
    lq_gui_cancel_file_dialog("Select the file to Wipe...");
    command(IDM_ERASE_WIPE);
    for (const char* name : {"old letter.txt", "ro.txt"}) {
        lq_gui_choose_file(path(name), "Select the file to Wipe...");
        command(IDM_ERASE_WIPE);
        EXPECT_STREQ(szFileTitle, name);
    }
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"keep.txt"});
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}
