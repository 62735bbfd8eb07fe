// The progress window (dialog 1100) behind iShowProgress.
#include <windows.h>

#include <cstring>
#include <string>

#include "app/app.h"
#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

namespace {
const uint32_t black = 0x000000, light_gray = 0xC0C0C0;

HWND progress() { return HWND(hwndProgress); }
HWND item(int id) { return GetDlgItem(progress(), id); }

// Left and right ends of the bar's client area, at mid height.
struct BarSample {
    uint32_t left, middle_left, middle_right, right;
};
BarSample sample_bar() {
    HWND bar = item(1103);
    RECT r;
    GetClientRect(bar, &r);
    int y = r.bottom / 2, w = r.right;
    return {lq_gui_pixel(bar, 0, y), lq_gui_pixel(bar, w / 2 - 2, y),
            lq_gui_pixel(bar, w / 2 + 2, y), lq_gui_pixel(bar, w - 1, y)};
}

// True when some pixel of the control differs from its first pixel: a line
// has been drawn onto it.
bool has_drawing(int id) {
    HWND c = item(id);
    RECT r;
    GetClientRect(c, &r);
    uint32_t bg = lq_gui_pixel(c, r.right - 1, r.bottom - 1);
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right / 2; ++x)
            if (lq_gui_pixel(c, x, y) != bg) return true;
    return false;
}

RECT dialog_units(int x, int y, int w, int h) {
    RECT r = {x, y, x + w, y + h};
    MapDialogRect(progress(), &r);
    return r;
}

RECT place(int id) {
    RECT r;
    GetWindowRect(item(id), &r);
    MapWindowPoints(nullptr, progress(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

using ProgressWindowTest = LqGuiTest;
}  // namespace

TEST_F(ProgressWindowTest, OpensOwnedByTheFrameWithItsControls) {
    lq_progress_begin(" UU EnCoding (text mode) of ", "C:\\data\\report.txt", 200);
    ASSERT_TRUE(IsWindow(progress()));
    EXPECT_EQ(lq_gui_text(progress()), "Lockquill Progress...");
    EXPECT_EQ(GetWindow(progress(), GW_OWNER), hwndFrame);
    EXPECT_TRUE(IsWindowVisible(progress()));
    LONG style = GetWindowLongA(progress(), GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_FALSE(style & WS_SYSMENU);
    EXPECT_STREQ(szProgressPercent, " 0% completed ");

    struct {
        int id, x, y;
        const char* cls;
    } controls[] = {{1101, 5, 5, "Edit"},
                    {1104, 5, 25, "Edit"},
                    {1103, 5, 45, "Static"},
                    {1102, 5, 65, "Edit"}};
    for (auto& c : controls) {
        SCOPED_TRACE(c.id);
        ASSERT_TRUE(item(c.id));
        EXPECT_EQ(lq_gui_class(item(c.id)), c.cls);
        RECT want = dialog_units(c.x, c.y, 200, 15), got = place(c.id);
        EXPECT_EQ(got.left, want.left);
        EXPECT_EQ(got.top, want.top);
        EXPECT_EQ(got.right, want.right);
        EXPECT_EQ(got.bottom, want.bottom);
        // The lines are drawn, never stored in the controls.
        EXPECT_EQ(lq_gui_text(item(c.id)), "");
    }
    EXPECT_EQ(GetWindowLongA(item(1103), GWL_STYLE) & SS_TYPEMASK, SS_BLACKFRAME);

    EXPECT_TRUE(has_drawing(1101));
    EXPECT_TRUE(has_drawing(1104));
    EXPECT_TRUE(has_drawing(1102));
    lq_progress_end();
}

TEST_F(ProgressWindowTest, BarFillsFromTheLeft) {
    lq_progress_begin(" Compressing ", "x.txt", 200);
    BarSample s = sample_bar();
    EXPECT_EQ(s.left, light_gray);
    EXPECT_EQ(s.right, light_gray);

    lq_progress_step(100);
    EXPECT_STREQ(szProgressPercent, " 50% completed ");
    s = sample_bar();
    EXPECT_EQ(s.left, black);
    EXPECT_EQ(s.middle_left, black);
    EXPECT_EQ(s.middle_right, light_gray);
    EXPECT_EQ(s.right, light_gray);

    lq_progress_step(100);
    s = sample_bar();
    EXPECT_EQ(s.left, black);
    EXPECT_EQ(s.right, black);

    // Beyond the whole: still one black bar, nothing outside the control.
    lq_progress_step(100);
    s = sample_bar();
    EXPECT_EQ(s.right, black);
    lq_progress_end();
}

TEST_F(ProgressWindowTest, LinesSurviveThePlatformsOwnRepaint) {
    // A message box pumping messages during an operation repaints the window.
    lq_progress_begin(" Encrypting ", "secret.txt", 100);
    lq_progress_step(50);
    InvalidateRect(progress(), nullptr, TRUE);
    lq_gui_pump();
    EXPECT_TRUE(has_drawing(1101));
    EXPECT_TRUE(has_drawing(1104));
    EXPECT_TRUE(has_drawing(1102));
    EXPECT_EQ(sample_bar().left, black);
    EXPECT_EQ(sample_bar().right, light_gray);
    lq_progress_end();
}

TEST_F(ProgressWindowTest, SecondOpenKeepsTheWindowAndOneCloseEndsIt) {
    lq_progress_begin(" Encrypting ", "outer.txt", 100);
    lq_progress_step(40);
    HWND outer = progress();
    // A compression inside the encryption opens again: nothing changes.
    EXPECT_EQ(iShowProgress(1), 0);
    EXPECT_EQ(progress(), outer);
    EXPECT_FLOAT_EQ(fProgressFraction, 0.4f);
    EXPECT_STREQ(szProgressFileName, "outer.txt");

    EXPECT_EQ(iShowProgress(-1), 0);
    EXPECT_FALSE(IsWindow(outer));
    EXPECT_EQ(hwndProgress, 0);
    EXPECT_STREQ(szProgressOperation, "");
    EXPECT_STREQ(szProgressFileName, "");
    EXPECT_STREQ(szProgressPercent, "");
    // The outer operation's later steps and close do nothing.
    lq_progress_step(10);
    EXPECT_EQ(iShowProgress(0), 0);
    EXPECT_EQ(iShowProgress(-1), 0);
}

TEST_F(ProgressWindowTest, OpenKeepsAPercentageTextAlreadySet) {
    std::strcpy(szProgressPercent, " 12% completed ");
    EXPECT_EQ(iShowProgress(1), 0);
    EXPECT_STREQ(szProgressPercent, " 12% completed ");
    iShowProgress(-1);
}

TEST_F(ProgressWindowTest, Screenshot) {
    lq_progress_begin(" UU EnCoding (text mode) of ", "C:\\data\\annual report.txt", 100);
    lq_progress_step(37);
    EXPECT_STREQ(szProgressPercent, " 37% completed ");
    EXPECT_TRUE(lq_gui_screenshot(progress(), "progress"));
    lq_progress_end();
}
