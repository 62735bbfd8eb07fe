// Wine's view of a file, for attributes_under_wine.sh to compare with the
// POSIX layer's:
//   get FILE / info FILE   GetFileAttributesA / GetFileInformationByHandle, as 0x%x
//   set FILE HEX           SetFileAttributesA
//   find PATTERN           the name and attributes FindFirstFileA finds, or "none ERROR"
//   move OLD NEW           MoveFileA: "ok" or the error code
//   dos YEAR               FileTimeToDosDateTime of YEAR-06-01: "ok 0x%04x" or "fail ERROR"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    std::string cmd = argc > 2 ? argv[1] : "";
    const char* f = argc > 2 ? argv[2] : "";
    unsigned long a = INVALID_FILE_ATTRIBUTES;
    if (cmd == "get") a = GetFileAttributesA(f);
    if (cmd == "set")
        return argc == 4 && SetFileAttributesA(f, std::strtoul(argv[3], 0, 16)) ? 0 : 2;
    if (cmd == "info") {
        HANDLE h = CreateFileA(f, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, 0, 0);
        BY_HANDLE_FILE_INFORMATION i;
        if (h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &i)) a = i.dwFileAttributes;
        CloseHandle(h);
    }
    if (cmd == "find") {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(f, &fd);
        if (h == INVALID_HANDLE_VALUE) return std::printf("none %lu\n", GetLastError()), 0;
        FindClose(h);
        return std::printf("%s 0x%lx\n", fd.cFileName, (unsigned long)fd.dwFileAttributes), 0;
    }
    if (cmd == "move" && argc == 4)
        return MoveFileA(f, argv[3]) ? std::printf("ok\n") : std::printf("%lu\n", GetLastError()),
               0;
    if (cmd == "dos") {
        SYSTEMTIME st = {(WORD)std::atoi(f), 6, 0, 1};
        FILETIME ft;
        WORD d, t;
        if (SystemTimeToFileTime(&st, &ft) && FileTimeToDosDateTime(&ft, &d, &t))
            return std::printf("ok 0x%04x\n", d), 0;
        return std::printf("fail %lu\n", GetLastError()), 0;
    }
    if (a == INVALID_FILE_ATTRIBUTES) return 2;
    return std::printf("0x%lx\n", a), 0;
}
