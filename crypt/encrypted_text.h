// Encrypted text files: a text and the exact bytes of its file, both ways, in
// memory.  The editor's encrypted load and save (iLoadEncryptedEditFile,
// iSaveEncryptedEditFile) and lockquill-cli show and write are this code with
// an edit control, or standard input and output, around it.
//
// The file is the data part (the text, compressed first when the record asks
// for it, encrypted in one stream), the Riddle with its zero, and the
// 135-byte record.  A text saved empty has an empty data part.
#pragma once

#include <cstdint>

#include "crypt/veil_stats.h"
#include "platform/platform.h"

// Captions of the load's and the save's messages.
extern const char lq_load_text_error_caption[];    // "Lockquill(TM) ERROR: iLoadEncryptedEditFile "
extern const char lq_load_text_warning_caption[];  // "... WARNING: iLoadEncryptedEditFile "
extern const char lq_save_text_error_caption[];    // "Lockquill(TM) ERROR: iSaveEncryptedEditFile "

// A zero-filled, locked platform global block for plain text or key
// material: its bytes are zeroed before it goes back, on every path.
struct LqSecretBlock {
    PfGlobal handle = nullptr;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    LqSecretBlock() = default;
    LqSecretBlock(const LqSecretBlock&) = delete;
    LqSecretBlock& operator=(const LqSecretBlock&) = delete;
    // 0 got; 1 the allocation failed; 2 the lock failed (nothing kept).
    int get(uint32_t bytes);
    void release();
    ~LqSecretBlock() { release(); }
};

// Reads the data part of the encrypted text file path, decrypts it under
// gPassword1 and gPassword2 with the progress window, and expands it when
// record->compression is not 0 (the coders in memory mode).  record is what
// the scan and the decryption dialog left.  Returns 0 with text holding
// *expected bytes (originalsize with compression, datalength without) and a
// zero after them; the text as an edit control takes it ends at its first
// zero byte.  -1 after the message under the load's error caption (none after
// a failed expansion: it reported its own).  MemoryStreams is left in file
// mode.
int lq_read_encrypted_text(const char* path, const VeilStats* record, LqSecretBlock* text,
                           int32_t* expected);

// The load's warning when the text taken is not *expected bytes long: a zero
// byte in the decrypted text (wrong passwords easily give one) or a text too
// long for the editor.
void lq_warn_encrypted_text_size();

// Writes text->data[0, length) as the encrypted text file path under
// gPassword1, gPassword2 and gRiddle, with the record's compression and
// readonly (as the encryption dialog left them).  text is encrypted in place.
// The file is replaced through lq_replace_file: on any failure the old file
// stays as it was, content and attributes.  The record gets the replaced
// file's attribute word (0 for a new file), read-only added on request, and
// the DOS date and time of the save; the file gets those attributes.  A
// compression that fails stores the text uncompressed (compression 0).
// Returns 0, or -1 after the message under the save's error caption.
int lq_write_encrypted_text(const char* path, VeilStats* record, LqSecretBlock* text,
                            uint32_t length);
