// Compression menu: the open dialog, the operation on the chosen file, the
// result box, the failures the operation shows, and Cancel.
#include <windows.h>

#include <cstdio>

#include "app/app.h"
#include "compress/compress_file.h"
#include "tests/app/gui_harness.h"

namespace {
using CompressCommandTest = LqGuiTest;

TEST_F(CompressCommandTest, CompressThenExpandEachWay) {
    std::string original;
    for (int i = 0; original.size() < 40000; ++i)
        original += "Line " + std::to_string(i) + ": a letter that stays private.\r\n";
    for (int id : {IDM_COMPRESS_MAX, IDM_COMPRESS_FAST}) {
        write_file(path("letter.txt"), original);
        lq_boxes_clear();
        lq_gui_cancel_file_dialog("Select the file to Compress...");
        command(id);
        lq_gui_choose_file(path("letter.txt"), "Select the file to Compress...");
        command(id);
        std::string packed = read_file(path("letter.txt"));
        EXPECT_EQ(cs_data.algorithm, id == IDM_COMPRESS_MAX ? 1 : 2);
        EXPECT_EQ(cs_data.compressedsize + 254, (int32_t)packed.size());
        char text[600];
        std::snprintf(text, sizeof text,
                      " The compressed file %s is %2.2f percent of it's original size. ",
                      path("letter.txt").c_str(),
                      (double)cs_data.compressedsize / (double)original.size() * 100.0);
        EXPECT_BOX(0, "Lockquill(TM) Message: iCompressFile ", text, 48);
        lq_boxes_clear();
        lq_gui_choose_file(path("letter.txt"), "Select the file to Expand...");
        command(IDM_COMPRESS_EXPAND);
        EXPECT_TRUE(read_file(path("letter.txt")) == original);
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"letter.txt"});
    }
}

TEST_F(CompressCommandTest, FailuresAreShownByTheOperation) {
    write_file(path("tiny.txt"), "tiny");
    lq_gui_choose_file(path("tiny.txt"));
    command(IDM_COMPRESS_FAST);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iCompressFile ",
               " The compressed file is larger than the original file.  CANCELLING FILE "
               "COMPRESSION.",
               16);
    lq_gui_choose_file(path("tiny.txt"));
    command(IDM_COMPRESS_EXPAND);
    EXPECT_BOX(1, "Lockquill(TM) ERROR: iReadCompStats ",
               " The file " + path("tiny.txt") +
                   " is either not supported in this version or not a Lockquill Compressed file ",
               16);
    EXPECT_EQ(read_file(path("tiny.txt")), "tiny");
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"tiny.txt"});
}

}  // namespace
