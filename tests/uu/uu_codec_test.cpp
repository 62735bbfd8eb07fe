// The line coder, the header parsers and the name checks, on memory.
#include <cstring>
#include <string>

#include "tests/uu/uu_test_util.h"
#include "uu/uu_codec.h"

namespace {

std::string enc(const std::string& bytes) {
    char out[UU_LINE_CHARS + 1];
    size_t n = uu_encode_line(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    return std::string(out, n);
}

// Decodes one line; "<end>" for the line that ends the data.
std::string dec(const std::string& line) {
    uint8_t out[UU_MAX_LINE_DECODED];
    int n = uu_decode_line(line.data(), line.size(), out);
    return n < 0 ? std::string("<end>") : std::string(reinterpret_cast<char*>(out), size_t(n));
}

TEST(UuLine, EveryLengthMatchesTheBitwiseReferenceBothWays) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        for (size_t n = 0; n <= 45; ++n) {
            std::string data = seed == 3 ? std::string(n, '\0') : lq_random_bytes(n, seed * 99 + n);
            std::string line = enc(data);
            EXPECT_EQ(line + "\n", uu_lines(uu_reference_body(data))[0]) << n;
            EXPECT_EQ(line.find(' '), std::string::npos) << n;
            EXPECT_EQ(dec(line + "\n"), n ? data : "<end>") << n;
        }
    }
    std::string data = lq_random_bytes(45 * 7, 9), lf, crlf;
    for (int i = 0; i < 7; ++i) lf += enc(data.substr(size_t(i) * 45, 45)) + "\n";
    for (int i = 0; i < 7; ++i) crlf += enc(data.substr(size_t(i) * 45, 45)) + "\r\n";
    char out[7 * 63];
    const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
    EXPECT_EQ(std::string(out, uu_encode_full_lines(p, 7, out, "\n", 1)), lf);
    EXPECT_EQ(std::string(out, uu_encode_full_lines(p, 7, out, "\r\n", 2)), crlf);
    uint8_t back[7 * 45 + 1];  // one spare byte, as the decoder may write it
    EXPECT_EQ(uu_decode_full_lines(lf.data(), lf.size(), back, 7), 7u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 7 * 45), data);
}

TEST(UuLine, DecodingOddLines) {
    const std::pair<const char*, std::string> cases[] = {
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
        {"_\n", std::string(63, '\0')},
    };
    for (const auto& c : cases) EXPECT_EQ(dec(c.first), c.second) << c.first;
    EXPECT_EQ(dec("_" + std::string(100, '!') + "\n").size(), 63u);
}

TEST(UuHeader, FieldsPartHeadersAndModeWords) {
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
                                                       {"99999999999999999999", INT32_MAX},
                                                       {"-99999999999999999999", INT32_MIN}};
    for (const auto& n : numbers) EXPECT_EQ(uu_read_decimal(n.first), n.second) << n.first;
}

TEST(UuNames, OnlyPlainNamesThatStayInTheFolder) {
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
    const std::pair<int, const char*> parts[] = {
        {0, "U00"}, {7, "U07"}, {100, "U100"}, {9999, "U9999"}};
    for (const auto& k : parts) {
        uu_part_extension(k.first, ext);
        EXPECT_STREQ(ext, k.second);
    }
    for (const char* in : {"r.u00", "R.U07", "r.U100", "r.U9999"})
        EXPECT_TRUE(uu_in_part_series(in, "r.txt")) << in;
    for (const char* out : {"r.U7", "r.U007", "r.U10000", "rr.U01", "r.UX1", "r.txt.U01"})
        EXPECT_FALSE(uu_in_part_series(out, "r.txt")) << out;
    EXPECT_TRUE(uu_in_part_series("NOEXT.U12", "noext"));
}

}  // namespace
