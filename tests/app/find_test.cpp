// Find: the search rule, case folding, the dialog and the keys.
#include <cstring>

#include "app/find.h"
#include "tests/app/editor_support.h"

namespace {
const char caption[] = "Lockquill(TM) ERROR: bMyFindText";

struct FindTest : LqGuiTest {
    void SetUp() override {
        LqGuiTest::SetUp();
        command(IDM_FILE_NEW);
    }
    void text(const std::string& t) { SetWindowTextA(hwndActiveEdit, t.c_str()); }
    void caret(DWORD p) { SendMessageA(hwndActiveEdit, EM_SETSEL, p, p); }
    std::pair<DWORD, DWORD> selection() {
        DWORD s = 0, e = 0;
        SendMessageA(hwndActiveEdit, EM_GETSEL, WPARAM(&s), LPARAM(&e));
        return {s, e};
    }
    void search(const char* what, BOOL case_sensitive) {
        std::strcpy(szFindText, what);
        bFindCaseSensitive = case_sensitive;
    }
};
using Sel = std::pair<DWORD, DWORD>;
}  // namespace

TEST_F(FindTest, ForwardSkipsTheOccurrenceAtTheCaret) {
    text("abcabc");
    caret(0);
    search("abc", FALSE);
    EXPECT_TRUE(bFindNext());
    EXPECT_EQ(selection(), Sel(3, 6));
    EXPECT_TRUE(lq_boxes().empty());
    // Its only candidate now is 4.
    EXPECT_FALSE(bFindNext());
    EXPECT_BOX(0, caption, " Could Not find \"abc\" ", 16);
    EXPECT_EQ(selection(), Sel(3, 6));
}

TEST_F(FindTest, BackwardFromTheEnd) {
    text("abcabc");
    caret(6);
    search("abc", TRUE);
    EXPECT_TRUE(bFindPrevious());
    EXPECT_EQ(selection(), Sel(3, 6));
    EXPECT_TRUE(bFindPrevious());
    EXPECT_EQ(selection(), Sel(0, 3));
    EXPECT_FALSE(bFindPrevious());
    EXPECT_EQ(lq_boxes().size(), 1u);
}

TEST_F(FindTest, WithoutCaseTheSearchStringIsLowered) {
    text("xx abc AbC");
    caret(0);
    search("ABC", FALSE);
    EXPECT_TRUE(bFindNext());
    EXPECT_EQ(selection(), Sel(3, 6));
    EXPECT_STREQ(szFindText, "abc");
    EXPECT_TRUE(bFindNext());
    EXPECT_EQ(selection(), Sel(7, 10));
    EXPECT_FALSE(bFindNext());
    EXPECT_BOX(0, caption, " Could Not find \"abc\" ", 16);
}

TEST_F(FindTest, AccentedLettersFoldByTheCodePage) {
    text("Caf\xC9 caf\xE9");
    caret(0);
    search("CAF\xC9", FALSE);
    EXPECT_TRUE(bFindNext());
    EXPECT_EQ(selection(), Sel(5, 9));
}

TEST_F(FindTest, CaseSensitiveNeedsExactBytes) {
    text("abc ABC");
    caret(0);
    search("ABC", TRUE);
    EXPECT_TRUE(bFindNext());
    EXPECT_EQ(selection(), Sel(4, 7));
    caret(0);
    search("Abc", TRUE);
    EXPECT_FALSE(bFindNext());
    EXPECT_STREQ(szFindText, "Abc");
}

TEST_F(FindTest, LongerThanTheTextOrEmptyString) {
    text("ab");
    caret(0);
    search("abcdef", TRUE);
    EXPECT_FALSE(bFindNext());
    EXPECT_EQ(lq_boxes().size(), 1u);
    search("", TRUE);
    EXPECT_FALSE(bFindNext());
    EXPECT_FALSE(bFindPrevious());
    EXPECT_EQ(lq_boxes().size(), 1u) << "an empty search string says nothing";
}

TEST_F(FindTest, FindsBeyondTheFirst64K) {
    std::string t;
    while (t.size() < 100000) t += std::string(48, '.') + "\r\n";
    t.replace(90000, 6, "needle");
    text(t);
    caret(0);
    search("needle", FALSE);
    EXPECT_TRUE(bFindNext());
    EXPECT_EQ(selection(), Sel(90000, 90006));
    caret(99999);
    EXPECT_TRUE(bFindPrevious());
    EXPECT_EQ(selection(), Sel(90000, 90006));
}

TEST_F(FindTest, NoMemoryForTheCopy) {
    text("abc");
    search("b", TRUE);
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(bFindNext());
    EXPECT_BOX(0, caption, " Global search memory buffer allocation failed.", 16);
}

TEST_F(FindTest, DialogSearchesAndKeepsItsSettings) {
    text("one Two three two");
    caret(0);
    lq_gui_on_dialog([](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), "Find");
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dlg, 402)));
        EXPECT_EQ(lq_gui_item_text(dlg, 100), "&Find:");
        EXPECT_EQ(lq_gui_item_text(dlg, 403), "&Case Sensitive");
        EXPECT_EQ(lq_gui_item_text(dlg, IDOK), "&Next");
        EXPECT_EQ(lq_gui_item_text(dlg, 402), "&Previous");
        EXPECT_EQ(lq_gui_item_text(dlg, IDCANCEL), "C&ancel");
        SetDlgItemTextA(dlg, 401, "TWO");  // EN_CHANGE enables both
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, 402)));
        lq_gui_again(dlg, [](HWND dlg) {  // once the dialog has drawn the text
            lq_gui_screenshot(dlg, "find_dialog");
            lq_gui_click(dlg, IDOK);
        });
    });
    command(IDM_EDIT_FIND);
    EXPECT_EQ(selection(), Sel(4, 7));
    EXPECT_STREQ(szFindText, "two");
    EXPECT_FALSE(bFindCaseSensitive);

    // F3 repeats it.
    MSG msg = {};
    msg.hwnd = hwndActiveEdit;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_F3;
    msg.lParam = 1;
    EXPECT_TRUE(TranslateAcceleratorA(hwndFrame, hAccel, &msg));
    EXPECT_EQ(selection(), Sel(14, 17));
    msg.wParam = VK_F4;  // F4 goes back
    EXPECT_TRUE(TranslateAcceleratorA(hwndFrame, hAccel, &msg));
    EXPECT_EQ(selection(), Sel(4, 7));

    // The dialog shows the stored (lowered) string; the check box is turned
    // on and the search goes backward, case-sensitive.
    caret(17);
    lq_gui_on_dialog([](HWND dlg) {
        EXPECT_EQ(lq_gui_item_text(dlg, 401), "two");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDOK)));
        EXPECT_EQ(IsDlgButtonChecked(dlg, 403), UINT(BST_UNCHECKED));
        lq_gui_click(dlg, 403);
        lq_gui_again(dlg, [](HWND dlg) {
            EXPECT_EQ(IsDlgButtonChecked(dlg, 403), UINT(BST_CHECKED));
            SetDlgItemTextA(dlg, 401, "Two");
            lq_gui_click(dlg, 402);
        });
    });
    command(IDM_EDIT_FIND);
    EXPECT_EQ(selection(), Sel(4, 7));
    EXPECT_STREQ(szFindText, "Two");
    EXPECT_TRUE(bFindCaseSensitive);
}

TEST_F(FindTest, CancelKeepsTheStringAndOption) {
    text("abc");
    search("abc", TRUE);
    lq_gui_on_dialog([](HWND dlg) {
        EXPECT_EQ(IsDlgButtonChecked(dlg, 403), UINT(BST_CHECKED));
        SetDlgItemTextA(dlg, 401, "typed but cancelled");
        lq_gui_click(dlg, 403);
        lq_gui_again(dlg, [](HWND dlg) { lq_gui_click(dlg, IDCANCEL); });
    });
    command(IDM_EDIT_FIND);
    EXPECT_STREQ(szFindText, "abc");
    EXPECT_TRUE(bFindCaseSensitive);
    EXPECT_TRUE(lq_boxes().empty());
}
