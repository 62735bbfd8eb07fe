// The command table: every menu entry and accelerator of the frame, by id.
#include "app/commands.h"

#include "app/app.h"

// Rows follow the menu bar; every row has its handler.
const LqCommand lq_command_table[] = {
    // File
    {IDM_FILE_NEW, lq_cmd_file_new},
    {IDM_FILE_OPEN, lq_cmd_file_open},
    {IDM_FILE_CLOSE, lq_cmd_file_close},
    {IDM_FILE_SAVE, lq_cmd_file_save},
    {IDM_FILE_SAVEAS, lq_cmd_file_save_as},
    {IDM_FILE_PRINT, lq_cmd_print},
    {IDM_FILE_PRINTSETUP, lq_cmd_printer_setup},
    {IDM_FILE_ANALYZE, lq_cmd_analyze},
    {IDM_FILE_EXIT, lq_cmd_file_exit},

    // Edit
    {IDM_EDIT_UNDO, lq_cmd_edit},
    {IDM_EDIT_CUT, lq_cmd_edit},
    {IDM_EDIT_COPY, lq_cmd_edit},
    {IDM_EDIT_PASTE, lq_cmd_edit},
    {IDM_EDIT_DELETE, lq_cmd_edit},
    {IDM_EDIT_SELECTALL, lq_cmd_edit},
    {IDM_EDIT_WORDWRAP, lq_cmd_word_wrap},
    {IDM_EDIT_FIND, lq_cmd_find},
    {IDM_EDIT_FINDNEXT, lq_cmd_find_next},
    {IDM_EDIT_FINDPREV, lq_cmd_find_previous},

    // Secure
    {IDM_SECURE_NEW, lq_cmd_secure_new},
    {IDM_SECURE_OPEN, lq_cmd_secure_open},
    {IDM_SECURE_OPEN_UU, lq_cmd_secure_open_uu},
    {IDM_SECURE_CLOSE, lq_cmd_file_close},
    {IDM_SECURE_SAVE, lq_cmd_secure_save},
    {IDM_SECURE_SAVE_UU, lq_cmd_secure_save_uu},
    {IDM_SECURE_SAVEAS, lq_cmd_secure_save_as},
    {IDM_SECURE_DECRYPT, lq_cmd_decrypt_file},
    {IDM_SECURE_DECRYPT_UU, lq_cmd_decrypt_uu_file},
    {IDM_SECURE_ENCRYPT, lq_cmd_encrypt_file},
    {IDM_SECURE_ENCRYPT_UU, lq_cmd_encrypt_and_uu},
    {IDM_SECURE_ANALYZE, lq_cmd_analyze},

    // UU EnCoding: app/cmd_uu.cpp
    {IDM_UU_ENCODE_TEXT, lq_cmd_uu_encode},
    {IDM_UU_DECODE, lq_cmd_uu_decode},
    {IDM_UU_ENCODE_BINARY, lq_cmd_uu_encode},
    {IDM_UU_SPLIT, lq_cmd_uu_split},
    {IDM_UU_REBUILD, lq_cmd_uu_rebuild},

    // Compression: app/cmd_compress.cpp
    {IDM_COMPRESS_MAX, lq_cmd_compress},
    {IDM_COMPRESS_EXPAND, lq_cmd_expand},
    {IDM_COMPRESS_FAST, lq_cmd_compress},

    // Erase
    {IDM_ERASE_WIPE, lq_cmd_wipe},

    // Window
    {IDM_WINDOW_TILEVERT, lq_cmd_window_arrange},
    {IDM_WINDOW_TILEHORZ, lq_cmd_window_arrange},
    {IDM_WINDOW_CASCADE, lq_cmd_window_arrange},
    {IDM_WINDOW_ARRANGE, lq_cmd_window_arrange},
    {IDM_WINDOW_CLOSEALL, lq_cmd_close_all},
    {IDM_WINDOW_WORDWRAP, lq_cmd_word_wrap},

    // Help
    {IDM_HELP_CONTENTS, lq_cmd_help},
    {IDM_HELP_SEARCH, lq_cmd_help},
    {IDM_HELP_SUPPORT, lq_cmd_help},
    {IDM_HELP_KEYBOARD, lq_cmd_help},
    {IDM_HELP_PASSWORDS, lq_cmd_help},
    {IDM_HELP_USINGHELP, lq_cmd_help},
    {IDM_HELP_ABOUT, lq_cmd_about},
};
const int lq_command_count = int(sizeof(lq_command_table) / sizeof(lq_command_table[0]));

const LqCommand* lq_find_command(int id) {
    for (const LqCommand& c : lq_command_table)
        if (c.id == id) return &c;
    return nullptr;
}

int iDoFrameCommand(HWND frame, int id) {
    const LqCommand* c = lq_find_command(id);
    if (!c) {
        // The Window menu's list of editor windows (4100 and up) and anything
        // the platform adds: the default frame procedure activates the window.
        DefFrameProcA(frame, hwndMDIClient, WM_COMMAND, WPARAM(id), 0);
        return 0;
    }
    if (c->handler) c->handler(frame, id);
    return 0;
}
