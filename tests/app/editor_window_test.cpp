// Editor windows: creation, opening, the already-open check, dropped files,
// the command-line file, word wrap, the Edit menu and the window commands.
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "app/find.h"
#include "crypt/veil_stats.h"
#include "tests/app/editor_support.h"

namespace {
using EditorWindowTest = LqGuiTest;

HGLOBAL make_drop(const std::vector<std::string>& files) {
    size_t size = sizeof(DROPFILES) + 1;
    for (auto& f : files) size += f.size() + 1;
    HGLOBAL h = GlobalAlloc(GHND, size);
    auto* d = static_cast<DROPFILES*>(GlobalLock(h));
    d->pFiles = sizeof(DROPFILES);
    d->fWide = FALSE;
    char* p = reinterpret_cast<char*>(d) + sizeof(DROPFILES);
    for (auto& f : files) {
        std::memcpy(p, f.c_str(), f.size() + 1);
        p += f.size() + 1;
    }
    GlobalUnlock(h);
    return h;
}

// The titles of the Window menu's list of editor windows, in its order.
std::vector<std::string> window_list() {
    std::vector<std::string> titles;
    HMENU bar = GetMenu(hwndFrame);
    for (int i = 0; i < GetMenuItemCount(bar); ++i) {
        HMENU sub = GetSubMenu(bar, i);
        if (!sub || GetMenuItemID(sub, 0) != IDM_WINDOW_TILEVERT) continue;
        for (int k = 0; k < GetMenuItemCount(sub); ++k) {
            UINT id = GetMenuItemID(sub, k);
            if (id < ID_FIRSTCHILD || id > ID_FIRSTCHILD + 100) continue;
            char buf[300] = "";
            GetMenuStringA(sub, UINT(k), buf, sizeof buf, MF_BYPOSITION);
            titles.push_back(std::string(buf).substr(3));  // after "&1 "
        }
    }
    return titles;
}

bool grayed(int id) { return GetMenuState(GetMenu(hwndFrame), UINT(id), MF_BYCOMMAND) & MF_GRAYED; }
bool checked(int id) {
    return GetMenuState(GetMenu(hwndFrame), UINT(id), MF_BYCOMMAND) & MF_CHECKED;
}
void init_menu() { SendMessageA(hwndFrame, WM_INITMENU, WPARAM(GetMenu(hwndFrame)), 0); }
}  // namespace

TEST_F(EditorWindowTest, NewMakesAnEmptyUntitledWindow) {
    command(IDM_FILE_NEW);
    HWND w = hwndActiveChild;
    ASSERT_TRUE(w);
    EXPECT_EQ(lq_gui_class(w), "lqdwchild");
    EXPECT_EQ(lq_gui_text(w), "Untitled");
    EXPECT_FALSE(IsIconic(w));
    EXPECT_EQ(word(w, GWW_MODIFIED), 0);
    EXPECT_EQ(word(w, GWW_WRAP), 1);
    EXPECT_EQ(word(w, GWW_UNNAMED), 1);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 0);

    HWND edit = edit_of(w);
    EXPECT_EQ(hwndActiveEdit, edit);
    EXPECT_EQ(lq_gui_class(edit), "Edit");
    EXPECT_EQ(GetDlgCtrlID(edit), 3244);
    LONG style = GetWindowLongA(edit, GWL_STYLE);
    EXPECT_EQ(style & (WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL),
              LONG(WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL));
    EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL), 0);
    EXPECT_GE(uint32_t(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0)), 0x7FFFFFFEu);
    // The control fills the window's client area.
    RECT c, e;
    GetClientRect(w, &c);
    GetWindowRect(edit, &e);
    EXPECT_EQ(e.right - e.left, c.right);
    EXPECT_EQ(e.bottom - e.top, c.bottom);

    type_text(w, "hello");
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);

    command(IDM_SECURE_NEW);
    EXPECT_NE(hwndActiveChild, w);
    EXPECT_EQ(lq_gui_text(hwndActiveChild), "Untitled");
    EXPECT_EQ(word(hwndActiveChild, GWW_ENCRYPTED), 1);
}

TEST_F(EditorWindowTest, OpenLoadsTheFileExactly) {
    std::string text = "first line\r\n\tsecond line\r\n\xE9t\xE9 \x80 caf\xE9\r\n";
    write_file(path("notes.txt"), text);
    HWND w = open_by_menu(path("notes.txt"));
    ASSERT_TRUE(w);
    EXPECT_EQ(lq_gui_text(w), path("notes.txt"));
    EXPECT_EQ(edit_text(w), text);
    EXPECT_EQ(word(w, GWW_MODIFIED), 0);
    EXPECT_EQ(word(w, GWW_UNNAMED), 0);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 0);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(std::string(ofnShared.lpstrFilter, 39),
              std::string("Text Files (*.txt)\0*.txt\0All Visible (*.*)\0*.*\0", 39).substr(0, 39));
    // The open dialog left the current directory at the file's folder.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_EQ(full_path(cwd), dir());
}

TEST_F(EditorWindowTest, CancelledOpenDoesNothing) {
    lq_gui_cancel_file_dialog("Select the Text file to edit...");
    command(IDM_FILE_OPEN);
    EXPECT_TRUE(editor_windows().empty());
}

TEST_F(EditorWindowTest, AlreadyOpenFileIsBroughtToTheTopWithTheNotice) {
    write_file(path("Report.txt"), "a");
    write_file(path("other.txt"), "b");
    HWND first = open_by_menu(path("Report.txt"));
    HWND second = open_by_menu(path("other.txt"));
    ASSERT_NE(first, second);
    EXPECT_EQ(hwndActiveChild, second);

    // The same file under another case of its name: the same window.
    std::string upper = path("REPORT.TXT");
    EXPECT_EQ(hAddEditWindow(upper.c_str(), FALSE), first);
    EXPECT_EQ(editor_windows().size(), 2u);
    EXPECT_EQ(hwndActiveChild, first);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_BOX(0, "Lockquill(TM) Notice: File being edited... ",
               " This operation/proceedure is not allowed  because the file is already open for "
               "editing.",
               16);
}

TEST_F(EditorWindowTest, ANameThatOnlyStartsLikeAnOpenFileIsAnotherFile) {
    // A window whose title is the leading part of another path does not
    // match it, nor the reverse.
    write_file(path("a.txt"), "short");
    write_file(path("a.txt.bak"), "longer");
    HWND a = open_file(path("a.txt"));
    HWND bak = open_file(path("a.txt.bak"));
    EXPECT_NE(a, bak);
    EXPECT_EQ(edit_text(bak), "longer");
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(hFindOpenWindow(path("a.tx").c_str()), nullptr);
    EXPECT_EQ(hFindOpenWindow(path("a.txt.ba").c_str()), nullptr);
    EXPECT_EQ(editor_windows().size(), 2u);
}

TEST_F(EditorWindowTest, RelativeNameIsOpenedUnderItsFullPath) {
    write_file(path("rel.txt"), "r");
    HWND w = hAddEditWindow("rel.txt", FALSE);
    ASSERT_TRUE(w);
    EXPECT_EQ(lq_gui_text(w), path("rel.txt"));
    // Found again from elsewhere by its full path.
    EXPECT_EQ(hAddEditWindow(path("rel.txt").c_str(), FALSE), w);
}

TEST_F(EditorWindowTest, FileWithAZeroByteLoadsUpToItWithTheWarning) {
    write_file(path("bin.txt"), std::string("abc\0def", 7));
    HWND w = open_file(path("bin.txt"));
    ASSERT_TRUE(w);
    EXPECT_EQ(edit_text(w), "abc");
    EXPECT_EQ(word(w, GWW_MODIFIED), 0);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_BOX(0, "Lockquill(TM) WARNING: iLoadFile ",
               " The size of the file is different than the amount of text copied to this editor "
               "window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
               "CHARACTERS!",
               48);
}

TEST_F(EditorWindowTest, EmptyAndTinyFilesOpenWithoutAWord) {
    write_file(path("empty.txt"), "");
    write_file(path("one.txt"), "x");
    HWND e = open_file(path("empty.txt"));
    ASSERT_TRUE(e);
    EXPECT_EQ(edit_text(e), "");
    EXPECT_EQ(word(e, GWW_MODIFIED), 0);
    HWND one = open_file(path("one.txt"));
    ASSERT_TRUE(one);
    EXPECT_EQ(edit_text(one), "x");
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(EditorWindowTest, MissingFileMakesNoWindow) {
    EXPECT_EQ(hAddEditWindow(path("gone.txt").c_str(), FALSE), nullptr);
    EXPECT_TRUE(editor_windows().empty());
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: lGetFileSize");
}

TEST_F(EditorWindowTest, UnreadableFileIsReportedAndTheWindowDestroyed) {
    write_file(path("locked.txt"), "abc");
    pf_fault_arm(PF_FAULT_READ, 1, PF_ERROR_READ_FAULT, true);
    EXPECT_EQ(hAddEditWindow(path("locked.txt").c_str(), FALSE), nullptr);
    EXPECT_TRUE(editor_windows().empty());
    ASSERT_FALSE(lq_boxes().empty());
    EXPECT_BOX(lq_boxes().size() - 1, "Lockquill(TM) ERROR: iLoadFile ",
               " Global read file into allocated memory buffer failed.", 16);
}

TEST_F(EditorWindowTest, DroppedFilesOpenInDropOrder) {
    std::vector<std::string> files = {path("one.txt"), path("two.txt"), path("three.txt")};
    for (auto& f : files) write_file(f, f);
    SendMessageA(hwndFrame, WM_DROPFILES, WPARAM(make_drop(files)), 0);
    EXPECT_EQ(window_list(), files);
    EXPECT_EQ(lq_gui_text(hwndActiveChild), files[2]);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();

    // Dropping an open file again brings its window to the top.
    SendMessageA(hwndFrame, WM_DROPFILES, WPARAM(make_drop({files[0]})), 0);
    EXPECT_EQ(editor_windows().size(), 3u);
    EXPECT_EQ(lq_gui_text(hwndActiveChild), files[0]);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) Notice: File being edited... ");
}

TEST_F(EditorWindowTest, CommandLineFileOpensMinimizedAndWhole) {
    std::string name = path("my notes.txt");
    write_file(name, "from the command line");
    restart(name.c_str());
    auto wins = editor_windows();
    ASSERT_EQ(wins.size(), 1u);
    EXPECT_EQ(lq_gui_text(wins[0]), name);
    EXPECT_TRUE(IsIconic(wins[0]));
    EXPECT_EQ(edit_text(wins[0]), "from the command line");
    EXPECT_EQ(dwNewChildStyle, 0u);
    // Later windows are normal.
    command(IDM_FILE_NEW);
    EXPECT_FALSE(IsIconic(hwndActiveChild));

    // The same name in quotes, as a shell passes a name with blanks.
    restart(("\"" + name + "\"").c_str());
    wins = editor_windows();
    ASSERT_EQ(wins.size(), 1u);
    EXPECT_EQ(lq_gui_text(wins[0]), name);
}

TEST_F(EditorWindowTest, WordWrapTwiceKeepsLongTextAndTheModifiedWord) {
    std::string text;
    while (text.size() < 70000) text += "The quick brown fox jumps over the lazy dog.\r\n";
    text += "end";
    write_file(path("long.txt"), text);
    HWND w = open_file(path("long.txt"));
    ASSERT_TRUE(w);
    HWND first_edit = edit_of(w);

    init_menu();
    EXPECT_TRUE(checked(139));
    EXPECT_TRUE(checked(2008));

    command(IDM_EDIT_WORDWRAP);
    EXPECT_EQ(word(w, GWW_WRAP), 0);
    HWND unwrapped = edit_of(w);
    EXPECT_NE(unwrapped, first_edit);
    EXPECT_FALSE(IsWindow(first_edit));
    EXPECT_EQ(hwndActiveEdit, unwrapped);
    EXPECT_TRUE(IsWindowVisible(unwrapped));
    EXPECT_EQ(GetDlgCtrlID(unwrapped), 3244);
    LONG style = GetWindowLongA(unwrapped, GWL_STYLE);
    EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL), LONG(WS_HSCROLL | ES_AUTOHSCROLL));
    EXPECT_EQ(edit_text(w), text);
    EXPECT_EQ(word(w, GWW_MODIFIED), 0);
    init_menu();
    EXPECT_FALSE(checked(139));
    EXPECT_FALSE(checked(2008));

    type_text(w, "x");
    ASSERT_EQ(word(w, GWW_MODIFIED), 1);
    command(IDM_WINDOW_WORDWRAP);
    EXPECT_EQ(word(w, GWW_WRAP), 1);
    style = GetWindowLongA(edit_of(w), GWL_STYLE);
    EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL), 0);
    EXPECT_EQ(edit_text(w), "x" + text);
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(EditorWindowTest, WrapWithoutMemoryKeepsTheOldControl) {
    command(IDM_FILE_NEW);
    HWND w = hwndActiveChild;
    type_text(w, "keep me");
    HWND old = edit_of(w);
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY);
    command(IDM_EDIT_WORDWRAP);
    EXPECT_EQ(edit_of(w), old);
    EXPECT_EQ(word(w, GWW_WRAP), 1);
    EXPECT_EQ(edit_text(w), "keep me");
    EXPECT_BOX(0, "Lockquill(TM) ERROR: bSetWrap ", " Global wrap memory buffer allocation failed.",
               16);
}

TEST_F(EditorWindowTest, SelectAllSelectsTheWholeLongText) {
    command(IDM_FILE_NEW);
    std::string text;
    while (text.size() < 70000) text += std::string(48, 'a') + "\r\n";
    SetWindowTextA(hwndActiveEdit, text.c_str());
    command(IDM_EDIT_SELECTALL);
    DWORD start = 1, end = 0;
    SendMessageA(hwndActiveEdit, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, DWORD(text.size()));
}

TEST_F(EditorWindowTest, EditCommandsAndTheirMenuState) {
    command(IDM_FILE_NEW);
    HWND w = hwndActiveChild;
    type_text(w, "alpha beta");
    init_menu();
    EXPECT_FALSE(grayed(IDM_EDIT_UNDO));  // typing can be undone
    EXPECT_TRUE(grayed(IDM_EDIT_CUT));    // no selection
    EXPECT_TRUE(grayed(IDM_EDIT_COPY));
    EXPECT_TRUE(grayed(IDM_EDIT_DELETE));
    EXPECT_FALSE(grayed(IDM_EDIT_SELECTALL));
    EXPECT_FALSE(grayed(IDM_EDIT_FIND));
    EXPECT_TRUE(grayed(IDM_EDIT_FINDNEXT));  // no search text yet
    EXPECT_TRUE(grayed(IDM_EDIT_FINDPREV));
    for (int id : {1003, 1010, 113, 1004, 1022, 1027, 1024, 4001, 4005, 4002, 4004, 4003, 1005})
        EXPECT_FALSE(grayed(id)) << id;

    SendMessageA(hwndActiveEdit, EM_SETSEL, 0, 5);  // "alpha"
    init_menu();
    EXPECT_FALSE(grayed(IDM_EDIT_CUT));
    EXPECT_FALSE(grayed(IDM_EDIT_COPY));
    EXPECT_FALSE(grayed(IDM_EDIT_DELETE));

    command(IDM_EDIT_CUT);
    EXPECT_EQ(edit_text(w), " beta");
    init_menu();
    EXPECT_FALSE(grayed(IDM_EDIT_PASTE));
    SendMessageA(hwndActiveEdit, EM_SETSEL, 5, 5);
    command(IDM_EDIT_PASTE);
    EXPECT_EQ(edit_text(w), " betaalpha");

    SendMessageA(hwndActiveEdit, EM_SETSEL, 0, 1);
    command(IDM_EDIT_COPY);
    command(IDM_EDIT_DELETE);
    EXPECT_EQ(edit_text(w), "betaalpha");
    command(IDM_EDIT_UNDO);  // the deletion cannot be undone
    EXPECT_EQ(edit_text(w), "betaalpha");

    std::strcpy(szFindText, "beta");
    init_menu();
    EXPECT_FALSE(grayed(IDM_EDIT_FINDNEXT));
    EXPECT_FALSE(grayed(IDM_EDIT_FINDPREV));
}

TEST_F(EditorWindowTest, WindowCommandsArrangeAndTheListActivates) {
    write_file(path("left.txt"), "left");
    write_file(path("right.txt"), "right");
    HWND a = open_file(path("left.txt"));
    HWND b = open_file(path("right.txt"));
    auto rect = [](HWND w) {
        RECT r;
        GetWindowRect(w, &r);
        return r;
    };
    command(IDM_WINDOW_TILEVERT);
    RECT ra = rect(a), rb = rect(b);
    EXPECT_TRUE(ra.right <= rb.left || rb.right <= ra.left) << "side by side";
    command(IDM_WINDOW_TILEHORZ);
    ra = rect(a), rb = rect(b);
    EXPECT_TRUE(ra.bottom <= rb.top || rb.bottom <= ra.top) << "one above the other";
    command(IDM_WINDOW_CASCADE);
    ra = rect(a), rb = rect(b);
    EXPECT_NE(ra.left, rb.left);
    command(IDM_WINDOW_ARRANGE);

    EXPECT_EQ(hwndActiveChild, b);
    command(ID_FIRSTCHILD);  // the first listed window
    EXPECT_EQ(hwndActiveChild, a);
    EXPECT_EQ(hwndActiveEdit, edit_of(a));
}

TEST_F(EditorWindowTest, Screenshot) {
    write_file(path("letter.txt"),
               "Dear Margaret,\r\n\r\nThe ledger is in the usual drawer; the key is with "
               "the\r\nnotary.  Please keep this note to yourself.\r\n\r\n"
               "\tYours,\r\n\tThomas\r\n");
    write_file(path("todo.txt"),
               "1. Renew the lease\r\n2. Send the quarterly figures\r\n3. Change the safe "
               "combination\r\n");
    open_file(path("letter.txt"));
    open_file(path("todo.txt"));
    MoveWindow(hwndFrame, 0, 0, 900, 600, TRUE);
    command(IDM_WINDOW_TILEVERT);
    SendMessageA(hwndActiveEdit, EM_SETSEL, 3, 20);
    lq_gui_pump();
    EXPECT_TRUE(lq_gui_screenshot(hwndFrame, "frame_two_editors"));
}

TEST_F(EditorWindowTest, EncryptedFileIsRefusedWhileEncryptedTextCannotBeOpened) {
    if (lq_encrypted_text_load) GTEST_SKIP() << "encrypted text is opened by the secure editor";
    VeilStats record = {};
    iDefaultVeilStats(&record);
    record.datalength = 5;
    record.riddlelength = 2;
    uint8_t packed[VEIL_STATS_SIZE];
    lq_veil_stats_pack(&record, packed);
    std::string name = path("secret.ent");
    write_file(name, std::string("abcdeR\0", 7) +
                         std::string(reinterpret_cast<char*>(packed), VEIL_STATS_SIZE));
    lq_gui_choose_file(name, "Select the Encrypted text file to edit...");
    command(IDM_SECURE_OPEN);
    EXPECT_TRUE(editor_windows().empty());
    EXPECT_BOX(
        0, "Lockquill(TM) ERROR: iLoadFile ",
        " The file " + name + " is an encrypted text file; this build cannot open encrypted text.",
        16);
}

TEST_F(EditorWindowTest, SecureOpenOfAPlainFileGivesAPlainWindow) {
    write_file(path("plain.txt"), "plain");
    lq_gui_choose_file(path("plain.txt"), "Select the Encrypted text file to edit...");
    command(IDM_SECURE_OPEN);
    ASSERT_TRUE(hwndActiveChild);
    EXPECT_EQ(word(hwndActiveChild, GWW_ENCRYPTED), 0);
    EXPECT_EQ(edit_text(hwndActiveChild), "plain");
}
