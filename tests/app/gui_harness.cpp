#include "tests/app/gui_harness.h"

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/find.h"
#include "fileops/progress.h"

namespace {
struct Pending {
    LqDialogAction action;
    HWND dialog;  // 0: the next new dialog; otherwise this one again
};
std::deque<Pending> actions;
std::set<HWND> handled;  // dialogs an action has already run on
UINT_PTR timer_id;
std::vector<std::string> help_calls;

BOOL WINAPI recording_help(HWND, LPCSTR file, UINT cmd, ULONG_PTR data) {
    const char* key = cmd == HELP_PARTIALKEY && data ? reinterpret_cast<const char*>(data) : "";
    help_calls.push_back(std::string(file ? file : "") + "|" + std::to_string(cmd) + "|" + key);
    return TRUE;
}
// The newest (first in z-order) visible, enabled #32770 not yet handled, not
// the progress window.
BOOL CALLBACK collect_dialog(HWND w, LPARAM out) {
    char cls[64] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") || !IsWindowVisible(w) || !IsWindowEnabled(w)) return TRUE;
    if (intptr_t(w) == hwndProgress || handled.count(w)) return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
}
void CALLBACK on_tick(HWND, UINT, UINT_PTR, DWORD) {
    if (actions.empty()) return;
    for (auto it = handled.begin(); it != handled.end();)
        it = IsWindow(*it) ? std::next(it) : handled.erase(it);
    Pending next = actions.front();
    HWND dlg = next.dialog;
    if (dlg && !IsWindow(dlg)) return;
    if (!dlg) {
        EnumThreadWindows(GetCurrentThreadId(), collect_dialog, LPARAM(&dlg));
        // Act one tick after a dialog is first seen: a dialog that shows
        // itself may still be settling its controls under load.
        static HWND first_seen;
        if (!dlg || dlg != first_seen) return void(first_seen = dlg);
        first_seen = nullptr;
        handled.insert(dlg);
    }
    // Off the queue before it runs: an action may start a modal loop in which
    // the following actions must find their own dialogs.
    actions.pop_front();
    next.action(dlg);
}
void stop_frame() {
    iShowProgress(-1);
    if (hwndFrame && IsWindow(hwndFrame)) {
        DestroyWindow(hwndFrame);
        MSG msg;  // the frame posts the quit message as it goes: take it off the queue
        for (int i = 0; i < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    for (const char* c : {"lqdwchild", "lqdwframe"}) UnregisterClassA(c, hInst);
    hwndFrame = hwndMDIClient = hwndActiveChild = hwndActiveEdit = nullptr;
    if (hAccel) DestroyAcceleratorTable(hAccel);
    hAccel = nullptr;
    dwNewChildStyle = WS_MINIMIZE;
    ofnShared = OPENFILENAMEA{};
    szFileName[0] = szFileTitle[0] = szHelpFile[0] = szFindText[0] = 0;
    bFindCaseSensitive = FALSE;
}
// A null path: Cancel.
LqDialogAction file_answer(const char* path, const char* title) {
    std::string want = title ? title : "", name = path ? path : "";
    return [choose = path != nullptr, name, want](HWND dlg) {
        if (!want.empty()) EXPECT_EQ(lq_gui_text(dlg), want);
        HWND box = GetDlgItem(dlg, 0x47C);  // the file name box (cmb13)
        ASSERT_TRUE(box) << "no file name box";
        if (choose) SetWindowTextA(box, name.c_str());
        PostMessageA(dlg, WM_COMMAND, choose ? IDOK : IDCANCEL, 0);
    };
}
}  // namespace

void LqGuiTest::SetUp() {
    LqTest::SetUp();
    actions.clear();
    handled.clear();
    help_calls.clear();
    lq_win_help = recording_help;
    timer_id = SetTimer(nullptr, 0, 20, on_tick);
    ASSERT_TRUE(lq_app_start(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL));
}
void LqGuiTest::TearDown() {
    EXPECT_EQ(actions.size(), 0u) << "a queued dialog action was never used";
    actions.clear();
    stop_frame();
    KillTimer(nullptr, timer_id);
    lq_win_help = WinHelpA;
    LqTest::TearDown();
}
void LqGuiTest::restart(const char* command_line) {
    stop_frame();
    ASSERT_TRUE(lq_app_start(GetModuleHandleA(nullptr), command_line, SW_SHOWNORMAL));
}
void LqGuiTest::command(int id) { SendMessageA(hwndFrame, WM_COMMAND, WPARAM(id), 0); }
void LqGuiTest::file_command(int id, const std::string& name, const char* title) {
    actions.push_front(Pending{file_answer(path(name).c_str(), title), nullptr});
    command(id);
}

void lq_gui_on_dialog(LqDialogAction action) { actions.push_back(Pending{action, nullptr}); }
void lq_gui_again(HWND dlg, LqDialogAction action) { actions.push_front(Pending{action, dlg}); }
void lq_gui_pump() {
    for (MSG msg; PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE);) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}
void lq_gui_click(HWND dlg, int id) {
    HWND button = GetDlgItem(dlg, id);
    // A dialog the test cannot answer is ended, so the failure is reported
    // at once instead of the test waiting for its time limit.
    if (!button || !IsWindowEnabled(button)) EndDialog(dlg, 0);
    ASSERT_TRUE(button && IsWindowEnabled(button))
        << "control " << id << " missing or disabled in \"" << lq_gui_text(dlg) << "\"";
    PostMessageA(button, BM_CLICK, 0, 0);
}
void lq_gui_key(UINT vk) {
    HWND focus = GetFocus();
    ASSERT_TRUE(focus) << "no window has the focus";
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(focus, WM_KEYDOWN, vk, LPARAM(1 | (scan << 16)));
    PostMessageA(focus, WM_KEYUP, vk, LPARAM(1 | (scan << 16) | (3u << 30)));
}
std::string lq_gui_text(HWND w) {
    std::string s(size_t(GetWindowTextLengthA(w)) + 1, '\0');
    s.resize(size_t(GetWindowTextA(w, &s[0], int(s.size()))));
    return s;
}
std::string lq_gui_item_text(HWND dlg, int id) { return lq_gui_text(GetDlgItem(dlg, id)); }
bool lq_gui_enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != 0; }
void lq_gui_cancel_file_dialog(const char* title) { lq_gui_on_dialog(file_answer(nullptr, title)); }
// The window's pixels, frame included, as a bitmap file that the host's
// convert turns into name.png (Wine cannot wait for it; the .bmp stays when
// it fails).
bool lq_gui_screenshot(HWND w, const std::string& name) {
    RECT r;
    GetWindowRect(w, &r);
    BITMAPINFOHEADER bh = {sizeof bh, r.right - r.left, r.bottom - r.top, 1, 32, BI_RGB};
    bh.biSizeImage = DWORD(bh.biWidth * bh.biHeight * 4);
    BITMAPFILEHEADER fh = {0x4D42, DWORD(sizeof fh + sizeof bh + bh.biSizeImage), 0, 0,
                           DWORD(sizeof fh + sizeof bh)};
    HDC wdc = GetWindowDC(w), mdc = CreateCompatibleDC(wdc);
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(mdc, (BITMAPINFO*)&bh, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mdc, bm);
    bool ok = bm && BitBlt(mdc, 0, 0, bh.biWidth, bh.biHeight, wdc, 0, 0, SRCCOPY) && GdiFlush();
    const std::string dir = lq_artifact_dir() + "/screenshots/", file = dir + name;
    std::filesystem::create_directories(dir);
    ok = ok && std::ofstream(file + ".bmp", std::ios::binary)
                   .write((char*)&fh, sizeof fh)
                   .write((char*)&bh, sizeof bh)
                   .write((char*)bits, bh.biSizeImage)
                   .good();  // closed here, before convert reads it
    SelectObject(mdc, old);
    DeleteObject(bm);
    DeleteDC(mdc);
    ReleaseDC(w, wdc);
    if (ok)
        CloseHandle(lq_gui_start("/bin/sh -c \"convert '" + file + ".bmp' '" + file +
                                 ".png' && rm '" + file + ".bmp'\""));
    return ok;
}
uint32_t lq_gui_pixel(HWND w, int x, int y) {
    HDC dc = GetDC(w);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(w, dc);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
HANDLE lq_gui_start(std::string line, HANDLE out) {
    STARTUPINFOA si = {sizeof si};
    si.dwFlags = out ? STARTF_USESTDHANDLES : 0;
    si.hStdOutput = si.hStdError = out;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], 0, 0, out != nullptr, 0, 0, 0, &si, &pi)) return 0;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}
std::string lq_gui_captions() {
    std::string s;
    for (const RecordedBox& b : lq_boxes()) s += b.caption + "/" + std::to_string(b.style) + "\n";
    lq_boxes_clear();
    return s;
}
std::vector<std::string>& lq_gui_help_calls() { return help_calls; }

std::vector<HWND> editor_windows() {
    std::vector<HWND> v;
    for (HWND w = GetWindow(hwndMDIClient, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (!GetWindow(w, GW_OWNER)) v.push_back(w);  // not an icon title
    return v;
}
void type_keys(HWND dlg, int id, const std::string& keys) {
    for (char c : keys) SendMessageA(GetDlgItem(dlg, id), WM_CHAR, WPARAM(uint8_t(c)), 1);
}
void answer_encrypt(int compression, bool read_only, bool cancel, const char* shot,
                    const std::string& riddle) {
    lq_gui_on_dialog([=](HWND dlg) {
        for (int id : {IDC_ENC_PASSWORD1, IDC_ENC_CONFIRM1}) type_keys(dlg, id, P1);
        for (int id : {IDC_ENC_PASSWORD2, IDC_ENC_CONFIRM2}) type_keys(dlg, id, P2);
        SetDlgItemTextA(dlg, IDC_ENC_RIDDLE, riddle.c_str());
        auto set = [dlg](int id, bool on) {  // the boxes start as the last dialog left them
            if (on != (IsDlgButtonChecked(dlg, id) == BST_CHECKED))
                SendDlgItemMessageA(dlg, id, BM_CLICK, 0, 0);
        };
        if (compression) set(IDC_ENC_SIZE + 1 - compression, true);
        set(IDC_ENC_READONLY, read_only);
        EXPECT_TRUE(lq_gui_enabled(dlg, IDC_ENC_OK));
        lq_gui_again(dlg, [=](HWND d) {
            if (shot) lq_gui_screenshot(d, shot);
            lq_gui_click(d, cancel ? IDC_ENC_CANCEL : IDC_ENC_OK);
        });
    });
}
void answer_decrypt(const char* a, const char* b, const char* shot) {
    lq_gui_on_dialog([=](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), std::string("Decrypt ") + szFileTitle);
        EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_STATUS), "Status: OK !");
        if (!a) return lq_gui_click(dlg, IDC_DEC_CANCEL);
        type_keys(dlg, IDC_DEC_PASSWORD1, a);
        type_keys(dlg, IDC_DEC_PASSWORD2, b);
        lq_gui_again(dlg, [=](HWND d) {
            if (shot) lq_gui_screenshot(d, shot);
            lq_gui_click(d, IDC_DEC_OK);
        });
    });
}
