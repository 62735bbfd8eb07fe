// Helpers of the editor window tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_words.h"
#include "tests/app/gui_harness.h"

inline HWND edit_of(HWND child) { return HWND(GetWindowLongPtrA(child, GWL_EDIT)); }
inline int word(HWND child, int offset) { return GetWindowWord(child, offset); }
inline std::string edit_text(HWND child) { return lq_gui_text(edit_of(child)); }
// Types text at the caret as the user would (the control notifies a change).
inline void type_text(HWND child, const std::string& text) {
    SendMessageA(edit_of(child), EM_REPLACESEL, TRUE, LPARAM(text.c_str()));
}
// The editor windows, first the top one.
inline std::vector<HWND> editor_windows() {
    std::vector<HWND> v;
    for (HWND w = GetWindow(hwndMDIClient, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (!GetWindow(w, GW_OWNER)) v.push_back(w);
    return v;
}
// Opens path through File, Open with the dialog answered.
inline HWND open_by_menu(const std::string& path) {
    lq_gui_choose_file(path, "Select the Text file to edit...");
    SendMessageA(hwndFrame, WM_COMMAND, IDM_FILE_OPEN, 0);
    return hwndActiveChild;
}
// Opens path as the dropped or command-line file is opened.
inline HWND open_file(const std::string& path) { return hAddEditWindow(path.c_str(), FALSE); }
inline std::string full_path(const std::string& p) {
    char buf[MAX_PATH];
    GetFullPathNameA(p.c_str(), sizeof buf, buf, nullptr);
    return buf;
}
