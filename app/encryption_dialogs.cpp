// The decryption and encryption dialogs.
#include "app/encryption_dialogs.h"

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "crypt/veilmix.h"

int16_t gMakeBackupEnabled = 1;

namespace {
// The dialog's own copies of what is typed: first password, its
// confirmation, second password, its confirmation (the decryption dialog uses
// the first and the third).  Only the first 20 characters count, and the
// edits take no more.
char typed[4][VEIL_KEY_ROOM];

const int min_password = 7;

void read_password(HWND dlg, int id, char* out) { GetDlgItemTextA(dlg, id, out, VEIL_KEY_ROOM); }

void clear_password(HWND dlg, int id) {
    // Same-length filler first: the edit overwrites its own buffer in place,
    // so the typed characters do not stay behind in freed memory.
    char filler[VEIL_KEY_ROOM];
    std::memset(filler, '*', VEIL_MAX_KEY);
    filler[VEIL_MAX_KEY] = 0;
    SetDlgItemTextA(dlg, id, filler);
    SetDlgItemTextA(dlg, id, "");
}

void forget_typed() { lq_secure_zero(typed, sizeof typed); }

void take_passwords(const char* first, const char* second) {
    lq_secure_zero(gPassword1, sizeof gPassword1);
    lq_secure_zero(gPassword2, sizeof gPassword2);
    std::memcpy(gPassword1, first, std::strlen(first));
    std::memcpy(gPassword2, second, std::strlen(second));
}

void set_caption(HWND dlg, const char* format) {
    char caption[sizeof szFileTitle + 16];
    std::snprintf(caption, sizeof caption, format, szFileTitle);
    SetWindowTextA(dlg, caption);
}

void enable_ok(HWND dlg, int id, bool on) { EnableWindow(GetDlgItem(dlg, id), on ? TRUE : FALSE); }

void help(HWND dlg, const char* key) {
    lq_win_help(dlg, szHelpFile, HELP_PARTIALKEY, ULONG_PTR(key));
}

int run(int resource, DLGPROC proc, VeilStats* record) {
    if (record != &gDlgVeilStats) gDlgVeilStats = *record;
    INT_PTR r = DialogBoxParamA(hInst, MAKEINTRESOURCEA(resource), hwndFrame, proc, 0);
    if (r == 1 && record != &gDlgVeilStats) *record = gDlgVeilStats;
    return r == 1 ? 1 : 0;
}

// The encryption dialog's rules, in their order, after any change of a
// password edit.
void check_encryption_passwords(HWND dlg) {
    char* p1 = typed[0];
    char* c1 = typed[1];
    char* p2 = typed[2];
    char* c2 = typed[3];
    read_password(dlg, IDC_ENC_PASSWORD1, p1);
    read_password(dlg, IDC_ENC_CONFIRM1, c1);
    read_password(dlg, IDC_ENC_PASSWORD2, p2);
    read_password(dlg, IDC_ENC_CONFIRM2, c2);
    const size_t n = std::strlen(p1);
    bool ok = n >= size_t(min_password) && std::strlen(p2) == n && std::strlen(c1) == n &&
              std::strlen(c2) == n && std::strcmp(p1, p2) != 0;
    if (ok) {
        // A confirmation of the right length that does not match is wiped:
        // the user types it again.  (Emptying an edit comes back here as a
        // change, which then only disables OK.)
        if (std::strcmp(c1, p1) != 0) {
            c1[0] = 0;
            SetDlgItemTextA(dlg, IDC_ENC_CONFIRM1, "");
        }
        if (std::strcmp(c2, p2) != 0) {
            c2[0] = 0;
            SetDlgItemTextA(dlg, IDC_ENC_CONFIRM2, "");
        }
        ok = std::strcmp(c1, p1) == 0 && std::strcmp(c2, p2) == 0;
    }
    enable_ok(dlg, IDC_ENC_OK, ok);
}
}  // namespace

int lq_run_decryption_dialog(VeilStats* record) {
    return run(IDD_DECRYPT, OPENENCRYPTDLGPROC, record);
}

int lq_run_encryption_dialog(VeilStats* record) {
    return run(IDD_ENCRYPT, SAVEENCRYPTDLGPROC, record);
}

INT_PTR CALLBACK OPENENCRYPTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    const int passwords[] = {IDC_DEC_PASSWORD1, IDC_DEC_PASSWORD2};
    switch (msg) {
        case WM_INITDIALOG: {
            forget_typed();
            for (int id : passwords) {
                SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, VEIL_MAX_KEY, 0);
                SetDlgItemTextA(dlg, id, "");
            }
            SetDlgItemTextA(dlg, IDC_DEC_RIDDLE, gRiddle);
            char line[96];
            lq_veil_version_line(&gDlgVeilStats, line, sizeof line);
            SetDlgItemTextA(dlg, IDC_DEC_VERSION, line);
            gDlgVeilStats.status = lq_veil_judge(&gDlgVeilStats, gDataLength, gByteSum);
            SetDlgItemTextA(dlg, IDC_DEC_STATUS, lq_veil_status_text(gDlgVeilStats.status));
            CheckDlgButton(dlg, IDC_DEC_READONLY, gDlgVeilStats.readonly ? 1 : 0);
            CheckDlgButton(dlg, IDC_DEC_SIZE, gDlgVeilStats.compression == 1);
            CheckDlgButton(dlg, IDC_DEC_SPEED, gDlgVeilStats.compression == 2);
            EnableWindow(GetDlgItem(dlg, IDC_DEC_BACKUP), gMakeBackupEnabled ? TRUE : FALSE);
            CheckDlgButton(dlg, IDC_DEC_BACKUP, gMakeBackup ? 1 : 0);
            enable_ok(dlg, IDC_DEC_OK, false);
            set_caption(dlg, "Decrypt %s");
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_DEC_PASSWORD1:
                case IDC_DEC_PASSWORD2: {
                    char* first = typed[0];
                    char* second = typed[2];
                    read_password(dlg, IDC_DEC_PASSWORD1, first);
                    read_password(dlg, IDC_DEC_PASSWORD2, second);
                    const size_t n = std::strlen(first);
                    enable_ok(dlg, IDC_DEC_OK,
                              n >= size_t(min_password) && std::strlen(second) == n &&
                                  std::strcmp(first, second) != 0);
                    return TRUE;
                }
                case IDC_DEC_OK:
                    gMakeBackup = IsDlgButtonChecked(dlg, IDC_DEC_BACKUP) == BST_CHECKED ? 1 : 0;
                    take_passwords(typed[0], typed[2]);
                    gMakeBackupEnabled = 1;
                    for (int id : passwords) clear_password(dlg, id);
                    forget_typed();
                    EndDialog(dlg, 1);
                    return TRUE;
                case IDC_DEC_CANCEL:
                    lq_secure_zero(gPassword1, sizeof gPassword1);
                    lq_secure_zero(gPassword2, sizeof gPassword2);
                    gMakeBackupEnabled = 1;
                    for (int id : passwords) clear_password(dlg, id);
                    forget_typed();
                    EndDialog(dlg, 0);
                    return TRUE;
                case IDC_DEC_HELP:
                    help(dlg, "Decrypting any File, The Decrypt a File dialog box");
                    return TRUE;
            }
            break;
    }
    return FALSE;
}

INT_PTR CALLBACK SAVEENCRYPTDLGPROC(HWND dlg, UINT msg, WPARAM wparam, LPARAM) {
    const int passwords[] = {IDC_ENC_PASSWORD1, IDC_ENC_CONFIRM1, IDC_ENC_PASSWORD2,
                             IDC_ENC_CONFIRM2};
    switch (msg) {
        case WM_INITDIALOG:
            SendDlgItemMessageA(dlg, IDC_ENC_RIDDLE, EM_LIMITTEXT, VEIL_RIDDLE_SIZE, 0);
            forget_typed();
            for (int id : passwords) {
                SendDlgItemMessageA(dlg, id, EM_LIMITTEXT, VEIL_MAX_KEY, 0);
                SetDlgItemTextA(dlg, id, "");
            }
            SetDlgItemTextA(dlg, IDC_ENC_RIDDLE, gRiddle);
            CheckDlgButton(dlg, IDC_ENC_READONLY, gDlgVeilStats.readonly ? 1 : 0);
            CheckDlgButton(dlg, IDC_ENC_SIZE, gDlgVeilStats.compression == 1);
            CheckDlgButton(dlg, IDC_ENC_SPEED, gDlgVeilStats.compression == 2);
            enable_ok(dlg, IDC_ENC_OK, false);
            set_caption(dlg, "Encrypt %s");
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wparam)) {
                case IDC_ENC_PASSWORD1:
                case IDC_ENC_CONFIRM1:
                case IDC_ENC_PASSWORD2:
                case IDC_ENC_CONFIRM2: check_encryption_passwords(dlg); return TRUE;
                case IDC_ENC_SPEED:
                    if (IsDlgButtonChecked(dlg, IDC_ENC_SPEED) == BST_CHECKED)
                        CheckDlgButton(dlg, IDC_ENC_SIZE, BST_UNCHECKED);
                    return TRUE;
                case IDC_ENC_SIZE:
                    if (IsDlgButtonChecked(dlg, IDC_ENC_SIZE) == BST_CHECKED)
                        CheckDlgButton(dlg, IDC_ENC_SPEED, BST_UNCHECKED);
                    return TRUE;
                case IDC_ENC_OK: {
                    iDefaultVeilStats(&gDlgVeilStats);
                    gDlgVeilStats.readonly =
                        IsDlgButtonChecked(dlg, IDC_ENC_READONLY) == BST_CHECKED ? 1 : 0;
                    gDlgVeilStats.compression =
                        IsDlgButtonChecked(dlg, IDC_ENC_SPEED) == BST_CHECKED  ? 2
                        : IsDlgButtonChecked(dlg, IDC_ENC_SIZE) == BST_CHECKED ? 1
                                                                               : 0;
                    take_passwords(typed[0], typed[2]);
                    std::memset(gRiddle, 0, sizeof gRiddle);
                    GetDlgItemTextA(dlg, IDC_ENC_RIDDLE, gRiddle, int(sizeof gRiddle));
                    gDlgVeilStats.riddlelength = int16_t(std::strlen(gRiddle) + 1);
                    for (int id : passwords) clear_password(dlg, id);
                    forget_typed();
                    EndDialog(dlg, 1);
                    return TRUE;
                }
                case IDC_ENC_CANCEL:
                    lq_secure_zero(gPassword1, sizeof gPassword1);
                    lq_secure_zero(gPassword2, sizeof gPassword2);
                    for (int id : passwords) clear_password(dlg, id);
                    forget_typed();
                    EndDialog(dlg, 0);
                    return TRUE;
                case IDC_ENC_HELP:
                    help(dlg, "Encrypting any File, the Encrypt a File dialog box");
                    return TRUE;
            }
            break;
    }
    return FALSE;
}
