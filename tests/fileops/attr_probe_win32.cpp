// attr_probe get FILE        GetFileAttributesA, as 0x%x
// attr_probe set FILE HEX    SetFileAttributesA
// attr_probe info FILE       the attributes GetFileInformationByHandle gives
// attr_probe find PATTERN    the name and attributes FindFirstFileA finds
// attr_probe move OLD NEW    MoveFileA: "ok" or the error code
// attr_probe dos YEAR        FileTimeToDosDateTime of YEAR-06-01: "ok" or "fail"
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
    if (argc == 3 && !std::strcmp(argv[1], "info")) {
        HANDLE h = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        BY_HANDLE_FILE_INFORMATION i;
        if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &i)) return 2;
        CloseHandle(h);
        std::printf("0x%lx\n", (unsigned long)i.dwFileAttributes);
        return 0;
    }
    if (argc == 3 && !std::strcmp(argv[1], "find")) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(argv[2], &fd);
        if (h == INVALID_HANDLE_VALUE) {
            std::printf("none %lu\n", (unsigned long)GetLastError());
            return 0;
        }
        FindClose(h);
        std::printf("%s 0x%lx\n", fd.cFileName, (unsigned long)fd.dwFileAttributes);
        return 0;
    }
    if (argc == 4 && !std::strcmp(argv[1], "move")) {
        if (MoveFileA(argv[2], argv[3]))
            std::printf("ok\n");
        else
            std::printf("%lu\n", (unsigned long)GetLastError());
        return 0;
    }
    if (argc == 3 && !std::strcmp(argv[1], "dos")) {
        SYSTEMTIME st = {};
        st.wYear = (WORD)std::atoi(argv[2]);
        st.wMonth = 6;
        st.wDay = 1;
        FILETIME ft;
        WORD d, t;
        bool ok = SystemTimeToFileTime(&st, &ft) && FileTimeToDosDateTime(&ft, &d, &t);
        if (ok)
            std::printf("ok 0x%04x\n", d);
        else
            std::printf("fail %lu\n", (unsigned long)GetLastError());
        return 0;
    }
    return 3;
}
