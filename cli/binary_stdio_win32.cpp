#include "cli/binary_stdio.h"

#include <fcntl.h>
#include <io.h>

void cli_binary_stdio() {
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
}
