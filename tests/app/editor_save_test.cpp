// Saving editor windows, the questions before anything is lost, and the
// security questions of decrypted windows.
#include "tests/app/editor_support.h"

namespace {
using EditorSaveTest = LqGuiTest;

const char security_caption[] = "Lockquill(TM) WARNING: Potential Security Loss";
const char save_question[] =
    "The file you want to save was previously EnCrypted...\r Do you really want to save this file "
    "Without EnCryption ?";

HWND new_window(const std::string& text) {
    SendMessageA(hwndFrame, WM_COMMAND, IDM_FILE_NEW, 0);
    type_text(hwndActiveChild, text);
    return hwndActiveChild;
}

// The question quotes at most 63 characters of the title.
std::string changed_text(const std::string& title) {
    return " " + title.substr(0, 63) + " has been changed.  Save file before closing? ";
}
}  // namespace

TEST_F(EditorSaveTest, SaveWritesExactlyTheTextAndClearsModified) {
    write_file(path("doc.txt"), "old\r\n");
    HWND w = open_by_menu(path("doc.txt"));
    type_text(w, "new line\r\n\t\xE9");
    ASSERT_EQ(word(w, GWW_MODIFIED), 1);
    command(IDM_FILE_SAVE);
    EXPECT_EQ(read_file(path("doc.txt")), "new line\r\n\t\xE9old\r\n");
    EXPECT_EQ(word(w, GWW_MODIFIED), 0);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    // Nothing is left beside it.
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"doc.txt"});
}

TEST_F(EditorSaveTest, SaveOverAReadOnlyFileLeavesItWritableAndKeepsHidden) {
    write_file(path("ro.txt"), "old");
    set_readonly(path("ro.txt"), true);
    uint32_t a = pf_get_attributes(path("ro.txt").c_str());
    ASSERT_TRUE(pf_set_attributes(path("ro.txt").c_str(), a | PF_ATTR_HIDDEN));
    HWND w = open_file(path("ro.txt"));
    SetWindowTextA(edit_of(w), "replaced");
    command(IDM_FILE_SAVE);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(read_file(path("ro.txt")), "replaced");
    uint32_t after = pf_get_attributes(path("ro.txt").c_str());
    EXPECT_EQ(after & PF_ATTR_READONLY, 0u);
    EXPECT_EQ(after & PF_ATTR_HIDDEN, uint32_t(PF_ATTR_HIDDEN));
}

TEST_F(EditorSaveTest, FailedWriteLeavesTheOldFileWhole) {
    write_file(path("keep.txt"), "the old content");
    set_readonly(path("keep.txt"), true);
    HWND w = open_file(path("keep.txt"));
    SetWindowTextA(edit_of(w), "new content that never reaches the disk");
    type_text(w, "!");
    pf_fault_arm(PF_FAULT_WRITE, 1, PF_ERROR_DISK_FULL);
    EXPECT_EQ(iSaveFile(w), -1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iSaveFile ",
               " Writing to the Plain Text output file\r\n " + path("keep.txt") + " failed", 16);
    EXPECT_EQ(read_file(path("keep.txt")), "the old content");
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"keep.txt"});
    // Its attributes too: still read-only.
    EXPECT_TRUE(pf_get_attributes(path("keep.txt").c_str()) & PF_ATTR_READONLY);
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);
}

TEST_F(EditorSaveTest, FailedFlushOrReplaceLeavesTheOldFileWhole) {
    write_file(path("keep.txt"), "old");
    HWND w = open_file(path("keep.txt"));
    SetWindowTextA(edit_of(w), "new");

    pf_fault_arm(PF_FAULT_FLUSH, 1, PF_ERROR_WRITE_FAULT);
    EXPECT_EQ(iSaveFile(w), -1);
    EXPECT_EQ(read_file(path("keep.txt")), "old");

    // The new file cannot take the old one's name: the old one is put back.
    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_MOVE, 2, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(iSaveFile(w), -1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iSaveFile ",
               " Could NOT open the file\r\n " + path("keep.txt") + " for writing.", 16);
    EXPECT_EQ(read_file(path("keep.txt")), "old");
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"keep.txt"});

    EXPECT_EQ(iSaveFile(w), 0);
    EXPECT_EQ(read_file(path("keep.txt")), "new");
}

TEST_F(EditorSaveTest, UntitledSaveAsksForANameAndCancelSavesNothing) {
    HWND w = new_window("draft");
    lq_gui_cancel_file_dialog("Name the text File as...");
    EXPECT_EQ(iSaveFile(w), 1);
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);
    EXPECT_EQ(lq_gui_text(w), "Untitled");
    EXPECT_TRUE(list_dir(dir()).empty());

    lq_gui_on_dialog([](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), "Name the text File as...");
        // Owned by the editor window's top-level window: the frame.
        EXPECT_EQ(GetWindow(dlg, GW_OWNER), hwndFrame);
        lq_gui_screenshot(dlg, "save_as_dialog");
        SetWindowTextA(GetDlgItem(dlg, 0x47C), "draft.txt");
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
    });
    command(IDM_FILE_SAVE);
    EXPECT_EQ(read_file(path("draft.txt")), "draft");
    EXPECT_EQ(lq_gui_text(w), path("draft.txt"));
    EXPECT_EQ(word(w, GWW_UNNAMED), 0);
    EXPECT_EQ(word(w, GWW_MODIFIED), 0);
    EXPECT_EQ(std::string(ofnShared.lpstrFilter, 18), "Text Files (*.txt)");
    EXPECT_EQ(ofnShared.Flags, 0x8806u);
    EXPECT_EQ(ofnShared.lpstrFileTitle, nullptr);
}

TEST_F(EditorSaveTest, SaveAsRenamesTheWindowAndWrites) {
    write_file(path("a.txt"), "text");
    HWND w = open_file(path("a.txt"));
    lq_gui_choose_file(path("b.txt"), "Name the text File as...");
    command(IDM_FILE_SAVEAS);
    EXPECT_EQ(lq_gui_text(w), path("b.txt"));
    EXPECT_EQ(read_file(path("b.txt")), "text");
    EXPECT_EQ(read_file(path("a.txt")), "text");
}

TEST_F(EditorSaveTest, CloseQuestionYesNoCancel) {
    write_file(path("c.txt"), "c");
    HWND w = open_file(path("c.txt"));
    type_text(w, "changed ");

    lq_answer_next(LQ_IDCANCEL);
    command(IDM_FILE_CLOSE);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_BOX(0, "Lockquill(TM) WARNING: bQueryCloseChild ", changed_text(path("c.txt")), 35);

    lq_answer_next(LQ_IDNO);
    command(IDM_SECURE_CLOSE);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(read_file(path("c.txt")), "c");
    EXPECT_EQ(hwndActiveChild, nullptr);
    EXPECT_EQ(hwndActiveEdit, nullptr);

    w = open_file(path("c.txt"));
    type_text(w, "saved ");
    lq_answer_next(LQ_IDYES);
    command(IDM_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(read_file(path("c.txt")), "saved c");
}

TEST_F(EditorSaveTest, CloseQuestionCutsALongTitle) {
    std::string name = path(std::string(70, 'n') + ".txt");
    write_file(name, "x");
    HWND w = open_file(name);
    type_text(w, "y");
    lq_answer_next(LQ_IDCANCEL);
    command(IDM_FILE_CLOSE);
    EXPECT_BOX(0, "Lockquill(TM) WARNING: bQueryCloseChild ", changed_text(name), 35);
}

TEST_F(EditorSaveTest, ClosingAModifiedUntitledWindowAsksForANameAndClosesAnyway) {
    HWND w = new_window("scratch");
    lq_answer_next(LQ_IDYES);
    lq_gui_cancel_file_dialog("Name the text File as...");
    command(IDM_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_TRUE(list_dir(dir()).empty());
}

TEST_F(EditorSaveTest, CloseAllCancelKeepsEveryWindow) {
    write_file(path("1.txt"), "1");
    write_file(path("2.txt"), "2");
    open_file(path("1.txt"));
    HWND modified = open_file(path("2.txt"));
    type_text(modified, "changed");
    new_window("");
    ASSERT_EQ(editor_windows().size(), 3u);

    lq_answer_next(LQ_IDCANCEL);
    command(IDM_WINDOW_CLOSEALL);
    EXPECT_EQ(editor_windows().size(), 3u);
    EXPECT_TRUE(IsWindowVisible(hwndMDIClient));

    lq_answer_next(LQ_IDNO);
    command(IDM_WINDOW_CLOSEALL);
    EXPECT_TRUE(editor_windows().empty());
    EXPECT_TRUE(IsWindowVisible(hwndMDIClient));
    EXPECT_EQ(read_file(path("2.txt")), "2");
    EXPECT_EQ(hwndActiveChild, nullptr);
    EXPECT_EQ(lq_boxes().size(), 2u) << "each window is asked once";
}

TEST_F(EditorSaveTest, ExitAndLogOffAskFirst) {
    HWND w = new_window("unsaved");
    lq_answer_next(LQ_IDCANCEL);
    command(IDM_FILE_EXIT);
    EXPECT_TRUE(IsWindow(hwndFrame));
    EXPECT_TRUE(IsWindow(w));

    lq_answer_next(LQ_IDCANCEL);
    EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 0);
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(SendMessageA(hwndFrame, WM_QUERYENDSESSION, 0, 0), 1);
    EXPECT_EQ(lq_boxes().size(), 3u);
}

TEST_F(EditorSaveTest, DecryptedWindowSaveAsksTheSecurityQuestion) {
    write_file(path("s.txt"), "secret");
    HWND w = open_file(path("s.txt"));
    SetWindowWord(w, GWW_ENCRYPTED, 1);  // as after loading an encrypted file
    type_text(w, "more ");

    lq_answer_next(LQ_IDNO);
    command(IDM_FILE_SAVE);
    EXPECT_BOX(0, security_caption, save_question, 0x1013);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 1);
    EXPECT_EQ(read_file(path("s.txt")), "secret");

    lq_answer_next(LQ_IDCANCEL);
    command(IDM_FILE_SAVEAS);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 1);
    EXPECT_EQ(lq_boxes().size(), 2u);

    // Yes clears the word at once, even when the name dialog is cancelled.
    lq_answer_next(LQ_IDYES);
    lq_gui_cancel_file_dialog("Name the text File as...");
    command(IDM_FILE_SAVEAS);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 0);
    EXPECT_EQ(read_file(path("s.txt")), "secret");

    SetWindowWord(w, GWW_ENCRYPTED, 1);
    lq_answer_next(LQ_IDYES);
    command(IDM_FILE_SAVE);
    EXPECT_EQ(read_file(path("s.txt")), "more secret");
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 0);
}

TEST_F(EditorSaveTest, ClosingADecryptedWindowAsksWhetherToDropEncryption) {
    write_file(path("d.txt"), "data");
    HWND w = open_file(path("d.txt"));
    SetWindowWord(w, GWW_ENCRYPTED, 1);
    type_text(w, "plain ");
    lq_answer_next(LQ_IDYES);  // save before closing
    lq_answer_next(LQ_IDYES);  // without encryption
    command(IDM_FILE_CLOSE);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_BOX(1, security_caption,
               "The file you are about to save was previously EnCrypted...Do you want to save "
               "this file without using EnCryption ?",
               0x1014);
    EXPECT_EQ(read_file(path("d.txt")), "plain data");
}

TEST_F(EditorSaveTest, QuestionBoxScreenshot) {
    HWND w = new_window("a changed text");
    lq_gui_use_real_message_boxes();
    lq_gui_answer_real_box(IDCANCEL, "question_box");
    command(IDM_FILE_CLOSE);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_BOX(0, "Lockquill(TM) WARNING: bQueryCloseChild ", changed_text("Untitled"), 35);
}

TEST_F(EditorSaveTest, SecureSaveSavesNothingWhileTextCannotBeEncrypted) {
    if (lq_encrypted_text_save) GTEST_SKIP() << "encrypted text is saved by the secure editor";
    write_file(path("e.txt"), "old");
    HWND w = open_file(path("e.txt"));
    type_text(w, "new ");
    command(IDM_SECURE_SAVE);
    EXPECT_EQ(word(w, GWW_ENCRYPTED), 1);
    EXPECT_EQ(word(w, GWW_MODIFIED), 1);
    EXPECT_EQ(read_file(path("e.txt")), "old");
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iSaveFile ",
               " The file " + path("e.txt") +
                   " is to be saved as encrypted text; this build cannot encrypt editor text.  "
                   "Nothing was saved.",
               16);
}
