// Page metrics, the line breaker and the body of a print job.
#include "print/print_text.h"

#include <cstdio>

#include "fileops/file_services.h"

int32_t bUserAbort = 0;
char szPageHeader[40] = "";
LqPrintPage lq_print_page = {};
LqPrintDevice lq_print_device = {};

namespace {
const char vertical_tab = 0x0B;

// Lines start 8 widths of "M" from the left edge; tab stops repeat every 5
// widths from an origin 5 widths in (the drawing call expands the tabs).
int32_t left_edge() { return 8 * lq_print_page.w; }
int32_t tab_width() { return 5 * lq_print_page.w; }

bool draw(int32_t x, int32_t y, const char* s, int32_t count) {
    return lq_print_device.draw(lq_print_device.ctx, x, y, s, count, tab_width(), tab_width());
}
}  // namespace

void lq_print_set_metrics(int32_t w, int32_t h, int32_t printable_width, int32_t printable_height) {
    LqPrintPage& pg = lq_print_page;
    pg.width = uint16_t(printable_width);
    pg.w = w;
    pg.h = h;
    uint16_t cw = uint16_t(w);
    if (cw == 0) cw = 1;
    pg.chars_per_line = int32_t(uint16_t(printable_width) / cw) - 14;
    pg.bottom = int32_t(int16_t(printable_height)) - 6 * h;
    pg.y = 6 * h;
    pg.page = 1;
}

int iPrintBufferLine(const char* text, int32_t n, int32_t p, int32_t* advance) {
    *advance = 0;
    if (p < 0 || p > n) return 0;
    const char* s = text + p;
    const int32_t rest = n - p;
    // At least one character per line, however narrow the page: a line of
    // none would never move the position.
    int32_t width = lq_print_page.chars_per_line < 1 ? 1 : lq_print_page.chars_per_line;
    if (rest < width) width = rest;

    int32_t i = 0;
    for (; i < width; ++i) {
        if (s[i] == '\r') {
            *advance = i + 1 + (i + 1 < rest && s[i + 1] == '\n' ? 1 : 0);
            return i;
        }
        if (s[i] == vertical_tab) width -= 5;
    }
    if (rest - i <= 0) {
        *advance = i;
        return i;
    }
    // Here 1 <= i < rest.  Vertical tabs may have shortened the line to
    // nothing; it then still takes one character (so a vertical tab followed
    // by a few last characters is a line of its own).  The search below reads
    // s[width] with width <= i, inside the text.
    if (width < 1) width = 1;
    for (int32_t j = width; j >= 1; --j) {
        if (s[j] == vertical_tab) {
            *advance = j + 1;
            return j + 1;
        }
        if (s[j] == ' ') {
            int32_t k = j;
            while (k < rest && s[k] == ' ') ++k;
            *advance = k;
            return k;
        }
    }
    *advance = width;
    return width;
}

int iPrintStartPage(const char* heading) {
    char line[80];
    int len = std::snprintf(line, sizeof line, "%s   page %i", heading, lq_print_page.page);
    if (len < 0) return -1;
    if (len >= int(sizeof line)) len = int(sizeof line) - 1;
    int32_t x = left_edge();
    int32_t over = x + len * lq_print_page.w - lq_print_page.width;
    if (over > 0) x = over < x ? x - over : 0;
    if (!draw(x, lq_print_page.y, line, len)) return -1;
    lq_print_page.y += 2 * lq_print_page.h;
    return 0;
}

int lq_print_body(const char* text, int32_t n, const char* heading) {
    LqPrintPage& pg = lq_print_page;
    if (iPrintStartPage(heading) == -1) {
        lq_message_format(" On First Page Header iPrintStartPage ");
        return 1;
    }
    int32_t p = 0;
    for (;;) {
        int32_t advance = 0;
        int32_t count = iPrintBufferLine(text, n, p, &advance);
        if (count > 0 && !draw(left_edge(), pg.y, text + p, count)) {
            lq_message_format(" On Repeated TabbedTextOut ");
            return 1;
        }
        p += advance;
        pg.y += pg.h;
        if (pg.y + pg.h > pg.bottom) {
            if (lq_print_device.new_frame(lq_print_device.ctx) < 1) {
                // The platform ends a page with a failure when the abort
                // procedure said stop: that is the user's Cancel, not a fault.
                if (bUserAbort) return -1;
                lq_message_format(" On EndPage ");
                return 1;
            }
            ++pg.page;
            pg.y = 6 * pg.h;
            if (iPrintStartPage(heading) == -1) {
                lq_message_format(" On Repeated iPrintStartPage ");
                return 1;
            }
        }
        if (bUserAbort) return -1;
        if (p >= n) {
            lq_print_device.new_frame(lq_print_device.ctx);
            return 0;
        }
    }
}
