// <unistd.h> declares read() on both targets (MinGW-w64 maps it to _read).
#include <unistd.h>

#include "cli/secret_fd.h"

bool cli_read_fd_line(int fd, std::string& out) {
    out.clear();
    out.reserve(64);  // no reallocation leaves a copy of a password behind
    bool any = false;
    for (;;) {
        char c;
        int n = (int)read(fd, &c, 1);
        if (n < 0) return false;
        if (n == 0) return any;
        any = true;
        if (c == '\n') break;
        out += c;
    }
    if (!out.empty() && out.back() == '\r') out.pop_back();
    return true;
}
