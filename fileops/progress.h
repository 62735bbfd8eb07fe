// The progress state of long operations and iShowProgress.
//
// The working operation fills the texts and counters; iShowProgress opens,
// repaints and closes the one progress window (installed through
// lq_set_progress_ui).  Calling protocol: lq_progress_begin, then
// lq_progress_step / lq_progress_step_coarse per block, then lq_progress_end
// whatever the outcome.
#pragma once

#include <cstdint>

#include "fileops/file_services.h"

extern intptr_t hwndProgress;  // the open progress window, 0 when none
extern float fProgressFraction;
extern char szProgressOperation[LQ_MAX_PATH + 64];
extern char szProgressFileName[LQ_MAX_PATH + 64];
extern char szProgressPercent[64];
extern uint32_t dwProgressDone;
extern uint32_t dwProgressTotal;

// mode > 0: open (-1 when the window cannot be created); 0: repaint;
// < 0: close.  Returns 0 otherwise.
int iShowProgress(int16_t mode);

// Wait cursor, counters reset, texts set, window opened.
void lq_progress_begin(const char* operation, const char* file_name, uint32_t total);
// Adds n bytes; stores, formats and repaints at every call.
void lq_progress_step(uint32_t n);
// Adds n bytes; stores, formats and repaints only when the fraction has grown
// by more than 0.01 (the coders' rule).
void lq_progress_step_coarse(uint32_t n);
// Arrow cursor, window closed.
void lq_progress_end();
