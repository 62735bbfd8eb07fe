// Editor windows as a user works with them: open, edit, save, close, wrap,
// find, and the keys through the program's own message loop.
#include <shlobj.h>

#include <cstring>
#include <deque>
#include <tuple>

#include "app/find.h"
#include "tests/app/gui_harness.h"

namespace {
using EditorTest = LqGuiTest;
using Files = std::vector<std::string>;
const std::string question = "Lockquill(TM) WARNING: bQueryCloseChild /35\n",
                  security = "Lockquill(TM) WARNING: Potential Security Loss/";
const char find_caption[] = "Lockquill(TM) ERROR: bMyFindText",
           name_title[] = "Name the text File as...";

HWND new_window(const std::string& text) {
    SendMessageA(hwndFrame, WM_COMMAND, IDM_FILE_NEW, 0);
    type_text(hwndActiveChild, text);
    return hwndActiveChild;
}
// '1' for each grayed entry, '0' for each enabled one, as the menu opens.
std::string grays(std::initializer_list<int> ids) {
    SendMessageA(hwndFrame, WM_INITMENU, WPARAM(GetMenu(hwndFrame)), 0);
    std::string s;
    for (int id : ids) s += GetMenuState(GetMenu(hwndFrame), UINT(id), 0) & MF_GRAYED ? '1' : '0';
    return s;
}
std::pair<DWORD, DWORD> selection() {
    DWORD s = 0, e = 0;
    SendMessageA(hwndActiveEdit, EM_GETSEL, WPARAM(&s), LPARAM(&e));
    return {s, e};
}
}  // namespace

// Open (Cancel first), the notice for a file open already, Save (a read-only
// file left writable), Save As, the closing question (Cancel, No, Yes).
TEST_F(EditorTest, OpenEditSaveAndClose) {
    std::string text = "first line\r\n\tsecond\r\n\xE9t\xE9 \x80\r\n";
    write_file(path("Notes.txt"), text);
    write_file(path("Notes.txt.bak"), "bak");
    set_readonly(path("Notes.txt"), true);
    lq_gui_cancel_file_dialog("Select the Text file to edit...");
    command(IDM_FILE_OPEN);
    EXPECT_TRUE(editor_windows().empty());
    file_command(IDM_FILE_OPEN, "Notes.txt", "Select the Text file to edit...");
    HWND w = hwndActiveChild;
    ASSERT_TRUE(w && hwndActiveEdit == edit_of(w));
    EXPECT_EQ(lq_gui_text(w) + edit_text(w), path("Notes.txt") + text);
    EXPECT_EQ(word(w, GWW_MODIFIED) | word(w, GWW_UNNAMED) | word(w, GWW_ENCRYPTED), 0);
    // A name that starts alike is another file; a relative name or another
    // case of this one brings this window back, with the notice.
    HWND bak = open_file(path("Notes.txt.bak"));
    EXPECT_TRUE(bak != w && hAddEditWindow("NOTES.TXT", FALSE) == w && hwndActiveChild == w);
    EXPECT_EQ(lq_gui_captions(), "Lockquill(TM) Notice: File being edited... /16\n");
    type_text(w, "new ");
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);
    command(IDM_FILE_SAVE);
    EXPECT_EQ(read_file(path("Notes.txt")), "new " + text);
    EXPECT_EQ(word(w, GWW_MODIFIED) + (pf_get_attributes(path("Notes.txt").c_str()) & 1), 0);
    EXPECT_EQ(lq_gui_captions() + list_dir(dir())[0] + list_dir(dir())[1],
              "Notes.txtNotes.txt.bak");
    file_command(IDM_FILE_SAVEAS, "b.txt", name_title);
    EXPECT_EQ(lq_gui_text(w), path("b.txt"));
    EXPECT_EQ(read_file(path("b.txt")), "new " + text);
    type_text(w, "more ");
    for (int answer : {LQ_IDCANCEL, LQ_IDNO, LQ_IDYES}) lq_answer_next(answer);
    command(IDM_FILE_CLOSE);
    EXPECT_TRUE(IsWindow(w));
    command(IDM_SECURE_CLOSE);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(lq_boxes().at(1).text,
              " " + path("b.txt").substr(0, 63) + " has been changed.  Save file before closing? ");
    type_text(bak, "saved ");
    command(IDM_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(bak) || hwndActiveChild || hwndActiveEdit);
    EXPECT_EQ(read_file(path("Notes.txt.bak")), "saved bak");
    EXPECT_EQ(lq_gui_captions(), question + question + question);
}

// What a file gives a new window: its text (unmodified), a box, or no window.
TEST_F(EditorTest, LoadCases) {
    const std::string d = dir() + "\\", refused = "Lockquill(TM) ERROR: hAddEditWindow /16\n";
    const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
        // name, content, text ("-": no window), boxes
        {"zero.txt", std::string("abc\0def", 7), "abc", "Lockquill(TM) WARNING: iLoadFile /48\n"},
        {"unreadable.txt", "ab", "-", "Lockquill(TM) ERROR: iLoadFile /16\n"},
        {std::string(255 - d.size() - 4, 'n') + ".txt", "fits", "fits", ""},
        {std::string(256 - d.size() - 4, 'n') + ".txt", "long", "-", refused},
    };
    for (auto& [name, content, text, boxes] : cases) {
        SCOPED_TRACE(name);
        write_file(path(name), content);
        if (name == "unreadable.txt") pf_fault_arm(PF_FAULT_READ, 1, PF_ERROR_READ_FAULT, true);
        HWND w = open_file(path(name));
        pf_fault_reset();
        EXPECT_EQ(w ? edit_text(w) + std::to_string(word(w, GWW_MODIFIED)) : "-",
                  text == "-" ? text : text + "0");
        if (w) SendMessageA(hwndMDIClient, WM_MDIDESTROY, WPARAM(w), 0);
        EXPECT_EQ(lq_gui_captions(), boxes);
    }
}

// A save that fails (at the write; a cancelled name dialog) keeps the window, its text and its
// modified word, and stops Close, Close All, Exit and log-off; the file stays, nothing is left
// beside it.
TEST_F(EditorTest, AWindowStaysWhenItsSaveFails) {
    write_file(path("keep.txt"), "old");
    HWND w = open_file(path("keep.txt")), untitled = new_window("draft");
    for (int closer : {IDM_FILE_CLOSE, IDM_WINDOW_CLOSEALL, IDM_FILE_EXIT, 0}) {
        for (HWND target : {w, untitled}) {
            SCOPED_TRACE(closer);
            SendMessageA(hwndMDIClient, WM_MDIACTIVATE, WPARAM(target), 0);
            BringWindowToTop(target);  // the first window Close All and Exit ask
            lq_answer_next(LQ_IDYES);
            if (target == w) type_text(w, "x"), pf_fault_arm(PF_FAULT_WRITE, 1);
            if (target == untitled) lq_gui_cancel_file_dialog(name_title);
            if (closer) command(closer);
            if (!closer) EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 0);
            pf_fault_reset();
            ASSERT_TRUE(IsWindow(target) && IsWindowVisible(hwndMDIClient));
            EXPECT_EQ(word(target, GWW_MODIFIED), 1);
            EXPECT_EQ(lq_gui_captions(),
                      question + (target == w ? "Lockquill(TM) ERROR: iSaveFile /16\n" : ""));
        }
    }
    EXPECT_EQ(read_file(path("keep.txt")) + edit_text(w) + edit_text(untitled),
              "old" + std::string(4, 'x') + "old" + "draft");
    EXPECT_EQ(list_dir(dir()), Files{"keep.txt"});
}

// An "Untitled" window asks for a name; a decrypted one whether to save it
// plain (No keeps it encrypted); Close All stops at one Cancel.
TEST_F(EditorTest, UntitledAndDecryptedWindowsAskFirst) {
    HWND w = new_window("draft");
    file_command(IDM_FILE_SAVE, "draft.txt", name_title);
    EXPECT_EQ(read_file(path("draft.txt")) + lq_gui_text(w), "draft" + path("draft.txt"));
    EXPECT_EQ(word(w, GWW_UNNAMED) + word(w, GWW_MODIFIED), 0);
    SetWindowWord(w, GWW_ENCRYPTED, 1);
    SendMessageA(edit_of(w), EM_SETSEL, 0, 0);
    type_text(w, "more ");
    for (int answer : {LQ_IDNO, LQ_IDYES, LQ_IDYES, LQ_IDYES}) lq_answer_next(answer);
    command(IDM_FILE_SAVE);
    lq_gui_cancel_file_dialog(name_title);
    command(IDM_FILE_SAVEAS);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 0);  // Yes clears it at once
    EXPECT_EQ(read_file(path("draft.txt")), "draft");
    SetWindowWord(w, GWW_ENCRYPTED, 1);
    command(IDM_FILE_CLOSE);
    EXPECT_TRUE(!IsWindow(w) && read_file(path("draft.txt")) == "more draft");
    EXPECT_EQ(lq_gui_captions(),
              security + "4115\n" + security + "4115\n" + question + security + "4116\n");
    // Close All stops at one Cancel; No to each closes them all.
    new_window("a"), new_window("");
    lq_answer_next(LQ_IDCANCEL);
    command(IDM_WINDOW_CLOSEALL);
    EXPECT_EQ(editor_windows().size(), 2u);
    for (int answer : {LQ_IDNO, LQ_IDNO}) lq_answer_next(answer);
    command(IDM_WINDOW_CLOSEALL);
    EXPECT_TRUE(editor_windows().empty());
    EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 1);
}

// The Edit menu's state and commands; wrap swaps the edit control of a
// maximized window keeping all else (short of memory: the old control).
TEST_F(EditorTest, EditCommandsMenuStateAndWrap) {
    const auto ids = {2001, 2002, 2003, 2004, 2005, 2006, 139,  2008, 3001, 3002, 3003,
                      1003, 1010, 113,  1004, 1022, 1024, 1027, 4001, 4003, 1005};
    EXPECT_EQ(grays(ids), "111111111111111111111");
    HWND w = new_window("alpha beta");
    if (OpenClipboard(hwndFrame)) EmptyClipboard(), CloseClipboard();
    EXPECT_EQ(grays(ids), "011110000110000000000");
    SendMessageA(hwndActiveEdit, EM_SETSEL, 0, 5);
    EXPECT_EQ(grays(ids), "000100000110000000000");
    command(IDM_EDIT_CUT);
    SendMessageA(hwndActiveEdit, EM_SETSEL, 5, 5);
    command(IDM_EDIT_PASTE);
    EXPECT_EQ(edit_text(w) + grays(ids), " betaalpha011010000110000000000");
    std::string text;
    while (text.size() < 70000) text += "The quick brown fox jumps over the lazy dog.\r\n";
    SetWindowTextA(hwndActiveEdit, text.c_str());
    command(IDM_EDIT_SELECTALL);
    EXPECT_EQ(selection(), std::make_pair(DWORD(0), DWORD(text.size())));
    SendMessageA(hwndMDIClient, WM_MDIMAXIMIZE, WPARAM(w), 0);
    auto looks = [&] {  // what a wrap change must keep
        return lq_gui_text(hwndFrame) + std::to_string(GetMenuItemCount(GetMenu(hwndFrame))) +
               std::to_string(IsZoomed(w) + word(w, GWW_MODIFIED)) +
               (edit_text(w) == text ? "" : "lost");
    };
    const std::string before = looks();
    for (int id : {IDM_EDIT_WORDWRAP, IDM_WINDOW_WORDWRAP}) {
        grays({});
        EXPECT_EQ((GetMenuState(GetMenu(hwndFrame), 139, 0) &
                   GetMenuState(GetMenu(hwndFrame), 2008, 0) & MF_CHECKED) != 0,
                  id == IDM_EDIT_WORDWRAP);
        HWND old = edit_of(w);
        command(id);
        EXPECT_TRUE(!IsWindow(old) && hwndActiveEdit == edit_of(w));
        LONG style = GetWindowLongA(edit_of(w), GWL_STYLE);
        EXPECT_EQ((style & (WS_HSCROLL | ES_AUTOHSCROLL)) != 0, id == IDM_EDIT_WORDWRAP);
        EXPECT_EQ(looks(), before);
    }
    HWND old = edit_of(w);
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY);
    command(IDM_EDIT_WORDWRAP);
    EXPECT_TRUE(edit_of(w) == old && word(w, GWW_WRAP) == 1);
    EXPECT_EQ(lq_gui_captions(), "Lockquill(TM) ERROR: bSetWrap /16\n");
}

TEST_F(EditorTest, DroppedAndCommandLineFiles) {
    Files files = {path("one.txt"), path("two.txt"), path("my notes.txt")};
    for (auto& f : files) write_file(f, f);
    restart(("\"" + files[2] + "\"").c_str());  // quoted, as a shell passes it
    HWND first = editor_windows().at(0);
    EXPECT_TRUE(IsIconic(first) && edit_text(first) == files[2]);
    std::string names = files[0] + '\0' + files[1] + '\0' + files[2] + '\0';
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() + 1);
    auto* d = static_cast<DROPFILES*>(GlobalLock(drop));
    d->pFiles = sizeof(DROPFILES);
    std::memcpy(d + 1, names.data(), names.size());
    GlobalUnlock(drop);
    SendMessageA(hwndFrame, WM_DROPFILES, WPARAM(drop), 0);
    EXPECT_EQ(editor_windows().size(), 3u);
    EXPECT_EQ(lq_gui_text(hwndActiveChild), files[2]);  // brought back by the notice
    EXPECT_EQ(lq_gui_captions(), "Lockquill(TM) Notice: File being edited... /16\n");
    lq_gui_pump();
    EXPECT_TRUE(lq_gui_screenshot(hwndFrame, "frame_two_editors"));
}

// Find: one row per rule of a search from a caret; then the dialog: its
// buttons enabled by typing, the string stored (lowered without regard to
// case).
TEST_F(EditorTest, FindCasesAndDialog) {
    static const std::string big = std::string(90000, '.') + "needle";
    // text, caret, searched, stored, exact, direction, found at (-1: not found)
    const std::tuple<const char*, DWORD, const char*, const char*, BOOL, int, int> cases[] = {
        {"abcabc", 0, "abc", "abc", FALSE, 1, 3},
        {"abcabc", 3, "abc", "abc", FALSE, 1, -1},  // its only candidate is 4
        {"abcabc", 6, "abc", "abc", TRUE, -1, 3},   // backwards
        {"abc ABC", 0, "ABC", "ABC", TRUE, 1, 4},
        {"xx abc AbC", 3, "ABC", "abc", FALSE, 1, 7},
        {"Caf\xC9 caf\xE9", 0, "CAF\xC9", "caf\xE9", FALSE, 1, 5},
        {"ab", 0, "ABCDEF", "ABCDEF", FALSE, 1, -1},            // no candidate: not lowered
        {big.c_str(), 0, "Needle", "needle", FALSE, 1, 90000},  // beyond 16-bit positions
    };
    HWND w = new_window("");
    for (auto [text, caret, what, stored, exact, direction, from] : cases) {
        SCOPED_TRACE(std::string(text) + " / " + what);
        SetWindowTextA(hwndActiveEdit, text);
        SendMessageA(hwndActiveEdit, EM_SETSEL, caret, caret);
        std::strcpy(szFindText, what);
        bFindCaseSensitive = exact;
        EXPECT_EQ(direction > 0 ? bFindNext() : bFindPrevious(), from >= 0);
        DWORD s = from >= 0 ? DWORD(from) : caret, e = from >= 0 ? s + DWORD(std::strlen(what)) : s;
        EXPECT_EQ(selection(), std::make_pair(s, e));
        EXPECT_EQ(szFindText + ("|" + lq_boxes_text("")),
                  stored + ("|" + (from >= 0 ? ""
                                             : find_caption + ("| Could Not find \"" +
                                                               std::string(stored) + "\" |16\n"))));
    }
    szFindText[0] = 0;
    EXPECT_FALSE(bFindNext() || bFindPrevious());  // nothing to find: no box
    std::strcpy(szFindText, "b");
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(bFindNext());
    EXPECT_EQ(lq_gui_captions(), find_caption + std::string("/16\n"));
    SetWindowTextA(hwndActiveEdit, "one Two three two");
    SendMessageA(edit_of(w), EM_SETSEL, 0, 0);
    szFindText[0] = 0;
    bFindCaseSensitive = FALSE;
    lq_gui_on_dialog([](HWND dlg) {
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
        EXPECT_FALSE(lq_gui_enabled(dlg, IDOK) || lq_gui_enabled(dlg, IDC_FIND_PREVIOUS));
        SetDlgItemTextA(dlg, IDC_FIND_TEXT, "TWO");  // EN_CHANGE enables both
        lq_gui_again(dlg, [](HWND dlg) {
            lq_gui_screenshot(dlg, "find_dialog");
            lq_gui_click(dlg, IDOK);
        });
    });
    command(IDM_EDIT_FIND);
    EXPECT_TRUE(selection() == std::make_pair(DWORD(4), DWORD(7)) &&
                !std::strcmp(szFindText, "two"));
}

// The accelerators and MDI keys through the program's own message loop: each
// step posts its keys, then the next step, which checks what they did.
namespace {
std::deque<std::function<void()>> steps;
HWND step_window;
LRESULT CALLBACK step_proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_APP || steps.empty()) return DefWindowProcA(w, msg, wp, lp);
    auto step = steps.front();
    steps.pop_front();
    step();
    PostMessageA(step_window, WM_APP, 0, 0);
    return 0;
}
void keys(UINT held, UINT vk) {
    BYTE state[256] = {};
    state[held] = 0x80;
    SetKeyboardState(state);
    PostMessageA(hwndActiveEdit, WM_KEYDOWN, vk, 1);
}
}  // namespace

TEST_F(EditorTest, KeysThroughTheMessageLoop) {
    write_file(path("a.txt"), "a");
    HWND a = open_file(path("a.txt")), b = new_window("x one y one");
    SendMessageA(edit_of(b), EM_SETSEL, 0, 0);
    std::strcpy(szFindText, "one");
    step_window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, hInst, nullptr);
    SetWindowLongPtrA(step_window, GWLP_WNDPROC, LONG_PTR(step_proc));
    // clang-format off
    steps = {[] { keys(0, VK_F3); },
             [] { EXPECT_EQ(selection(), std::make_pair(DWORD(2), DWORD(5))); keys(VK_CONTROL, VK_F6); },
             [a] { EXPECT_EQ(hwndActiveChild, a); keys(VK_CONTROL, VK_F4); },  // the next window; close it
             [a, b] { EXPECT_TRUE(!IsWindow(a) && hwndActiveChild == b);
                      SendMessageA(hwndActiveEdit, EM_SETSEL, 0, 0);
                      keys(0, VK_F4); },  // Previous: nothing before the caret
             [] { lq_answer_next(LQ_IDNO); PostMessageA(hwndFrame, WM_COMMAND, IDM_FILE_EXIT, 0); }};
    // clang-format on
    PostMessageA(step_window, WM_APP, 0, 0);
    EXPECT_EQ(lq_app_message_loop(), 0);
    SetKeyboardState(std::vector<BYTE>(256, 0).data());
    DestroyWindow(step_window);
    EXPECT_TRUE(steps.empty() && !IsWindow(b));
    EXPECT_EQ(lq_gui_captions(), find_caption + std::string("/16\n") + question);
}
