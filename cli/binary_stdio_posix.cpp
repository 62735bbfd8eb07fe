#include "cli/binary_stdio.h"

// POSIX streams never convert line ends.
void cli_binary_stdio() {}
