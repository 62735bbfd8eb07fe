#include <windows.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "cli/cli_common.h"

bool cli_stdin_is_terminal() { return _isatty(0) != 0; }
bool cli_stderr_is_terminal() { return _isatty(2) != 0; }

bool cli_read_secret(const char* prompt, std::string& out) {
    if (!_isatty(0)) return false;
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode & ~(DWORD)ENABLE_ECHO_INPUT);
    std::fprintf(stderr, "%s", prompt);
    std::fflush(stderr);
    char buf[256];
    size_t len = 0;
    bool ok = false;
    for (;;) {
        int c = std::getchar();
        if (c == EOF) break;
        if (c == '\n' || c == '\r') {
            ok = true;
            break;
        }
        if (len < sizeof buf) buf[len++] = (char)c;
    }
    SetConsoleMode(in, mode);
    cli_keep_secret(out, buf, len);
    std::fputs("\n", stderr);
    return ok;
}
