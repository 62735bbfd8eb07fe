// File and Secure menu commands that work on editor windows.
#include <cstring>

#include "app/app.h"
#include "app/commands.h"
#include "app/editor.h"
#include "app/editor_words.h"

namespace {
const char security_caption[] = "Lockquill(TM) WARNING: Potential Security Loss";
const unsigned security_style = LQ_MB_YESNOCANCEL | LQ_MB_ICONSTOP | LQ_MB_SYSTEMMODAL;

// Before a decrypted window is saved without encryption: Yes clears its
// encrypted word at once (it stays plain even when Save As is then
// cancelled); any other answer ends the command.
bool confirm_plain_save(HWND window) {
    if (!GetWindowWord(window, GWW_ENCRYPTED)) return true;
    int answer = iMessageBox(
        "The file you want to save was previously EnCrypted...\r Do you really want to save this "
        "file Without EnCryption ?",
        security_caption, security_style);
    if (answer != LQ_IDYES) return false;
    SetWindowWord(window, GWW_ENCRYPTED, 0);
    return true;
}

void open_with_dialog(HWND frame, const char* pattern, const char* title, const char* filter,
                      BOOL encrypted) {
    std::strcpy(szFileName, pattern);
    ofnShared.lpstrFilter = filter;
    ofnShared.lpstrTitle = title;
    if (!(encrypted ? lq_get_private_open_file_name(frame)
                    : bGetOpenFileName(&ofnShared, frame, TRUE)))
        return;
    hAddEditWindow(szFileName, encrypted);
}
}  // namespace

bool lq_confirm_plain_print(HWND window) {
    if (!window || !GetWindowWord(window, GWW_ENCRYPTED)) return true;
    return iMessageBox(
               "The file you want to print was previously EnCrypted...\r Do you really want to "
               "print this file out ?",
               security_caption, security_style) == LQ_IDYES;
}

void lq_cmd_file_new(HWND, int) { hAddEditWindow(nullptr, FALSE); }

void lq_cmd_file_open(HWND frame, int) {
    open_with_dialog(frame, "*.txt", "Select the Text file to edit...",
                     "Text Files (*.txt)\0*.txt\0All Visible (*.*)\0*.*\0", FALSE);
}

void lq_cmd_file_close(HWND, int) {
    // The window asks about unsaved changes itself.
    if (hwndActiveChild) SendMessageA(hwndActiveChild, WM_CLOSE, 0, 0);
}

void lq_cmd_file_save(HWND, int) {
    HWND window = hwndActiveChild;
    if (!window || !confirm_plain_save(window)) return;
    SendMessageA(window, WM_COMMAND, IDM_FILE_SAVE, 0);
}

void lq_cmd_file_save_as(HWND, int) {
    HWND window = hwndActiveChild;
    if (!window || !confirm_plain_save(window)) return;
    if (bNameFileAs(window)) SendMessageA(window, WM_COMMAND, IDM_FILE_SAVE, 0);
}

void lq_cmd_file_exit(HWND frame, int) { SendMessageA(frame, WM_CLOSE, 0, 0); }

void lq_cmd_secure_new(HWND, int) { hAddEditWindow(nullptr, TRUE); }

void lq_cmd_secure_open(HWND frame, int) {
    open_with_dialog(frame, "*.ent", "Select the Encrypted text file to edit...",
                     "Encrypted Text (*.ENT)\0*.ENT\0All Visible (*.*)\0*.*\0"
                     "Text Files (*.txt)\0*.txt\0Encrypted Data (*.END)\0*.END\0",
                     TRUE);
}

void lq_cmd_secure_save(HWND, int) {
    HWND window = hwndActiveChild;
    if (!window) return;
    SetWindowWord(window, GWW_ENCRYPTED, 1);
    SendMessageA(window, WM_COMMAND, IDM_FILE_SAVE, 0);
}

void lq_cmd_secure_save_as(HWND, int) {
    HWND window = hwndActiveChild;
    if (!window) return;
    SetWindowWord(window, GWW_ENCRYPTED, 1);
    if (bNameFileAs(window)) SendMessageA(window, WM_COMMAND, IDM_FILE_SAVE, 0);
}
