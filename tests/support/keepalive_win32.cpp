// Keeps Wine's desktop alive for a whole test run: one hidden window, alive
// while the flag file named on the command line exists (at most one hour).
// With --once it only makes sure the desktop exists and returns: the first
// window of a session starts the desktop process, which inherits the standard
// output of whoever started it, and a test whose pipe it held would never end.
#include <windows.h>

#include <cstring>

int main(int argc, char** argv) {
    HWND w = CreateWindowExA(0, "STATIC", "lq keepalive", 0, 0, 0, 1, 1, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (argc > 1 && !std::strcmp(argv[1], "--once")) {
        DestroyWindow(w);
        return 0;
    }
    for (int i = 0; i < 36000; ++i) {
        if (argc < 2 || GetFileAttributesA(argv[1]) == INVALID_FILE_ATTRIBUTES) break;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    DestroyWindow(w);
    return 0;
}
