// The Compression and UU EnCoding menus driven as a user would: the open
// dialog and the size prompt, the files left, the boxes shown, Cancel.  (The
// operations' own refusals are the native suites'.)
#include "compress/compress_file.h"
#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

namespace {
using FileCommandTest = LqGuiTest;

TEST_F(FileCommandTest, CompressThenExpandEachWay) {
    std::string original;
    for (int i = 0; original.size() < 40000; ++i)
        original += "Line " + std::to_string(i) + ": a letter that stays private.\r\n";
    for (int id : {IDM_COMPRESS_MAX, IDM_COMPRESS_FAST}) {
        write_file(path("letter.txt"), original);
        file_command(id, "letter.txt", "Select the file to Compress...");
        EXPECT_EQ(cs_data.algorithm, id == IDM_COMPRESS_MAX ? 1 : 2);
        EXPECT_EQ(lq_gui_captions(), "Lockquill(TM) Message: iCompressFile /48\n");
        file_command(IDM_COMPRESS_EXPAND, "letter.txt", "Select the file to Expand...");
        EXPECT_TRUE(read_file(path("letter.txt")) == original);
        EXPECT_EQ(lq_gui_captions() + list_dir(dir()).at(0), "letter.txt");
    }
}

// Answers the size prompt (focus in its text, the proposal shown): types
// text and leaves by OK (how 0) or Enter (1); or presses Esc, which it
// ignores, then Cancel (2).
void answer_size_prompt(const char* text, int how) {
    lq_gui_on_dialog([text, how](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg) + "|" + lq_gui_item_text(dlg, IDC_ALPHA_TEXT),
                  "Enter the maximum size of the UU splitup files ?|5120");
        EXPECT_EQ(GetFocus(), GetDlgItem(dlg, IDC_ALPHA_TEXT));
        SetDlgItemTextA(dlg, IDC_ALPHA_TEXT, text);
        if (how == 1) lq_gui_screenshot(dlg, "text_prompt");
        if (how < 2) return how ? lq_gui_key(VK_RETURN) : lq_gui_click(dlg, IDC_ALPHA_OK);
        lq_gui_key(VK_ESCAPE);
        lq_gui_again(dlg, [](HWND d) {
            EXPECT_TRUE(IsWindowVisible(d)) << "Esc closed the prompt";
            lq_gui_click(d, IDC_ALPHA_CANCEL);
        });
    });
}

// Encode (text and binary, the overwrite question), decode (a mail around
// it), split (Cancel and refused sizes first) and rebuild.
TEST_F(FileCommandTest, UuEncodeDecodeSplitAndRebuild) {
    write_file(path("Cat.dat"), "Cat");
    write_file(path("Cat.uub"), "keep");
    file_command(IDM_UU_ENCODE_TEXT, "Cat.dat", "Select the file to UU EnCode...");
    EXPECT_EQ(read_file(path("Cat.uut")), "begin 666 Cat.dat\r\n#0V%T\r\n`\r\nend\r\n");
    for (int answer : {LQ_IDNO, LQ_IDYES}) {  // overwrite Cat.uub?
        lq_answer_next(answer);
        file_command(IDM_UU_ENCODE_BINARY, "Cat.dat");
        EXPECT_EQ(read_file(path("Cat.uub")),
                  answer == LQ_IDNO ? "keep" : "begin 777 Cat.dat\n#0V%T\n`\nend\n");
        EXPECT_EQ(lq_gui_captions().substr(0, 33), "Lockquill(TM) WARNING: iUUEncode/");
    }
    write_file(path("mail.uue"), "Subject: cat\r\n\r\nbegin 666 cat.bin\r\n#0V%T\r\n`\r\nend\r\n");
    file_command(IDM_UU_DECODE, "mail.uue", "Select the file to UU DeCode...");
    EXPECT_EQ(read_file(path("cat.bin")) + szFileTitle, "Catcat.bin");
    write_file(path("big.bin"), lq_random_bytes(20000, 5));
    file_command(IDM_UU_ENCODE_TEXT, "big.bin");
    const std::string uu = read_file(path("big.uut"));
    const std::vector<std::string> before = list_dir(dir());
    lq_gui_cancel_file_dialog("Select the UU file to Split into parts...");
    command(IDM_UU_SPLIT);
    const std::pair<const char*, int> answers[] = {{"999", 2}, {"258", 0}, {"0", 0}, {"x", 0}};
    for (auto [answer, how] : answers) {
        answer_size_prompt(answer, how);
        file_command(IDM_UU_SPLIT, "big.uut");
        EXPECT_EQ(lq_gui_captions(), how == 2 ? "" : "Lockquill(TM) ERROR: iUUSplitUpFile /16\n");
    }
    EXPECT_EQ(list_dir(dir()), before);
    answer_size_prompt("2000", 1);
    file_command(IDM_UU_SPLIT, "big.uut", "Select the UU file to Split into parts...");
    EXPECT_TRUE(exists(path("big.U15")) && !exists(path("big.U16")));
    pf_delete(path("big.uut").c_str());
    file_command(IDM_UU_REBUILD, "big.U00", "Select the first part of the UU file to rebuild...");
    EXPECT_EQ(read_file(path("big.uut")), uu);
    EXPECT_EQ(hwndProgress, 0);
}
}  // namespace
