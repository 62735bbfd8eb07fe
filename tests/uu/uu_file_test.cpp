// iUUEncode, iUUDecode, iUUSplitUpFile and iUURebuildSplitUpFile on files:
// bytes, names, questions and refusals, one fixture per operation.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

const std::string CAT_BODY = "#0V%T\n#````\n`\nend\n";  // "Cat" and three zero bytes
const std::string CAT = std::string("Cat") + std::string(3, '\0');

class UUEncode : public LqTest {
  protected:
    int encode(const std::string& name, bool text, bool encrypted = false, bool ro = false) {
        UuPath p(path(name));
        int r = iUUEncode(p.p, text ? 1 : 0, encrypted ? 1 : 0, ro ? 1 : 0);
        EXPECT_STREQ(p.p, path(name).c_str()) << "the path buffer is restored";
        return r;
    }
};

TEST_F(UUEncode, BytesOfBothModesAndTheNamesLeftForTheCaller) {
    std::string golden = lq_source_dir() + "/tests/golden/uu/";
    write_file(path("bytes.bin"), read_file(golden + "bytes.bin"));
    for (bool text : {false, true}) {
        EXPECT_EQ(encode("bytes.bin", text), 0);
        std::string ext = text ? "bytes.uut" : "bytes.uub";
        EXPECT_EQ(read_file(path(ext)), read_file(golden + ext));
        EXPECT_EQ(std::string(szTargetFilename), path(ext));
    }
    EXPECT_STREQ(szFileTitle, "bytes.bin");
    for (size_t n : {0, 45, 46, 4500}) {
        std::string data = lq_random_bytes(n, uint32_t(n));
        write_file(path("d.bin"), data);
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(encode("d.bin", true, true), 0);
        EXPECT_EQ(read_file(path("d.uet")), uu_crlf("begin 666 d.bin\n" + uu_reference_body(data)));
    }
    EXPECT_EQ(lq_boxes_text(path("")).find("ERROR"), std::string::npos);
}

TEST_F(UUEncode, QuestionsRefusalsAndAttributes) {
    const std::string ask = "Lockquill(TM) WARNING: iUUEncode|";
    const std::string err = "Lockquill(TM) ERROR: iUUEncode | ";
    write_file(path("NOTE.UUT"), "hello");
    EXPECT_EQ(encode("NOTE.UUT", true), -1);
    EXPECT_EQ(lq_boxes_text(path("")),
              "Lockquill(TM) ERROR: iMakeExtendedFilename| @NOTE.UUT already exists WILL/CAN NOT "
              "overwrite. ReName the file manually.|16\n" +
                  err + "Cannot derive the UU filename for: @NOTE.UUT|16\n");
    write_file(path("doc.txt"), "new");
    write_file(path("doc.uut"), "old");
    EXPECT_EQ(encode("doc.txt", true), 1);
    EXPECT_EQ(lq_boxes_text(path("")),
              ask +
                  " The (UU encoding) target file @doc.uut already exists!  "
                  "Do you wish to overwrite it ?|36\n");
    EXPECT_EQ(read_file(path("doc.uut")), "old");
    std::string long_name(128, 'n');
    write_file(path(long_name), "x");
    EXPECT_EQ(encode(long_name, false), -1);
    EXPECT_EQ(lq_boxes_text(path("")),
              err + "The name of the file @" + long_name + " is longer than 127 characters.|16\n");
    // A read-only source stays so; the option makes the target read-only too.
    uu_set_write_time(path("doc.txt"), UU_T2003);
    set_readonly(path("doc.txt"), true);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(encode("doc.txt", false, false, true), 0);
    EXPECT_TRUE(uu_readonly(path("doc.txt")) && uu_readonly(path("doc.uub")));
    EXPECT_EQ(uu_write_time(path("doc.uub")), UU_T2003);
    write_file(path("rw.txt"), "w");
    EXPECT_EQ(encode("rw.txt", false), 0);
    EXPECT_FALSE(uu_readonly(path("rw.uub")) || uu_readonly(path("rw.txt")));
    EXPECT_EQ(iUUEncode(nullptr, 1, 0, 0), -1);
    EXPECT_EQ(lq_boxes_text(path("")), "");
}

class UUDecode : public LqTest {
  protected:
    int decode_file(const std::string& name, std::string* title_out = nullptr) {
        UuTitle title(name);
        int r = iUUDecode(path(name).c_str(), 1, title.t);
        if (title_out) *title_out = title.t;
        return r;
    }
};

TEST_F(UUDecode, OurFilesOfBothModesAndGoldenFiles) {
    std::string data = lq_random_bytes(70001, 11) + std::string(50, '\0') + "\r\n\x1a\n";
    write_file(path("data.bin"), data);
    for (int text : {1, 0}) {
        UuPath p(path("data.bin"));
        ASSERT_EQ(iUUEncode(p.p, int16_t(text), 0, 0), 0);
    }
    uu_set_write_time(path("data.uut"), UU_T2003);
    for (const char* uu : {"data.uut", "data.uub"}) {
        pf_delete(path("data.bin").c_str());
        std::string title;
        EXPECT_EQ(decode_file(uu, &title), 0);
        EXPECT_EQ(read_file(path("data.bin")), data);
        EXPECT_EQ(title, "data.bin");
        EXPECT_EQ(std::string(szTargetFilename), path("data.bin"));
    }
    EXPECT_EQ(uu_write_time(path("data.uut")), UU_T2003);
    std::string golden = lq_source_dir() + "/tests/golden/uu/";
    for (const char* name : {"bytes.uub", "bytes.uut"}) {
        write_file(path(name), read_file(golden + name));
        pf_delete(path("bytes.bin").c_str());
        EXPECT_EQ(decode_file(name), 0) << name;
        EXPECT_EQ(read_file(path("bytes.bin")), read_file(golden + "bytes.bin")) << name;
    }
    EXPECT_EQ(lq_boxes_text(path("")), "");
}

TEST_F(UUDecode, HeadersModesQuestionsAndRefusals) {
    const std::string ask = "Lockquill(TM) WARNING: iUUDecode|";
    const std::string err = "Lockquill(TM) ERROR: iUUDecode | ";
    const std::string unknown =
        ask +
        " The UU Encoding Mode Flag 644 within the file m.uu DOES NOT match the Mode Flags "
        "used by Lockquill, select YES to continue with manual control(s)!|36\n";
    const std::string switch_q =
        ask + " Select YES to switch the FILENAME:m.uu with the MODE FLAG:644 |36\n" + ask +
        " Select YES to UU DeCode the FILENAME:m.uu using BINARY MODE (Source was UNIX System) "
        "Select NO to UU DeCode using TEXT MODE (Source was DOS/NT/Windows System)|36\n";
    const std::string refused =
        " is refused: a name with a folder, a drive, a wildcard, or '.' or "
        "'..', could place the output outside the folder of that file.|16\n";
    struct Case {
        std::string uu;       // the file m.uu
        std::string answers;  // y / n
        int result;
        std::string out, bytes;  // the decoded file ("" none) and its bytes
        std::string boxes;
    } cases[] = {
        {uu_crlf("begin 777 o\n" + CAT_BODY), "", -1, "o", CAT,
         err + "No 'end line' in the file: @m.uu|16\n"},
        {uu_crlf("begin 666 o\n" + CAT_BODY), "", 0, "o", CAT, ""},
        {uu_crlf("begin REPORT 666\n" + CAT_BODY), "", 0, "REPORT", CAT, ""},
        {uu_crlf("begin 666 666\n" + CAT_BODY), "", 0, "666", CAT, ""},
        {uu_crlf("begin o BINARY\n" + CAT_BODY), "", -1, "o", CAT,
         err + "No 'end line' in the file: @m.uu|16\n"},
        {uu_crlf("begin 644 o\n" + CAT_BODY), "yny", -1, "o", CAT,
         unknown + switch_q + err + "No 'end line' in the file: @m.uu|16\n"},
        {uu_crlf("begin 644 o\n" + CAT_BODY), "ynn", 0, "o", CAT, unknown + switch_q},
        {uu_crlf("begin 644 o\n" + CAT_BODY), "yyn", 0, "644", CAT, unknown + switch_q},
        {uu_crlf("begin 644 o\n" + CAT_BODY), "n", 1, "", "", unknown},
        {"From: x\nbegin\n\x1a\nbegin 666 o\n#0V%T\n#\n!_P\n\nend\n", "", 0, "o", CAT + "\xff", ""},
        {"no header\nbegin\tx y\n", "", -1, "", "",
         err + "No 'beginning line' in the file: @m.uu|16\n"},
        {"begin 666 o\n#0V%T\n`\n", "", -1, "o", "Cat",
         err + "No 'end line' in the file: @m.uu|16\n"},
        {"begin 666 o\n#0V%T\n", "", 1, "o", "Cat",
         "Lockquill(TM) ERROR: decode| The file to decode is 'Short' |16\n"},
        {"begin 666 keep\n" + CAT_BODY, "n", 1, "keep", "precious",
         ask + " The target file @keep for this UU encoded file already exists! Do you wish to "
               "overwrite it ?|36\n"},
        {"begin 666 M.UU\n" + CAT_BODY, "", -1, "", "",
         err + "The file name 'M.UU' in the file @m.uu names that file itself: decoding would "
               "destroy the file being read.|16\n"},
        {"begin 666 " + std::string(132, 'n') + "\n", "", -1, "", "",
         err + "The 'beginning line' of the file @m.uu holds a field longer than 131 "
               "characters.|16\n"},
    };
    const char* bad_names[] = {"../x", "C:x", "NUL", "com1.txt", "x.", "a\x1b", "*"};
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* n : bad_names)
        all.push_back({std::string("begin 666 ") + n + "\n" + CAT_BODY, "", -1, "", "",
                       err + "The file name '" + n + "' in the file @m.uu" + refused});
    for (const Case& c : all) {
        SCOPED_TRACE(c.uu.substr(0, 40));
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
        write_file(path("keep"), "precious");
        write_file(path("m.uu"), c.uu);
        for (char a : c.answers) lq_answer_next(a == 'y' ? LQ_IDYES : LQ_IDNO);
        EXPECT_EQ(decode_file("m.uu"), c.result);
        EXPECT_EQ(lq_boxes_text(path("")), c.boxes);
        EXPECT_EQ(read_file(path("m.uu")), c.uu);
        std::vector<std::string> want = {"keep", "m.uu"};
        if (!c.out.empty() && c.out != "keep") want.push_back(c.out);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(list_dir(dir()), want);
        if (!c.out.empty()) {
            EXPECT_EQ(read_file(path(c.out)), c.bytes);
        }
    }
}

class UUSplit : public LqTest {
  protected:
    // Encodes stem.DOC (n random bytes); returns the UU file's name.
    std::string make_uu(const std::string& stem, size_t n, bool text = true) {
        write_file(path(stem + ".DOC"), lq_random_bytes(n, uint32_t(n)));
        UuPath p(path(stem + ".DOC"));
        EXPECT_EQ(iUUEncode(p.p, text ? 1 : 0, 0, 0), 0);
        pf_delete(path(stem + ".DOC").c_str());
        return stem + (text ? ".uut" : ".uub");
    }
    int split(const std::string& uu, int32_t max) {
        return iUUSplitUpFile(path(uu).c_str(), 1, uu.c_str(), max);
    }
    // The parts of stem after their header lines, joined; counts them.
    std::string joined(const std::string& stem, int* count) {
        std::string all;
        for (*count = 0;
             exists(path(stem + ".U" + (*count < 10 ? "0" : "") + std::to_string(*count)));
             ++*count) {
            std::string d =
                read_file(path(stem + ".U" + (*count < 10 ? "0" : "") + std::to_string(*count)));
            all += d.substr(d.find('\n') + 1);
        }
        return all;
    }
};

TEST_F(UUSplit, PartsHoldTheLinesUnderTheirHeadersBelowTheMaximum) {
    struct {
        bool text;
        size_t bytes;
        int32_t max;
        int parts;
    } cases[] = {{true, 20000, 5120, 6}, {false, 45 * 320, 400, 107}, {true, 8000, 0, 1}};
    for (const auto& c : cases) {
        std::string uu = make_uu("R", c.bytes, c.text);
        std::string whole = read_file(path(uu));
        int32_t max = c.max ? c.max : int32_t(whole.size());
        ASSERT_EQ(split(uu, max), 0);
        int n;
        EXPECT_TRUE(joined("R", &n) == whole.substr(whole.find('\n') + 1));
        EXPECT_EQ(n, c.parts);
        std::string last = path("R.U" + std::string(n - 1 < 10 ? "0" : "") + std::to_string(n - 1));
        EXPECT_EQ(std::string(szTargetFilename), last);
        std::vector<std::string> lines = uu_lines(read_file(last));
        EXPECT_EQ(lines[0], std::string(c.text ? "begin 666" : "begin 777") + " R.DOC " +
                                std::to_string(whole.size()) + " " + uu + " split-up number=" +
                                std::to_string(n - 1) + (c.text ? "\r\n" : "\n"));
        size_t counted = 129;  // the header and the lines as read, plus 129
        for (const std::string& l : lines) counted += l.size() - (c.text ? 1 : 0);
        EXPECT_LT(counted, size_t(max));
        for (const std::string& f : list_dir(dir())) pf_delete(path(f).c_str());
    }
    EXPECT_EQ(lq_boxes_text(path("")), "");
}

TEST_F(UUSplit, RefusedMaximumsAndNames) {
    const std::string err = "Lockquill(TM) ERROR: iUUSplitUpFile | ";
    std::string uu = make_uu("L", 8000);
    int32_t size = int32_t(read_file(path(uu)).size());
    const std::pair<int32_t, std::string> cases[] = {
        {258,
         "The maximum size for the UU splitup files you entered may result in a ZERO "
         "argument. Please enter a different value."},
        {-5,
         "The maximum size for the UU splitup files you entered may result in a ZERO "
         "argument. Please enter a different value."},
        {259,
         "The maximum size for the UU splitup files you entered will result in more than "
         "10000 files. The maximum UU file splitup filesize must be larger than " +
             std::to_string(size / 10000 + 258)},
        {size + 1,
         "The maximum size for the UU splitup files you entered is larger than the "
         "original UU file!"}};
    for (const auto& c : cases) {
        EXPECT_EQ(split(uu, c.first), -1);
        EXPECT_EQ(lq_boxes_text(path("")), err + c.second + "|16\n");
    }
    write_file(path("odd.U00"), "begin 666 odd\n" + std::string(4000, 'x') + "\n`\nend\n");
    EXPECT_EQ(split("odd.U00", 1000), -1);
    EXPECT_EQ(lq_boxes_text(path("")),
              "Lockquill(TM) ERROR: iMakeExtendedFilename| @odd.U00 already exists WILL/CAN NOT "
              "overwrite. ReName the file manually.|16\n" +
                  err + "Cannot derive the 0 UU Split Up filename for: @odd.U00|16\n");
    write_file(path("L.U00"), "old part");
    EXPECT_EQ(split(uu, 5120), 1);
    EXPECT_EQ(lq_boxes_text(path("")),
              "Lockquill(TM) WARNING: iUUSplitUpFile| The UU split up target "
              "file @L.U00 already exists! Do you wish to overwrite it ?|36\n");
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{"L.U00", "L.uut", "odd.U00"}));
}

class UURebuild : public UUSplit {
  protected:
    int rebuild(const std::string& first_part) {
        UuPath p(path(first_part));
        return iUURebuildSplitUpFile(p.p, 1, first_part.c_str());
    }
};

TEST_F(UURebuild, JoinsThePartsInNameOrderUntilOneIsMissing) {
    for (bool text : {true, false}) {
        std::string uu = make_uu("B", 20000, text);
        std::string whole = read_file(path(uu));
        ASSERT_EQ(split(uu, 2000), 0);
        uu_set_write_time(path("B.U00"), UU_T2003);
        set_readonly(path("B.U00"), true);
        EXPECT_EQ(rebuild("B.U00"), 1) << "the UU file is still there";
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(rebuild("B.U00"), 0);
        EXPECT_TRUE(read_file(path(uu)) == whole);
        EXPECT_EQ(std::string(szTargetFilename), path(uu));
        EXPECT_TRUE(uu_readonly(path(uu)) && uu_readonly(path("B.U00")));
        EXPECT_EQ(uu_write_time(path(uu)), UU_T2003);
        for (const std::string& f : list_dir(dir())) set_readonly(path(f), false);
        pf_delete(path(uu).c_str());
        // Picking a later part starts with it, goes on from U01 and stops at
        // its own name, which cannot be derived from itself.
        write_file(path("B.U01"), "not a header\n");
        EXPECT_EQ(rebuild("B.U02"), -1);
        std::string p2 = read_file(path("B.U02"));
        EXPECT_TRUE(read_file(path(uu)) == (text ? "begin 666 B.DOC\r\n" : "begin 777 B.DOC\n") +
                                               p2.substr(p2.find('\n') + 1) + "not a header" +
                                               (text ? "\r\n" : "\n"));
        EXPECT_EQ(lq_boxes().back().text,
                  " COULD NOT derive the 2 rebuild input UU Splitup filename for: " + path(uu));
        // A missing part ends the join: done.
        pf_delete(path("B.U03").c_str());
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(rebuild("B.U00"), 0);
        std::string p0 = read_file(path("B.U00"));
        EXPECT_TRUE(read_file(path(uu)) == (text ? "begin 666 B.DOC\r\n" : "begin 777 B.DOC\n") +
                                               p0.substr(p0.find('\n') + 1) + "not a header" +
                                               (text ? "\r\n" : "\n") +
                                               p2.substr(p2.find('\n') + 1));
        lq_boxes_clear();
        for (const std::string& f : list_dir(dir())) {
            set_readonly(path(f), false);
            pf_delete(path(f).c_str());
        }
    }
}

TEST_F(UURebuild, RefusedSizesAndTargetsNamingTheirOwnParts) {
    const std::string err = "Lockquill(TM) ERROR: iUURebuildSplitUpFile | ";
    const std::string own =
        "' in the file @P.U00 names one of its own parts: rebuilding would "
        "destroy a part being read.|16\n";
    const std::pair<std::string, std::string> cases[] = {
        {"begin 666 D 0 R.uut split-up number=0\n",
         "COULD NOT read the rebuild's UU target file size from the input file @P.U00|16\n"},
        {"begin 666 D x R.uut split-up number=0\n",
         "COULD NOT read the rebuild's UU target file size from the input file @P.U00|16\n"},
        {"begin 666 D 9 P.U00 split-up number=0\n", "The UU file name 'P.U00" + own},
        {"begin 666 D 9 p.u01 split-up number=0\n", "The UU file name 'p.u01" + own},
        {"begin 666 D 9 P.U100 split-up number=0\n", "The UU file name 'P.U100" + own},
        {"begin 666 D 9 AUX.uut split-up number=0\n",
         "The file name 'AUX.uut' in the file @P.U00 is refused: a name with a folder, a drive, a "
         "wildcard, or '.' or '..', could place the output outside the folder of that file.|16\n"},
        {"no header\n", "No 'beginning line' in the file: @P.U00|16\n"}};
    for (const auto& c : cases) {
        write_file(path("P.U00"), c.first + "line\n");
        write_file(path("P.U01"), "begin 666 D 9 R.uut split-up number=1\nmore\n");
        EXPECT_EQ(rebuild("P.U00"), -1) << c.first;
        EXPECT_EQ(lq_boxes_text(path("")), err + c.second);
        EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{"P.U00", "P.U01"}));
        EXPECT_EQ(read_file(path("P.U01")), "begin 666 D 9 R.uut split-up number=1\nmore\n");
    }
}

}  // namespace
