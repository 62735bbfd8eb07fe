// iUUEncode, iUUDecode, iUUSplitUpFile and iUURebuildSplitUpFile on files:
// bytes, names, questions and refusals, one fixture per operation.
#include <string>
#include <vector>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

typedef std::vector<std::string> Names;
const std::string CAT_BODY = "#0V%T\n#````\n`\nend\n";  // "Cat" and three zero bytes
const std::string CAT = std::string("Cat") + std::string(3, '\0');
const std::string ERR = "Lockquill(TM) ERROR: ", ASK = "Lockquill(TM) WARNING: ";
const std::string GOLDEN = lq_source_dir() + "/tests/golden/uu/";

class UuFile : public LqTest {
  protected:
    std::string boxes() { return lq_boxes_text(path("")); }
    std::string after_header(const std::string& name) {
        std::string d = read_file(path(name));
        return d.substr(d.find('\n') + 1);
    }
    int encode(const std::string& name, bool text, bool encrypted = false, bool ro = false) {
        UuPath p(path(name));
        int r = iUUEncode(p.p, text, encrypted, ro);
        EXPECT_STREQ(p.p, path(name).c_str()) << "the path buffer is restored";
        return r;
    }
    int decode(const std::string& name, std::string* title_out = nullptr) {
        UuTitle title(name);
        int r = iUUDecode(path(name).c_str(), 1, title.t);
        if (title_out) *title_out = title.t;
        return r;
    }
    // Encodes stem.DOC (n random bytes) and removes it; returns the UU file's name.
    std::string make_uu(const std::string& stem, size_t n, bool text = true) {
        write_file(path(stem + ".DOC"), lq_random_bytes(n, uint32_t(n)));
        EXPECT_EQ(encode(stem + ".DOC", text), 0);
        pf_delete(path(stem + ".DOC").c_str());
        return stem + (text ? ".uut" : ".uub");
    }
    int split(const std::string& uu, int32_t max) {
        return iUUSplitUpFile(path(uu).c_str(), 1, uu.c_str(), max);
    }
    int rebuild(const std::string& first_part) {
        UuPath p(path(first_part));
        return iUURebuildSplitUpFile(p.p, 1, first_part.c_str());
    }
};
std::string part(const std::string& stem, int k) {
    return stem + ".U" + (k < 10 ? "0" : "") + std::to_string(k);
}

// Golden bytes in both modes; ours decode back over several buffers.
TEST_F(UuFile, EncodeAndDecodeBothModesWithTheNamesLeftForTheCaller) {
    write_file(path("bytes.bin"), read_file(GOLDEN + "bytes.bin"));
    for (const char* uu : {"bytes.uub", "bytes.uut"}) {
        EXPECT_EQ(encode("bytes.bin", uu[8] == 't'), 0);
        EXPECT_EQ(read_file(path(uu)), read_file(GOLDEN + uu));
        EXPECT_EQ(std::string(szTargetFilename), path(uu));
    }
    EXPECT_STREQ(szFileTitle, "bytes.bin");
    std::string data = lq_random_bytes(70001, 11) + std::string(50, '\0') + "\r\n\x1a\n";
    write_file(path("data.bin"), data);
    ASSERT_TRUE(encode("data.bin", true) == 0 && encode("data.bin", false) == 0);
    uu_set_write_time(path("data.uut"), UU_T2003);
    for (const char* uu : {"data.uut", "data.uub"}) {
        pf_delete(path("data.bin").c_str());
        std::string title;
        EXPECT_EQ(decode(uu, &title), 0);
        EXPECT_EQ(read_file(path("data.bin")), data);
        EXPECT_EQ(title, "data.bin");
        EXPECT_EQ(std::string(szTargetFilename), path("data.bin"));
    }
    EXPECT_EQ(uu_write_time(path("data.uut")), UU_T2003);
    EXPECT_EQ(boxes(), "");
    for (size_t n : {0, 45, 46, 4500}) {
        data = lq_random_bytes(n, uint32_t(n));
        write_file(path("d.bin"), data);
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(encode("d.bin", true, true), 0);
        EXPECT_EQ(read_file(path("d.uet")), uu_crlf("begin 666 d.bin\n" + uu_reference_body(data)));
    }
    EXPECT_EQ(boxes().find("ERROR"), std::string::npos);
}

TEST_F(UuFile, EncodeQuestionsRefusalsAndAttributes) {
    const std::string err = ERR + "iUUEncode | ";
    write_file(path("NOTE.UUT"), "hello");
    EXPECT_EQ(encode("NOTE.UUT", true), -1);
    EXPECT_EQ(boxes(), ERR +
                           "iMakeExtendedFilename| @NOTE.UUT already exists WILL/CAN NOT "
                           "overwrite. ReName the file manually.|16\n" +
                           err + "Cannot derive the UU filename for: @NOTE.UUT|16\n");
    write_file(path("doc.txt"), "new");
    write_file(path("doc.uut"), "old");
    EXPECT_EQ(encode("doc.txt", true), 1);
    EXPECT_EQ(boxes(), ASK +
                           "iUUEncode| The (UU encoding) target file @doc.uut already exists!  "
                           "Do you wish to overwrite it ?|36\n");
    EXPECT_EQ(read_file(path("doc.uut")), "old");
    std::string long_name(128, 'n');
    write_file(path(long_name), "x");
    EXPECT_EQ(encode(long_name, false), -1);
    EXPECT_EQ(boxes(),
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
    EXPECT_EQ(boxes(), "");
}

TEST_F(UuFile, DecodeHeadersModesQuestionsAndRefusals) {
    const std::string ask = ASK + "iUUDecode| ", err = ERR + "iUUDecode | ";
    const std::string no_end = err + "No 'end line' in the file: @m.uu|16\n";
    const std::string unknown =
        ask +
        "The UU Encoding Mode Flag 644 within the file m.uu DOES NOT match the Mode Flags "
        "used by Lockquill, select YES to continue with manual control(s)!|36\n";
    const std::string switch_q =
        ask + "Select YES to switch the FILENAME:m.uu with the MODE FLAG:644 |36\n" + ask +
        "Select YES to UU DeCode the FILENAME:m.uu using BINARY MODE (Source was UNIX System) "
        "Select NO to UU DeCode using TEXT MODE (Source was DOS/NT/Windows System)|36\n";
    auto crlf = [](const std::string& header) { return uu_crlf(header + "\n" + CAT_BODY); };
    struct Case {
        std::string uu, answers;  // the file m.uu; y / n
        int result;
        std::string out, bytes, boxes;  // the decoded file ("" none), its bytes, the boxes
    } cases[] = {
        {crlf("begin 777 o"), "", -1, "o", CAT, no_end},
        {crlf("begin 666 o"), "", 0, "o", CAT, ""},
        {crlf("begin REPORT 666"), "", 0, "REPORT", CAT, ""},
        {crlf("begin 666 666"), "", 0, "666", CAT, ""},
        {crlf("begin o BINARY"), "", -1, "o", CAT, no_end},
        {crlf("begin 644 o"), "yny", -1, "o", CAT, unknown + switch_q + no_end},
        {crlf("begin 644 o"), "ynn", 0, "o", CAT, unknown + switch_q},
        {crlf("begin 644 o"), "yyn", 0, "644", CAT, unknown + switch_q},
        {crlf("begin 644 o"), "n", 1, "", "", unknown},
        {"From: x\nbegin\n\x1a\nbegin 666 o\n#0V%T\n#\n!_P\n\nend\n", "", 0, "o", CAT + "\xff", ""},
        {"no header\nbegin\tx y\n", "", -1, "", "",
         err + "No 'beginning line' in the file: @m.uu|16\n"},
        {"begin 666 o\n#0V%T\n`\n", "", -1, "o", "Cat", no_end},
        {"begin 666 o\n#0V%T\n", "", 1, "o", "Cat",
         ERR + "decode| The file to decode is 'Short' |16\n"},
        {"begin 666 keep\n" + CAT_BODY, "n", 1, "keep", "precious",
         ask + "The target file @keep for this UU encoded file already exists! Do you wish to "
               "overwrite it ?|36\n"},
        {"begin 666 M.UU\n" + CAT_BODY, "", -1, "", "",
         err + "The file name 'M.UU' in the file @m.uu names that file itself: decoding would "
               "destroy the file being read.|16\n"},
        {"begin 666 " + std::string(132, 'n') + "\n", "", -1, "", "",
         err + "The 'beginning line' of the file @m.uu holds a field longer than 131 "
               "characters.|16\n"},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* n : {"../x", "C:x", "NUL", "com1.txt", "x.", "a\x1b", "*"})
        all.push_back({std::string("begin 666 ") + n + "\n" + CAT_BODY, "", -1, "", "",
                       err + "The file name '" + n +
                           "' in the file @m.uu is refused: a name with "
                           "a folder, a drive, a wildcard, or '.' or '..', could place the output "
                           "outside the folder of that file.|16\n"});
    for (const Case& c : all) {
        SCOPED_TRACE(c.uu.substr(0, 40));
        uu_clear(dir());
        write_file(path("keep"), "precious");
        write_file(path("m.uu"), c.uu);
        for (char a : c.answers) lq_answer_next(a == 'y' ? LQ_IDYES : LQ_IDNO);
        EXPECT_EQ(decode("m.uu"), c.result);
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_EQ(read_file(path("m.uu")), c.uu);
        Names want = {"keep", "m.uu"};
        if (!c.out.empty() && c.out != "keep") want.push_back(c.out);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(list_dir(dir()), want);
        EXPECT_EQ(c.out.empty() ? "" : read_file(path(c.out)), c.bytes);
    }
}

TEST_F(UuFile, SplitPartsHoldTheLinesUnderTheirHeadersBelowTheMaximum) {
    struct {
        bool text;
        size_t bytes;
        int32_t max;
        int parts;
    } cases[] = {{true, 20000, 5120, 6}, {false, 45 * 320, 400, 107}, {true, 8000, 0, 1}};
    for (const auto& c : cases) {
        std::string uu = make_uu("R", c.bytes, c.text), whole = read_file(path(uu)), all;
        int32_t max = c.max ? c.max : int32_t(whole.size());
        ASSERT_EQ(split(uu, max), 0);
        int n = 0;
        for (; exists(path(part("R", n))); ++n) all += after_header(part("R", n));
        EXPECT_TRUE(all == whole.substr(whole.find('\n') + 1));
        EXPECT_EQ(n, c.parts);
        EXPECT_EQ(std::string(szTargetFilename), path(part("R", n - 1)));
        Names lines = uu_lines(read_file(path(part("R", n - 1))));
        EXPECT_EQ(lines[0], std::string(c.text ? "begin 666" : "begin 777") + " R.DOC " +
                                std::to_string(whole.size()) + " " + uu + " split-up number=" +
                                std::to_string(n - 1) + (c.text ? "\r\n" : "\n"));
        size_t counted = 129;  // the header and the lines as read, plus 129
        for (const std::string& l : lines) counted += l.size() - (c.text ? 1 : 0);
        EXPECT_LT(counted, size_t(max));
        uu_clear(dir());
    }
    EXPECT_EQ(boxes(), "");
}

TEST_F(UuFile, SplitRefusesMaximumsAndNames) {
    const std::string err = ERR + "iUUSplitUpFile | ", zero =
                                                           "may result in a ZERO argument. "
                                                           "Please enter a different value.";
    std::snprintf(szMessageBuffer, 8, "stale");  // no message of an earlier call is left
    EXPECT_EQ(iUUSplitUpFile("", 1, "", 5000) + szMessageBuffer[0], -1);
    std::string uu = make_uu("L", 8000);
    int32_t size = int32_t(read_file(path(uu)).size());
    const std::pair<int32_t, std::string> cases[] = {
        {258, zero},
        {-5, zero},
        {259,
         "will result in more than 10000 files. The maximum UU file splitup filesize must be "
         "larger than " +
             std::to_string(size / 10000 + 258)},
        {size + 1, "is larger than the original UU file!"}};
    for (const auto& c : cases) {
        EXPECT_EQ(split(uu, c.first), -1);
        EXPECT_EQ(boxes(), err + "The maximum size for the UU splitup files you entered " +
                               c.second + "|16\n");
    }
    write_file(path("odd.U00"), "begin 666 odd\n" + std::string(4000, 'x') + "\n`\nend\n");
    EXPECT_EQ(split("odd.U00", 1000), -1);
    EXPECT_EQ(boxes(), ERR +
                           "iMakeExtendedFilename| @odd.U00 already exists WILL/CAN NOT "
                           "overwrite. ReName the file manually.|16\n" +
                           err + "Cannot derive the 0 UU Split Up filename for: @odd.U00|16\n");
    write_file(path("L.U00"), "old part");
    EXPECT_EQ(split(uu, 5120), 1);
    EXPECT_EQ(boxes(), ASK +
                           "iUUSplitUpFile| The UU split up target file @L.U00 already exists! "
                           "Do you wish to overwrite it ?|36\n");
    EXPECT_EQ(list_dir(dir()), (Names{"L.U00", "L.uut", "odd.U00"}));
}

TEST_F(UuFile, RebuildJoinsThePartsInNameOrderUntilOneIsMissing) {
    for (bool text : {true, false}) {
        std::string uu = make_uu("B", 20000, text), whole = read_file(path(uu));
        const std::string header = text ? "begin 666 B.DOC\r\n" : "begin 777 B.DOC\n";
        const std::string not_a_header = text ? "not a header\r\n" : "not a header\n";
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
        EXPECT_TRUE(read_file(path(uu)) == header + after_header("B.U02") + not_a_header);
        EXPECT_EQ(lq_boxes().back().text,
                  " COULD NOT derive the 2 rebuild input UU Splitup filename for: " + path(uu));
        // A missing part ends the join: done.
        pf_delete(path("B.U03").c_str());
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(rebuild("B.U00"), 0);
        EXPECT_TRUE(read_file(path(uu)) ==
                    header + after_header("B.U00") + not_a_header + after_header("B.U02"));
        lq_boxes_clear();
        uu_clear(dir());
    }
}

TEST_F(UuFile, RebuildRefusesSizesAndTargetsNamingTheirOwnParts) {
    const std::string own =
        "' in the file @P.U00 names one of its own parts: rebuilding would "
        "destroy a part being read.|16\n";
    const std::string no_size =
        "COULD NOT read the rebuild's UU target file size from the input file @P.U00|16\n";
    const std::string p1 = "begin 666 D 9 R.uut split-up number=1\nmore\n";
    const std::pair<std::string, std::string> cases[] = {
        {"begin 666 D 0 R.uut split-up number=0\n", no_size},
        {"begin 666 D x R.uut split-up number=0\n", no_size},
        {"begin 666 D 9 P.U00 split-up number=0\n", "The UU file name 'P.U00" + own},
        {"begin 666 D 9 p.u01 split-up number=0\n", "The UU file name 'p.u01" + own},
        {"begin 666 D 9 P.U100 split-up number=0\n", "The UU file name 'P.U100" + own},
        {"begin 666 D 9 AUX.uut split-up number=0\n",
         "The file name 'AUX.uut' in the file @P.U00 is refused: a name with a folder, a drive, a "
         "wildcard, or '.' or '..', could place the output outside the folder of that file.|16\n"},
        {"no header\n", "No 'beginning line' in the file: @P.U00|16\n"}};
    for (const auto& c : cases) {
        write_file(path("P.U00"), c.first + "line\n");
        write_file(path("P.U01"), p1);
        EXPECT_EQ(rebuild("P.U00"), -1) << c.first;
        EXPECT_EQ(boxes(), ERR + "iUURebuildSplitUpFile | " + c.second);
        EXPECT_EQ(list_dir(dir()), (Names{"P.U00", "P.U01"}));
        EXPECT_EQ(read_file(path("P.U01")), p1);
    }
}

}  // namespace
