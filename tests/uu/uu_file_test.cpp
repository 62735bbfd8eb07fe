// iUUEncode, iUUDecode, iUUSplitUpFile and iUURebuildSplitUpFile on files:
// bytes, names, questions, refusals, times and attributes; every platform call
// made to fail in turn; paths at the edge of their buffers (the ASan tree
// checks that nothing is written past them).
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/lq_test.h"
#include "uu/uu_codec.h"
#include "uu/uu_common.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

typedef std::vector<std::string> Names;
typedef std::map<std::string, std::string> Files;
const std::string CAT_BODY = "#0V%T\n#````\n`\nend\n";  // "Cat" and three zero bytes
const std::string CAT = std::string("Cat") + std::string(3, '\0');
const std::string ERR = "Lockquill(TM) ERROR: ", ASK = "Lockquill(TM) WARNING: ";
const std::string GOLDEN = lq_source_dir() + "/tests/golden/uu/";
const uint64_t T2003 = 126939964280000000ull;  // 2003-04-05 06:07:08 UTC, even seconds

std::string crlf(const std::string& lf) {
    std::string s;
    for (char c : lf) s += c == '\n' ? "\r\n" : std::string(1, c);
    return s;
}

// The data lines (from the line coder, checked against golden lines), the
// grave accent line and "end", with LF line ends.
std::string body(const std::string& d) {
    std::string out;
    char line[UU_LINE_CHARS + 1];
    for (size_t at = 0; at < d.size(); at += 45) {
        size_t n = std::min<size_t>(45, d.size() - at);
        out += std::string(line, uu_encode_line((const uint8_t*)d.data() + at, n, line)) + "\n";
    }
    return out + "`\nend\n";
}

std::string part(const std::string& stem, int k) {
    return stem + ".U" + (k < 10 ? "0" : "") + std::to_string(k);
}

// A writable copy, as the open dialog's szFileName and szFileTitle are.
template <size_t N>
struct Buf {
    char s[N];
    explicit Buf(const std::string& v) { std::snprintf(s, N, "%s", v.c_str()); }
};

class UuFile : public LqTest {
  protected:
    std::string boxes() { return lq_boxes_text(path("")); }
    std::string after_header(const std::string& name) {
        std::string d = read_file(path(name));
        return d.substr(d.find('\n') + 1);
    }
    uint64_t write_time(const std::string& name) {
        PfFindData fd = {};
        pf_find_first(path(name).c_str(), &fd);
        return uint64_t(fd.ftLastWriteTime.dwHighDateTime) << 32 | fd.ftLastWriteTime.dwLowDateTime;
    }
    void set_write_time(const std::string& name, uint64_t t) {
        PfFile f = pf_open(path(name).c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ,
                           PF_OPEN_EXISTING);
        PfFileTime w{uint32_t(t), uint32_t(t >> 32)};
        ASSERT_TRUE(f != PF_INVALID_FILE && pf_set_file_time(f, nullptr, nullptr, &w)) << name;
        pf_close(f);
    }
    bool readonly(const std::string& name) {
        uint32_t a = pf_get_attributes(path(name).c_str());
        return a != PF_INVALID_ATTRIBUTES && (a & PF_ATTR_READONLY);
    }
    void clear() {  // read-only files too
        PfFaultPause pause;
        for (const std::string& f : list_dir(dir())) {
            pf_set_attributes(path(f).c_str(), PF_ATTR_ARCHIVE);
            pf_delete(path(f).c_str());
        }
    }
    int encode(const std::string& name, bool text, bool encrypted = false, bool ro = false) {
        Buf<LQ_MAX_PATH> p(path(name));
        int r = iUUEncode(p.s, text, encrypted, ro);
        EXPECT_STREQ(p.s, path(name).c_str()) << "the path buffer is restored";
        return r;
    }
    int decode(const std::string& name, std::string* title_out = nullptr) {
        Buf<LQ_FILE_TITLE_SIZE> title(name);
        int r = iUUDecode(path(name).c_str(), 1, title.s);
        if (title_out) *title_out = title.s;
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
        Buf<LQ_MAX_PATH> p(path(first_part));
        return iUURebuildSplitUpFile(p.s, 1, first_part.c_str());
    }

    void put(const Files& sources) {
        clear();
        PfFaultPause pause;
        for (const auto& s : sources) write_file(path(s.first), s.second);
        for (const auto& s : sources) set_write_time(s.first, T2003);
    }
    // Runs op with no fault to count its calls, then with each call of each
    // kind failing: the sources stay as they were, only the outputs' names
    // appear (with their bytes when done), and a failure ends with its box.
    void sweep(const std::string& name, const std::function<int()>& op, const Files& sources,
               const Files& outputs, const std::string& out_prefix) {
        put(sources);
        pf_fault_reset();
        ASSERT_EQ(op(), 0) << lq_boxes_dump();
        int calls[PF_FAULT_COUNT_];
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) calls[k] = pf_fault_calls(PfFaultOp(k));
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) {
            for (int n = 1; n <= calls[k]; ++n) {
                SCOPED_TRACE(name + " op " + std::to_string(k) + " call " + std::to_string(n));
                put(sources);
                lq_boxes_clear();
                pf_fault_reset();
                pf_fault_arm(PfFaultOp(k), n);
                int r = op();
                pf_fault_reset();
                EXPECT_TRUE(k != PF_FAULT_DISKFREE || r == 1) << "unknown free space: a question";
                for (const auto& s : sources) {
                    EXPECT_EQ(read_file(path(s.first)), s.second) << s.first;
                    EXPECT_EQ(write_time(s.first), T2003) << s.first;
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
                    EXPECT_TRUE(last.caption == ERR + name + " " ||
                                last.caption == ERR + "lGetFileSize")
                        << lq_boxes_dump();
                    EXPECT_FALSE(last.text.empty());
                } else {  // a question, 'Short', or the encoded file's times not set
                    EXPECT_TRUE(last.style == 36 || last.caption == ERR + "decode" ||
                                (name == "iUUEncode" && last.caption.find("DateTimeAttribs") < 99))
                        << lq_boxes_dump();
                }
            }
        }
    }
};

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
    set_write_time("data.uut", T2003);
    for (const char* uu : {"data.uut", "data.uub"}) {
        pf_delete(path("data.bin").c_str());
        std::string title;
        EXPECT_EQ(decode(uu, &title), 0);
        EXPECT_EQ(read_file(path("data.bin")), data);
        EXPECT_EQ(title, "data.bin");
        EXPECT_EQ(std::string(szTargetFilename), path("data.bin"));
    }
    EXPECT_EQ(write_time("data.uut"), T2003);
    EXPECT_EQ(boxes(), "");
    for (size_t n : {0, 45, 46, 4500}) {
        data = lq_random_bytes(n, uint32_t(n));
        write_file(path("d.bin"), data);
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(encode("d.bin", true, true), 0);
        EXPECT_EQ(read_file(path("d.uet")), crlf("begin 666 d.bin\n" + body(data)));
    }
    EXPECT_EQ(boxes().find("ERROR"), std::string::npos);
}

TEST_F(UuFile, EncodeQuestionsRefusalsAndAttributes) {
    // A call without a file leaves no message of an earlier call.
    char none[LQ_MAX_PATH] = "";
    for (int op = 0; op < 4; ++op) {
        std::snprintf(szMessageBuffer, 8, "stale");
        int r = op == 0   ? iUUEncode(none, 1, 0, 0)
                : op == 1 ? iUUDecode(none, 1, none)
                : op == 2 ? iUUSplitUpFile(none, 1, none, 5000)
                          : iUURebuildSplitUpFile(none, 1, none);
        EXPECT_EQ(szMessageBuffer + std::to_string(r), "-1") << op;
    }
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
    set_write_time("doc.txt", T2003);
    set_readonly(path("doc.txt"), true);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(encode("doc.txt", false, false, true), 0);
    EXPECT_TRUE(readonly("doc.txt") && readonly("doc.uub"));
    EXPECT_EQ(write_time("doc.uub"), T2003);
    write_file(path("rw.txt"), "w");
    EXPECT_EQ(encode("rw.txt", false), 0);
    EXPECT_FALSE(readonly("rw.uub") || readonly("rw.txt"));
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
    auto with = [](const std::string& header) { return crlf(header + "\n" + CAT_BODY); };
    struct Case {
        std::string uu, answers;  // the file m.uu; y / n
        int result;
        std::string out, bytes, boxes;  // the decoded file ("" none), its bytes, the boxes
        int getinfo_fault = 0;          // this file information call fails
    } cases[] = {
        {with("begin 777 o"), "", -1, "o", CAT, no_end},
        {with("begin 666 o"), "", 0, "o", CAT, ""},
        {with("begin REPORT 666"), "", 0, "REPORT", CAT, ""},
        {with("begin 666 666"), "", 0, "666", CAT, ""},
        {with("begin o BINARY"), "", -1, "o", CAT, no_end},
        {with("begin 644 o"), "yny", -1, "o", CAT, unknown + switch_q + no_end},
        {with("begin 644 o"), "ynn", 0, "o", CAT, unknown + switch_q},
        {with("begin 644 o"), "yyn", 0, "644", CAT, unknown + switch_q},
        {with("begin 644 o"), "n", 1, "", "", unknown},
        {"From: x\nbegin\n\x1a\nbegin 666 o\n#0V%T\n#\n!_P\n\nend\n", "", 0, "o", CAT + "\xff", ""},
        {"no header\nbegin\tx y\n", "", -1, "", "",
         err + "No 'beginning line' in the file: @m.uu|16\n"},
        {"begin 666 o\n#0V%T\n`\n", "", -1, "o", "Cat", no_end},
        {"begin 666 o\n#0V%T\n", "", 1, "o", "Cat",
         ERR + "decode| The file to decode is 'Short' |16\n"},
        {"begin 666 keep\n" + CAT_BODY, "n", 1, "keep", "precious",
         ask + "The target file @keep for this UU encoded file already exists! Do you wish to "
               "overwrite it ?|36\n"},
        // Refused by its name even when the target's identity cannot be read.
        {"begin 666 M.UU\n" + CAT_BODY, "", -1, "", "",
         err + "The file name 'M.UU' in the file @m.uu names that file itself: decoding would "
               "destroy the file being read.|16\n",
         3},
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
        clear();
        write_file(path("keep"), "precious");
        write_file(path("m.uu"), c.uu);
        for (char a : c.answers) lq_answer_next(a == 'y' ? LQ_IDYES : LQ_IDNO);
        if (c.getinfo_fault) pf_fault_arm(PF_FAULT_GETINFO, c.getinfo_fault);
        EXPECT_EQ(decode("m.uu"), c.result);
        pf_fault_reset();
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
        // Every part takes the times and attributes of the UU file, which keeps them.
        set_write_time(uu, T2003);
        set_readonly(path(uu), true);
        ASSERT_EQ(split(uu, max), 0);
        EXPECT_TRUE(readonly(uu) && write_time(uu) == T2003);
        int n = 0;
        for (; exists(path(part("R", n))); ++n) {
            all += after_header(part("R", n));
            EXPECT_TRUE(readonly(part("R", n)) && write_time(part("R", n)) == T2003) << n;
        }
        EXPECT_TRUE(all == whole.substr(whole.find('\n') + 1));
        EXPECT_EQ(n, c.parts);
        EXPECT_EQ(std::string(szTargetFilename), path(part("R", n - 1)));
        std::string last = read_file(path(part("R", n - 1)));
        EXPECT_EQ(last.substr(0, last.find('\n') + 1),
                  std::string(c.text ? "begin 666" : "begin 777") + " R.DOC " +
                      std::to_string(whole.size()) + " " + uu +
                      " split-up number=" + std::to_string(n - 1) + (c.text ? "\r\n" : "\n"));
        // The part as read (text lines end in LF) plus the reserve of 129.
        size_t counted = last.size() + 129;
        if (c.text) counted -= std::count(last.begin(), last.end(), '\n');
        EXPECT_LT(counted, size_t(max));
        clear();
    }
    EXPECT_EQ(boxes(), "");
}

TEST_F(UuFile, SplitRefusesMaximumsAndNames) {
    const std::string err = ERR + "iUUSplitUpFile | ",
                      zero = "may result in a ZERO argument. Please enter a different value.";
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

#ifndef _WIN32  // 10000 new names looked up in one folder: some 20 s; native only
// One 100-byte line per part, with a maximum the size check lets through: the
// 10001st part is refused and the 10000 made stay.
TEST_F(UuFile, SplitRefusesAPartPastTheTenThousandth) {
    std::string lines;
    for (int i = 0; i < 10001; ++i) lines += std::string(99, 'M') + "\n";
    write_file(path("T.uut"), "begin 666 x\n" + lines + "`\nend\n");
    EXPECT_EQ(split("T.uut", 360), -1);
    EXPECT_EQ(boxes(), ERR +
                           "iUUSplitUpFile | This WILL NOT split the file @T.uut into more than "
                           "10000 parts.|16\n");
    EXPECT_TRUE(exists(path("T.U9999")) && list_dir(dir()).size() == 10001u);
}
#endif

TEST_F(UuFile, RebuildJoinsThePartsInNameOrderUntilOneIsMissing) {
    for (bool text : {true, false}) {
        std::string uu = make_uu("B", 20000, text), whole = read_file(path(uu));
        const std::string header = text ? "begin 666 B.DOC\r\n" : "begin 777 B.DOC\n";
        const std::string not_a_header = text ? "not a header\r\n" : "not a header\n";
        ASSERT_EQ(split(uu, 2000), 0);
        set_write_time("B.U00", T2003);
        set_readonly(path("B.U00"), true);
        EXPECT_EQ(rebuild("B.U00"), 1) << "the UU file is still there";
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(rebuild("B.U00"), 0);
        EXPECT_TRUE(read_file(path(uu)) == whole);
        EXPECT_EQ(std::string(szTargetFilename), path(uu));
        EXPECT_TRUE(readonly(uu) && readonly("B.U00"));
        EXPECT_EQ(write_time(uu), T2003);
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
        clear();
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

TEST_F(UuFile, EveryPlatformCallOfEachOperationFailingInTurn) {
    for (size_t bytes : {300, 100000}) {
        int32_t max = bytes < 1000 ? 300 : 30000;
        std::string data = lq_random_bytes(bytes, uint32_t(bytes));
        put({{"d.bin", data}});
        ASSERT_EQ(encode("d.bin", true), 0);
        Files uu = {{"d.uut", read_file(path("d.uut"))}}, parts;
        sweep(
            "iUUEncode", [&] { return encode("d.bin", true); }, {{"d.bin", data}}, uu, "d.uut");
        sweep(
            "iUUDecode", [&] { return decode("d.uut"); }, uu, {{"d.bin", data}}, "d.bin");
        sweep(
            "iUUSplitUpFile", [&] { return split("d.uut", max); }, uu, {}, "d.U");
        put(uu);
        ASSERT_EQ(split("d.uut", max), 0);
        for (const std::string& f : list_dir(dir()))
            if (f != "d.uut") parts[f] = read_file(path(f));
        sweep(
            "iUURebuildSplitUpFile", [&] { return rebuild("d.U00"); }, parts, uu, "d.uut");
    }
}

TEST_F(UuFile, A255CharacterPathSplitsInto100PartsAndRefusesThe101st) {
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
    EXPECT_EQ(lq_boxes_text(""), ERR + "iMakeExtendedFilename| The name made from " + uu_path +
                                     " with the extension U100 would be longer than 259 "
                                     "characters.|16\n" +
                                     ERR +
                                     "iUUSplitUpFile | Cannot derive the 100 UU Split Up "
                                     "filename for: " +
                                     uu_path + "|16\n");
    EXPECT_TRUE(exists(uu_path + ".U99"));
    // The 100 parts rebuild (from the parts' folder, as the open dialog
    // leaves it) into a file that decodes as 'Short'.
    ASSERT_TRUE(pf_set_current_directory(folder.c_str()));
    Buf<LQ_MAX_PATH> first(uu_path + ".U00");
    Buf<LQ_FILE_TITLE_SIZE> title(name + ".U00");
    pf_delete(uu_path.c_str());
    EXPECT_EQ(iUURebuildSplitUpFile(first.s, 1, title.s), 0) << lq_boxes_dump();
    ASSERT_TRUE(pf_set_current_directory(dir().c_str()));
    EXPECT_TRUE(read_file(uu_path) == crlf(uu.substr(0, 12 + 100 * 62)));
    // A name whose path beside the UU file would not fit is refused, and no
    // target is left named.
    const std::string n131(131, 'n');
    write_file(folder + "/x.uu", "begin 666 " + n131 + "\n" + CAT_BODY);
    Buf<LQ_FILE_TITLE_SIZE> x("x.uu");
    EXPECT_EQ(iUUDecode((folder + "/x.uu").c_str(), 1, x.s), -1);
    EXPECT_STREQ(szTargetFilename, "");
    EXPECT_EQ(lq_boxes_text(""), ERR + "iUUDecode | The path of the file " + n131 + " beside " +
                                     folder + "/x.uu is too long.|16\n");
}

}  // namespace
