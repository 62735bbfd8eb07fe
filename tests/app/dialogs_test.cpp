// The About box (dialog 300) and the text entry prompt (dialog 1105).
#include <windows.h>

#include <cstring>
#include <string>

#include "app/about.h"
#include "app/alpha_entry.h"
#include "app/app.h"
#include "tests/app/gui_harness.h"

namespace {
using AboutTest = LqGuiTest;
using AlphaEntryTest = LqGuiTest;

// Checks the About box's contents and layout, then closes it with how.
void about_then(std::function<void(HWND)> how, bool* seen) {
    lq_gui_on_dialog([how, seen](HWND dlg) {
        *seen = true;
        EXPECT_EQ(lq_gui_text(dlg), "About Lockquill(TM)");
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
        EXPECT_EQ(lq_gui_item_text(dlg, 301), "Version: LQ32E40L  Dated: 6may95");
        EXPECT_EQ(lq_gui_item_text(dlg, IDOK), "OK");
        LONG style = GetWindowLongA(dlg, GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU);
        how(dlg);
    });
}
}  // namespace

TEST_F(AboutTest, OkButtonCloses) {
    bool seen = false;
    about_then([](HWND dlg) { lq_gui_click(dlg, IDOK); }, &seen);
    command(5002);
    EXPECT_TRUE(seen);
}

TEST_F(AboutTest, EnterCloses) {
    bool seen = false;
    about_then([](HWND) { lq_gui_key(VK_RETURN); }, &seen);
    command(5002);
    EXPECT_TRUE(seen);
}

TEST_F(AboutTest, EscCloses) {
    bool seen = false;
    about_then([](HWND) { lq_gui_key(VK_ESCAPE); }, &seen);
    command(5002);
    EXPECT_TRUE(seen);
}

TEST_F(AboutTest, CloseBoxCloses) {
    bool seen = false;
    about_then(
        [](HWND dlg) {
            lq_gui_screenshot(dlg, "about");
            lq_gui_close_box(dlg);
        },
        &seen);
    command(5002);
    EXPECT_TRUE(seen);
}

TEST_F(AboutTest, ShowsBothIconsAndTheTargetLine) {
    bool seen = false;
    lq_gui_on_dialog([&seen](HWND dlg) {
        seen = true;
        int icons = 0;
        bool target_line = false;
        for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            LONG style = GetWindowLongA(c, GWL_STYLE);
            if (lq_gui_class(c) == "Static" && (style & SS_TYPEMASK) == SS_ICON) {
                EXPECT_TRUE(SendMessageA(c, STM_GETICON, 0, 0)) << "icon not loaded";
                ++icons;
            }
            // The doubled ampersand is stored as written and drawn as one.
            if (lq_gui_text(c) == "for Windows NT && Windows 95(BETA)") target_line = true;
        }
        EXPECT_EQ(icons, 2);
        EXPECT_TRUE(target_line);
        lq_gui_click(dlg, IDOK);
    });
    command(5002);
    EXPECT_TRUE(seen);
}

TEST_F(AlphaEntryTest, OkReturnsTheEditedText) {
    char buffer[40] = "5120";
    lq_gui_on_dialog([](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), "Enter the maximum size of the UU splitup files ?");
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
        EXPECT_EQ(lq_gui_item_text(dlg, 1108), "5120");
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, 1108));
        EXPECT_FALSE(GetWindowLongA(dlg, GWL_STYLE) & WS_SYSMENU);
        lq_gui_screenshot(dlg, "text_prompt");
        SetDlgItemTextA(dlg, 1108, "2048");
        lq_gui_click(dlg, 1106);
    });
    EXPECT_TRUE(bAskAlphaEntry("Enter the maximum size of the UU splitup files ?", buffer, 40));
    EXPECT_STREQ(buffer, "2048");
}

TEST_F(AlphaEntryTest, EnterIsOk) {
    char buffer[40] = "Page";
    lq_gui_on_dialog([](HWND dlg) {
        SetDlgItemTextA(dlg, 1108, "Heading");
        lq_gui_key(VK_RETURN);
    });
    EXPECT_TRUE(bAskAlphaEntry("Page Header ?", buffer, 40));
    EXPECT_STREQ(buffer, "Heading");
}

TEST_F(AlphaEntryTest, CancelKeepsTheBuffer) {
    char buffer[40] = "5120";
    lq_gui_on_dialog([](HWND dlg) {
        SetDlgItemTextA(dlg, 1108, "999");
        lq_gui_click(dlg, 1107);
    });
    EXPECT_FALSE(bAskAlphaEntry("Page Header ?", buffer, 40));
    EXPECT_STREQ(buffer, "5120");
}

TEST_F(AlphaEntryTest, EscDoesNotClose) {
    char buffer[40] = "abc";
    bool still_open = false;
    lq_gui_on_dialog([&still_open](HWND dlg) {
        lq_gui_key(VK_ESCAPE);
        lq_gui_again(dlg, [&still_open](HWND dlg) {
            still_open = IsWindowVisible(dlg) != 0;
            lq_gui_click(dlg, 1107);
        });
    });
    EXPECT_FALSE(bAskAlphaEntry("Page Header ?", buffer, 40));
    EXPECT_TRUE(still_open);
    EXPECT_STREQ(buffer, "abc");
}

TEST_F(AlphaEntryTest, LongAnswerIsCutToLengthLessOne) {
    char buffer[8] = "x";
    std::memset(buffer + 2, '#', sizeof buffer - 2);  // beyond the zero: untouched by a cut
    lq_gui_on_dialog([](HWND dlg) {
        SetDlgItemTextA(dlg, 1108, "0123456789");
        lq_gui_click(dlg, 1106);
    });
    EXPECT_TRUE(bAskAlphaEntry("Page Header ?", buffer, 5));
    EXPECT_STREQ(buffer, "0123");
    EXPECT_EQ(buffer[5], '#');
}

TEST_F(AlphaEntryTest, EmptyAnswerIsOk) {
    char buffer[40] = "5120";
    lq_gui_on_dialog([](HWND dlg) {
        SetDlgItemTextA(dlg, 1108, "");
        lq_gui_click(dlg, 1106);
    });
    EXPECT_TRUE(bAskAlphaEntry("Page Header ?", buffer, 40));
    EXPECT_STREQ(buffer, "");
}
