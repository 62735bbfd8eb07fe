// iVeilmix: the cipher with its own progress window, for callers that
// transform a whole text in one call.
#include <cstdio>

#include "crypt/veilmix.h"
#include "fileops/progress.h"

int iVeilmix(uint32_t count, uint8_t* buffer, const VeilStats* record, int16_t direction,
             int16_t show_progress, const char* file_name) {
    if (!show_progress) {
        lq_veilmix_transform(count, buffer, record->mode, direction);
        return 0;
    }
    dwProgressDone = 0;
    dwProgressTotal = count;
    std::snprintf(szProgressOperation, sizeof szProgressOperation, "%s",
                  direction == 1 ? " Encryption of " : " Decryption of ");
    std::snprintf(szProgressFileName, sizeof szProgressFileName, "%s", file_name ? file_name : "");
    fProgressFraction = 0.0f;
    iShowProgress(1);
    // The window is repainted after byte i whenever i has passed the done
    // count, which then grows by 5120: after bytes 1, 5121, 10241, ...  The
    // stream is cut at those bytes; the cipher's output does not depend on
    // the cut.
    uint32_t i = 0;
    while (i < count) {
        uint32_t next = dwProgressDone + 1;  // the first byte index above done
        if (!hwndProgress || next >= count) next = count - 1;
        lq_veilmix_transform(next + 1 - i, buffer + i, record->mode, direction);
        i = next + 1;
        if (hwndProgress && next > dwProgressDone && next < count) {
            dwProgressDone += 5120;
            double fraction = double(dwProgressDone) / double(count);
            if (fraction > 1.0) fraction = 1.0;
            fProgressFraction = float(fraction);
            std::snprintf(szProgressPercent, sizeof szProgressPercent, " %2.0f%% completed ",
                          fraction * 100.0);
            iShowProgress(0);
        }
    }
    if (count == 0) lq_veilmix_transform(0, buffer, record->mode, direction);
    if (hwndProgress) iShowProgress(-1);
    return 0;
}
