#include "cli/cli_common.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "fileops/progress.h"
#include "platform/ui.h"

namespace {

int fixed_answer;  // 0: ask

// Message texts carry "\r\n" line breaks for the dialog boxes; a terminal
// wants plain line feeds.
std::string terminal_text(const char* text) {
    std::string s;
    for (const char* p = text; *p; ++p)
        if (*p != '\r') s += *p;
    return s;
}

int terminal_box(const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption, terminal_text(text).c_str());
    unsigned buttons = style & 0x0F;
    if (buttons == LQ_MB_OK) return LQ_IDOK;
    bool cancel = buttons == LQ_MB_YESNOCANCEL || buttons == LQ_MB_OKCANCEL;
    if (fixed_answer) {
        std::fprintf(stderr, "  -> %s\n", fixed_answer == LQ_IDYES ? "yes" : "no");
        return fixed_answer;
    }
    if (!cli_stdin_is_terminal()) {
        std::fprintf(stderr, "  -> no (no terminal; use --yes to go on)\n");
        return lq_default_answer(style);
    }
    for (;;) {
        std::fprintf(stderr, cancel ? "  [y]es, [n]o or [c]ancel? " : "  [y]es or [n]o? ");
        std::fflush(stderr);
        char line[64];
        if (!std::fgets(line, sizeof line, stdin)) return lq_default_answer(style);
        char c = line[0] | 0x20;
        if (c == 'y') return buttons == LQ_MB_OKCANCEL ? LQ_IDOK : LQ_IDYES;
        if (c == 'n') return buttons == LQ_MB_OKCANCEL ? LQ_IDCANCEL : LQ_IDNO;
        if (c == 'c' && cancel) return LQ_IDCANCEL;
    }
}

// A one-line bar on standard error, redrawn in place.
intptr_t bar_open() { return 1; }

void bar_paint(intptr_t) {
    const int width = 30;
    double f = fProgressFraction;
    int filled = f <= 0 ? 0 : f >= 1 ? width : (int)(width * f);
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
    bar[width] = 0;
    std::fprintf(stderr, "\r%s[%s]%s", szProgressOperation, bar, szProgressPercent);
    std::fflush(stderr);
}

void bar_close(intptr_t) { std::fputs("\n", stderr); }

const LqProgressUi terminal_bar = {bar_open, bar_paint, bar_close};

}  // namespace

void cli_take_common(std::vector<std::string>& args, CliCommon& common) {
    std::vector<std::string> rest;
    for (const std::string& a : args) {
        if (a == "--yes")
            common.answer = LQ_IDYES;
        else if (a == "--no")
            common.answer = LQ_IDNO;
        else if (a == "--quiet" || a == "-q")
            common.quiet = true;
        else
            rest.push_back(a);
    }
    args.swap(rest);
    fixed_answer = common.answer;
    lq_set_message_box(terminal_box);
    lq_set_progress_ui(!common.quiet && cli_stderr_is_terminal() ? &terminal_bar : nullptr);
}

void cli_keep_secret(std::string& out, char* buf, size_t len) {
    volatile char* v = out.empty() ? nullptr : &out[0];
    for (size_t i = 0; v && i < out.size(); ++i) v[i] = 0;
    out.clear();
    out.reserve(256);
    out.assign(buf, len);
    volatile char* b = buf;
    for (size_t i = 0; i < len; ++i) b[i] = 0;
}

int cli_exit_code(int result) {
    if (result == 0) return CLI_DONE;
    if (result > 0) return CLI_DECLINED;
    return CLI_FAILED;
}

int cli_usage_error(const char* cmd, const std::string& msg) {
    std::fprintf(stderr, "lockquill-cli %s: %s\n", cmd, msg.c_str());
    return CLI_FAILED;
}
