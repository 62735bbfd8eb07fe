// Every platform call of the UU operations made to fail in turn, and names
// at the edge of their buffers (the ASan tree checks that nothing is written
// past them).
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

class UuFaultSweep : public LqTest {
  protected:
    std::map<std::string, std::string> sources;  // name -> bytes, rewritten before each run
    std::map<std::string, std::string> outputs;  // what a run that ends done has written
    std::string uu_text;

    void put_sources() {
        for (const std::string& f : list_dir(dir())) {
            set_readonly(path(f), false);
            pf_delete(path(f).c_str());
        }
        PfFaultPause pause;
        for (const auto& s : sources) {
            write_file(path(s.first), s.second);
            uu_set_write_time(path(s.first), UU_T2003);
        }
    }
    // Runs op with no fault to count its calls, then with each call of each
    // kind failing; checks the sources, the files left and the last box.
    void sweep(const char* name, int (*op)(const std::string&), const std::string& caption,
               bool (*allowed)(const std::string&), std::map<std::string, int>& outcomes) {
        put_sources();
        pf_fault_reset();
        lq_boxes_clear();
        ASSERT_EQ(op(path("")), 0) << lq_boxes_dump();
        int calls[PF_FAULT_COUNT_];
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) calls[k] = pf_fault_calls(PfFaultOp(k));
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) {
            for (int n = 1; n <= calls[k]; ++n) {
                SCOPED_TRACE(std::string(name) + " op " + std::to_string(k) + " call " +
                             std::to_string(n));
                put_sources();
                lq_boxes_clear();
                pf_fault_reset();
                pf_fault_arm(PfFaultOp(k), n);
                int r = op(path(""));
                pf_fault_reset();
                // Unknown free space is a question, answered No here.
                if (k == PF_FAULT_DISKFREE) {
                    EXPECT_EQ(r, 1);
                }
                ++outcomes[std::string(name) + (r == 0  ? " done"
                                                : r > 0 ? " declined"
                                                        : " failed")];
                for (const auto& s : sources) {
                    EXPECT_EQ(read_file(path(s.first)), s.second) << s.first;
                    EXPECT_EQ(uu_write_time(path(s.first)), UU_T2003) << s.first;
                    EXPECT_EQ(pf_get_attributes(path(s.first).c_str()), uint32_t(PF_ATTR_ARCHIVE));
                }
                for (const std::string& f : list_dir(dir()))
                    EXPECT_TRUE(sources.count(f) || allowed(f)) << "stray file " << f;
                for (const auto& o : outputs) {
                    if (r == 0) {
                        EXPECT_TRUE(read_file(path(o.first)) == o.second) << o.first;
                    }
                }
                if (r < 0) {
                    ASSERT_FALSE(lq_boxes().empty());
                    const RecordedBox& last = lq_boxes().back();
                    EXPECT_TRUE(last.caption == caption ||
                                last.caption == "Lockquill(TM) ERROR: lGetFileSize")
                        << lq_boxes_dump();
                    EXPECT_FALSE(last.text.empty());
                } else if (r > 0) {
                    ASSERT_FALSE(lq_boxes().empty());
                    EXPECT_TRUE(lq_boxes().back().style == 36 ||
                                lq_boxes().back().caption == "Lockquill(TM) ERROR: decode");
                }
            }
        }
    }
};

// Each operation on the files of folder (a path with its separator).
int run_decode(const std::string& folder) {
    UuTitle title("d.uut");
    return iUUDecode((folder + "d.uut").c_str(), 1, title.t);
}
int32_t split_max;
int run_split(const std::string& folder) {
    return iUUSplitUpFile((folder + "d.uut").c_str(), 1, "d.uut", split_max);
}
int run_rebuild(const std::string& folder) {
    UuPath p(folder + "d.U00");
    return iUURebuildSplitUpFile(p.p, 1, "d.U00");
}

TEST_F(UuFaultSweep, DecodeSplitAndRebuildAtEveryCallIndex) {
    std::map<std::string, int> outcomes;
    for (size_t bytes : {300, 100000}) {
        split_max = bytes < 1000 ? 300 : 30000;
        std::string data = lq_random_bytes(bytes, uint32_t(bytes));
        write_file(path("d.bin"), data);
        UuPath p(path("d.bin"));
        ASSERT_EQ(iUUEncode(p.p, 1, 0, 0), 0);
        sources = {{"d.uut", read_file(path("d.uut"))}};
        outputs = {{"d.bin", data}};
        sweep(
            "decode", run_decode, "Lockquill(TM) ERROR: iUUDecode ",
            [](const std::string& f) { return f == "d.bin"; }, outcomes);
        outputs.clear();
        sweep(
            "split", run_split, "Lockquill(TM) ERROR: iUUSplitUpFile ",
            [](const std::string& f) { return f.compare(0, 3, "d.U") == 0; }, outcomes);
        put_sources();
        ASSERT_EQ(run_split(path("")), 0);
        outputs = {{"d.uut", sources["d.uut"]}};
        sources.clear();
        for (const std::string& f : list_dir(dir()))
            if (f != "d.uut") sources[f] = read_file(path(f));
        sweep(
            "rebuild", run_rebuild, "Lockquill(TM) ERROR: iUURebuildSplitUpFile ",
            [](const std::string& f) { return f == "d.uut"; }, outcomes);
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
    }
    std::string counts;
    for (const auto& o : outcomes) counts += o.first + ": " + std::to_string(o.second) + "\n";
    std::printf("fault sweep outcomes (small and medium file):\n%s", counts.c_str());
}

class UuLongNames : public LqTest {};

TEST_F(UuLongNames, A255CharacterPathSplitsInto100PartsAndRefusesThe101st) {
    // Folders and an extensionless name that make a path of exactly 255
    // characters: U00 to U99 fit the 260-character buffers, U100 does not.
    std::string folder = dir();
    while (255 - folder.size() > 120) {
        folder += "/" + std::string(100, 'f');
        ASSERT_TRUE(std::filesystem::create_directory(folder));
    }
    std::string name(254 - folder.size(), 'n');
    std::string uu_path = folder + "/" + name;
    ASSERT_EQ(uu_path.size(), 255u);
    std::string uu = "begin 666 x\n";
    for (int i = 0; i < 110; ++i) uu += "M" + std::string(60, char('!' + i % 60)) + "\n";
    write_file(uu_path, uu + "`\nend\n");
    EXPECT_EQ(iUUSplitUpFile(uu_path.c_str(), 1, name.c_str(), 300), -1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: iMakeExtendedFilename");
    EXPECT_EQ(lq_boxes()[0].text, " The name made from " + uu_path +
                                      " with the extension U100 would be longer than 259 "
                                      "characters.");
    EXPECT_EQ(lq_boxes()[1].text, " Cannot derive the 100 UU Split Up filename for: " + uu_path);
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
