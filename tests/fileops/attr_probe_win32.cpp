// attr_probe get FILE        prints the attribute word as 0x%x
// attr_probe set FILE HEX    sets it
// Used by attributes_under_wine.sh to compare Wine's view of a file with the
// POSIX layer's.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc == 3 && !std::strcmp(argv[1], "get")) {
        DWORD a = GetFileAttributesA(argv[2]);
        if (a == INVALID_FILE_ATTRIBUTES) return 2;
        std::printf("0x%lx\n", (unsigned long)a);
        return 0;
    }
    if (argc == 4 && !std::strcmp(argv[1], "set"))
        return SetFileAttributesA(argv[2], std::strtoul(argv[3], nullptr, 16)) ? 0 : 2;
    return 3;
}
