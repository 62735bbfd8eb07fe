// Secure menu: the file commands (1021, 1023, 112, 1026, 111) and Save
// Encrypted Text and then UU Encode it (1027).
//
// Files these commands leave: encrypting and UU-encoding leaves only the UU
// file; decoding and decrypting leaves only the decrypted file.  The decoded
// encrypted file of 1026 and 111 is an intermediate: it is wiped on every way
// out once it exists.  When a UU step fails, a file that the failed call
// created is wiped, and a file that was there before the call never is.
#include "app/secure_commands.h"

#include "app/app.h"
#include "app/commands.h"
#include "app/editor.h"
#include "app/editor_words.h"
#include "app/encryption_dialogs.h"

#include <cstring>

#include "crypt/veil_reader.h"
#include "crypt/veil_stats.h"
#include "crypt/veilmix_file.h"
#include "fileops/wipe.h"
#include "uu/uu_codec.h"
#include "uu/uu_common.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_stream.h"

namespace {

const char list1[] =
    "All Visible (*.*)\0*.*\0Encrypted Data (*.END)\0*.END\0Text Files (*.txt)\0*.txt\0"
    "Encrypted Text (*.ENT)\0*.ENT\0";
const char list2[] =
    "UU Encoded (*.UE?)\0*.UE?\0All Visible (*.*)\0*.*\0Encrypted Text (*.ENT)\0*.ENT\0"
    "Encrypted Data (*.END)\0*.END\0Text Files (*.txt)\0*.txt\0";
const char list3[] =
    "UU Encoded (*.UE?)\0*.UE?\0All Visible (*.*)\0*.*\0Encrypted Data (*.END)\0*.END\0"
    "Encrypted Text (*.ENT)\0*.ENT\0Text Files (*.txt)\0*.txt\0";

bool choose(const char* initial, const char* title, const char* filter) {
    std::strcpy(szFileName, initial);
    ofnShared.lpstrFilter = filter;
    ofnShared.lpstrTitle = title;
    return bGetOpenFileName(&ofnShared, hwndFrame, TRUE) != FALSE;
}

bool exists(const char* path) { return bDoesFileExist(path, nullptr, false); }

// The names a UU operation may give its target, each with whether a file of
// that name existed before the operation ran.  szTargetFilename alone cannot
// tell: it names an existing file when the user declined to overwrite it.
struct Targets {
    int count = 0;
    char name[2][LQ_MAX_PATH];
    bool existed[2];
};

void note_target(Targets& t, const char* path) {
    if (t.count == 2) return;
    std::strcpy(t.name[t.count], path);
    t.existed[t.count] = exists(path);
    ++t.count;
}

// After a failed UU operation: wipes szTargetFilename when it is a noted name
// that did not exist before, i.e. the failed call created it.
void wipe_target_if_created(const Targets& t) {
    if (!szTargetFilename[0] || !exists(szTargetFilename)) return;
    for (int i = 0; i < t.count; ++i)
        if (!t.existed[i] && lstrcmpiA(t.name[i], szTargetFilename) == 0) {
            iWipeFile(szTargetFilename, 0);
            return;
        }
}

// The ".uet" name iUUEncode forms for source.  A source that already has that
// extension is refused by iUUEncode itself (and iMakeExtendedFilename would
// report the refusal a second time): no name then.
void note_encoded_target(Targets& t, const char* source) {
    const char* base = uu_final_component(source);
    const char* dot = std::strrchr(base, '.');
    char name[LQ_MAX_PATH];
    if (dot && lstrcmpiA(dot + 1, "uet") == 0) return;
    if (std::strlen(source) + 5 > sizeof name) return;
    if (iMakeExtendedFilename(name, source, "uet") == 0) note_target(t, name);
}

// The names iUUDecode may form for the UU file path: the first "begin " line's
// name, beside path.  Both of its first two fields are noted, as a header
// written name first has them the other way round.
void note_decoded_targets(Targets& t, const char* path, const char* name_buffer) {
    UuStream s;
    if (!uu_open_read(s, path, true)) return;
    size_t len = 0;
    while (const char* line = uu_read_line(s, UU_HEADER_LINE, &len)) {
        if (!uu_is_begin_line(line, len)) continue;
        char field[2][UU_FIELD_SIZE] = {};
        if (uu_split_header(line, len, field, 2) != UU_FIELDS_OK) break;
        for (const char* name : field) {
            char target[LQ_MAX_PATH];
            if (uu_plain_name(name) && uu_path_beside(target, path, name_buffer, name))
                note_target(t, target);
        }
        break;
    }
    uu_close(s);
    szMessageBuffer[0] = 0;
}

// UU-encodes (text mode) the encrypted file path.  0: only the UU file
// remains.  Otherwise the encrypted file stays, without a UU file made by
// this call.
int encode_encrypted(char* path) {
    Targets t;
    note_encoded_target(t, path);
    szTargetFilename[0] = 0;
    const int r = iUUEncode(path, 1, 1, gVeilStats.readonly);
    if (r == 0)
        iWipeFile(path, 0);
    else
        wipe_target_if_created(t);
    return r;
}

// UU-decodes szFileName; true with the decoded file named in
// szTargetFilename (and its name in szFileTitle).  A failed decoding leaves no
// file of its own making.
bool decode_uu() {
    Targets t;
    note_decoded_targets(t, szFileName, szFileTitle);
    if (iUUDecode(szFileName, 1, szFileTitle) == 0) return true;
    wipe_target_if_created(t);
    return false;
}

}  // namespace

int iDecryptFileCommand() {
    if (!choose("*.*", "Select the file to Decrypt...", list1)) return 1;
    int16_t header_size = 0;
    if (iScanFileBytes(szFileName, &gVeilStats, 1, &header_size, 1, 1) != 0) return 1;
    if (lq_run_decryption_dialog(&gVeilStats) != 1) return 1;
    iVeilmixFile(szFileName, &gVeilStats, -1);
    return 1;
}

int iEncryptFileCommand() {
    if (!choose("*.*", "Select the file to Encrypt...", list1)) return 1;
    if (lq_run_encryption_dialog(&gVeilStats) != 1) return 1;
    iVeilmixFile(szFileName, &gVeilStats, 1);
    return 1;
}

int iEncryptAndUUEncodeCommand() {
    if (!choose("*.*", "Select the file to Encrypt and then UU encode...", list1)) return 1;
    if (lq_run_encryption_dialog(&gVeilStats) != 1) return 1;
    if (iVeilmixFile(szFileName, &gVeilStats, 1) != 0) return 1;
    encode_encrypted(szFileName);
    return 1;
}

int iOpenUUEncryptedTextCommand() {
    if (!choose("*.ue?", "Select the UU Encoded file to Decrypt and edit...", list2)) return 1;
    if (!decode_uu()) return 1;
    char decoded[LQ_MAX_PATH];
    std::strcpy(decoded, szTargetFilename);
    hAddEditWindow(decoded, TRUE);
    iWipeFile(decoded, 0);
    return 1;
}

int iDecryptUUFileCommand() {
    if (!choose("*.ue?", "Select the UU Encoded file to Decrypt...", list3)) return 1;
    char uu_file[LQ_MAX_PATH];
    std::strcpy(uu_file, szFileName);
    if (!decode_uu()) return 1;
    char decoded[LQ_MAX_PATH];
    std::strcpy(decoded, szTargetFilename);
    int16_t header_size = 0;
    // A decoded file that is refused, or whose decryption is cancelled or
    // fails, holds nothing the UU file does not: it goes.
    if (iScanFileBytes(decoded, &gVeilStats, 1, &header_size, 1, 1) != 0 ||
        lq_run_decryption_dialog(&gVeilStats) != 1) {
        iWipeFile(decoded, 0);
        return 1;
    }
    const int r = iVeilmixFile(decoded, &gVeilStats, -1);
    iWipeFile(r == 0 ? uu_file : decoded, 0);
    return 1;
}

int iSaveEncryptedAndUUEncode(HWND window) {
    if (!window) return 1;
    SetWindowWord(window, GWW_MODIFIED, 1);
    SetWindowWord(window, GWW_ENCRYPTED, 1);
    // The save asks for a name first when the window is "Untitled", and
    // leaves the path in szFileName; only a successful save clears the
    // modified word.
    SendMessageA(window, WM_COMMAND, IDM_FILE_SAVE, 0);
    if (GetWindowWord(window, GWW_MODIFIED)) return 1;
    encode_encrypted(szFileName);
    return 1;
}

void lq_cmd_decrypt_file(HWND, int) { iDecryptFileCommand(); }
void lq_cmd_encrypt_file(HWND, int) { iEncryptFileCommand(); }
void lq_cmd_encrypt_and_uu(HWND, int) { iEncryptAndUUEncodeCommand(); }
void lq_cmd_secure_open_uu(HWND, int) { iOpenUUEncryptedTextCommand(); }
void lq_cmd_decrypt_uu_file(HWND, int) { iDecryptUUFileCommand(); }
void lq_cmd_secure_save_uu(HWND, int) { iSaveEncryptedAndUUEncode(hwndActiveChild); }
