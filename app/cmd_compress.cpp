// Compression menu: Maximum Compression (130), Expand a File (131), Fast
// Compression (132).
#include "app/app.h"
#include "app/commands.h"

#include <cstring>

#include "compress/compress_file.h"

// The open dialog for the compression commands; false when cancelled.
static bool choose_file(HWND frame, const char* title) {
    std::strcpy(szFileName, "*.*");
    ofnShared.lpstrFilter = "All Visible (*.*)\0*.*\0";
    ofnShared.lpstrTitle = title;
    return bGetOpenFileName(&ofnShared, frame, TRUE) != FALSE;
}

void lq_cmd_compress(HWND frame, int id) {
    if (!choose_file(frame, "Select the file to Compress...")) return;
    // Every outcome has been shown to the user by the operation.
    iCompressFile(szFileName, 1, id == IDM_COMPRESS_MAX ? CZ_ALGORITHM_ARITH : CZ_ALGORITHM_LZSS, 1,
                  &cs_data);
}

void lq_cmd_expand(HWND frame, int) {
    if (!choose_file(frame, "Select the file to Expand...")) return;
    iExpandFile(szFileName, 1, &cs_data);
}
