#include "platform/ui.h"

#include <cstdio>

namespace {
LqMessageBoxFn message_box_fn;
const LqProgressUi* progress_ui;
}  // namespace

int lq_default_answer(unsigned style) {
    switch (style & 0x0F) {
        case LQ_MB_YESNO: return LQ_IDNO;
        case LQ_MB_YESNOCANCEL:
        case LQ_MB_OKCANCEL: return LQ_IDCANCEL;
        default: return LQ_IDOK;
    }
}

int iMessageBox(const char* text, const char* caption, unsigned style) {
    if (message_box_fn) return message_box_fn(text, caption, style);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return lq_default_answer(style);
}

LqMessageBoxFn lq_set_message_box(LqMessageBoxFn fn) {
    LqMessageBoxFn old = message_box_fn;
    message_box_fn = fn;
    return old;
}

void lq_set_progress_ui(const LqProgressUi* ui) { progress_ui = ui; }
const LqProgressUi* lq_progress_ui() { return progress_ui; }
