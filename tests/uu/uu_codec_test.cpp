// The line coder and the header parsers, on memory.
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

TEST(UuEncodeLine, GoldenGroupsUseTheGraveAccentForZeroAndZeroPadding) {
    EXPECT_EQ(enc("Cat"), "#0V%T");
    EXPECT_EQ(enc(std::string(3, '\0')), "#````");
    EXPECT_EQ(enc(""), "`");
    // One and two bytes: the missing bytes of the group are zero bits.
    EXPECT_EQ(enc("\xff"), "!_P``");
    EXPECT_EQ(enc("AB"), "\"04(`");
    EXPECT_EQ(enc("\xff\xff"), "\"__\\`");
}

TEST(UuEncodeLine, EveryLengthMatchesTheBitwiseReferenceAndHoldsNoBlank) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        for (size_t n = 0; n <= 45; ++n) {
            std::string data =
                seed == 4 ? std::string(n, '\0') : lq_random_bytes(n, seed * 100 + n);
            std::string line = enc(data);
            // The reference body's first line is this one (n < 45 adds more).
            std::string ref = uu_lines(uu_reference_body(data))[0];
            EXPECT_EQ(line + "\n", ref) << n;
            EXPECT_EQ(line.size(), 1 + (n + 2) / 3 * 4);
            for (char c : line) {
                EXPECT_GE((unsigned char)c, 0x21u) << n;
                EXPECT_LE((unsigned char)c, 0x60u) << n;
            }
            EXPECT_EQ(dec(line + "\n"), n ? data : "<end>") << n;
        }
    }
}

TEST(UuEncodeLine, FullLinesMatchSingleLinesWithEitherLineEnd) {
    std::string data = lq_random_bytes(45 * 7, 9);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
    std::string want_lf, want_crlf;
    for (int i = 0; i < 7; ++i) {
        std::string line = enc(data.substr(size_t(i) * 45, 45));
        EXPECT_EQ(line[0], 'M');
        EXPECT_EQ(line.size(), 61u);
        want_lf += line + "\n";
        want_crlf += line + "\r\n";
    }
    char out[7 * 63];
    EXPECT_EQ(std::string(out, uu_encode_full_lines(p, 7, out, "\n", 1)), want_lf);
    EXPECT_EQ(std::string(out, uu_encode_full_lines(p, 7, out, "\r\n", 2)), want_crlf);
}

TEST(UuDecodeLine, BlanksAndGraveAccentsAreZeroAndStrippedBlanksCountAsZero) {
    // Older encoders wrote blanks for zero; mail systems strip them at the
    // end of the line.
    EXPECT_EQ(dec("#    \n"), std::string(3, '\0'));
    EXPECT_EQ(dec("#\n"), std::string(3, '\0'));
    EXPECT_EQ(dec("!_P  \n"), "\xff");
    EXPECT_EQ(dec("!_P\n"), "\xff");
    EXPECT_EQ(dec("!_P"), "\xff");  // last line of a file without a line feed
    // Characters beyond the announced groups are ignored (a CR of a raw read).
    EXPECT_EQ(dec("#0V%T\r\n"), "Cat");
    EXPECT_EQ(dec("#0V%Tjunk\n"), "Cat");
}

TEST(UuDecodeLine, ZeroLengthAndEmptyLinesEndTheData) {
    EXPECT_EQ(dec("`\n"), "<end>");
    EXPECT_EQ(dec(" \n"), "<end>");
    EXPECT_EQ(dec("\n"), "<end>");
    EXPECT_EQ(dec("`"), "<end>");
}

TEST(UuDecodeLine, ALengthBeyondTheLineNeverReadsPastIt) {
    // '_' announces 63 bytes; only the line end follows.
    std::string got = dec("_\n");
    EXPECT_EQ(got, std::string(63, '\0'));
    std::string big = "_" + std::string(100, '!') + "\n";
    EXPECT_EQ(dec(big).size(), 63u);
}

TEST(UuHeaderParse, FieldsAreRunsOfNonBlanks) {
    char f[4][UU_FIELD_SIZE];
    std::string line = "begin 666 REPORT.DOC\r\n";
    ASSERT_EQ(uu_split_header(line.data(), line.size(), f, 2), UU_FIELDS_OK);
    EXPECT_STREQ(f[0], "666");
    EXPECT_STREQ(f[1], "REPORT.DOC");
    line = "begin \t777   a b c\n";
    ASSERT_EQ(uu_split_header(line.data(), line.size(), f, 2), UU_FIELDS_OK);
    EXPECT_STREQ(f[0], "777");
    EXPECT_STREQ(f[1], "a");
    line = "begin 644\n";
    ASSERT_EQ(uu_split_header(line.data(), line.size(), f, 2), UU_FIELDS_OK);
    EXPECT_STREQ(f[0], "644");
    EXPECT_STREQ(f[1], "");
    // A zero byte ends the line as it ends a C string.
    line = std::string("begin 666 ab\0cd\n", 16);
    ASSERT_EQ(uu_split_header(line.data(), line.size(), f, 2), UU_FIELDS_OK);
    EXPECT_STREQ(f[1], "ab");
}

TEST(UuHeaderParse, AFieldOf131CharactersFitsAndOneOf132IsRefused) {
    char f[2][UU_FIELD_SIZE];
    std::string ok = "begin 666 " + std::string(131, 'n') + "\n";
    ASSERT_EQ(uu_split_header(ok.data(), ok.size(), f, 2), UU_FIELDS_OK);
    EXPECT_EQ(std::strlen(f[1]), 131u);
    std::string bad = "begin 666 " + std::string(132, 'n') + "\n";
    EXPECT_EQ(uu_split_header(bad.data(), bad.size(), f, 2), UU_FIELD_TOO_LONG);
    std::string bad_mode = "begin " + std::string(500, '6') + " x\n";
    EXPECT_EQ(uu_split_header(bad_mode.data(), bad_mode.size(), f, 2), UU_FIELD_TOO_LONG);
}

TEST(UuHeaderParse, PartHeader) {
    UuPartHeader h;
    std::string line = "begin 666 REPORT.DOC 73050 REPORT.uut split-up number=12\n";
    ASSERT_EQ(uu_parse_part_header(line.data(), line.size(), &h), UU_FIELDS_OK);
    EXPECT_STREQ(h.field[0], "666");
    EXPECT_STREQ(h.field[1], "REPORT.DOC");
    EXPECT_STREQ(h.field[2], "73050");
    EXPECT_STREQ(h.field[3], "REPORT.uut");
    EXPECT_EQ(h.number, 12);
    line = "begin 666 REPORT.DOC\n";
    ASSERT_EQ(uu_parse_part_header(line.data(), line.size(), &h), UU_FIELDS_OK);
    EXPECT_STREQ(h.field[2], "");
    EXPECT_EQ(h.number, -1);
}

TEST(UuHeaderParse, ModeWordsAreExactAndCaseSensitive) {
    EXPECT_EQ(uu_mode_word("666"), UU_MODE_TEXT);
    EXPECT_EQ(uu_mode_word("TEXT"), UU_MODE_TEXT);
    EXPECT_EQ(uu_mode_word("777"), UU_MODE_RAW);
    EXPECT_EQ(uu_mode_word("BINARY"), UU_MODE_RAW);
    for (const char* w : {"text", "binary", "644", "0666", "6666", "", "Binary"})
        EXPECT_EQ(uu_mode_word(w), UU_MODE_UNKNOWN) << w;
}

TEST(UuReadDecimal, AsTheSizePromptReadsIt) {
    EXPECT_EQ(uu_read_decimal("5120"), 5120);
    EXPECT_EQ(uu_read_decimal("  +42abc"), 42);
    EXPECT_EQ(uu_read_decimal("-7"), -7);
    EXPECT_EQ(uu_read_decimal("abc"), 0);
    EXPECT_EQ(uu_read_decimal(""), 0);
    EXPECT_EQ(uu_read_decimal("12 34"), 12);
    EXPECT_EQ(uu_read_decimal("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(uu_read_decimal("-99999999999999999999"), INT32_MIN);
}

TEST(UuPlainName, OnlyNamesThatStayInTheFolder) {
    for (const char* ok : {"REPORT.DOC", "a", "...", "name with blank", "x.y.z"})
        EXPECT_TRUE(uu_plain_name(ok)) << ok;
    for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "\\x", "/etc/passwd", "C:x",
                            "C:\\x", "x:stream", "*", "a?"})
        EXPECT_FALSE(uu_plain_name(bad)) << bad;
}

TEST(UuPartExtension, AtLeastTwoDigits) {
    char ext[16];
    const std::pair<int, const char*> cases[] = {{0, "U00"},  {7, "U07"},    {12, "U12"},
                                                 {99, "U99"}, {100, "U100"}, {9999, "U9999"}};
    for (auto& c : cases) {
        uu_part_extension(c.first, ext);
        EXPECT_STREQ(ext, c.second);
    }
}

}  // namespace
