// iUUDecode and decode: bytes restored, modes settled, faults refused.
#include <filesystem>
#include <string>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"

namespace {

const char* const WARN = "Lockquill(TM) WARNING: iUUDecode";
const char* const ERR = "Lockquill(TM) ERROR: iUUDecode ";

// "Cat" and three zero bytes as data lines, LF ends.
const std::string CAT_BODY = "#0V%T\n#````\n`\nend\n";
const std::string CAT = std::string("Cat") + std::string(3, '\0');

class UUDecode : public LqTest {
  protected:
    // Decodes dir()/name the way the menu command does; title_out receives
    // the name buffer afterwards.
    int decode_file(const std::string& name, std::string* title_out = nullptr) {
        UuTitle title(name);
        int r = iUUDecode(path(name).c_str(), 1, title.t);
        if (title_out) *title_out = title.t;
        return r;
    }
};

TEST_F(UUDecode, OurFilesOfBothModesDecodeWithoutAQuestion) {
    std::string data = lq_random_bytes(70001, 11) + std::string(50, '\0') + "\r\n\x1a\n";
    write_file(path("data.bin"), data);
    for (bool text : {true, false}) {
        UuPath p(path("data.bin"));
        ASSERT_EQ(iUUEncode(p.p, text ? 1 : 0, 0, 0), 0);
    }
    uu_set_write_time(path("data.uut"), UU_T2003);
    EXPECT_EQ(pf_delete(path("data.bin").c_str()), true);
    std::string title;
    EXPECT_EQ(decode_file("data.uut", &title), 0);
    EXPECT_EQ(read_file(path("data.bin")), data);
    EXPECT_EQ(title, "data.bin");
    EXPECT_EQ(std::string(szTargetFilename), path("data.bin"));
    EXPECT_EQ(uu_write_time(path("data.bin")), UU_T2003) << "the encoded file's times";

    lq_answer_next(LQ_IDYES);  // data.bin exists now
    EXPECT_EQ(decode_file("data.uub"), 0);
    EXPECT_EQ(read_file(path("data.bin")), data);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, WARN,
               " The target file " + path("data.bin") +
                   " for this UU encoded file already exists! Do you wish to overwrite it ?",
               UU_ASK);
}

TEST_F(UUDecode, GoldenFilesDecode) {
    std::string golden = lq_source_dir() + "/tests/golden/uu/";
    for (const char* name : {"bytes.uub", "bytes.uut"}) {
        write_file(path(name), read_file(golden + name));
        EXPECT_EQ(decode_file(name), 0) << name;
        EXPECT_EQ(read_file(path("bytes.bin")), read_file(golden + "bytes.bin")) << name;
        pf_delete(path("bytes.bin").c_str());
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(UUDecode, RawModeFileWithCrLfLinesDecodesButMissesItsEndLine) {
    // Read as raw bytes ("777"), every line keeps its CR: the data decode,
    // the trailer reads "end\r\n".
    write_file(path("r.uub"), uu_crlf("begin 777 out.bin\n" + CAT_BODY));
    EXPECT_EQ(decode_file("r.uub"), -1);
    EXPECT_EQ(read_file(path("out.bin")), CAT);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, ERR, " No 'end line' in the file: " + path("r.uub"), UU_STOP);
    // The same lines under "666" are read as text: no complaint.
    lq_boxes_clear();
    write_file(path("t.uut"), uu_crlf("begin 666 out2.bin\n" + CAT_BODY));
    EXPECT_EQ(decode_file("t.uut"), 0);
    EXPECT_EQ(read_file(path("out2.bin")), CAT);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(UUDecode, ModeWordsAndExchangedFields) {
    // Name first: the fields are exchanged, text mode.
    write_file(path("a.uu"), uu_crlf("begin REPORT 666\n" + CAT_BODY));
    EXPECT_EQ(decode_file("a.uu"), 0);
    EXPECT_EQ(read_file(path("REPORT")), CAT);
    // Both fields mode words: exchanged once, then decoded to a file "666".
    write_file(path("b.uu"), uu_crlf("begin 666 666\n" + CAT_BODY));
    EXPECT_EQ(decode_file("b.uu"), 0);
    EXPECT_EQ(read_file(path("666")), CAT);
    // TEXT and BINARY are mode words too; BINARY reads raw, so CR LF lines
    // lose their end line.
    write_file(path("c.uu"), uu_crlf("begin TEXT c.out\n" + CAT_BODY));
    EXPECT_EQ(decode_file("c.uu"), 0);
    write_file(path("d.uu"), uu_crlf("begin d.out BINARY\n" + CAT_BODY));
    EXPECT_EQ(decode_file("d.uu"), -1);
    EXPECT_EQ(read_file(path("d.out")), CAT);
    EXPECT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
}

TEST_F(UUDecode, UnknownModeFlagAsksThreeQuestions) {
    const std::string uu = uu_crlf("begin 644 REPORT\n" + CAT_BODY);
    write_file(path("m.uu"), uu);
    // Yes, No, Yes: raw bytes, so the CR LF trailer is missed.
    lq_answer_next(LQ_IDYES);
    lq_answer_next(LQ_IDNO);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(decode_file("m.uu"), -1);
    EXPECT_EQ(read_file(path("REPORT")), CAT);
    ASSERT_EQ(lq_boxes().size(), 4u) << lq_boxes_dump();
    EXPECT_BOX(0, WARN,
               " The UU Encoding Mode Flag 644 within the file m.uu DOES NOT match the Mode Flags "
               "used by Lockquill, select YES to continue with manual control(s)!",
               UU_ASK);
    EXPECT_BOX(1, WARN, " Select YES to switch the FILENAME:m.uu with the MODE FLAG:644 ", UU_ASK);
    EXPECT_BOX(2, WARN,
               " Select YES to UU DeCode the FILENAME:m.uu using BINARY MODE (Source was UNIX "
               "System) Select NO to UU DeCode using TEXT MODE (Source was DOS/NT/Windows System)",
               UU_ASK);
    EXPECT_BOX(3, ERR, " No 'end line' in the file: " + path("m.uu"), UU_STOP);

    // Yes, No, No: text mode, clean.
    pf_delete(path("REPORT").c_str());
    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    lq_answer_next(LQ_IDNO);
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(decode_file("m.uu"), 0);
    EXPECT_EQ(read_file(path("REPORT")), CAT);
    EXPECT_EQ(lq_boxes().size(), 3u);

    // Yes, Yes, No: the fields are switched, the file is named 644.
    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    lq_answer_next(LQ_IDYES);
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(decode_file("m.uu"), 0);
    EXPECT_EQ(read_file(path("644")), CAT);

    // No to the first: result 1, nothing else.
    lq_boxes_clear();
    pf_delete(path("REPORT").c_str());
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(decode_file("m.uu"), 1);
    EXPECT_EQ(lq_boxes().size(), 1u);
    EXPECT_FALSE(exists(path("REPORT")));
}

TEST_F(UUDecode, StrippedBlanksPreambleAndEmptyLineEnd) {
    // Blanks for zero, stripped at the line ends; a mail header before; an
    // empty line instead of the grave accent.
    std::string uu =
        "From: someone\nSubject: beginning of the file\nbegin\n\nbegin 666 s.out\n"
        "#0V%T\n#\n!_P\n\nend\n";
    write_file(path("s.uu"), uu);
    EXPECT_EQ(decode_file("s.uu"), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(path("s.out")), "Cat" + std::string(3, '\0') + "\xff");
}

TEST_F(UUDecode, ControlZIsDataInTextMode) {
    write_file(path("z.uut"), "\x1a\r\n" + uu_crlf("begin 666 z.out\n" + CAT_BODY));
    EXPECT_EQ(decode_file("z.uut"), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(path("z.out")), CAT);
}

TEST_F(UUDecode, ACutFileIsReportedOnceAsShortAndThePartStays) {
    std::string data = lq_random_bytes(4500, 4);
    write_file(path("whole.bin"), data);
    UuPath p(path("whole.bin"));
    ASSERT_EQ(iUUEncode(p.p, 1, 0, 0), 0);
    std::string uu = read_file(path("whole.uut"));
    write_file(path("cut.uut"), uu.substr(0, uu.size() / 2));
    pf_delete(path("whole.bin").c_str());
    EXPECT_EQ(decode_file("cut.uut"), 1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, "Lockquill(TM) ERROR: decode", " The file to decode is 'Short' ", UU_STOP);
    std::string part = read_file(path("whole.bin"));
    EXPECT_GT(part.size(), 1000u);
    EXPECT_EQ(part.substr(0, 1000), data.substr(0, 1000));
}

TEST_F(UUDecode, MissingHeaderAndMissingEndLine) {
    write_file(path("none.uu"), "no header here\nbegin\tx y\n");
    EXPECT_EQ(decode_file("none.uu"), -1);
    ASSERT_EQ(lq_boxes().size(), 1u);
    EXPECT_BOX(0, ERR, " No 'beginning line' in the file: " + path("none.uu"), UU_STOP);

    lq_boxes_clear();
    write_file(path("noend.uu"), "begin 666 ne.out\n#0V%T\n`\n");
    EXPECT_EQ(decode_file("noend.uu"), -1);
    EXPECT_EQ(read_file(path("ne.out")), "Cat");
    EXPECT_BOX(0, ERR, " No 'end line' in the file: " + path("noend.uu"), UU_STOP);
}

TEST_F(UUDecode, ExistingTargetNoKeepsItUntouched) {
    write_file(path("x.uu"), "begin 666 keep.me\n" + CAT_BODY);
    write_file(path("keep.me"), "precious");
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(decode_file("x.uu"), 1);
    EXPECT_EQ(read_file(path("keep.me")), "precious");
    EXPECT_EQ(lq_boxes().size(), 1u);
}

TEST_F(UUDecode, NamesThatLeaveTheFolderAreRefusedAndNothingIsWritten) {
    // The UU file lies in inner/, with a folder sub/ inside it: nothing may
    // appear in the test folder, in inner/ or in sub/.
    std::string inner = path("inner");
    std::string sub = inner + "/sub";
    ASSERT_TRUE(std::filesystem::create_directories(sub));
    std::string uu = (std::filesystem::path(inner) / "evil.uu").make_preferred().string();
    const char* names[] = {"../escape",
                           "sub/escape",
                           "sub\\escape",
                           "C:escape",
                           "C:\\escape",
                           "/tmp/lq-uu-escape",
                           ".",
                           "..",
                           "*",
                           "esc?pe",
                           ""};
    for (const char* name : names) {
        lq_boxes_clear();
        write_file(uu, std::string("begin 666 ") + name + "\n" + CAT_BODY);
        UuTitle title("evil.uu");
        EXPECT_EQ(iUUDecode(uu.c_str(), 1, title.t), -1) << name;
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"inner"}) << name;
        EXPECT_EQ(list_dir(inner), (std::vector<std::string>{"evil.uu", "sub"})) << name;
        EXPECT_TRUE(list_dir(sub).empty()) << name;
        EXPECT_FALSE(exists("/tmp/lq-uu-escape"));
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_BOX(0, ERR,
                   std::string(" The file name '") + name + "' in the file " + uu +
                       " is refused: a name with a folder, a drive, a wildcard, or '.' or '..', "
                       "could place the output outside the folder of that file.",
                   UU_STOP);
    }
}

TEST_F(UUDecode, OverlongFieldsAreRefusedAndOverlongLinesDoNotOverflow) {
    write_file(path("long.uu"), "begin 666 " + std::string(132, 'n') + "\n" + CAT_BODY);
    EXPECT_EQ(decode_file("long.uu"), -1);
    EXPECT_BOX(0, ERR,
               " The 'beginning line' of the file " + path("long.uu") +
                   " holds a field longer than 131 characters.",
               UU_STOP);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"long.uu"});

    // A 131-character name is taken; the name buffer keeps 127 of it.
    lq_boxes_clear();
    std::string name131(131, 'n');
    write_file(path("ok.uu"), "begin 666 " + name131 + "\n" + CAT_BODY);
    std::string title;
    EXPECT_EQ(decode_file("ok.uu", &title), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(path(name131)), CAT);
    EXPECT_EQ(title, name131.substr(0, 127));

    // Data lines far beyond the line buffers are read in pieces.
    lq_boxes_clear();
    std::string huge = "begin 666 h.out\n_" + std::string(5000, '!') + "\n`\nend\n";
    write_file(path("huge.uu"), huge);
    EXPECT_EQ(decode_file("huge.uu"), 0) << lq_boxes_dump();
    EXPECT_TRUE(exists(path("h.out")));
}

TEST_F(UUDecode, ReadOnlyEncodedFileKeepsItsFlagAndPassesItOn) {
    write_file(path("ro.uu"), "begin 666 ro.out\n" + CAT_BODY);
    set_readonly(path("ro.uu"), true);
    EXPECT_EQ(decode_file("ro.uu"), 0);
    EXPECT_TRUE(uu_readonly(path("ro.uu")));
    EXPECT_TRUE(uu_readonly(path("ro.out")));
    EXPECT_EQ(read_file(path("ro.out")), CAT);
}

TEST_F(UUDecode, TargetThatCannotBeCreatedAndAFailedWrite) {
    write_file(path("w.uu"), "begin 666 w.out\n" + CAT_BODY);
    // Opens: the size, the attributes, the UU file, then the target.
    pf_fault_arm(PF_FAULT_OPEN, 4, PF_ERROR_ACCESS_DENIED);
    EXPECT_EQ(decode_file("w.uu"), -4);
    EXPECT_BOX(0, ERR, " Cannot Open the file: " + path("w.out") + " for output.", UU_STOP);

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_WRITE, 1, PF_ERROR_DISK_FULL);
    EXPECT_EQ(decode_file("w.uu"), -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, ERR, " Failed to write to the UU DeCoded file " + path("w.out") + " ", UU_STOP);
}

TEST_F(UUDecode, NullOrEmptyArgumentsReturnMinusOneSilently) {
    char title[8] = "x";
    char empty[1] = "";
    EXPECT_EQ(iUUDecode(nullptr, 1, title), -1);
    EXPECT_EQ(iUUDecode("", 1, title), -1);
    EXPECT_EQ(iUUDecode("x", 1, nullptr), -1);
    EXPECT_EQ(iUUDecode("x", 1, empty), -1);
    EXPECT_TRUE(lq_boxes().empty());
}

}  // namespace
