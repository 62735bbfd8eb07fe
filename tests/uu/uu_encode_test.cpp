// iUUEncode: files written, boxes shown, attributes kept.
#include <string>

#include "fileops/progress.h"
#include "tests/uu/uu_test_util.h"
#include "uu/uu_encode.h"

namespace {

const char* const WARN = "Lockquill(TM) WARNING: iUUEncode";
const char* const ERR = "Lockquill(TM) ERROR: iUUEncode ";

class UUEncode : public LqTest {
  protected:
    int encode(const std::string& name, bool text, bool encrypted = false, bool read_only = false) {
        UuPath p(path(name));
        int r = iUUEncode(p.p, text ? 1 : 0, encrypted ? 1 : 0, read_only ? 1 : 0);
        EXPECT_STREQ(p.p, path(name).c_str()) << "the path buffer is restored";
        return r;
    }
};

TEST_F(UUEncode, GoldenFilesInBothModes) {
    std::string golden = lq_source_dir() + "/tests/golden/uu/";
    write_file(path("bytes.bin"), read_file(golden + "bytes.bin"));
    ASSERT_EQ(read_file(path("bytes.bin")).size(), 263u);
    EXPECT_EQ(encode("bytes.bin", false), 0);
    EXPECT_EQ(read_file(path("bytes.uub")), read_file(golden + "bytes.uub"));
    EXPECT_EQ(encode("bytes.bin", true), 0);
    EXPECT_EQ(read_file(path("bytes.uut")), read_file(golden + "bytes.uut"));
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(UUEncode, EmptySourceGivesHeaderGraveAccentAndEnd) {
    write_file(path("empty.dat"), "");
    EXPECT_EQ(encode("empty.dat", true), 0);
    EXPECT_EQ(read_file(path("empty.uut")), "begin 666 empty.dat\r\n`\r\nend\r\n");
    EXPECT_EQ(encode("empty.dat", false), 0);
    EXPECT_EQ(read_file(path("empty.uub")), "begin 777 empty.dat\n`\nend\n");
}

TEST_F(UUEncode, LineLengthsAt45And46Bytes) {
    std::string data = lq_random_bytes(46, 3);
    write_file(path("a45"), data.substr(0, 45));
    write_file(path("a46"), data);
    ASSERT_EQ(encode("a45", false), 0);
    ASSERT_EQ(encode("a46", false), 0);
    std::vector<std::string> l45 = uu_lines(read_file(path("a45.uub")));
    ASSERT_EQ(l45.size(), 4u);
    EXPECT_EQ(l45[1][0], 'M');
    EXPECT_EQ(l45[1].size(), 62u);
    EXPECT_EQ(l45[2], "`\n");
    EXPECT_EQ(l45[3], "end\n");
    std::vector<std::string> l46 = uu_lines(read_file(path("a46.uub")));
    ASSERT_EQ(l46.size(), 5u);
    EXPECT_EQ(l46[1], l45[1]);
    EXPECT_EQ(l46[2].size(), 6u);
    EXPECT_EQ(l46[2][0], '!');
    EXPECT_EQ(read_file(path("a46.uub")), "begin 777 a46\n" + uu_reference_body(data));
}

TEST_F(UUEncode, ModesDifferOnlyInTheModeDigitsAndLineEnds) {
    std::string data = lq_random_bytes(100000, 5) + std::string(300, '\0') + "\r\n\x1a";
    write_file(path("mix.bin"), data);
    ASSERT_EQ(encode("mix.bin", true), 0);
    ASSERT_EQ(encode("mix.bin", false), 0);
    std::string text = read_file(path("mix.uut"));
    std::string raw = read_file(path("mix.uub"));
    EXPECT_EQ(raw, "begin 777 mix.bin\n" + uu_reference_body(data));
    EXPECT_EQ(text, uu_crlf("begin 666 mix.bin\n" + uu_reference_body(data)));
    EXPECT_EQ(raw.find(' ', raw.find('\n')), std::string::npos) << "no blank after the header";
}

TEST_F(UUEncode, TargetNameAndHeaderNameAreLeftForTheCaller) {
    write_file(path("secret.END"), "x");
    szFileTitle[0] = 0;
    EXPECT_EQ(encode("secret.END", true, true), 0);
    EXPECT_EQ(std::string(szTargetFilename), path("secret.uet"));
    EXPECT_STREQ(szFileTitle, "secret.END");
    EXPECT_EQ(read_file(path("secret.uet")).substr(0, 22), "begin 666 secret.END\r\n");
    // The encrypted flag only matters in text mode.
    EXPECT_EQ(encode("secret.END", false, true), 0);
    EXPECT_EQ(std::string(szTargetFilename), path("secret.uub"));
}

TEST_F(UUEncode, ASourceWithTheTargetExtensionIsRefusedWithTwoBoxes) {
    write_file(path("NOTE.UUT"), "hello");
    EXPECT_EQ(encode("NOTE.UUT", true), -1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iMakeExtendedFilename",
               " " + path("NOTE.UUT") +
                   " already exists WILL/CAN NOT overwrite. ReName the file manually.",
               UU_STOP);
    EXPECT_BOX(1, ERR, " Cannot derive the UU filename for: " + path("NOTE.UUT"), UU_STOP);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"NOTE.UUT"});
    EXPECT_EQ(read_file(path("NOTE.UUT")), "hello");
}

TEST_F(UUEncode, ReadOnlySourceKeepsItsFlagAndTheOptionMakesBothReadOnly) {
    write_file(path("ro.txt"), "read only");
    uu_set_write_time(path("ro.txt"), UU_T2003);
    set_readonly(path("ro.txt"), true);
    EXPECT_EQ(encode("ro.txt", true), 0);
    EXPECT_TRUE(uu_readonly(path("ro.txt")));
    EXPECT_TRUE(uu_readonly(path("ro.uut")));
    EXPECT_EQ(uu_write_time(path("ro.uut")), UU_T2003);
    EXPECT_EQ(uu_write_time(path("ro.txt")), UU_T2003);

    write_file(path("rw.txt"), "writable");
    EXPECT_EQ(encode("rw.txt", false, false, false), 0);
    EXPECT_FALSE(uu_readonly(path("rw.uub")));
    EXPECT_FALSE(uu_readonly(path("rw.txt")));
    set_readonly(path("rw.uub"), false);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(encode("rw.txt", false, false, true), 0);
    EXPECT_TRUE(uu_readonly(path("rw.uub")));
    EXPECT_TRUE(uu_readonly(path("rw.txt")));
}

TEST_F(UUEncode, ExistingTargetNoKeepsItYesWipesItFirst) {
    write_file(path("doc.txt"), "new content");
    write_file(path("doc.uut"), "old uu file");
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(encode("doc.txt", true), 1);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_BOX(0, WARN,
               " The (UU encoding) target file " + path("doc.uut") +
                   " already exists!  Do you wish to overwrite it ?",
               UU_ASK);
    EXPECT_EQ(read_file(path("doc.uut")), "old uu file");

    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(encode("doc.txt", true), 0);
    EXPECT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_EQ(read_file(path("doc.uut")),
              uu_crlf("begin 666 doc.txt\n" + uu_reference_body("new content")));
}

TEST_F(UUEncode, UnknownFreeSpaceAsksAndNoEndsWithNothingWritten) {
    write_file(path("f.bin"), "abc");
    pf_fault_arm(PF_FAULT_DISKFREE, 1, PF_ERROR_GEN_FAILURE);
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(encode("f.bin", false), 1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: lGetDiskFree ");
    EXPECT_BOX(1, WARN,
               " There MAY NOT be enough free media space to UU EnCode the file " + path("f.bin") +
                   ".  Continue anyways ?",
               UU_ASK);
    EXPECT_FALSE(exists(path("f.uub")));

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DISKFREE, 1, PF_ERROR_GEN_FAILURE);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(encode("f.bin", false), 0);
    EXPECT_TRUE(exists(path("f.uub")));
}

TEST_F(UUEncode, TargetThatCannotBeCreatedIsReportedOnceAtTheEnd) {
    write_file(path("g.bin"), "abc");
    set_readonly(path("g.bin"), true);
    // Opens: the size, the attributes, the source, then the target.
    pf_fault_arm(PF_FAULT_OPEN, 4, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(encode("g.bin", true), -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, ERR, " E#2t Cannot Open the file: " + path("g.uut"), UU_STOP);
    EXPECT_TRUE(uu_readonly(path("g.bin"))) << "the source's flag comes back";

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_OPEN, 4, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(encode("g.bin", false), -1);
    EXPECT_BOX(0, ERR, " E#2b Cannot Open the file: " + path("g.uub"), UU_STOP);
}

TEST_F(UUEncode, MissingSourceFailsWithTheServicesBoxesRepeated) {
    EXPECT_EQ(encode("missing.bin", true), -1);
    ASSERT_GE(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes().back().caption, ERR);
    EXPECT_EQ(lq_boxes().back().text, lq_boxes()[lq_boxes().size() - 2].text);
    EXPECT_TRUE(list_dir(dir()).empty());
}

TEST_F(UUEncode, AFailedWriteIsReportedNotTakenForSuccess) {
    write_file(path("big.bin"), lq_random_bytes(400000, 8));
    pf_fault_arm(PF_FAULT_WRITE, 1, PF_ERROR_DISK_FULL);
    EXPECT_EQ(encode("big.bin", false), -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, ERR, " Failed to write to the UU EnCoded file " + path("big.uub") + " ", UU_STOP);
}

TEST_F(UUEncode, ANameTooLongForTheTitleBufferIsRefused) {
    std::string name = std::string(124, 'n') + ".bin";  // 128 characters
    write_file(path(name), "abc");
    EXPECT_EQ(encode(name, false), -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, ERR, " The name of the file " + path(name) + " is longer than 127 characters.",
               UU_STOP);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{name});
    name.erase(0, 1);  // 127 fit
    write_file(path(name), "abc");
    EXPECT_EQ(encode(name, false), 0);
}

TEST_F(UUEncode, NullOrEmptyPathReturnsMinusOneSilently) {
    EXPECT_EQ(iUUEncode(nullptr, 1, 0, 0), -1);
    char empty[1] = "";
    EXPECT_EQ(iUUEncode(empty, 1, 0, 0), -1);
    EXPECT_TRUE(lq_boxes().empty());
}

intptr_t fake_open() { return 7; }
int paints;
void fake_paint(intptr_t) { ++paints; }
void fake_close(intptr_t) {}
const LqProgressUi fake_ui = {fake_open, fake_paint, fake_close};

TEST_F(UUEncode, ProgressCountsEverySourceByteAndClosesTheWindow) {
    write_file(path("p.bin"), lq_random_bytes(300000, 2));
    lq_set_progress_ui(&fake_ui);
    paints = 0;
    EXPECT_EQ(encode("p.bin", true), 0);
    EXPECT_EQ(dwProgressDone, 300000u);
    EXPECT_EQ(dwProgressTotal, 300000u);
    EXPECT_GE(paints, 2);
    EXPECT_EQ(hwndProgress, 0);
    lq_set_progress_ui(nullptr);
}

}  // namespace
