#include "app/editor_encrypted.h"

#include <cstring>

#include "app/app.h"
#include "app/editor_words.h"
#include "app/encryption_dialogs.h"
#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"

namespace {
void forget_passwords() {
    lq_secure_zero(gPassword1, sizeof gPassword1);
    lq_secure_zero(gPassword2, sizeof gPassword2);
}

// szFileTitle: what follows the last backslash (all of path without one).
void set_file_title(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    const char* name = slash ? slash + 1 : path;
    std::strncpy(szFileTitle, name, sizeof szFileTitle - 1);
    szFileTitle[sizeof szFileTitle - 1] = 0;
}

// The edit control's text in a secret block of length + 1 bytes; false after
// the message.
bool fetch_text(HWND edit, LqSecretBlock* text, int* length) {
    szMessageBuffer[0] = 0;
    const int n = GetWindowTextLengthA(edit);
    const int got = n < 0 ? 1 : text->get(uint32_t(n) + 1);
    if (got == 1) {
        lq_message_format(" Global save file memory buffer allocation failed.");
    } else if (got == 2) {
        lq_message_format(" Global save file memory buffer address query failed.");
    } else if (GetWindowTextA(edit, reinterpret_cast<char*>(text->data), n + 1) != n) {
        lq_message_format(" Global save file memory buffer copy failed.");
    } else {
        *length = n;
        return true;
    }
    lq_message_show(lq_save_text_error_caption, LQ_MB_OK | LQ_MB_ICONSTOP);
    return false;
}
}  // namespace

int iLoadEncryptedEditFile(HWND edit, const char* path, VeilStats* record) {
    int16_t header_size = 0;
    if (lq_scan_encrypted_text(path, record, &header_size, 1, 1) != 0) return -1;
    gMakeBackupEnabled = 0;
    if (!lq_run_decryption_dialog(record)) return -1;

    LqSecretBlock text;
    int32_t expected = 0;
    const int result = lq_read_encrypted_text(path, record, &text, &expected);
    forget_passwords();
    if (result != 0) return -1;

    // The text arriving is no change of the window's.
    HWND window = GetParent(edit);
    const WORD modified = window ? GetWindowWord(window, GWW_MODIFIED) : 0;
    SetWindowTextA(edit, reinterpret_cast<const char*>(text.data));
    if (window) SetWindowWord(window, GWW_MODIFIED, modified);
    if (GetWindowTextLengthA(edit) != expected) lq_warn_encrypted_text_size();
    return 0;
}

int iSaveEncryptedEditFile(HWND edit, const char* path, VeilStats* record) {
    if (path != szFileName) {
        std::strncpy(szFileName, path, sizeof szFileName - 1);
        szFileName[sizeof szFileName - 1] = 0;
    }
    set_file_title(path);
    if (!lq_run_encryption_dialog(record)) return 1;

    LqSecretBlock text;
    int length = 0;
    int result = -1;
    if (fetch_text(edit, &text, &length))
        result = lq_write_encrypted_text(path, record, &text, uint32_t(length));
    forget_passwords();
    return result;
}
