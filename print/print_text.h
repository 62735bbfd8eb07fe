// Printed text: the page metrics, the line breaker and the body of a print
// job, portable.  The device is reached through LqPrintDevice, so that the
// editor draws on a printer context and the tests on a recorder.
//
// Units are the device's.  One job at a time, on the user-interface thread.
#pragma once

#include <cstdint>

// Set by the Cancel button of the "Print" window; cleared when a job starts.
extern int32_t bUserAbort;
// The heading text of the job (at most 39 characters).
extern char szPageHeader[40];

// Page metrics of the running job.
struct LqPrintPage {
    int32_t width;           // printable width
    int32_t w;               // width of "M"
    int32_t h;               // height of "M": the line height
    int32_t y;               // the next line's position
    int32_t bottom;          // no line starts below bottom - h
    int32_t chars_per_line;  // W of iPrintBufferLine
    int32_t page;            // number of the page being printed, from 1
};
extern LqPrintPage lq_print_page;

// What the body needs of a printer.
struct LqPrintDevice {
    // Draws count characters at (x, y), horizontal tabs expanded to one
    // repeating stop every tab_width units counted from tab_origin.  False on
    // failure.
    bool (*draw)(void* ctx, int32_t x, int32_t y, const char* s, int32_t count, int32_t tab_width,
                 int32_t tab_origin);
    // Ends the page and begins the next one; the platform's result (below 1
    // is a failure).
    int (*new_frame)(void* ctx);
    void* ctx;
};
// The device of the running job: iPrintStartPage draws on it.
extern LqPrintDevice lq_print_device;

// Page 1 at its first line, from the extent of "M" and the printable width
// and height.  Both sizes are taken in 16 bits; W is the width divided by w
// (unsigned 16-bit division) minus 14.  An "M" narrower than one unit counts
// as one unit wide.
void lq_print_set_metrics(int32_t w, int32_t h, int32_t printable_width, int32_t printable_height);

// The next printed line from position p of text (n characters): returns how
// many characters to draw and sets *advance to the characters from p to the
// start of the following line.  A carriage return (with its line feed) ends a
// line; a vertical tab shortens it by 5; a line too long breaks after the
// last blank or vertical tab that fits (blanks at the break stay on it),
// else is cut after W characters.  While p < n the advance is at least 1 --
// also where vertical tabs shorten a line to nothing or W is below 1 -- so
// that a print loop always reaches the end.  p == n gives 0 and 0; p beyond
// n (or negative) 0 and 0.  Reads text[0, n) only.
int iPrintBufferLine(const char* text, int32_t n, int32_t p, int32_t* advance);

// Draws "%s   page %i" (heading, page number) at the left edge on line y and
// moves y two lines down.  A heading line that would run past the printable
// width (counting every character as wide as "M") starts that much further
// left, down to 0: the page number stays on the page.  0, or -1 when the line
// could not be drawn.
int iPrintStartPage(const char* heading);

// The body of a job whose first page was started: its heading, then every
// line of text, a new page (with its heading) whenever the next line would
// pass the page bottom, and the last page ended.  Returns 0 printed; -1
// cancelled (bUserAbort seen after a line); 1 failed, with the failure (" On
// Repeated TabbedTextOut " and the like) in szMessageBuffer.
int lq_print_body(const char* text, int32_t n, const char* heading);
