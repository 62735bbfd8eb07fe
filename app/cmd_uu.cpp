// UU EnCoding menu: encode in text mode (1050) or binary mode (1052), decode
// (1051), split up (137) and rebuild (138).
#include "app/alpha_entry.h"
#include "app/app.h"
#include "app/commands.h"

#include <cstring>

#include "uu/uu_codec.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {
// Filter lists: pairs of description and pattern, ending with an empty pair.
const char any_filter[] = "All Visible (*.*)\0*.*\0";
const char uu_filter[] = "UU Encoded Files (*.UU?)\0*.UU?\0All Visible (*.*)\0*.*\0";
const char part_filter[] = "UU Splitup files (*.U00)\0*.U00\0All Visible (*.*)\0*.*\0";

bool choose(HWND frame, const char* pattern, const char* filter, const char* title) {
    std::strcpy(szFileName, pattern);
    ofnShared.lpstrFilter = filter;
    ofnShared.lpstrTitle = title;
    return bGetOpenFileName(&ofnShared, frame, TRUE) != FALSE;
}
}  // namespace

void lq_cmd_uu_encode(HWND frame, int id) {
    if (!choose(frame, "*.*", any_filter, "Select the file to UU EnCode...")) return;
    iUUEncode(szFileName, id == IDM_UU_ENCODE_BINARY ? 0 : 1, 0, 0);
}

void lq_cmd_uu_decode(HWND frame, int) {
    if (!choose(frame, "*.uu?", uu_filter, "Select the file to UU DeCode...")) return;
    iUUDecode(szFileName, 1, szFileTitle);
}

void lq_cmd_uu_split(HWND frame, int) {
    if (!choose(frame, "*.uu?", uu_filter, "Select the UU file to Split into parts...")) return;
    // The prompt edits its proposal in the message buffer, which the
    // split-up empties as it starts: the answer is read before.
    std::strcpy(szMessageBuffer, "5120");
    if (!bAskAlphaEntry("Enter the maximum size of the UU splitup files ?", szMessageBuffer, 40))
        return;
    int32_t max_size = uu_read_decimal(szMessageBuffer);
    iUUSplitUpFile(szFileName, 1, szFileTitle, max_size);
}

void lq_cmd_uu_rebuild(HWND frame, int) {
    if (!choose(frame, "*.u00", part_filter, "Select the first part of the UU file to rebuild..."))
        return;
    iUURebuildSplitUpFile(szFileName, 1, szFileTitle);
}
