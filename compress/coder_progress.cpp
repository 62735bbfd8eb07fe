// The coders' progress reports: repaint only when the fraction has grown by
// more than 0.01 since the last repaint.
#include "compress/coder_progress.h"

#include <cstdio>

#include "fileops/progress.h"

uint32_t cz_progress_due = UINT32_MAX;

// The first position whose fraction can exceed the stored one by more than
// 0.01.  The bound is taken a little low (floating rounding); the exact test
// in cz_progress_report decides.
static void schedule_next(uint32_t position) {
    if (!hwndProgress || dwProgressTotal == 0) {
        cz_progress_due = UINT32_MAX;
        return;
    }
    double at = ((double)fProgressFraction + 0.01) * (double)dwProgressTotal - 2.0;
    if (at >= 4294967295.0) {
        cz_progress_due = UINT32_MAX;
    } else {
        uint32_t due = at > 0 ? (uint32_t)at : 0;
        cz_progress_due = due > position ? due : position + 1;
    }
}

void cz_progress_start() { schedule_next(0); }

void cz_progress_report(uint32_t position) {
    // An empty total leaves the fraction undefined: the window keeps its text.
    if (!hwndProgress || dwProgressTotal == 0) {
        cz_progress_due = UINT32_MAX;
        return;
    }
    double fraction = (double)position / (double)dwProgressTotal;
    if (fraction - (double)fProgressFraction > 0.01) {
        fProgressFraction = (float)fraction;
        dwProgressDone = position;
        std::snprintf(szProgressPercent, sizeof szProgressPercent, " %2.0f%% completed ",
                      (double)fProgressFraction * 100.0);
        iShowProgress(0);
    }
    schedule_next(position);
}
