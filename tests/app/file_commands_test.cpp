// The Compression and UU EnCoding menus: the open dialog and the size prompt
// driven as a user would, the files left, the boxes shown, Cancel.
#include <cstdio>

#include "compress/compress_file.h"
#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

namespace {
using FileCommandTest = LqGuiTest;
using Files = std::vector<std::string>;

TEST_F(FileCommandTest, CompressThenExpandEachWayAndRefusals) {
    std::string original;
    for (int i = 0; original.size() < 40000; ++i)
        original += "Line " + std::to_string(i) + ": a letter that stays private.\r\n";
    for (int id : {IDM_COMPRESS_MAX, IDM_COMPRESS_FAST}) {
        write_file(path("letter.txt"), original);
        lq_gui_cancel_file_dialog("Select the file to Compress...");
        command(id);
        lq_gui_choose_file(path("letter.txt"), "Select the file to Compress...");
        command(id);
        EXPECT_EQ(cs_data.algorithm, id == IDM_COMPRESS_MAX ? 1 : 2);
        EXPECT_EQ(cs_data.compressedsize + 254, int32_t(read_file(path("letter.txt")).size()));
        char text[600];
        std::snprintf(text, sizeof text,
                      "Lockquill(TM) Message: iCompressFile | The compressed file %s is %2.2f "
                      "percent of it's original size. |48\n",
                      path("letter.txt").c_str(), cs_data.compressedsize * 100.0 / original.size());
        EXPECT_EQ(lq_boxes_text(""), text);
        lq_gui_choose_file(path("letter.txt"), "Select the file to Expand...");
        command(IDM_COMPRESS_EXPAND);
        EXPECT_TRUE(read_file(path("letter.txt")) == original);
        EXPECT_EQ(lq_boxes_text("") + list_dir(dir()).at(0), "letter.txt");
    }
    write_file(path("tiny.txt"), "tiny");
    for (int id : {IDM_COMPRESS_FAST, IDM_COMPRESS_EXPAND}) {
        lq_gui_choose_file(path("tiny.txt"));
        command(id);
    }
    EXPECT_EQ(
        lq_boxes_text(dir() + "\\"),
        "Lockquill(TM) ERROR: iCompressFile | The compressed file is larger than the original "
        "file.  CANCELLING FILE COMPRESSION.|16\nLockquill(TM) ERROR: iReadCompStats | The "
        "file @tiny.txt is either not supported in this version or not a Lockquill "
        "Compressed file |16\n");
    EXPECT_EQ(read_file(path("tiny.txt")), "tiny");
    EXPECT_EQ(list_dir(dir()), (Files{"letter.txt", "tiny.txt"}));
}

// Answers the size prompt with text (null: Cancel).
void answer_size_prompt(const char* text) {
    lq_gui_on_dialog([text](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg) + "|" + lq_gui_item_text(dlg, IDC_ALPHA_TEXT),
                  "Enter the maximum size of the UU splitup files ?|5120");
        if (text) SetDlgItemTextA(dlg, IDC_ALPHA_TEXT, text);
        lq_gui_click(dlg, text ? IDC_ALPHA_OK : IDC_ALPHA_CANCEL);
    });
}

// Encode (text and binary, the overwrite question), decode (a mail around
// it; a name that leaves the folder refused), split (Cancel and refused sizes
// first) and rebuild.
TEST_F(FileCommandTest, UuEncodeDecodeSplitAndRebuild) {
    write_file(path("Cat.dat"), "Cat");
    write_file(path("Cat.uub"), "keep");
    lq_gui_choose_file(path("Cat.dat"), "Select the file to UU EnCode...");
    command(IDM_UU_ENCODE_TEXT);
    EXPECT_EQ(read_file(path("Cat.uut")), "begin 666 Cat.dat\r\n#0V%T\r\n`\r\nend\r\n");
    lq_gui_choose_file(path("Cat.dat"));
    lq_answer_next(LQ_IDNO);  // overwrite Cat.uub?
    command(IDM_UU_ENCODE_BINARY);
    EXPECT_EQ(read_file(path("Cat.uub")), "keep");
    EXPECT_EQ(lq_gui_captions().substr(0, 33), "Lockquill(TM) WARNING: iUUEncode/");
    lq_gui_choose_file(path("Cat.dat"));
    lq_answer_next(LQ_IDYES);
    command(IDM_UU_ENCODE_BINARY);
    EXPECT_EQ(read_file(path("Cat.uub")), "begin 777 Cat.dat\n#0V%T\n`\nend\n");
    lq_boxes_clear();
    write_file(path("mail.uue"), "Subject: cat\r\n\r\nbegin 666 cat.bin\r\n#0V%T\r\n`\r\nend\r\n");
    lq_gui_choose_file(path("mail.uue"), "Select the file to UU DeCode...");
    command(IDM_UU_DECODE);
    EXPECT_EQ(read_file(path("cat.bin")), "Cat");
    EXPECT_STREQ(szFileTitle, "cat.bin");
    write_file(path("evil.uue"), "begin 666 ..\\evil.bin\n#0V%T\n`\nend\n");
    lq_gui_choose_file(path("evil.uue"));
    command(IDM_UU_DECODE);
    EXPECT_FALSE(exists(path("..\\evil.bin")));
    EXPECT_EQ(lq_gui_captions(), "Lockquill(TM) ERROR: iUUDecode /16\n");

    write_file(path("big.bin"), lq_random_bytes(20000, 5));
    lq_gui_choose_file(path("big.bin"));
    command(IDM_UU_ENCODE_TEXT);
    std::string uu = read_file(path("big.uut"));
    const Files before = list_dir(dir());
    lq_gui_cancel_file_dialog("Select the UU file to Split into parts...");
    command(IDM_UU_SPLIT);
    for (const char* answer : {(const char*)nullptr, "258", "0", "no digits"}) {
        lq_gui_choose_file(path("big.uut"));
        answer_size_prompt(answer);
        command(IDM_UU_SPLIT);
        EXPECT_EQ(lq_boxes_text(""), answer
                                         ? "Lockquill(TM) ERROR: iUUSplitUpFile | The maximum size "
                                           "for the UU splitup files you entered may result in a "
                                           "ZERO argument. Please enter a different value.|16\n"
                                         : "");
    }
    EXPECT_EQ(list_dir(dir()), before);
    lq_gui_choose_file(path("big.uut"), "Select the UU file to Split into parts...");
    answer_size_prompt("2000");
    command(IDM_UU_SPLIT);
    EXPECT_TRUE(exists(path("big.U15")) && !exists(path("big.U16")));
    EXPECT_EQ(read_file(path("big.U03")).substr(0, 51),
              "begin 666 big.bin 28030 big.uut split-up number=3\r\n");
    pf_delete(path("big.uut").c_str());
    lq_gui_choose_file(path("big.U00"), "Select the first part of the UU file to rebuild...");
    command(IDM_UU_REBUILD);
    EXPECT_EQ(read_file(path("big.uut")), uu);
    EXPECT_EQ(hwndProgress, 0);
}
}  // namespace
