// The one message-box routine and the hooks behind the user-facing parts of
// the core (progress window).  Each executable installs its own: the editor
// shows MessageBoxA owned by the frame window, the command-line tool writes to
// standard error and asks on the terminal, tests script the answers.
#pragma once

#include <cstdint>

// MessageBox styles and answers, with their Win32 values.
enum : unsigned {
    LQ_MB_OK = 0x00,
    LQ_MB_OKCANCEL = 0x01,
    LQ_MB_YESNOCANCEL = 0x03,
    LQ_MB_YESNO = 0x04,
    LQ_MB_ICONSTOP = 0x10,
    LQ_MB_ICONQUESTION = 0x20,
    LQ_MB_ICONEXCLAMATION = 0x30,
    LQ_MB_ICONINFORMATION = 0x40,
    LQ_MB_SYSTEMMODAL = 0x1000,
};
enum : int { LQ_IDOK = 1, LQ_IDCANCEL = 2, LQ_IDYES = 6, LQ_IDNO = 7 };

typedef int (*LqMessageBoxFn)(const char* text, const char* caption, unsigned style);

// Shows a modal message box and returns the answer (LQ_ID*).  Without an
// installed routine the box goes to standard error and the answer is OK for
// a box with one button, No (or Cancel) for a question.
int iMessageBox(const char* text, const char* caption, unsigned style);
// Installs a routine; returns the previous one.  Null restores the default.
LqMessageBoxFn lq_set_message_box(LqMessageBoxFn fn);
// The default answer of a box nobody can see: OK, or No/Cancel for questions.
int lq_default_answer(unsigned style);

// The progress window behind iShowProgress.  open returns a non-zero handle
// or 0 when the window cannot be created; paint draws the current progress
// state; close destroys it.
struct LqProgressUi {
    intptr_t (*open)();
    void (*paint)(intptr_t window);
    void (*close)(intptr_t window);
};
// Installs the progress window; null means none can be created.
void lq_set_progress_ui(const LqProgressUi* ui);
const LqProgressUi* lq_progress_ui();
