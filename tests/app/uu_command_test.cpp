// UU EnCoding menu: the open dialog and the size prompt driven as a user would.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/app.h"
#include "fileops/progress.h"
#include "tests/app/gui_harness.h"

namespace {

using UuCommandTest = LqGuiTest;

std::string crlf(const std::string& lf) {
    std::string s;
    for (char c : lf) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

std::string filter_head(const char* filter, size_t n) { return std::string(filter, n); }

// Answers the size prompt with text (null: Cancel), checking its question and
// its proposal.
void answer_size_prompt(const char* text) {
    lq_gui_on_dialog([text](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), "Enter the maximum size of the UU splitup files ?");
        EXPECT_EQ(lq_gui_item_text(dlg, 1108), "5120");
        if (!text) {
            lq_gui_click(dlg, 1107);
            return;
        }
        SetDlgItemTextA(dlg, 1108, text);
        lq_gui_click(dlg, 1106);
    });
}

TEST_F(UuCommandTest, EncodeInTextAndBinaryMode) {
    write_file(path("Cat.dat"), "Cat");
    lq_gui_choose_file(path("Cat.dat"), "Select the file to UU EnCode...");
    command(1050);
    EXPECT_EQ(read_file(path("Cat.uut")), crlf("begin 666 Cat.dat\n#0V%T\n`\nend\n"));
    EXPECT_EQ(filter_head(ofnShared.lpstrFilter, 22), std::string("All Visible (*.*)\0*.*\0", 22));

    lq_gui_choose_file(path("Cat.dat"), "Select the file to UU EnCode...");
    command(1052);
    EXPECT_EQ(read_file(path("Cat.uub")), "begin 777 Cat.dat\n#0V%T\n`\nend\n");
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(hwndProgress, 0);
}

TEST_F(UuCommandTest, EncodeAnswersTheOverwriteQuestionAndCancelDoesNothing) {
    write_file(path("a.txt"), "abc");
    write_file(path("a.uut"), "keep");
    lq_gui_choose_file(path("a.txt"));
    lq_answer_next(LQ_IDNO);
    command(1050);
    EXPECT_EQ(read_file(path("a.uut")), "keep");
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) WARNING: iUUEncode");

    lq_gui_cancel_file_dialog("Select the file to UU EnCode...");
    command(1052);
    EXPECT_FALSE(exists(path("a.uub")));
}

TEST_F(UuCommandTest, DecodeFromTheMenu) {
    write_file(path("mail.uue"), "Subject: cat\r\n\r\nbegin 666 cat.bin\r\n#0V%T\r\n`\r\nend\r\n");
    lq_gui_choose_file(path("mail.uue"), "Select the file to UU DeCode...");
    command(1051);
    EXPECT_EQ(read_file(path("cat.bin")), "Cat");
    EXPECT_STREQ(szFileTitle, "cat.bin") << "the name buffer receives the header's name";
    EXPECT_EQ(filter_head(ofnShared.lpstrFilter, 31),
              std::string("UU Encoded Files (*.UU?)\0*.UU?\0", 31));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(UuCommandTest, DecodeRefusesANameThatLeavesTheFolder) {
    write_file(path("evil.uue"), "begin 666 ..\\evil.bin\n#0V%T\n`\nend\n");
    lq_gui_choose_file(path("evil.uue"));
    command(1051);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"evil.uue"});
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: iUUDecode ");
    EXPECT_EQ(lq_boxes()[0].style, 16u);
}

int count_parts(const std::string& folder, const std::string& stem) {
    int k = 0;
    for (;; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "%s.U%2.2i", stem.c_str(), k);
        if (pf_get_attributes((folder + "\\" + name).c_str()) == PF_INVALID_ATTRIBUTES) return k;
    }
}

TEST_F(UuCommandTest, SplitAsksForTheSizeAndRebuildJoinsTheParts) {
    std::string data = lq_random_bytes(20000, 5);
    write_file(path("big.bin"), data);
    lq_gui_choose_file(path("big.bin"));
    command(1050);
    std::string uu = read_file(path("big.uut"));
    ASSERT_EQ(uu.size(), 28030u);

    lq_gui_choose_file(path("big.uut"), "Select the UU file to Split into parts...");
    answer_size_prompt("2000");
    command(137);
    EXPECT_EQ(count_parts(dir(), "big"), 16);
    EXPECT_EQ(read_file(path("big.U03")).substr(0, 51),
              "begin 666 big.bin 28030 big.uut split-up number=3\r\n");
    for (const std::string& f : list_dir(dir()))
        if (f.find(".U") != std::string::npos) pf_delete(path(f).c_str());

    // The proposal as it stands.
    lq_gui_choose_file(path("big.uut"));
    answer_size_prompt("5120");
    command(137);
    EXPECT_EQ(count_parts(dir(), "big"), 6);

    pf_delete(path("big.uut").c_str());
    lq_gui_choose_file(path("big.U00"), "Select the first part of the UU file to rebuild...");
    command(138);
    EXPECT_EQ(read_file(path("big.uut")), uu);
    EXPECT_EQ(filter_head(ofnShared.lpstrFilter, 31),
              std::string("UU Splitup files (*.U00)\0*.U00\0", 31));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(UuCommandTest, SplitSizePromptCancelAndRefusedAnswers) {
    write_file(path("s.uu"), "begin 666 s\n" + std::string(3000, 'x') + "\n`\nend\n");
    lq_gui_choose_file(path("s.uu"));
    answer_size_prompt(nullptr);
    command(137);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"s.uu"});
    EXPECT_TRUE(lq_boxes().empty());

    for (const char* answer : {"258", "0", "no digits"}) {
        lq_boxes_clear();
        lq_gui_choose_file(path("s.uu"));
        answer_size_prompt(answer);
        command(137);
        ASSERT_EQ(lq_boxes().size(), 1u) << answer;
        EXPECT_BOX(0, "Lockquill(TM) ERROR: iUUSplitUpFile ",
                   " The maximum size for the UU splitup files you entered may result in a ZERO "
                   "argument. Please enter a different value.",
                   16);
    }
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"s.uu"});
}

}  // namespace
