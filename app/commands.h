// Command handlers of the frame's command table (command_table.cpp).
//
// A handler runs one menu command to its end on the user-interface thread:
// it asks for a file through bGetOpenFileName(&ofnShared, frame, TRUE) where
// the command needs one (Cancel ends the command with nothing done), asks for
// parameters, calls one operation and ignores its result except to chain a
// further step.  The id tells apart the commands that share a handler.
//
// Adding a command: write its handler in app/cmd_<name>.cpp under the name
// declared below (or declare a new one here), add the file to
// app/CMakeLists.txt and put the handler in place of nullptr in its row of the
// table.  A row whose handler is still nullptr does nothing when chosen.
#pragma once

#include <windows.h>

typedef void (*LqCommandHandler)(HWND frame, int id);

struct LqCommand {
    int id;
    LqCommandHandler handler;
};

// The table and its length, for tests that walk it.
extern const LqCommand lq_command_table[];
extern const int lq_command_count;
// The row of id, or null.
const LqCommand* lq_find_command(int id);

// ----------------------------------------------------------- File (editor)
void lq_cmd_file_new(HWND frame, int id);      // 1001
void lq_cmd_file_open(HWND frame, int id);     // 1002
void lq_cmd_file_close(HWND frame, int id);    // 1010, 113
void lq_cmd_file_save(HWND frame, int id);     // 1003
void lq_cmd_file_save_as(HWND frame, int id);  // 1004
void lq_cmd_file_exit(HWND frame, int id);     // 1006
// Printing: 1005 asks lq_confirm_plain_print (cmd_file.cpp) first.
void lq_cmd_print(HWND frame, int id);          // 1005
void lq_cmd_printer_setup(HWND frame, int id);  // 1008
// File analysis: 5004 any file, 5005 an encrypted file.
void lq_cmd_analyze(HWND frame, int id);

// -------------------------------------------------------------------- Edit
void lq_cmd_edit(HWND frame, int id);           // 2001 to 2006: to the active edit control
void lq_cmd_word_wrap(HWND frame, int id);      // 139, 2008
void lq_cmd_find(HWND frame, int id);           // 3001
void lq_cmd_find_next(HWND frame, int id);      // 3002
void lq_cmd_find_previous(HWND frame, int id);  // 3003

// ------------------------------------------------------------------ Secure
void lq_cmd_secure_new(HWND frame, int id);      // 1028
void lq_cmd_secure_open(HWND frame, int id);     // 1020
void lq_cmd_secure_save(HWND frame, int id);     // 1022
void lq_cmd_secure_save_as(HWND frame, int id);  // 1024
// Secure file commands (crypt/): app/cmd_secure.cpp
void lq_cmd_secure_open_uu(HWND frame, int id);   // 1026
void lq_cmd_secure_save_uu(HWND frame, int id);   // 1027
void lq_cmd_decrypt_file(HWND frame, int id);     // 1021
void lq_cmd_decrypt_uu_file(HWND frame, int id);  // 111
void lq_cmd_encrypt_file(HWND frame, int id);     // 1023
void lq_cmd_encrypt_and_uu(HWND frame, int id);   // 112

// ------------------------------------------------------------ UU EnCoding (uu/)
void lq_cmd_uu_encode(HWND frame, int id);   // 1050 text mode, 1052 binary mode
void lq_cmd_uu_decode(HWND frame, int id);   // 1051
void lq_cmd_uu_split(HWND frame, int id);    // 137
void lq_cmd_uu_rebuild(HWND frame, int id);  // 138

// ------------------------------------------------------------ Compression (compress/)
void lq_cmd_compress(HWND frame, int id);  // 130 maximum, 132 fast
void lq_cmd_expand(HWND frame, int id);    // 131

// ------------------------------------------------------------------- Erase
void lq_cmd_wipe(HWND frame, int id);  // 114

// ------------------------------------------------------------------ Window
void lq_cmd_window_arrange(HWND frame, int id);  // 4001, 4005, 4002, 4004
void lq_cmd_close_all(HWND frame, int id);       // 4003

// -------------------------------------------------------------------- Help
void lq_cmd_help(HWND frame, int id);   // 116, 134, 136, 117, 133, 118
void lq_cmd_about(HWND frame, int id);  // 5002
