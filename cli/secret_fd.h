// Reading secrets from an inherited file descriptor (--passwords-fd N), for
// scripts that must not put passwords on the command line.
#pragma once

#include <string>

// Reads one line (without its line end, a carriage return before the line
// feed dropped) from descriptor fd.  False at end of input before any byte,
// or when fd can't be read.  Reads one byte at a time, so nothing after the
// line is consumed.
bool cli_read_fd_line(int fd, std::string& out);
