// Keeps Wine's desktop alive for a whole test run: one hidden window, alive
// while the flag file named on the command line exists (at most one hour).
// With --once it only makes sure the desktop exists: the first window of a
// session starts the desktop process, which inherits the standard output of
// whoever started it, and a test whose pipe it held would never end.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    HWND w = CreateWindowExA(0, "STATIC", "lq keepalive", 0, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    bool hold = argc > 1 && std::strcmp(argv[1], "--once");
    for (int i = 0; hold && i < 36000 && GetFileAttributesA(argv[1]) != INVALID_FILE_ATTRIBUTES;
         ++i) {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    DestroyWindow(w);
    return 0;
}
