#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/cli_common.h"

bool cli_stdin_is_terminal() { return isatty(0) != 0; }
bool cli_stderr_is_terminal() { return isatty(2) != 0; }

bool cli_read_secret(const char* prompt, std::string& out) {
    if (!isatty(0)) return false;
    termios old;
    tcgetattr(0, &old);
    termios quiet = old;
    quiet.c_lflag &= ~(tcflag_t)ECHO;
    tcsetattr(0, TCSAFLUSH, &quiet);
    // The prompt comes once echo is off and typeahead is flushed: what is
    // typed after it is read, and read unseen.
    std::fprintf(stderr, "%s", prompt);
    std::fflush(stderr);
    // A fixed buffer and a reserved string: no reallocation leaves a copy of
    // the secret in freed memory.
    char buf[256];
    size_t len = 0;
    bool ok = false;
    for (;;) {
        char c;
        ssize_t n = read(0, &c, 1);
        if (n <= 0) break;
        if (c == '\n' || c == '\r') {
            ok = true;
            break;
        }
        if (len < sizeof buf) buf[len++] = c;
    }
    tcsetattr(0, TCSAFLUSH, &old);
    cli_keep_secret(out, buf, len);
    std::fputs("\n", stderr);
    return ok;
}
