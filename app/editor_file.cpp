// Plain text files in editor windows: load, save, Save As.
#include <cstring>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_words.h"
#include "crypt/veil_reader.h"
#include "platform/platform.h"

// The secure editor's encrypted load and save: name them here once they are
// built (iLoadEncryptedEditFile, iSaveEncryptedEditFile).
const LqEncryptedTextFn lq_encrypted_text_load = nullptr;
const LqEncryptedTextFn lq_encrypted_text_save = nullptr;

namespace {
const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;

HWND edit_of(HWND window) { return HWND(GetWindowLongPtrA(window, GWL_EDIT)); }

// A zero-filled global block of size bytes, locked; the messages name the
// purpose ("load file", "save file").
struct Block {
    PfGlobal handle = nullptr;
    char* p = nullptr;
    ~Block() {
        if (p) pf_global_unlock(handle);
        if (handle) pf_global_free(handle);
    }
};

// A name in target's folder that no file has yet: the save's temporary file
// and the old file's place while the new one takes its name.
bool spare_name(const char* target, char* out, size_t size) {
    const char* slash = std::strrchr(target, '\\');
    const char* other = std::strrchr(target, '/');
    if (other > slash) slash = other;
    int folder = slash ? int(slash - target + 1) : 0;
    for (int i = 0; i < 1000; ++i) {
        int n = std::snprintf(out, size, "%.*s~LQS%03d.TMP", folder, target, i);
        if (n < 0 || size_t(n) >= size) return false;
        if (pf_get_attributes(out) == PF_INVALID_ATTRIBUTES) return true;
    }
    return false;
}

bool write_all(PfFile f, const char* data, uint32_t n) {
    while (n > 0) {
        int32_t put = pf_write(f, data, n);
        if (put <= 0) return false;
        data += put;
        n -= uint32_t(put);
    }
    return true;
}

// The plain save.  The text goes to a temporary file beside the target,
// which replaces the target only once it is complete and flushed: a full
// disk or a failing write leaves the old file as it was.
int save_plain(HWND window, const char* path) {
    szMessageBuffer[0] = 0;
    FileInformation info = {};
    bool existed = bDoesFileExist(path, nullptr, false);
    if (existed) {
        if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) return -1;
        uint16_t date, time, attributes;
        if (iByHandleFileInformationToDateTimeAttribute(&date, &time, &attributes, &info) != 0) {
            pf_set_attributes(path, info.dwFileAttributes);
            return -1;
        }
    }

    int result = 0;
    char temp[LQ_MAX_PATH] = "";
    PfFile f = PF_INVALID_FILE;
    if (spare_name(path, temp, sizeof temp))
        f = pf_open(temp, PF_ACCESS_WRITE, PF_SHARE_NONE, PF_CREATE_NEW);
    Block text;
    if (f == PF_INVALID_FILE) {
        temp[0] = 0;
        lq_message_format(" Could NOT open the file\r\n %s for writing.", path);
        result = -1;
    } else {
        HWND edit = edit_of(window);
        int n = GetWindowTextLengthA(edit);
        if (!(text.handle = pf_global_alloc(uint32_t(n) + 1))) {
            lq_message_format(" Global save file memory buffer allocation failed.");
            result = -1;
        } else if (!(text.p = static_cast<char*>(pf_global_lock(text.handle)))) {
            lq_message_format(" Global save file memory buffer address query failed.");
            result = -1;
        } else if (GetWindowTextA(edit, text.p, n + 1) != n) {
            lq_message_format(" Global save file memory buffer copy failed.");
            result = -1;
        } else if (!write_all(f, text.p, uint32_t(n)) || !pf_flush(f)) {
            lq_message_format(" Writing to the Plain Text output file\r\n %s failed", path);
            result = -1;
        }
        // The replaced file's creation time stays the file's.
        if (result == 0 && existed) pf_set_file_time(f, &info.ftCreationTime, nullptr, nullptr);
        if (!pf_close(f) && result == 0) {
            lq_message_format(" Writing to the Plain Text output file\r\n %s failed", path);
            result = -1;
        }
    }

    if (result == 0) {
        char old[LQ_MAX_PATH] = "";
        if (existed && !(spare_name(path, old, sizeof old) && pf_move(path, old))) {
            lq_message_format(" Could NOT open the file\r\n %s for writing.", path);
            result = -1;
        } else if (!pf_move(temp, path)) {
            if (existed) pf_move(old, path);
            lq_message_format(" Could NOT open the file\r\n %s for writing.", path);
            result = -1;
        } else {
            temp[0] = 0;
            if (existed) {
                pf_delete(old);
                // As a save in place leaves it: read-only gone, hidden and
                // system kept, marked for archiving.
                pf_set_attributes(
                    path,
                    (info.dwFileAttributes & (PF_ATTR_HIDDEN | PF_ATTR_SYSTEM)) | PF_ATTR_ARCHIVE);
            }
        }
    }
    if (result != 0) {
        if (temp[0]) pf_delete(temp);
        // The old file is untouched: so are its attributes.
        if (existed) pf_set_attributes(path, info.dwFileAttributes);
        if (szMessageBuffer[0]) lq_message_show("Lockquill(TM) ERROR: iSaveFile ", error_style);
    }
    return result;
}
}  // namespace

int iLoadFile(HWND window, const char* path) {
    HWND edit = edit_of(window);
    SetWindowWord(window, GWW_UNNAMED, 0);

    // Asked first: a missing file is then reported once, and a file of fewer
    // than 3 bytes (no room for a record size) is plain text without probing.
    int32_t size = lGetFileSize(path);
    if (size < 0) return -1;
    if (size >= 3) {
        int16_t header_size = 0;
        int probe = iScanFileBytes(path, &gVeilStats, 1, &header_size, 0, 0);
        if (probe == 0) {
            SetWindowWord(window, GWW_ENCRYPTED, 1);
            if (lq_encrypted_text_load) return lq_encrypted_text_load(edit, path, &gVeilStats);
            lq_message_format(
                " The file %s is an encrypted text file; this build cannot open encrypted "
                "text.",
                path);
            lq_message_show("Lockquill(TM) ERROR: iLoadFile ", error_style);
            return -1;
        }
        if (probe < 0) return probe;
    }
    SetWindowWord(window, GWW_ENCRYPTED, 0);

    szMessageBuffer[0] = 0;
    Block text;
    PfFile f = PF_INVALID_FILE;
    if (!(text.handle = pf_global_alloc(uint32_t(size) + 1))) {
        lq_message_format(" Global load file memory buffer allocation failed.");
    } else if (!(text.p = static_cast<char*>(pf_global_lock(text.handle)))) {
        lq_message_format(" Global load file memory buffer pointer allocation failed.");
    } else if ((f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING)) ==
               PF_INVALID_FILE) {
        lq_message_format(" The file %s failed to open for editing.", path);
    } else {
        uint32_t got = 0;
        int32_t r;
        while (got < uint32_t(size) && (r = pf_read(f, text.p + got, uint32_t(size) - got)) > 0)
            got += uint32_t(r);
        if (got < uint32_t(size))
            lq_message_format(" Global read file into allocated memory buffer failed.");
    }
    if (f != PF_INVALID_FILE) pf_close(f);
    if (szMessageBuffer[0]) {
        lq_message_show("Lockquill(TM) ERROR: iLoadFile ", error_style);
        return -1;
    }

    text.p[size] = 0;
    WORD modified = GetWindowWord(window, GWW_MODIFIED);
    SetWindowTextA(edit, text.p);
    SetWindowWord(window, GWW_MODIFIED, modified);  // loading is no change
    if (GetWindowTextLengthA(edit) != size) {
        lq_message_format("%s%s",
                          " The size of the file is different than the amount of text copied to "
                          "this editor window.",
                          "  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN "
                          "NON-TEXT CHARACTERS!");
        lq_message_show("Lockquill(TM) WARNING: iLoadFile ", LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
    }
    return 0;
}

int iSaveFile(HWND window) {
    for (;;) {
        GetWindowTextA(window, szFileName, 256);
        if (lstrcmpiA(szFileName, "Untitled") != 0) break;
        if (!bNameFileAs(window)) return 1;
    }
    if (GetWindowWord(window, GWW_ENCRYPTED)) {
        int r;
        if (lq_encrypted_text_save) {
            r = lq_encrypted_text_save(edit_of(window), szFileName, &gVeilStats);
        } else {
            lq_message_format(
                " The file %s is to be saved as encrypted text; this build cannot encrypt "
                "editor text.  Nothing was saved.",
                szFileName);
            lq_message_show("Lockquill(TM) ERROR: iSaveFile ", error_style);
            r = -1;
        }
        if (r != 0) return -1;
        SetWindowWord(window, GWW_MODIFIED, 0);
        return 0;
    }
    int result = save_plain(window, szFileName);
    if (result == 0) SetWindowWord(window, GWW_MODIFIED, 0);
    return result;
}

BOOL bNameFileAs(HWND window) {
    bool encrypted = GetWindowWord(window, GWW_ENCRYPTED) != 0;
    if (GetWindowWord(window, GWW_UNNAMED))
        std::strcpy(szFileName, encrypted ? "*.ent" : "*.txt");
    else
        GetWindowTextA(window, szFileName, 256);
    if (encrypted) {
        ofnShared.lpstrFilter =
            "Encrypted Text (*.ENT)\0*.ENT\0All Visible (*.*)\0*.*\0"
            "Encrypted Data (*.END)\0*.END\0Text Files (*.txt)\0*.txt\0";
        ofnShared.lpstrTitle = "Name the Encrypted Text file as...";
    } else {
        ofnShared.lpstrFilter =
            "Text Files (*.txt)\0*.txt\0All Visible (*.*)\0*.*\0"
            "Encrypted Text (*.ENT)\0*.ENT\0Encrypted Data (*.END)\0*.END\0";
        ofnShared.lpstrTitle = "Name the text File as...";
    }
    ofnShared.lStructSize = LQ_OFN_STRUCT_SIZE;
    ofnShared.hwndOwner = window;
    ofnShared.hInstance = nullptr;
    ofnShared.lpstrCustomFilter = nullptr;
    ofnShared.nMaxCustFilter = 0;
    ofnShared.nFilterIndex = 1;
    ofnShared.lpstrFile = szFileName;
    ofnShared.nMaxFile = sizeof szFileName;
    ofnShared.lpstrFileTitle = nullptr;
    ofnShared.nMaxFileTitle = 0;
    ofnShared.lpstrInitialDir = nullptr;
    ofnShared.lpstrDefExt = nullptr;  // the name is used as typed
    ofnShared.lCustData = 0;
    ofnShared.lpTemplateName = nullptr;
    // OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY, OFN_PATHMUSTEXIST, OFN_NOREADONLYRETURN
    ofnShared.Flags = 0x8806;
    if (!GetSaveFileNameA(&ofnShared)) return FALSE;
    SetWindowWord(window, GWW_UNNAMED, 0);
    SetWindowTextA(window, szFileName);
    return TRUE;
}
