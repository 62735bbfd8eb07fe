// Plain text files in editor windows: load, save, Save As.
#include <cstring>

#include "app/app.h"
#include "app/editor.h"
#include "app/editor_encrypted.h"
#include "app/editor_words.h"
#include "crypt/veil_reader.h"
#include "fileops/replace_file.h"
#include "platform/platform.h"

// The secure editor's encrypted load and save.
const LqEncryptedTextFn lq_encrypted_text_load = iLoadEncryptedEditFile;
const LqEncryptedTextFn lq_encrypted_text_save = iSaveEncryptedEditFile;

namespace {
const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;

HWND edit_of(HWND window) { return HWND(GetWindowLongPtrA(window, GWL_EDIT)); }

struct PlainText {
    const char* data;
    uint32_t size;
    const char* path;
};

int write_plain(PfFile f, void* context) {
    const PlainText* text = static_cast<const PlainText*>(context);
    const char* p = text->data;
    for (uint32_t left = text->size; left > 0;) {
        int32_t put = pf_write(f, p, left);
        if (put <= 0) {
            lq_message_format(" Writing to the Plain Text output file\r\n %s failed", text->path);
            return -1;
        }
        p += put;
        left -= uint32_t(put);
    }
    return 0;
}

// The plain save.  The text is taken from the window first; the replace step
// then writes it so that a failure at any point leaves the old file whole
// and the file keeps its identity (links, owner, security).  No DOS stamp is
// involved: any file time saves.
int save_plain(HWND window, const char* path) {
    szMessageBuffer[0] = 0;
    HWND edit = edit_of(window);
    int n = GetWindowTextLengthA(edit);
    LqGlobalText text;
    if (!(text.handle = pf_global_alloc(uint32_t(n) + 1)))
        lq_message_format(" Global save file memory buffer allocation failed.");
    else if (!(text.p = static_cast<char*>(pf_global_lock(text.handle))))
        lq_message_format(" Global save file memory buffer address query failed.");
    else if (GetWindowTextA(edit, text.p, n + 1) != n)
        lq_message_format(" Global save file memory buffer copy failed.");
    PlainText plain = {text.p, uint32_t(n), path};
    if (szMessageBuffer[0] || lq_replace_file(path, write_plain, &plain) != 0) {
        if (szMessageBuffer[0]) lq_message_show("Lockquill(TM) ERROR: iSaveFile ", error_style);
        return -1;
    }
    // A save leaves the file writable.
    uint32_t attributes = pf_get_attributes(path);
    if (attributes != PF_INVALID_ATTRIBUTES && (attributes & PF_ATTR_READONLY))
        pf_set_attributes(path, attributes & ~uint32_t(PF_ATTR_READONLY));
    return 0;
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
        // An encrypted text saved empty is an encrypted file too.
        int probe = lq_scan_encrypted_text(path, &gVeilStats, &header_size, 0, 0);
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
    LqGlobalText text;
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
        // Opening refuses longer names; a cut title would name another file.
        if (GetWindowTextLengthA(window) >= int(sizeof szFileName)) {
            lq_message_format(" The name of this window's file is too long to save it under.");
            lq_message_show("Lockquill(TM) ERROR: iSaveFile ", error_style);
            return -1;
        }
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
    ofnShared.Flags = 0x8806 | (encrypted ? LQ_OFN_DONT_ADD_TO_RECENT : 0);
    if (!GetSaveFileNameA(&ofnShared)) return FALSE;
    SetWindowWord(window, GWW_UNNAMED, 0);
    SetWindowTextA(window, szFileName);
    return TRUE;
}
