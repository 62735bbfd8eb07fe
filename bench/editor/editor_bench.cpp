// bench_editor [MB]: opens, wraps, searches and saves a text file of MB
// megabytes (10 by default) in a real editor window, and prints each time
// beside the plain file and memory work it stands on (read, search, write
// of the same bytes), with the ratio.  Run under Wine with
// build/mingw/bench/editor/bench_editor.exe (scripts/wine-env sets Wine up).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/app.h"
#include "app/editor.h"
#include "app/find.h"
#include "platform/ui.h"

namespace {
double now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) / double(f.QuadPart);
}

int quiet_box(const char* text, const char* caption, unsigned style) {
    std::printf("  (box: %s%s)\n", caption, text);
    return lq_default_answer(style);
}

std::string make_text(size_t size) {
    static const char* words[] = {"privacy", "quill", "lock", "letter", "ledger", "the",
                                  "and",     "of",    "note", "margin", "ink",    "paper"};
    std::string s;
    s.reserve(size + 100);
    uint32_t x = 12345;
    while (s.size() < size) {
        std::string line;
        while (line.size() < 70) {
            x = x * 1103515245u + 12345u;
            line += words[(x >> 16) % 12];
            line += ' ';
        }
        s += line + "\r\n";
    }
    s.resize(size);
    return s;
}

void row(const char* what, double ours, double base, const char* base_what) {
    std::printf("%-28s %8.3f s   %-26s %8.3f s   ratio %7.1f\n", what, ours, base_what, base,
                base > 0 ? ours / base : 0.0);
}
}  // namespace

int main(int argc, char** argv) {
    size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 10;
    if (mb == 0) mb = 10;
    lq_set_message_box(quiet_box);
    if (!lq_app_start(GetModuleHandleA(nullptr), "", SW_SHOWNORMAL)) {
        std::puts("the frame could not be started");
        return 2;
    }
    char folder[MAX_PATH], file[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::snprintf(file, sizeof file, "%slq_bench_editor.txt", folder);
    std::string text = make_text(mb << 20);
    {
        FILE* f = std::fopen(file, "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::printf("editor benchmark: %zu MB text file %s\n", mb, file);

    // Baselines: the bytes alone.
    double t = now();
    std::string back;
    {
        FILE* f = std::fopen(file, "rb");
        back.resize(text.size());
        size_t got = std::fread(&back[0], 1, back.size(), f);
        std::fclose(f);
        back.resize(got);
    }
    double read_time = now() - t;
    t = now();
    volatile size_t at = text.find("absent needle");
    (void)at;
    double search_time = now() - t;

    // The platform's edit control alone taking the same text, wrapping and
    // not: the floor under the editor's open and wrap switch.
    double edit_times[2];
    for (int wrap = 1; wrap >= 0; --wrap) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL;
        if (!wrap) style |= WS_HSCROLL | ES_AUTOHSCROLL;
        HWND e = CreateWindowExA(0, "edit", nullptr, style, 0, 0, 600, 400, hwndMDIClient, nullptr,
                                 hInst, nullptr);
        SendMessageA(e, EM_LIMITTEXT, 0, 0);
        t = now();
        SetWindowTextA(e, text.c_str());
        edit_times[wrap] = now() - t;
        DestroyWindow(e);
    }

    t = now();
    HWND w = hAddEditWindow(file, FALSE);
    double open_time = now() - t;
    if (!w) {
        std::puts("the file could not be opened");
        return 2;
    }
    row("open (load into window)", open_time, read_time, "fread");
    row("open (load into window)", open_time, edit_times[1], "edit control alone");

    t = now();
    SendMessageA(w, WM_COMMAND, IDM_WINDOW_WORDWRAP, 1);
    double unwrap_time = now() - t;
    t = now();
    SendMessageA(w, WM_COMMAND, IDM_WINDOW_WORDWRAP, 1);
    double wrap_time = now() - t;
    row("word wrap off", unwrap_time, edit_times[0], "edit control alone");
    row("word wrap on", wrap_time, edit_times[1], "edit control alone");

    SendMessageA(hwndActiveEdit, EM_SETSEL, 0, 0);
    std::strcpy(szFindText, "absent needle");
    bFindCaseSensitive = TRUE;
    t = now();
    bFindNext();
    double find_exact = now() - t;
    row("find absent, exact case", find_exact, search_time, "std::string::find");
    std::strcpy(szFindText, "ABSENT NEEDLE");
    bFindCaseSensitive = FALSE;
    t = now();
    bFindNext();
    double find_fold = now() - t;
    row("find absent, any case", find_fold, search_time, "std::string::find");

    SendMessageA(hwndActiveEdit, EM_REPLACESEL, TRUE, LPARAM("x"));
    t = now();
    int saved = iSaveFile(w);
    double save_time = now() - t;
    t = now();
    {
        std::string copy = std::string(folder) + "lq_bench_editor_copy.txt";
        FILE* f = std::fopen(copy.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fflush(f);
        std::fclose(f);
        std::remove(copy.c_str());
    }
    double write_time = now() - t;
    row("save", save_time, write_time, "fwrite");
    std::printf("save result %d\n", saved);

    DestroyWindow(hwndFrame);
    std::remove(file);
    return 0;
}
