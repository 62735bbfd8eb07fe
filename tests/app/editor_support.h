// Helpers of the editor window and password dialog tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_words.h"
#include "res/resource.h"
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
// Opens path as the dropped or command-line file is opened.
inline HWND open_file(const std::string& path) { return hAddEditWindow(path.c_str(), FALSE); }

// The passwords of the encrypted files (tests/golden/note was made with them).
inline const char P1[] = "Nightjar7", P2[] = "Kestrel42";
// Types keys into a control as the keyboard does ('\b' is Backspace).
inline void type_keys(HWND dlg, int id, const std::string& keys) {
    for (char c : keys) SendMessageA(GetDlgItem(dlg, id), WM_CHAR, WPARAM(uint8_t(c)), 1);
}
// Answers the encryption dialog: each password and its confirmation typed,
// the Riddle, Speed (2) or Size (1), Read Only; OK once enabled (or Cancel).
inline void answer_encrypt(int compression = 0, bool read_only = false, bool cancel = false,
                           const char* shot = nullptr, const std::string& riddle = "") {
    lq_gui_on_dialog([=](HWND dlg) {
        for (int id : {IDC_ENC_PASSWORD1, IDC_ENC_CONFIRM1}) type_keys(dlg, id, P1);
        for (int id : {IDC_ENC_PASSWORD2, IDC_ENC_CONFIRM2}) type_keys(dlg, id, P2);
        SetDlgItemTextA(dlg, IDC_ENC_RIDDLE, riddle.c_str());
        auto set = [dlg](int id, bool on) {  // the boxes start as the last dialog left them
            if (on != (IsDlgButtonChecked(dlg, id) == BST_CHECKED))
                SendDlgItemMessageA(dlg, id, BM_CLICK, 0, 0);
        };
        if (compression) set(1019 - compression, true);  // Speed (2) or Size (1)
        set(IDC_ENC_READONLY, read_only);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dlg, IDC_ENC_OK)));
        lq_gui_again(dlg, [=](HWND d) {
            if (shot) lq_gui_screenshot(d, shot);
            lq_gui_click(d, cancel ? IDC_ENC_CANCEL : IDC_ENC_OK);
        });
    });
}
// Answers the decryption dialog with two passwords typed (a null: Cancel),
// after checking its title and the record's status.
inline void answer_decrypt(const char* a = P1, const char* b = P2, const char* shot = nullptr) {
    lq_gui_on_dialog([=](HWND dlg) {
        EXPECT_EQ(lq_gui_text(dlg), std::string("Decrypt ") + szFileTitle);
        EXPECT_EQ(lq_gui_item_text(dlg, IDC_DEC_STATUS), "Status: OK !");
        if (!a) return lq_gui_click(dlg, IDC_DEC_CANCEL);
        type_keys(dlg, IDC_DEC_PASSWORD1, a);
        type_keys(dlg, IDC_DEC_PASSWORD2, b);
        lq_gui_again(dlg, [=](HWND d) {
            if (shot) lq_gui_screenshot(d, shot);
            lq_gui_click(d, IDC_DEC_OK);
        });
    });
}
