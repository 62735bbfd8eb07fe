// Erase, Wipe Out a File: the open dialog driven by the test.
#include <windows.h>

#include "app/app.h"
#include "tests/app/gui_harness.h"

namespace {
using WipeCommandTest = LqGuiTest;
}

TEST_F(WipeCommandTest, ChosenFileIsWipedWithoutAQuestion) {
    write_file(path("old letter.txt"), std::string(100000, 'x'));
    write_file(path("keep.txt"), "keep");
    lq_gui_choose_file(path("old letter.txt"), "Select the file to Wipe...");
    command(114);
    EXPECT_FALSE(exists(path("old letter.txt")));
    EXPECT_TRUE(exists(path("keep.txt")));
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"keep.txt"});
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_STREQ(szFileName, path("old letter.txt").c_str());
    EXPECT_STREQ(szFileTitle, "old letter.txt");
    EXPECT_EQ(ofnShared.lpstrTitle, std::string("Select the file to Wipe..."));
    EXPECT_EQ(std::string(ofnShared.lpstrFilter, 22), std::string("All Visible (*.*)\0*.*\0", 22));
    EXPECT_EQ(ofnShared.Flags & 0x1004u, 0x1004u);
}

TEST_F(WipeCommandTest, ReadOnlyFileIsWiped) {
    write_file(path("locked.txt"), "secret");
    set_readonly(path("locked.txt"), true);
    lq_gui_choose_file(path("locked.txt"));
    command(114);
    EXPECT_FALSE(exists(path("locked.txt")));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(WipeCommandTest, CancelLeavesEverything) {
    write_file(path("a.txt"), "abc");
    lq_gui_cancel_file_dialog("Select the file to Wipe...");
    command(114);
    EXPECT_EQ(read_file(path("a.txt")), "abc");
    EXPECT_TRUE(lq_boxes().empty());
}
