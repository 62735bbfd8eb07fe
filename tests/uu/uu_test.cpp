// The UU line coder against an independent coder's lines, the header parsers,
// the name checks and the streams; iUUEncode, iUUDecode, iUUSplitUpFile and
// iUURebuildSplitUpFile on files: bytes, names, questions, refusals, times and
// attributes; every platform call made to fail in turn; paths at the edge of
// their buffers (the ASan tree checks that nothing is written past them); the
// lockquill-cli subcommands.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "tests/support/lq_test.h"
#include "uu/uu_codec.h"
#include "uu/uu_common.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"
#include "uu/uu_stream.h"

namespace {

typedef std::vector<std::string> Names;
typedef std::map<std::string, std::string> Files;
typedef std::pair<uint64_t, uint32_t> Stamp;   // last-write time, attributes
const uint64_t T2003 = 126939964280000000ull;  // 2003-04-05 06:07:08 UTC, even seconds
const Stamp OLD{T2003, PF_ATTR_ARCHIVE}, OLD_RO{T2003, PF_ATTR_ARCHIVE | PF_ATTR_READONLY};
const std::string CAT_BODY = "#0V%T\n#````\n`\nend\n";  // "Cat" and three zero bytes
const std::string CAT = std::string("Cat") + std::string(3, '\0'), N131(131, 'n');
const std::string ERR = "Lockquill(TM) ERROR: ", ASK = "Lockquill(TM) WARNING: ";
const std::string GOLDEN = lq_source_dir() + "/tests/golden/uu/";

std::string enc(const std::string& bytes) {
    char out[UU_LINE_CHARS + 1];
    return std::string(out, uu_encode_line((const uint8_t*)bytes.data(), bytes.size(), out));
}

// Decodes one line to hex ("ff 00"); "end" for the line that ends the data.
std::string dec(const std::string& line) {
    uint8_t out[UU_MAX_LINE_DECODED];
    int n = uu_decode_line(line.data(), line.size(), out);
    return n < 0 ? "end" : lq_hex(std::string((char*)out, size_t(n)));
}

std::string crlf(const std::string& lf) {
    std::string s;
    for (char c : lf) s += c == '\n' ? "\r\n" : std::string(1, c);
    return s;
}

// The data lines from the line coder (checked against golden lines), the
// grave accent line and "end", with LF line ends.
std::string body(const std::string& d) {
    std::string out;
    for (size_t at = 0; at < d.size(); at += 45) out += enc(d.substr(at, 45)) + "\n";
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
    std::string title;  // the name buffer after the last decode

    std::string boxes() { return lq_boxes_text(path("")); }
    std::string after_header(const std::string& name) {
        std::string d = read_file(path(name));
        return d.substr(d.find('\n') + 1);
    }
    Stamp stamp(const std::string& name) {
        PfFindData fd = {};
        pf_find_first(path(name).c_str(), &fd);
        const PfFileTime& t = fd.ftLastWriteTime;
        return {uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime, fd.dwFileAttributes};
    }
    void set_stamp(const std::string& name, bool ro) {  // T2003, read-only or not
        PfFile f = pf_open(path(name).c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ,
                           PF_OPEN_EXISTING);
        PfFileTime w{uint32_t(T2003), uint32_t(T2003 >> 32)};
        ASSERT_TRUE(f != PF_INVALID_FILE && pf_set_file_time(f, nullptr, nullptr, &w)) << name;
        pf_close(f);
        set_readonly(path(name), ro);
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
    int decode(const std::string& name) {
        Buf<LQ_FILE_TITLE_SIZE> t(name);
        int r = iUUDecode(path(name).c_str(), 1, t.s);
        title = t.s;
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
        for (const auto& s : sources) write_file(path(s.first), s.second), set_stamp(s.first, 0);
    }
    // Runs op with no fault to count its calls, then with each call of each
    // kind failing: the sources stay as they were, only the outputs' names
    // appear (with their bytes when done), and a failure ends with its box.
    void sweep(const std::string& name, const Files& sources, const Files& outputs,
               const std::string& out_prefix, const std::function<int()>& op) {
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
                for (const auto& s : sources)
                    EXPECT_TRUE(read_file(path(s.first)) == s.second && stamp(s.first) == OLD);
                for (const std::string& f : list_dir(dir()))
                    EXPECT_TRUE(sources.count(f) || f.rfind(out_prefix, 0) == 0) << "stray " << f;
                for (const auto& o : outputs)
                    EXPECT_TRUE(r != 0 || read_file(path(o.first)) == o.second) << o.first;
                if (r == 0) continue;
                ASSERT_FALSE(lq_boxes().empty());
                const RecordedBox& last = lq_boxes().back();
                // A failure with its text; a question, 'Short', or the encoded file's times unset.
                EXPECT_TRUE(
                    r < 0 ? (last.caption == ERR + name + " " ||
                             last.caption == ERR + "lGetFileSize") &&
                                !last.text.empty()
                          : last.style == 36 || last.caption == ERR + "decode" ||
                                (name == "iUUEncode" && last.caption.find("DateTimeAttribs") < 99))
                    << lq_boxes_dump();
            }
        }
    }
};

TEST_F(UuFile, EncodeGoldenBytesQuestionsRefusalsAndAttributes) {
    // A call without a file leaves no message of an earlier call.
    char none[LQ_MAX_PATH] = "", named[] = "x.uu";  // a name but no file
    for (int op = 0; op < 4; ++op) {
        std::snprintf(szMessageBuffer, 8, "stale");
        int r = op == 0   ? iUUEncode(none, 1, 0, 0)
                : op == 1 ? iUUDecode(none, 1, named)
                : op == 2 ? iUUSplitUpFile(none, 1, none, 5000)
                          : iUURebuildSplitUpFile(none, 1, none);
        EXPECT_EQ(szMessageBuffer + std::to_string(r), "-1") << op;
    }
    write_file(path("bytes.bin"), read_file(GOLDEN + "bytes.bin"));
    for (const char* uu : {"bytes.uub", "bytes.uut"}) {
        EXPECT_EQ(encode("bytes.bin", uu[8] == 't'), 0);
        EXPECT_EQ(read_file(path(uu)), read_file(GOLDEN + uu));
        EXPECT_EQ(szTargetFilename, path(uu));
    }
    EXPECT_STREQ(szFileTitle, "bytes.bin");
    for (size_t n : {0, 45, 46, 4500}) {  // the grave accent line after a full line too
        std::string data = lq_random_bytes(n, uint32_t(n));
        write_file(path("d.bin"), data);
        if (n) lq_answer_next(LQ_IDYES);  // d.uet is there
        EXPECT_EQ(encode("d.bin", true, true), 0);
        EXPECT_EQ(read_file(path("d.uet")), crlf("begin 666 d.bin\n" + body(data)));
    }
    EXPECT_EQ(boxes().find("ERROR"), std::string::npos);
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
    set_stamp("doc.txt", true);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(encode("doc.txt", false, false, true), 0);
    EXPECT_TRUE(stamp("doc.txt") == OLD_RO && stamp("doc.uub") == OLD_RO);
    write_file(path("rw.txt"), "w");
    EXPECT_EQ(encode("rw.txt", false), 0);
    EXPECT_TRUE(stamp("rw.uub").second == PF_ATTR_ARCHIVE &&
                stamp("rw.txt").second == PF_ATTR_ARCHIVE);
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
    // Data over several buffers, with the bytes a text mode could take for line ends.
    const std::string data = lq_random_bytes(70001, 11) + std::string(50, '\0') + "\r\n\x1a\n";
    struct Case {
        std::string uu, answers;  // the file m.uu; y / n
        int result;
        std::string out, bytes, boxes;  // the decoded file ("" none), its bytes, the boxes
        int getinfo_fault = 0;          // this file information call fails
    } cases[] = {
        {crlf("begin 666 o\n" + body(data)), "", 0, "o", data, ""},
        {"begin 777 o\n" + body(data), "", 0, "o", data, ""},
        {with("begin 777 o"), "", -1, "o", CAT, no_end},
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
        {"begin 666 com1.txt\n" + CAT_BODY, "", -1, "", "",
         err + "The file name 'com1.txt' in the file @m.uu is refused: a name with a folder, a "
               "drive, a wildcard, or '.' or '..', could place the output outside the folder of "
               "that file.|16\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uu.substr(0, 40));
        clear();
        write_file(path("keep"), "precious");
        write_file(path("m.uu"), c.uu), set_stamp("m.uu", true);
        for (char a : c.answers) lq_answer_next(a == 'y' ? LQ_IDYES : LQ_IDNO);
        if (c.getinfo_fault) pf_fault_arm(PF_FAULT_GETINFO, c.getinfo_fault);
        EXPECT_EQ(decode("m.uu"), c.result);
        pf_fault_reset();
        EXPECT_EQ(boxes(), c.boxes);
        EXPECT_TRUE(read_file(path("m.uu")) == c.uu && stamp("m.uu") == OLD_RO);
        Names want = {"keep", "m.uu"};
        if (!c.out.empty() && c.out != "keep") want.push_back(c.out);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(list_dir(dir()), want);
        EXPECT_TRUE((c.out.empty() ? "" : read_file(path(c.out))) == c.bytes);
        EXPECT_TRUE(c.result || title + "|" + szTargetFilename == c.out + "|" + path(c.out));
    }
}

// The parts hold the lines under their headers below the maximum, with the
// UU file's times and attributes; the rebuild joins them in name order from
// the part picked until one is missing.
TEST_F(UuFile, SplitAndRebuildThroughTheParts) {
    const std::tuple<bool, size_t, int32_t, int> cases[] = {
        {true, 20000, 5120, 6}, {false, 45 * 320, 400, 107}, {true, 8000, 0, 1}};
    for (auto [text, bytes, max, parts] : cases) {
        std::string uu = make_uu("R", bytes, text), whole = read_file(path(uu)), all;
        if (!max) max = int32_t(whole.size());
        set_stamp(uu, true);  // which every part takes, and the UU file keeps
        ASSERT_EQ(split(uu, max), 0);
        EXPECT_EQ(stamp(uu), OLD_RO);
        EXPECT_EQ(boxes(), "");
        int n = 0;
        for (; exists(path(part("R", n))); ++n) {
            all += after_header(part("R", n));
            EXPECT_EQ(stamp(part("R", n)), OLD_RO);
        }
        EXPECT_TRUE(all == whole.substr(whole.find('\n') + 1));
        EXPECT_EQ(n, parts);
        EXPECT_EQ(szTargetFilename, path(part("R", n - 1)));
        std::string last = read_file(path(part("R", n - 1)));
        EXPECT_EQ(last.substr(0, last.find('\n') + 1),
                  std::string(text ? "begin 666" : "begin 777") + " R.DOC " +
                      std::to_string(whole.size()) + " " + uu +
                      " split-up number=" + std::to_string(n - 1) + (text ? "\r\n" : "\n"));
        // The part as read (text lines end in LF) plus the reserve of 129.
        size_t counted =
            last.size() + 129 - (text ? std::count(last.begin(), last.end(), '\n') : 0);
        EXPECT_LT(counted, size_t(max));
        set_readonly(path(uu), false);
        EXPECT_EQ(rebuild("R.U00"), 1) << "the UU file is still there";
        lq_answer_next(LQ_IDYES);
        EXPECT_EQ(rebuild("R.U00"), 0);
        EXPECT_TRUE(read_file(path(uu)) == whole && stamp(uu) == OLD_RO &&
                    stamp("R.U00") == OLD_RO);
        EXPECT_EQ(szTargetFilename, path(uu));
        for (const std::string& f : list_dir(dir())) set_readonly(path(f), false);
        if (parts > 1) {
            const std::string header = text ? "begin 666 R.DOC\r\n" : "begin 777 R.DOC\n";
            const std::string not_a_header = text ? "not a header\r\n" : "not a header\n";
            pf_delete(path(uu).c_str());
            // Picking a later part starts with it, goes on from U01 and stops
            // at its own name, which cannot be derived from itself.
            write_file(path("R.U01"), "not a header\n");
            EXPECT_EQ(rebuild("R.U02"), -1);
            EXPECT_TRUE(read_file(path(uu)) == header + after_header("R.U02") + not_a_header);
            EXPECT_EQ(lq_boxes().back().text,
                      " COULD NOT derive the 2 rebuild input UU Splitup filename for: " + path(uu));
            pf_delete(path("R.U03").c_str());  // a missing part ends the join: done
            lq_answer_next(LQ_IDYES);
            EXPECT_EQ(rebuild("R.U00"), 0);
            EXPECT_TRUE(read_file(path(uu)) ==
                        header + after_header("R.U00") + not_a_header + after_header("R.U02"));
        }
        lq_boxes_clear();
        clear();
    }
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
    const std::string too_long(LQ_MAX_PATH, 'p');  // no room for its terminator
    EXPECT_EQ(iUUSplitUpFile(too_long.c_str(), 1, "L.uut", 5120), -1);
    EXPECT_EQ(boxes(), err + "The path " + too_long + " is too long.|16\n");
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
    for (size_t bytes : {300, 100000}) {  // a text-mode UU file, then a raw one
        const bool text = bytes < 1000;
        const std::string data = lq_random_bytes(bytes, uint32_t(bytes)),
                          uu = text ? "d.uut" : "d.uub";
        const int32_t max = text ? 300 : 30000;
        put({{"d.bin", data}});
        ASSERT_EQ(encode("d.bin", text), 0);
        Files in = {{uu, read_file(path(uu))}}, parts;
        sweep("iUUEncode", {{"d.bin", data}}, in, uu, [&] { return encode("d.bin", text); });
        sweep("iUUDecode", in, {{"d.bin", data}}, "d.bin", [&] { return decode(uu); });
        sweep("iUUSplitUpFile", in, {}, "d.U", [&] { return split(uu, max); });
        put(in);
        ASSERT_EQ(split(uu, max), 0);
        for (const std::string& f : list_dir(dir()))
            if (f != uu) parts[f] = read_file(path(f));
        sweep("iUURebuildSplitUpFile", parts, in, uu, [&] { return rebuild("d.U00"); });
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
    Buf<LQ_FILE_TITLE_SIZE> first_title(name + ".U00");
    pf_delete(uu_path.c_str());
    EXPECT_EQ(iUURebuildSplitUpFile(first.s, 1, first_title.s), 0) << lq_boxes_dump();
    ASSERT_TRUE(pf_set_current_directory(dir().c_str()));
    EXPECT_TRUE(read_file(uu_path) == crlf(uu.substr(0, 12 + 100 * 62)));
    // A name whose path beside the UU file would not fit: refused, no target named.
    write_file(folder + "/x.uu", "begin 666 " + N131 + "\n" + CAT_BODY);
    Buf<LQ_FILE_TITLE_SIZE> x("x.uu");
    EXPECT_EQ(iUUDecode((folder + "/x.uu").c_str(), 1, x.s), -1);
    EXPECT_STREQ(szTargetFilename, "");
    EXPECT_EQ(lq_boxes_text(""), ERR + "iUUDecode | The path of the file " + N131 + " beside " +
                                     folder + "/x.uu is too long.|16\n");
}

class UuCodec : public LqTest {};

TEST_F(UuCodec, EveryLengthMatchesTheGoldenLinesBothWaysAndOddLinesDecode) {
    // Rows "hex line": every length 0 to 45 of random bytes twice and of zeros.
    std::istringstream golden(read_file(GOLDEN + "lines.txt"));
    std::string hex, line;
    int rows = 0;
    for (; std::getline(golden, hex, ' ') && std::getline(golden, line); ++rows) {
        EXPECT_EQ(enc(lq_unhex(hex)), line) << hex;
        EXPECT_EQ(dec(line + "\n"), hex.empty() ? "end" : lq_hex(lq_unhex(hex))) << line;
    }
    EXPECT_EQ(rows, 3 * 46);
    // Line, bytes: blanks for grave accents (or stripped), short, CR LF, junk past the length.
    const char* odd[] = {"#    \n",   "00 00 00", "#\n",         "00 00 00", "!_P\n",
                         "ff",        "#0V%\n",   "43 61 40",    "!_P",      "ff",
                         "#0V%T\r\n", "43 61 74", "#0V%Tjunk\n", "43 61 74", "`\n",
                         "end",       " \n",      "end",         "\n",       "end"};
    for (size_t i = 0; i < std::size(odd); i += 2) EXPECT_EQ(dec(odd[i]), odd[i + 1]) << odd[i];
    EXPECT_EQ(dec("_\n"), lq_hex(std::string(63, '\0')));
    EXPECT_EQ(dec("_" + std::string(100, '!') + "\n").size(), dec("_\n").size());
}

TEST_F(UuCodec, FieldsPartHeadersModeWordsNumbersAndNames) {
    char f[4][UU_FIELD_SIZE];
    // "line=fields" rows, split at the last '='.
    const std::string lines[] = {"begin 666 REPORT.DOC\r\n=666|REPORT.DOC",
                                 "begin \t777   a b\n=777|a",
                                 "begin 644\n=644|",
                                 std::string("begin 666 ab\0cd\n=666|ab", 23),
                                 "begin 666 " + N131 + "\n=666|" + N131,
                                 "begin 666 " + N131 + "n\n=too long",
                                 "begin " + std::string(500, '6') + " x\n=too long"};
    for (const std::string& l : lines) {
        size_t eq = l.rfind('=');
        int r = uu_split_header(l.data(), eq, f, 2);
        EXPECT_EQ(r == UU_FIELDS_OK ? std::string(f[0]) + "|" + f[1] : "too long",
                  l.substr(eq + 1));
    }
    UuPartHeader h;
    std::string part = "begin 666 REPORT.DOC 73050 REPORT.uut split-up number=12\n";
    ASSERT_EQ(uu_parse_part_header(part.data(), part.size(), &h), UU_FIELDS_OK);
    EXPECT_EQ(std::string(h.field[2]) + "|" + h.field[3] + "|" + std::to_string(h.number),
              "73050|REPORT.uut|12");
    EXPECT_EQ(uu_mode_word("TEXT"), UU_MODE_TEXT);
    EXPECT_EQ(uu_mode_word("BINARY"), UU_MODE_RAW);
    for (const char* w : {"text", "644", "0666", "6666", "", "Binary"})
        EXPECT_EQ(uu_mode_word(w), UU_MODE_UNKNOWN) << w;
    for (std::string n :
         {"  +42abc=42", "-7=-7", "abc=0", "-2147483647=-2147483647", "2147483648=2147483647",
          "-2147483648=-2147483648", "-99999999999999999999=-2147483648"}) {
        size_t eq = n.rfind('=');
        EXPECT_EQ(std::to_string(uu_read_decimal(n.substr(0, eq).c_str())), n.substr(eq + 1));
    }
    // Only plain names that stay in the folder; the part series of a name.
    for (const char* ok : {"REPORT.DOC", "a", "name with blank", "x.y.z", "CONSOLE", "COM10",
                           "LPT0.txt", "nul_x", ".profile", "con-x.txt"})
        EXPECT_TRUE(uu_plain_name(ok)) << ok;
    for (const char* bad :
         {"",      ".",        "..",        "...",        "../x",    "a/b",       "a\\b",
          "C:x",   "x:stream", "*",         "a?",         "a|b",     "<x>",       "q\"",
          "CON",   "con.txt",  "Nul",       "AUX.tar.gz", "prn .x",  "COM1",      "lpt9.doc",
          "name.", "name ",    "tab\there", "bell\x07",   "del\x7f", "esc\x1b[2J"})
        EXPECT_FALSE(uu_plain_name(bad)) << bad;
    for (const char* in : {"r.u00", "R.U07", "r.U100", "r.U9999"})
        EXPECT_TRUE(uu_in_part_series(in, "r.txt")) << in;
    for (const char* out : {"r.U7", "r.U007", "r.U10000", "rr.U01", "r.UX1", "r.txt.U01"})
        EXPECT_FALSE(uu_in_part_series(out, "r.txt")) << out;
    EXPECT_TRUE(uu_in_part_series("NOEXT.U12", "noext"));
}

class UuStreamTest : public LqTest {
  protected:
    Names read_lines(bool text, size_t max) {
        UuStream s;
        EXPECT_TRUE(uu_open_read(s, path("t").c_str(), text));
        Names lines;
        size_t len;
        while (const char* l = uu_read_line(s, max, &len)) lines.emplace_back(l, len);
        EXPECT_FALSE(s.failed);
        uu_close(s);
        return lines;
    }
    std::string read_joined(const std::string& bytes) {
        write_file(path("t"), bytes);
        std::string joined;
        for (const std::string& l : read_lines(true, 1024)) joined += l;
        return joined;
    }
};

TEST_F(UuStreamTest, LinesInBothModesAcrossChunksAndInPieces) {
    write_file(path("t"), std::string("a\r\nb\rc\n\x1a d\r\n\r\r\nlast\r", 20));
    EXPECT_EQ(read_lines(true, 644), (Names{"a\n", "b\rc\n", "\x1a d\n", "\r\n", "last\r"}));
    EXPECT_EQ(read_lines(false, 644), (Names{"a\r\n", "b\rc\n", "\x1a d\r\n", "\r\r\n", "last\r"}));
    // A CR LF cut by the read chunk is still one line end.
    for (size_t before : {UU_STREAM_CHUNK - 1, UU_STREAM_CHUNK, 2 * UU_STREAM_CHUNK - 1}) {
        std::string body(before, 'x');
        body[100] = '\n';
        EXPECT_EQ(read_joined(body + "\r\ny\r\n"), body + "\ny\n") << before;
    }
    // A CR ending the file stays, whatever the buffer held past it.
    std::string body(UU_STREAM_CHUNK, 'x');
    body[100] = body[UU_STREAM_CHUNK - 1] = '\n';
    body += std::string(99, 'y') + "\r";
    EXPECT_TRUE(read_joined(body) == body);
    write_file(path("t"), std::string(1000, 'a') + "\nb\n");
    EXPECT_EQ(read_lines(false, 644),
              (Names{std::string(644, 'a'), std::string(356, 'a') + "\n", "b\n"}));
}

TEST_F(UuStreamTest, WritesInBothModesAndARewindThatFailsToRead) {
    for (bool text : {true, false}) {
        UuStream s;
        ASSERT_TRUE(uu_open_write(s, path("t").c_str(), text));
        for (std::string p : {"a\nb", "\r\n", "\x1a\n", "", "c"}) uu_write(s, p.data(), p.size());
        EXPECT_TRUE(uu_close(s));
        EXPECT_EQ(read_file(path("t")), text ? "a\r\nb\r\r\n\x1a\r\nc" : "a\nb\r\n\x1a\nc");
    }
    UuStream s;
    size_t len;
    ASSERT_TRUE(uu_open_read(s, path("t").c_str(), true));
    EXPECT_EQ(uu_read_line(s, 0, &len), nullptr);
    uu_read_line(s, 644, &len);
    ASSERT_TRUE(uu_rewind(s));
    EXPECT_EQ(std::string(uu_read_line(s, 644, &len), len), "a\n");
    pf_fault_arm(PF_FAULT_READ, 1);
    ASSERT_TRUE(uu_rewind(s));
    EXPECT_TRUE(uu_read_line(s, 644, &len) == nullptr && s.failed);
    uu_close(s);
}

// lockquill-cli's subcommands in process: the operations' glue, the scripted
// answers, the output streams and exit codes.
int run(int (*cmd)(int, char**), std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    return cmd(int(args.size()), argv.data());
}

class UuCli : public LqTest {};

TEST_F(UuCli, SubcommandsAnswersAndExitCodes) {
    write_file(path("bytes.bin"), read_file(GOLDEN + "bytes.bin"));
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "bytes.bin"}), CLI_DONE);  // relative to the folder
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--binary", "--quiet", path("bytes.bin")}), CLI_DONE);
    for (const char* uu : {"bytes.uut", "bytes.uub"})
        EXPECT_EQ(read_file(path(uu)), read_file(GOLDEN + uu)) << uu;
    EXPECT_EQ(run(cli_uuencode, {"uuencode", path("bytes.bin")}), CLI_DECLINED);  // no terminal: No
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--no", path("bytes.bin")}), CLI_DECLINED);
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--yes", path("bytes.bin")}), CLI_DONE);
    write_file(path("s.bin"), lq_random_bytes(9000, 4));
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--quiet", path("s.bin")}), CLI_DONE);
    std::string uu = read_file(path("s.uut"));
    EXPECT_EQ(run(cli_split, {"split", path("s.uut")}), CLI_DONE);
    EXPECT_TRUE(exists(path("s.U02")) && !exists(path("s.U03")));
    EXPECT_EQ(run(cli_split, {"split", "--yes", "--max", "2000", path("s.uut")}), CLI_DONE);
    EXPECT_TRUE(exists(path("s.U06")));
    pf_delete(path("s.uut").c_str());
    EXPECT_EQ(run(cli_rebuild, {"rebuild", path("s.U00")}), CLI_DONE);
    EXPECT_EQ(read_file(path("s.uut")), uu);
    write_file(path("g.uu"), "begin 644 g.out\n#0V%T\n`\nend\n");
    EXPECT_EQ(run(cli_uudecode, {"uudecode", path("g.uu")}), CLI_DECLINED);
    // Each scripted answer is shown on standard error with its question; the
    // decoded file's path goes to standard output.
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yny", path("g.uu")}), CLI_DONE);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), path("g.out") + "\n");
    const std::string ask = "Lockquill(TM) WARNING: iUUDecode:  ";
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              ask +
                  "The UU Encoding Mode Flag 644 within the file g.uu DOES NOT match the Mode "
                  "Flags used by Lockquill, select YES to continue with manual control(s)!\n"
                  "  -> yes\n" +
                  ask +
                  "Select YES to switch the FILENAME:g.uu with the MODE FLAG:644 \n  -> no\n" +
                  ask +
                  "Select YES to UU DeCode the FILENAME:g.uu using BINARY MODE (Source was UNIX "
                  "System) Select NO to UU DeCode using TEXT MODE (Source was DOS/NT/Windows "
                  "System)\n  -> yes\n");
    EXPECT_EQ(read_file(path("g.out")), "Cat");
    write_file(path("short.uu"), "begin 666 short.out\n#0V%T\n");
    EXPECT_EQ(run(cli_uudecode, {"uudecode", path("short.uu")}), CLI_FAILED);
    for (const char* max : {"--max=258", "--max=text", "--max=", "--binary"})
        EXPECT_EQ(run(cli_split, {"split", max, path("g.uu")}), CLI_FAILED) << max;
    EXPECT_EQ(run(cli_uuencode, {"uuencode", "--answers", "y", path("g.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "--answers", "yx", path("g.uu")}), CLI_FAILED);
    EXPECT_EQ(run(cli_uudecode, {"uudecode", "a", "b"}), CLI_FAILED);
}

}  // namespace
