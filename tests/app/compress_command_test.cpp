// Compression menu: the open dialog, the operation on the chosen file, the
// result box, and Cancel.
#include <windows.h>

#include <cstdio>

#include "app/app.h"
#include "compress/compress_file.h"
#include "tests/app/gui_harness.h"

namespace {
using CompressCommandTest = LqGuiTest;

std::string letter() {
    std::string s;
    for (int i = 0; s.size() < 40000; ++i)
        s += "Line " + std::to_string(i) + ": a letter that stays private.\r\n";
    return s;
}

void expect_dialog_record(const char* title) {
    EXPECT_EQ(ofnShared.lpstrTitle, std::string(title));
    EXPECT_EQ(std::string(ofnShared.lpstrFilter, 22), std::string("All Visible (*.*)\0*.*\0", 22));
}

TEST_F(CompressCommandTest, MaximumAndFastCompressionThenExpand) {
    const std::string original = letter();
    for (int id : {130, 132}) {
        write_file(path("letter.txt"), original);
        lq_boxes_clear();
        lq_gui_choose_file(path("letter.txt"), "Select the file to Compress...");
        command(id);
        expect_dialog_record("Select the file to Compress...");
        EXPECT_STREQ(szFileName, path("letter.txt").c_str());
        std::string packed = read_file(path("letter.txt"));
        ASSERT_GT(packed.size(), 254u);
        EXPECT_EQ(cs_data.algorithm, id == 130 ? 1 : 2);
        EXPECT_EQ(cs_data.originalsize, (int32_t)original.size());
        EXPECT_EQ(cs_data.compressedsize + 254, (int32_t)packed.size());
        char text[600];
        std::snprintf(text, sizeof text,
                      " The compressed file %s is %2.2f percent of it's original size. ",
                      path("letter.txt").c_str(),
                      (double)cs_data.compressedsize / (double)original.size() * 100.0);
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_BOX(0, "Lockquill(TM) Message: iCompressFile ", text, 48);
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"letter.txt"});

        lq_boxes_clear();
        lq_gui_choose_file(path("letter.txt"), "Select the file to Expand...");
        command(131);
        expect_dialog_record("Select the file to Expand...");
        EXPECT_TRUE(read_file(path("letter.txt")) == original);
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"letter.txt"});
    }
}

TEST_F(CompressCommandTest, FailuresAreShownByTheOperation) {
    write_file(path("tiny.txt"), "tiny");
    lq_gui_choose_file(path("tiny.txt"));
    command(132);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iCompressFile ",
               " The compressed file is larger than the original file.  CANCELLING FILE "
               "COMPRESSION.",
               16);
    EXPECT_EQ(read_file(path("tiny.txt")), "tiny");

    lq_boxes_clear();
    lq_gui_choose_file(path("tiny.txt"));
    command(131);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iReadCompStats ",
               " The file " + path("tiny.txt") +
                   " is either not supported in this version or not a Lockquill Compressed file ",
               16);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"tiny.txt"});
}

TEST_F(CompressCommandTest, CancelDoesNothing) {
    write_file(path("a.txt"), letter());
    for (int id : {130, 131, 132}) {
        lq_gui_cancel_file_dialog(id == 131 ? "Select the file to Expand..."
                                            : "Select the file to Compress...");
        command(id);
    }
    EXPECT_TRUE(read_file(path("a.txt")) == letter());
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

}  // namespace
