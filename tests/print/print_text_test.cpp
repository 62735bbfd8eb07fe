// Printed text: the line breaker over a table of texts, and the body of a job
// on a recording device (lines, headings, pages, failures, Cancel).
#include <string>

#include "print/print_text.h"
#include "tests/support/lq_test.h"

namespace {
// The printed lines of text at w characters per line, joined by '|'.  Every
// call must move forward.
std::string lines(const std::string& text, int32_t w) {
    lq_print_page.chars_per_line = w;
    const int32_t n = int32_t(text.size());
    std::string out;
    for (int32_t p = 0, advance = 0; p < n; p += advance) {
        int32_t count = iPrintBufferLine(text.data(), n, p, &advance);
        EXPECT_TRUE(advance >= 1 && p + count <= n) << "at " << p;
        if (advance < 1) break;
        out += (p ? "|" : "") + text.substr(size_t(p), size_t(count));
    }
    return out;
}

TEST(iPrintBufferLine, BreaksAsTheTableSays) {
    const struct {
        const char* what;
        std::string text;
        int32_t w;
        std::string expected;
    } cases[] = {
        {"CR LF and CR alone end lines", "one\r\ntwo\rthree\r\n\r\nx\r", 10, "one|two|three||x"},
        {"break after the last blank; blanks stay", "aaaa bbbb  cccc", 7, "aaaa |bbbb  |cccc"},
        {"a blank at index W", "abcdefg hij", 7, "abcdefg |hij"},
        {"a word longer than W is cut", "abcdefghij", 4, "abcd|efgh|ij"},
        {"a tab is one character", "a\tb c", 3, "a\tb |c"},
        {"a vertical tab shortens the line by 5", "\vabcdefghijkl", 8, "\vab|cdefghij|kl"},
        {"a vertical tab at index W ends the line", "abc de\v fgh", 6, "abc de\v| fgh"},
        {"blanks up to the end of the text", "abcd   ", 4, "abcd   "},
        // An advance of 0 or below made the print loop stall or go back:
        {"vertical tab then four last characters", "ab\r\n\vabcd", 33, "ab|\v|abcd"},
        {"vertical tab then one last character", "\va", 33, "\v|a"},
        {"vertical tabs shorten the line below 1", "ab\vcdefgh", 3, "a|b\v|cde|fgh"},
        {"a page too narrow for one character", "abc", -3, "a|b|c"},
    };
    for (const auto& c : cases) EXPECT_EQ(lines(c.text, c.w), c.expected) << c.what;
    int32_t advance = 7;
    EXPECT_EQ(iPrintBufferLine("ab", 2, 3, &advance) + advance, 0);
}

TEST(lq_print_set_metrics, SixteenBitSizes) {
    lq_print_set_metrics(52, 100, 70000, 70000);  // 4464 by 4464 units
    EXPECT_EQ(lq_print_page.chars_per_line * 10000 + lq_print_page.bottom, 713864);
    lq_print_set_metrics(0, 100, 100, 0);  // an "M" of no width counts as 1
    EXPECT_EQ(lq_print_page.chars_per_line, 86);
}

// The device: "y:text|" per line drawn ("@x" when not at 80), "--|" per new
// frame.  The n-th draw or frame fails when n is given; a draw presses Cancel.
struct Faults {
    int fail_draw, fail_frame, cancel_at_draw;
} faults;
std::string log;
int draws, frames;
bool record_draw(void*, int32_t x, int32_t y, const char* s, int32_t n, int32_t tab, int32_t org) {
    EXPECT_TRUE(tab == 50 && org == 50);
    if (++draws == faults.fail_draw) return false;
    if (draws == faults.cancel_at_draw) bUserAbort = 1;
    log += std::to_string(y) + ":" + std::string(s, size_t(n)) +
           (x == 80 ? "" : "@" + std::to_string(x)) + "|";
    return true;
}
int record_frame(void*) {
    if (++frames == faults.fail_frame) return -1;
    log += "--|";
    return 1;
}

// w 10, h 10, 200 x 160 units: 6 characters per line, headings at 60, two
// lines per page at 80 and 90.  A text that fills its page gets one more
// page, only the heading; Cancel counts after a line and at a page end.
TEST(lq_print_body, PrintsAsTheTableSays) {
    const std::string wide = "60:Too wide heading   page ";
    const struct {
        std::string heading, text;
        Faults faults;
        int result;
        std::string log;
        const char* message;
    } cases[] = {
        // clang-format off
        {"Heads", "", {}, 0, "60:Heads   page 1@60|--|", ""},
        {"H", "ab\r\ncd", {}, 0, "60:H   page 1|80:ab|90:cd|--|60:H   page 2|--|", ""},
        {"Too wide heading", "a\rb\rc", {}, 0, wide + "1@0|80:a|90:b|--|" + wide + "2@0|80:c|--|", ""},
        {"", "x", {}, 0, "60:   page 1|80:x|--|", ""},
        {"H", "x", {1, 0, 0}, 1, "", " On First Page Header iPrintStartPage "},
        {"H", "x", {2, 0, 0}, 1, "60:H   page 1|", " On Repeated TabbedTextOut "},
        {"H", "a\rb\rc", {0, 1, 0}, 1, "60:H   page 1|80:a|90:b|", " On EndPage "},
        {"H", "a\rb\rc", {4, 0, 0}, 1, "60:H   page 1|80:a|90:b|--|", " On Repeated iPrintStartPage "},
        {"H", "a\rb\rc", {0, 0, 2}, -1, "60:H   page 1|80:a|", ""},
        {"H", "a\rb\rc", {0, 1, 3}, -1, "60:H   page 1|80:a|90:b|", ""},
        // clang-format on
    };
    lq_print_device = {record_draw, record_frame, nullptr};
    for (const auto& c : cases) {
        faults = c.faults;
        log.clear();
        draws = frames = bUserAbort = szMessageBuffer[0] = 0;
        lq_print_set_metrics(10, 10, 200, 160);
        EXPECT_EQ(lq_print_body(c.text.data(), int32_t(c.text.size()), c.heading.c_str()), c.result)
            << c.log;
        EXPECT_EQ(log, c.log);
        EXPECT_STREQ(szMessageBuffer, c.message) << c.log;
    }
}
}  // namespace
