// The line coder against an independent coder's lines, the header parsers and
// the name checks on memory; the text and raw streams on files.
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/lq_test.h"
#include "uu/uu_codec.h"
#include "uu/uu_common.h"
#include "uu/uu_stream.h"

namespace {

typedef std::vector<std::string> Lines;

std::string enc(const std::string& bytes) {
    char out[UU_LINE_CHARS + 1];
    return std::string(out, uu_encode_line((const uint8_t*)bytes.data(), bytes.size(), out));
}

// Decodes one line; "<end>" for the line that ends the data.
std::string dec(const std::string& line) {
    uint8_t out[UU_MAX_LINE_DECODED];
    int n = uu_decode_line(line.data(), line.size(), out);
    return n < 0 ? "<end>" : std::string((char*)out, size_t(n));
}

class UuCodec : public LqTest {};

TEST_F(UuCodec, EveryLengthMatchesTheGoldenLinesBothWaysAndOddLinesDecode) {
    // Rows "hex line": every length 0 to 45 of random bytes twice and of zeros.
    std::istringstream golden(read_file(lq_source_dir() + "/tests/golden/uu/lines.txt"));
    std::string hex, line;
    int rows = 0;
    for (; std::getline(golden, hex, ' ') && std::getline(golden, line); ++rows) {
        EXPECT_EQ(enc(lq_unhex(hex)), line) << hex;
        EXPECT_EQ(dec(line + "\n"), hex.empty() ? "<end>" : lq_unhex(hex)) << line;
    }
    EXPECT_EQ(rows, 3 * 46);
    std::string data = lq_random_bytes(45 * 7, 9), lf, crlf;
    for (int i = 0; i < 7; ++i) lf += enc(data.substr(size_t(i) * 45, 45)) + "\n";
    for (char c : lf) crlf += c == '\n' ? "\r\n" : std::string(1, c);
    char out[7 * 63];
    const uint8_t* p = (const uint8_t*)data.data();
    EXPECT_EQ(std::string(out, uu_encode_full_lines(p, 7, out, "\n", 1)), lf);
    EXPECT_EQ(std::string(out, uu_encode_full_lines(p, 7, out, "\r\n", 2)), crlf);
    uint8_t back[7 * 45 + 1];  // one spare byte, as the decoder may write it
    EXPECT_EQ(uu_decode_full_lines(lf.data(), lf.size(), back, 7), 7u);
    EXPECT_EQ(std::string((char*)back, 7 * 45), data);
    const std::pair<const char*, std::string> odd[] = {
        {"#    \n", std::string(3, '\0')},
        {"#\n", std::string(3, '\0')},  // stripped blanks
        {"!_P\n", "\xff"},
        {"#0V%\n", "Ca@"},
        {"!_P", "\xff"},
        {"#0V%T\r\n", "Cat"},
        {"#0V%Tjunk\n", "Cat"},
        {"`\n", "<end>"},
        {" \n", "<end>"},
        {"\n", "<end>"},
        {"_\n", std::string(63, '\0')}};
    for (const auto& c : odd) EXPECT_EQ(dec(c.first), c.second) << c.first;
    EXPECT_EQ(dec("_" + std::string(100, '!') + "\n").size(), 63u);
}

TEST_F(UuCodec, FieldsPartHeadersModeWordsNumbersAndNames) {
    char f[4][UU_FIELD_SIZE];
    const std::pair<std::string, std::string> lines[] = {
        {"begin 666 REPORT.DOC\r\n", "666|REPORT.DOC"},
        {"begin \t777   a b\n", "777|a"},
        {"begin 644\n", "644|"},
        {std::string("begin 666 ab\0cd\n", 16), "666|ab"},
        {"begin 666 " + std::string(131, 'n') + "\n", "666|" + std::string(131, 'n')},
        {"begin 666 " + std::string(132, 'n') + "\n", "too long"},
        {"begin " + std::string(500, '6') + " x\n", "too long"}};
    for (const auto& l : lines) {
        int r = uu_split_header(l.first.data(), l.first.size(), f, 2);
        EXPECT_EQ(r == UU_FIELDS_OK ? std::string(f[0]) + "|" + f[1] : "too long", l.second);
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
    const std::pair<const char*, int32_t> numbers[] = {{"  +42abc", 42},
                                                       {"-7", -7},
                                                       {"abc", 0},
                                                       {"-2147483647", -INT32_MAX},
                                                       {"2147483648", INT32_MAX},
                                                       {"-2147483648", INT32_MIN},
                                                       {"-99999999999999999999", INT32_MIN}};
    for (const auto& n : numbers) EXPECT_EQ(uu_read_decimal(n.first), n.second) << n.first;
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
    char ext[16];
    for (int k : {0, 7, 100, 9999}) {
        uu_part_extension(k, ext);
        EXPECT_EQ(ext, std::string(k < 10 ? "U0" : "U") + std::to_string(k));
    }
    for (const char* in : {"r.u00", "R.U07", "r.U100", "r.U9999"})
        EXPECT_TRUE(uu_in_part_series(in, "r.txt")) << in;
    for (const char* out : {"r.U7", "r.U007", "r.U10000", "rr.U01", "r.UX1", "r.txt.U01"})
        EXPECT_FALSE(uu_in_part_series(out, "r.txt")) << out;
    EXPECT_TRUE(uu_in_part_series("NOEXT.U12", "noext"));
}

class UuStreamTest : public LqTest {
  protected:
    Lines read_lines(bool text, size_t max) {
        UuStream s;
        EXPECT_TRUE(uu_open_read(s, path("t").c_str(), text));
        Lines lines;
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
    EXPECT_EQ(read_lines(true, 644), (Lines{"a\n", "b\rc\n", "\x1a d\n", "\r\n", "last\r"}));
    EXPECT_EQ(read_lines(false, 644), (Lines{"a\r\n", "b\rc\n", "\x1a d\r\n", "\r\r\n", "last\r"}));
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
              (Lines{std::string(644, 'a'), std::string(356, 'a') + "\n", "b\n"}));
}

TEST_F(UuStreamTest, WritesRewindAndFailures) {
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
    EXPECT_EQ(uu_read_line(s, 644, &len), nullptr);
    EXPECT_TRUE(s.failed);
    uu_close(s);
    ASSERT_TRUE(uu_open_write(s, path("out").c_str(), false));
    EXPECT_TRUE(uu_write(s, "abc", 3));  // buffered: the close reports it
    pf_fault_arm(PF_FAULT_WRITE, 1);
    EXPECT_FALSE(uu_close(s));
    ASSERT_TRUE(uu_open_write(s, path("out").c_str(), false));
    std::string big(300000, 'z');
    pf_fault_arm(PF_FAULT_WRITE, 1);
    EXPECT_FALSE(uu_write(s, big.data(), big.size()));
    EXPECT_FALSE(uu_write(s, "x", 1));
    EXPECT_EQ(uu_reserve(s, 10), nullptr);
    EXPECT_FALSE(uu_close(s));
}

}  // namespace
