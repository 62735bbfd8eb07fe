// Progress reports of the coders.
//
// A coder reports its position (in_pos when compressing, out_pos when
// expanding) after each step.  The window is repainted only when the fraction
// position / progress total has grown by more than 0.01 since the last
// repaint, so the inline check is one comparison against the next position at
// which that can happen.
#pragma once

#include <cstdint>

// The position at which the next report may repaint; UINT32_MAX when no
// progress window is open.
extern uint32_t cz_progress_due;

// Computes cz_progress_due from the progress state; called by each coder at
// its start.
void cz_progress_start();
// The slow path: applies the 0.01 rule at `position` and moves cz_progress_due.
void cz_progress_report(uint32_t position);

inline void cz_progress(uint32_t position) {
    if (position >= cz_progress_due) cz_progress_report(position);
}
