// Erase menu: Wipe Out a File.
#include "app/app.h"
#include "app/commands.h"

#include <cstring>

#include "fileops/wipe.h"

void lq_cmd_wipe(HWND frame, int) {
    std::strcpy(szFileName, "*.*");
    ofnShared.lpstrFilter = "All Visible (*.*)\0*.*\0";
    ofnShared.lpstrTitle = "Select the file to Wipe...";
    if (!bGetOpenFileName(&ofnShared, frame, TRUE)) return;
    // No further question: choosing the file is the decision.
    iWipeFile(szFileName, 0);
}
