#include "fileops/progress.h"

#include <cstdio>

#include "platform/platform.h"
#include "platform/ui.h"

intptr_t hwndProgress;
float fProgressFraction;
char szProgressOperation[LQ_MAX_PATH + 64];
char szProgressFileName[LQ_MAX_PATH + 64];
char szProgressPercent[64];
uint32_t dwProgressDone;
uint32_t dwProgressTotal;

int iShowProgress(int16_t mode) {
    const LqProgressUi* ui = lq_progress_ui();
    if (mode > 0) {
        if (hwndProgress) return 0;
        intptr_t w = ui ? ui->open() : 0;
        if (!w) return -1;
        hwndProgress = w;
        fProgressFraction = 0.0f;
        if (!szProgressPercent[0])
            std::snprintf(szProgressPercent, sizeof szProgressPercent, " 0%% completed ");
    } else if (mode < 0) {
        if (hwndProgress) {
            szProgressOperation[0] = 0;
            szProgressFileName[0] = 0;
            szProgressPercent[0] = 0;
            fProgressFraction = 0.0f;
            intptr_t w = hwndProgress;
            if (ui) ui->close(w);
            hwndProgress = 0;
        }
        return 0;
    }
    if (hwndProgress && ui) ui->paint(hwndProgress);
    return 0;
}

void lq_progress_begin(const char* operation, const char* file_name, uint32_t total) {
    pf_cursor_wait();
    dwProgressDone = 0;
    dwProgressTotal = total;
    std::snprintf(szProgressOperation, sizeof szProgressOperation, "%s", operation);
    std::snprintf(szProgressFileName, sizeof szProgressFileName, "%s", file_name);
    iShowProgress(1);
}

// The fraction of the work done, in double precision as the counters are
// unsigned 32-bit; an empty input counts as done.
static double current_fraction() {
    return dwProgressTotal ? (double)dwProgressDone / (double)dwProgressTotal : 1.0;
}

static void store_and_paint(double fraction) {
    fProgressFraction = (float)fraction;
    std::snprintf(szProgressPercent, sizeof szProgressPercent, " %2.0f%% completed ",
                  fraction * 100.0);
    iShowProgress(0);
}

void lq_progress_step(uint32_t n) {
    if (!hwndProgress) return;
    dwProgressDone += n;
    store_and_paint(current_fraction());
}

void lq_progress_step_coarse(uint32_t n) {
    if (!hwndProgress) return;
    dwProgressDone += n;
    double f = current_fraction();
    if (f - fProgressFraction > 0.01) store_and_paint(f);
}

void lq_progress_end() {
    pf_cursor_arrow();
    iShowProgress(-1);
}
