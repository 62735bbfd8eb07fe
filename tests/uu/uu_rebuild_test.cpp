// iUURebuildSplitUpFile: parts joined in file-name order back into the UU file.
#include <string>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

const char* const WARN = "Lockquill(TM) WARNING: iUURebuildSplitUpFile";
const char* const ERR = "Lockquill(TM) ERROR: iUURebuildSplitUpFile ";

class UURebuild : public LqTest {
  protected:
    // Encodes and splits stem.DOC (n random bytes); returns the UU file's
    // bytes and leaves only the parts (and the document) on disk.
    std::string make_parts(const std::string& stem, size_t n, bool text, int32_t max) {
        doc = lq_random_bytes(n, uint32_t(n) + 1);
        write_file(path(stem + ".DOC"), doc);
        UuPath p(path(stem + ".DOC"));
        EXPECT_EQ(iUUEncode(p.p, text ? 1 : 0, 0, 0), 0);
        std::string uu = stem + (text ? ".uut" : ".uub");
        EXPECT_EQ(iUUSplitUpFile(path(uu).c_str(), 1, uu.c_str(), max), 0);
        std::string bytes = read_file(path(uu));
        pf_delete(path(uu).c_str());
        return bytes;
    }
    int rebuild(const std::string& first_part, char* path_out = nullptr) {
        UuPath p(path(first_part));
        int r = iUURebuildSplitUpFile(p.p, 1, first_part.c_str());
        if (path_out) std::strcpy(path_out, p.p);
        return r;
    }
    std::string doc;
};

TEST_F(UURebuild, SplitThenRebuildGivesTheUuFileBackInBothModes) {
    for (bool text : {true, false}) {
        std::string uu = make_parts("REPORT", 30000, text, 3000);
        ASSERT_TRUE(exists(path("REPORT.U05")));
        EXPECT_EQ(rebuild("REPORT.U00"), 0) << lq_boxes_dump();
        std::string name = text ? "REPORT.uut" : "REPORT.uub";
        EXPECT_EQ(std::string(szTargetFilename), path(name));
        EXPECT_EQ(read_file(path(name)), uu);
        // And it decodes to the document.
        pf_delete(path("REPORT.DOC").c_str());
        UuTitle title(name);
        EXPECT_EQ(iUUDecode(path(name).c_str(), 1, title.t), 0);
        EXPECT_EQ(read_file(path("REPORT.DOC")), doc);
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(UURebuild, TheUuFileStillPresentIsAskedForAndYesWipesIt) {
    std::string uu = make_parts("S", 9000, true, 2000);
    write_file(path("S.uut"), "the old one");
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(rebuild("S.U00"), 1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, WARN,
               " This rebuild's UU target file " + path("S.uut") +
                   " already exists! Do you wish to overwrite it ?",
               UU_ASK);
    EXPECT_EQ(read_file(path("S.uut")), "the old one");
    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(rebuild("S.U00"), 0);
    EXPECT_EQ(read_file(path("S.uut")), uu);
}

TEST_F(UURebuild, APartMissingInTheMiddleStopsBeforeItAndDecodingFindsItShort) {
    std::string uu = make_parts("M", 9000, true, 2000);
    ASSERT_TRUE(exists(path("M.U04")));
    std::string u0 = read_file(path("M.U00"));
    std::string u1 = read_file(path("M.U01"));
    pf_delete(path("M.U02").c_str());
    char last[LQ_MAX_PATH];
    EXPECT_EQ(rebuild("M.U00", last), 0);
    EXPECT_STREQ(last, "M.U02") << "the path buffer names the part that was missing";
    EXPECT_EQ(read_file(path("M.uut")),
              "begin 666 M.DOC\r\n" + u0.substr(u0.find('\n') + 1) + u1.substr(u1.find('\n') + 1));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    pf_delete(path("M.DOC").c_str());
    UuTitle title("M.uut");
    EXPECT_EQ(iUUDecode(path("M.uut").c_str(), 1, title.t), 1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: decode", " The file to decode is 'Short' ", UU_STOP);
}

TEST_F(UURebuild, PartsAreJoinedInFileNameOrderWhateverTheirHeadersSay) {
    write_file(path("J.U00"), "begin 666 j.bin 100 J.uu split-up number=7\nzero\n");
    write_file(path("J.U01"), "no header: copied whole\none\n");
    write_file(path("J.U02"), "");
    write_file(path("J.U03"), "begin 666 j.bin 100 J.uu split-up number=0\nthree\n");
    EXPECT_EQ(rebuild("J.U00"), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(path("J.uu")),
              "begin 666 j.bin\r\nzero\r\nno header: copied whole\r\none\r\nthree\r\n");
}

TEST_F(UURebuild, PickingALaterPartStartsWithItAndStopsAtItsOwnNumber) {
    write_file(path("R.U01"), "begin 666 r.bin 100 R.uu split-up number=1\none\n");
    write_file(path("R.U02"), "begin 666 r.bin 100 R.uu split-up number=2\ntwo\n");
    write_file(path("R.U03"), "begin 666 r.bin 100 R.uu split-up number=3\nthree\n");
    write_file(path("R.U04"), "begin 666 r.bin 100 R.uu split-up number=4\nfour\n");
    EXPECT_EQ(rebuild("R.U03"), -1);
    EXPECT_EQ(read_file(path("R.uu")), "begin 666 r.bin\r\nthree\r\none\r\ntwo\r\n");
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: iMakeExtendedFilename");
    EXPECT_BOX(1, ERR,
               " COULD NOT derive the 3 rebuild input UU Splitup filename for: " + path("R.uu"),
               UU_STOP);
}

TEST_F(UURebuild, SizeFieldZeroOrNotANumberIsRefused) {
    for (const char* size : {"0", "many", "-3"}) {
        lq_boxes_clear();
        write_file(path("Z.U00"),
                   std::string("begin 666 z.bin ") + size + " Z.uu split-up number=0\nline\n");
        EXPECT_EQ(rebuild("Z.U00"), -1) << size;
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_BOX(0, ERR,
                   " COULD NOT read the rebuild's UU target file size from the input file " +
                       path("Z.U00"),
                   UU_STOP);
        EXPECT_FALSE(exists(path("Z.uu")));
    }
}

TEST_F(UURebuild, AUuFileNameThatLeavesTheFolderIsRefused) {
    for (const char* name : {"../out.uu", "sub/out.uu", "C:out.uu", "..", "x\\y"}) {
        lq_boxes_clear();
        write_file(path("E.U00"),
                   std::string("begin 666 e.bin 100 ") + name + " split-up number=0\nline\n");
        EXPECT_EQ(rebuild("E.U00"), -1) << name;
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"E.U00"}) << name;
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_EQ(lq_boxes()[0].text.substr(0, 17), " The file name '" + std::string(1, name[0]));
    }
}

TEST_F(UURebuild, MissingHeaderUnknownModeAndMissingFirstPart) {
    write_file(path("H.U00"), "just text\n");
    EXPECT_EQ(rebuild("H.U00"), -1);
    EXPECT_BOX(0, ERR, " No 'beginning line' in the file: " + path("H.U00"), UU_STOP);

    lq_boxes_clear();
    write_file(path("Q.U00"), "begin 600 q.bin 100 Q.uu split-up number=0\nline\n");
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(rebuild("Q.U00"), 1);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(lq_boxes()[0].caption, WARN);
    EXPECT_FALSE(exists(path("Q.uu")));

    lq_boxes_clear();
    EXPECT_EQ(rebuild("nothing.U00"), -1);
    EXPECT_EQ(lq_boxes().back().caption, ERR);
    EXPECT_EQ(lq_boxes().back().text,
              " Could not get the file attributes of: " + path("nothing.U00"));
}

TEST_F(UURebuild, ReadOnlyFirstPartKeepsItsFlagAndPassesItOn) {
    make_parts("T", 5000, false, 2000);
    uu_set_write_time(path("T.U00"), UU_T2003);
    set_readonly(path("T.U00"), true);
    EXPECT_EQ(rebuild("T.U00"), 0) << lq_boxes_dump();
    EXPECT_TRUE(uu_readonly(path("T.U00")));
    EXPECT_TRUE(uu_readonly(path("T.U01")));
    EXPECT_TRUE(uu_readonly(path("T.uub")));
    EXPECT_EQ(uu_write_time(path("T.uub")), UU_T2003);
}

TEST_F(UURebuild, AFailedWriteIsReported) {
    make_parts("F", 5000, true, 2000);
    pf_fault_arm(PF_FAULT_WRITE, 1, PF_ERROR_DISK_FULL);
    EXPECT_EQ(rebuild("F.U00"), -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, ERR, " Failed to write to this rebuild's UU target file " + path("F.uut") + " ",
               UU_STOP);
}

}  // namespace
