// UU EnCoding menu: the open dialog and the size prompt driven as a user would.
#include <windows.h>

#include "app/app.h"
#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

namespace {
using UuCommandTest = LqGuiTest;

// Answers the size prompt with text (null: Cancel).
void answer_size_prompt(const char* text) {
    lq_gui_on_dialog([text](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), "Enter the maximum size of the UU splitup files ?");
        EXPECT_EQ(lq_gui_item_text(dlg, 1108), "5120");
        if (text) SetDlgItemTextA(dlg, 1108, text);
        lq_gui_click(dlg, text ? 1106 : 1107);
    });
}

TEST_F(UuCommandTest, EncodeDecodeSplitAndRebuild) {
    write_file(path("Cat.dat"), "Cat");
    write_file(path("Cat.uub"), "keep");
    lq_gui_choose_file(path("Cat.dat"), "Select the file to UU EnCode...");
    command(IDM_UU_ENCODE_TEXT);
    EXPECT_EQ(read_file(path("Cat.uut")), "begin 666 Cat.dat\r\n#0V%T\r\n`\r\nend\r\n");
    lq_gui_choose_file(path("Cat.dat"));
    lq_answer_next(LQ_IDNO);  // overwrite Cat.uub?
    command(IDM_UU_ENCODE_BINARY);
    EXPECT_EQ(read_file(path("Cat.uub")), "keep");
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) WARNING: iUUEncode");
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
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: iUUDecode ");

    std::string data = lq_random_bytes(20000, 5);
    write_file(path("big.bin"), data);
    lq_gui_choose_file(path("big.bin"));
    command(IDM_UU_ENCODE_TEXT);
    std::string uu = read_file(path("big.uut"));
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

TEST_F(UuCommandTest, SplitSizePromptCancelAndRefusedAnswers) {
    write_file(path("s.uu"), "begin 666 s\n" + std::string(3000, 'x') + "\n`\nend\n");
    for (const char* answer : {(const char*)nullptr, "258", "0", "no digits"}) {
        lq_boxes_clear();
        lq_gui_choose_file(path("s.uu"));
        answer_size_prompt(answer);
        command(IDM_UU_SPLIT);
        ASSERT_EQ(lq_boxes().size(), answer ? 1u : 0u) << answer;
        if (answer)
            EXPECT_BOX(0, "Lockquill(TM) ERROR: iUUSplitUpFile ",
                       " The maximum size for the UU splitup files you entered may result in a "
                       "ZERO argument. Please enter a different value.",
                       16);
    }
    lq_gui_cancel_file_dialog("Select the UU file to Split into parts...");
    command(IDM_UU_SPLIT);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"s.uu"});
}

}  // namespace
