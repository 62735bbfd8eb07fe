// Printed text: the line breaker over a table of texts, and the body of a job
// on a recording device (lines, headings, pages, failures, Cancel).
#include <string>
#include <vector>

#include "print/print_text.h"
#include "tests/support/lq_test.h"

namespace {

// The printed lines of text at w characters per line, joined by '|'.  Every
// call must move forward.
std::string lines(const std::string& text, int32_t w) {
    lq_print_page.chars_per_line = w;
    const int32_t n = int32_t(text.size());
    std::string out;
    for (int32_t p = 0; p < n;) {
        int32_t advance = -1;
        int32_t count = iPrintBufferLine(text.data(), n, p, &advance);
        EXPECT_GE(advance, 1) << "no move at " << p;
        if (advance < 1) break;
        EXPECT_LE(p + count, n);
        out += (p ? "|" : "") + text.substr(size_t(p), size_t(count));
        p += advance;
    }
    return out;
}

struct BreakCase {
    const char* what;
    std::string text;
    int32_t w;
    std::string expected;
};

const BreakCase break_cases[] = {
    {"CR LF and CR alone end lines", "one\r\ntwo\rthree\r\n\r\nx", 10, "one|two|three||x"},
    {"break after the last blank; blanks stay", "aaaa bbbb  cccc", 7, "aaaa |bbbb  |cccc"},
    {"a blank at index W", "abcdefg hij", 7, "abcdefg |hij"},
    {"a word longer than W is cut", "abcdefghij", 4, "abcd|efgh|ij"},
    {"a tab is one character", "a\tb c", 3, "a\tb |c"},
    {"a vertical tab shortens the line by 5", "\vabcdefghijkl", 8, "\vab|cdefghij|kl"},
    {"a vertical tab at index W ends the line", "abc de\v fgh", 6, "abc de\v| fgh"},
    {"blanks up to the end of the text", "abcd   ", 4, "abcd   "},
    {"a CR at the very end", "ab\r", 5, "ab"},
    // A vertical tab and four or fewer last characters: an advance of 0 or
    // below made the print loop stall or go back.
    {"vertical tab then four last characters", "ab\r\n\vabcd", 33, "ab|\v|abcd"},
    {"vertical tab then one last character", "\va", 33, "\v|a"},
    {"vertical tabs shorten the line below 1", "ab\vcdefgh", 3, "a|b\v|cde|fgh"},
    {"a page too narrow for one character", "abc", -3, "a|b|c"},
};

TEST(iPrintBufferLine, BreaksAsTheTableSays) {
    for (const BreakCase& c : break_cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(lines(c.text, c.w), c.expected);
    }
    int32_t advance = 7;
    EXPECT_EQ(iPrintBufferLine("ab", 2, 2, &advance), 0);
    EXPECT_EQ(advance, 0);
    EXPECT_EQ(iPrintBufferLine("ab", 2, 3, &advance), 0);
    EXPECT_EQ(advance, 0);
}

TEST(lq_print_set_metrics, MeasuredPrinterA4At300Dpi) {
    lq_print_set_metrics(52, 100, 2479, 3508);
    EXPECT_EQ(lq_print_page.chars_per_line, 33);
    EXPECT_EQ(lq_print_page.bottom, 2908);
    EXPECT_EQ(lq_print_page.y, 600);
    // Sizes are 16-bit: 70000 is 4464 units wide.
    lq_print_set_metrics(52, 100, 70000, 3508);
    EXPECT_EQ(lq_print_page.chars_per_line, 71);
}

// The device: "y:text|" per line drawn, "--|" per new frame.  The n-th draw
// or frame fails when n is given; a draw presses Cancel.
struct Faults {
    int fail_draw, fail_frame, cancel_at_draw;
};
struct Recorder {
    Faults f;
    std::string log;
    int draws = 0, frames = 0;
};

bool record_draw(void* ctx, int32_t x, int32_t y, const char* s, int32_t n, int32_t tab,
                 int32_t origin) {
    auto& r = *static_cast<Recorder*>(ctx);
    EXPECT_TRUE(tab == 50 && origin == 50);
    if (++r.draws == r.f.fail_draw) return false;
    if (r.draws == r.f.cancel_at_draw) bUserAbort = 1;
    r.log += std::to_string(y) + ":" + std::string(s, size_t(n)) +
             (x == 80 ? "" : "@" + std::to_string(x)) + "|";
    return true;
}

int record_frame(void* ctx) {
    auto& r = *static_cast<Recorder*>(ctx);
    if (++r.frames == r.f.fail_frame) return -1;
    r.log += "--|";
    return 1;
}

struct BodyCase {
    std::string heading, text;
    Faults faults;
    int result;
    std::string log;
    const char* message;
};

const std::string h35 = "Thirty-five characters of heading..";
const std::string p35 = "60:" + h35 + "   page ";  // 44 characters: from x = 0
// w 10, h 10, 200 x 160 units: 6 characters per line, headings at 60, two
// lines per page at 80 and 90.  Cases: an empty text (a heading line 2
// characters too wide); a text that fills its
// page exactly (one more page, only the heading); lines over three pages; an
// empty heading; each failure; Cancel after a line, and Cancel that the
// platform saw at a page end.
const BodyCase body_cases[] = {
    {"Heads", "", {}, 0, "60:Heads   page 1@60|--|", ""},
    {"H", "ab\r\ncd", {}, 0, "60:H   page 1|80:ab|90:cd|--|60:H   page 2|--|", ""},
    {h35,
     "ab\r\ncd\r\nef ghij",
     {},
     0,
     p35 + "1@0|80:ab|90:cd|--|" + p35 + "2@0|80:ef |90:ghij|--|" + p35 + "3@0|--|",
     ""},
    {"", "x", {}, 0, "60:   page 1|80:x|--|", ""},
    {"H", "x", {1, 0, 0}, 1, "", " On First Page Header iPrintStartPage "},
    {"H", "x", {2, 0, 0}, 1, "60:H   page 1|", " On Repeated TabbedTextOut "},
    {"H", "a\rb\rc", {0, 1, 0}, 1, "60:H   page 1|80:a|90:b|", " On EndPage "},
    {"H", "a\rb\rc", {4, 0, 0}, 1, "60:H   page 1|80:a|90:b|--|", " On Repeated iPrintStartPage "},
    {"H", "a\rb\rc", {0, 0, 2}, -1, "60:H   page 1|80:a|", ""},
    {"H", "a\rb\rc", {0, 1, 3}, -1, "60:H   page 1|80:a|90:b|", ""},
};

TEST(lq_print_body, PrintsAsTheTableSays) {
    for (const BodyCase& c : body_cases) {
        SCOPED_TRACE(c.text + " / " + c.log);
        Recorder r{c.faults, ""};
        lq_print_device = {record_draw, record_frame, &r};
        lq_print_set_metrics(10, 10, 200, 160);
        bUserAbort = 0;
        szMessageBuffer[0] = 0;
        EXPECT_EQ(lq_print_body(c.text.data(), int32_t(c.text.size()), c.heading.c_str()),
                  c.result);
        EXPECT_EQ(r.log, c.log);
        EXPECT_STREQ(szMessageBuffer, c.message);
    }
}

}  // namespace
