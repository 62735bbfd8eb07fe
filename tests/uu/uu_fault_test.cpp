// Every platform call of the UU operations made to fail in turn, and names at
// the edge of their buffers (the ASan tree checks that nothing is written past
// them).
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

typedef std::map<std::string, std::string> Files;
int32_t split_max;

// Each operation on the files of folder (a path with its separator).
int run_decode(const std::string& folder) {
    UuTitle title("d.uut");
    return iUUDecode((folder + "d.uut").c_str(), 1, title.t);
}
int run_split(const std::string& folder) {
    return iUUSplitUpFile((folder + "d.uut").c_str(), 1, "d.uut", split_max);
}
int run_rebuild(const std::string& folder) {
    UuPath p(folder + "d.U00");
    return iUURebuildSplitUpFile(p.p, 1, "d.U00");
}

class UuFaultSweep : public LqTest {
  protected:
    std::map<std::string, int> outcomes;

    void put(const Files& sources) {
        uu_clear(dir());
        PfFaultPause pause;
        for (const auto& s : sources) {
            write_file(path(s.first), s.second);
            uu_set_write_time(path(s.first), UU_T2003);
        }
    }
    // Runs op with no fault to count its calls, then with each call of each
    // kind failing: the sources stay as they were, only the outputs' names
    // appear (with their bytes when done), and a failure ends with its box.
    void sweep(const char* name, int (*op)(const std::string&), const std::string& caption,
               const Files& sources, const Files& outputs, const char* out_prefix) {
        put(sources);
        pf_fault_reset();
        ASSERT_EQ(op(path("")), 0) << lq_boxes_dump();
        int calls[PF_FAULT_COUNT_];
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) calls[k] = pf_fault_calls(PfFaultOp(k));
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) {
            for (int n = 1; n <= calls[k]; ++n) {
                SCOPED_TRACE(std::string(name) + " op " + std::to_string(k) + " call " +
                             std::to_string(n));
                put(sources);
                lq_boxes_clear();
                pf_fault_reset();
                pf_fault_arm(PfFaultOp(k), n);
                int r = op(path(""));
                pf_fault_reset();
                EXPECT_TRUE(k != PF_FAULT_DISKFREE || r == 1) << "unknown free space: a question";
                ++outcomes[std::string(name) + (r == 0  ? " done"
                                                : r > 0 ? " declined"
                                                        : " failed")];
                for (const auto& s : sources) {
                    EXPECT_EQ(read_file(path(s.first)), s.second) << s.first;
                    EXPECT_EQ(uu_write_time(path(s.first)), UU_T2003) << s.first;
                    EXPECT_EQ(pf_get_attributes(path(s.first).c_str()), uint32_t(PF_ATTR_ARCHIVE));
                }
                for (const std::string& f : list_dir(dir()))
                    EXPECT_TRUE(sources.count(f) || f.rfind(out_prefix, 0) == 0) << "stray " << f;
                for (const auto& o : outputs)
                    EXPECT_TRUE(r != 0 || read_file(path(o.first)) == o.second) << o.first;
                if (r == 0) continue;
                ASSERT_FALSE(lq_boxes().empty());
                const RecordedBox& last = lq_boxes().back();
                if (r < 0) {
                    EXPECT_TRUE(last.caption == caption ||
                                last.caption == "Lockquill(TM) ERROR: lGetFileSize")
                        << lq_boxes_dump();
                    EXPECT_FALSE(last.text.empty());
                } else {
                    EXPECT_TRUE(last.style == 36 || last.caption == "Lockquill(TM) ERROR: decode");
                }
            }
        }
    }
};

TEST_F(UuFaultSweep, DecodeSplitAndRebuildAtEveryCallIndex) {
    for (size_t bytes : {300, 100000}) {
        split_max = bytes < 1000 ? 300 : 30000;
        std::string data = lq_random_bytes(bytes, uint32_t(bytes));
        write_file(path("d.bin"), data);
        UuPath p(path("d.bin"));
        ASSERT_EQ(iUUEncode(p.p, 1, 0, 0), 0);
        Files uu = {{"d.uut", read_file(path("d.uut"))}}, parts;
        sweep("decode", run_decode, "Lockquill(TM) ERROR: iUUDecode ", uu, {{"d.bin", data}},
              "d.bin");
        sweep("split", run_split, "Lockquill(TM) ERROR: iUUSplitUpFile ", uu, {}, "d.U");
        put(uu);
        ASSERT_EQ(run_split(path("")), 0);
        for (const std::string& f : list_dir(dir()))
            if (f != "d.uut") parts[f] = read_file(path(f));
        sweep("rebuild", run_rebuild, "Lockquill(TM) ERROR: iUURebuildSplitUpFile ", parts, uu,
              "d.uut");
    }
    for (const auto& o : outcomes) std::printf("fault sweep: %s: %d\n", o.first.c_str(), o.second);
}

TEST_F(UuFaultSweep, A255CharacterPathSplitsInto100PartsAndRefusesThe101st) {
    // Folders and an extensionless name that make a path of exactly 255
    // characters: U00 to U99 fit the 260-character buffers, U100 does not.
    std::string folder = dir();
    while (255 - folder.size() > 120) {
        folder += "/" + std::string(100, 'f');
        ASSERT_TRUE(std::filesystem::create_directory(folder));
    }
    std::string name(254 - folder.size(), 'n'), uu_path = folder + "/" + name;
    ASSERT_EQ(uu_path.size(), 255u);
    std::string uu = "begin 666 x\n";
    for (int i = 0; i < 110; ++i) uu += "M" + std::string(60, char('!' + i % 60)) + "\n";
    write_file(uu_path, uu + "`\nend\n");
    EXPECT_EQ(iUUSplitUpFile(uu_path.c_str(), 1, name.c_str(), 300), -1);
    EXPECT_EQ(lq_boxes_text(""), "Lockquill(TM) ERROR: iMakeExtendedFilename| The name made from " +
                                     uu_path +
                                     " with the extension U100 would be longer than 259 "
                                     "characters.|16\nLockquill(TM) ERROR: iUUSplitUpFile | Cannot "
                                     "derive the 100 UU Split Up filename for: " +
                                     uu_path + "|16\n");
    EXPECT_TRUE(exists(uu_path + ".U99"));
    // The 100 parts rebuild (from the parts' folder, as the open dialog
    // leaves it) into a file that decodes as 'Short'.
    ASSERT_TRUE(pf_set_current_directory(folder.c_str()));
    UuPath first(uu_path + ".U00");
    UuTitle title(name + ".U00");
    pf_delete(uu_path.c_str());
    EXPECT_EQ(iUURebuildSplitUpFile(first.p, 1, title.t), 0) << lq_boxes_dump();
    ASSERT_TRUE(pf_set_current_directory(dir().c_str()));
    EXPECT_TRUE(read_file(uu_path) == uu_crlf(uu.substr(0, 12 + 100 * 62)));
}

}  // namespace
