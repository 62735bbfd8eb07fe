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
#include <cstring>

int main(int argc, char** argv) {
    const char* cmd = argc > 2 ? argv[1] : "";
    unsigned long a = 0;
    if (!std::strcmp(cmd, "get")) {
        if ((a = GetFileAttributesA(argv[2])) == INVALID_FILE_ATTRIBUTES) return 2;
    } else if (!std::strcmp(cmd, "set")) {
        return argc == 4 && SetFileAttributesA(argv[2], std::strtoul(argv[3], nullptr, 16)) ? 0 : 2;
    } else if (!std::strcmp(cmd, "info")) {
        HANDLE h = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        BY_HANDLE_FILE_INFORMATION i;
        if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &i)) return 2;
        CloseHandle(h);
        a = i.dwFileAttributes;
    } else if (!std::strcmp(cmd, "find")) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(argv[2], &fd);
        if (h == INVALID_HANDLE_VALUE) return std::printf("none %lu\n", GetLastError()), 0;
        FindClose(h);
        return std::printf("%s 0x%lx\n", fd.cFileName, (unsigned long)fd.dwFileAttributes), 0;
    } else if (!std::strcmp(cmd, "move") && argc == 4) {
        if (MoveFileA(argv[2], argv[3])) return std::printf("ok\n"), 0;
        return std::printf("%lu\n", GetLastError()), 0;
    } else if (!std::strcmp(cmd, "dos")) {
        SYSTEMTIME st = {};
        st.wYear = (WORD)std::atoi(argv[2]);
        st.wMonth = 6;
        st.wDay = 1;
        FILETIME ft;
        WORD d, t;
        if (SystemTimeToFileTime(&st, &ft) && FileTimeToDosDateTime(&ft, &d, &t))
            return std::printf("ok 0x%04x\n", d), 0;
        return std::printf("fail %lu\n", GetLastError()), 0;
    } else {
        return 3;
    }
    return std::printf("0x%lx\n", a), 0;
}
