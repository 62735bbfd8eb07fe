#include "crypt/encrypted_text.h"

#include <cstring>
#include <ctime>

#include "compress/compress_file.h"
#include "crypt/veilmix.h"
#include "fileops/file_services.h"
#include "fileops/replace_file.h"
#include "platform/ui.h"

const char lq_load_text_error_caption[] = "Lockquill(TM) ERROR: iLoadEncryptedEditFile ";
const char lq_load_text_warning_caption[] = "Lockquill(TM) WARNING: iLoadEncryptedEditFile ";
const char lq_save_text_error_caption[] = "Lockquill(TM) ERROR: iSaveEncryptedEditFile ";

namespace {
const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;

// The coders may have moved or grown the output block: the block follows
// MemoryStreams, so that it is zeroed and freed whatever happened to it.
void take_output_block(LqSecretBlock* out) {
    out->handle = MemoryStreams.out_block;
    out->data = MemoryStreams.out_buffer;
    out->size = out->data ? uint32_t(MemoryStreams.out_capacity) : 0;
}

// Back to file mode for the next compression or expansion.
void file_mode() {
    CzMemoryStreams& ms = MemoryStreams;
    ms.in_buffer = nullptr;
    ms.in_length = 0;
    ms.in_pos = 0;
    ms.out_block = nullptr;
    ms.out_buffer = nullptr;
    ms.out_capacity = 0;
    ms.out_pos = 0;
}

// What the replace step's writer puts into the new file.
struct Image {
    const char* path;
    const uint8_t* data;
    uint32_t data_length;
    bool compressed;
    uint32_t riddle_length;
    uint8_t record[VEIL_STATS_SIZE];
};

int write_image(PfFile f, void* context) {
    const Image& m = *static_cast<const Image*>(context);
    if (!lq_write_all(f, m.data, m.data_length)) {
        lq_message_format(m.compressed
                              ? " Writing to the encrypted compressed output file\r\n %s failed."
                              : " Writing to the encrypted output file\r\n %s failed.",
                          m.path);
        return -1;
    }
    if (!lq_write_all(f, gRiddle, m.riddle_length)) {
        lq_message_format(" Writing the Riddle to the encrypted output file\r\n %s failed", m.path);
        return -1;
    }
    if (!lq_write_all(f, m.record, VEIL_STATS_SIZE)) {
        lq_message_format(" Writing the Header to the encrypted output file\r\n %s failed", m.path);
        return -1;
    }
    return 0;
}

// The DOS date and time of now, in the convention of the file stamps (no
// time-zone shift): a later Decrypt a File stamps its result with them.
void stamp_now(VeilStats* record) {
    const uint64_t unix_seconds = uint64_t(std::time(nullptr));
    const uint64_t ticks = (unix_seconds + 11644473600ull) * 10000000ull;
    PfFileTime ft = {uint32_t(ticks), uint32_t(ticks >> 32)};
    uint16_t date = 0, time = 0;
    if (pf_file_time_to_dos(&ft, &date, &time)) {
        record->dosdate = date;
        record->dostime = time;
    }
}

// The attribute word of the file a save replaces (0 when there is none).
// The services' failures have shown their messages and leave them in
// szMessageBuffer.
int replaced_attributes(const char* path, uint16_t* attributes) {
    *attributes = 0;
    if (!bDoesFileExist(path, nullptr, false)) return 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) return -1;
    // The replace step keeps the file's attributes and gives them back on
    // failure: it must find them as the user left them.
    if (info.dwFileAttributes & PF_ATTR_READONLY) pf_set_attributes(path, info.dwFileAttributes);
    uint16_t date, time;
    return iByHandleFileInformationToDateTimeAttribute(&date, &time, attributes, &info) == 0 ? 0
                                                                                             : -1;
}
}  // namespace

int LqSecretBlock::get(uint32_t bytes) {
    release();
    handle = pf_global_alloc(bytes);
    if (!handle) return 1;
    data = static_cast<uint8_t*>(pf_global_lock(handle));
    if (!data) {
        pf_global_free(handle);
        handle = nullptr;
        return 2;
    }
    size = bytes;
    return 0;
}

void LqSecretBlock::release() {
    if (handle) {
        uint8_t* p = data ? data : static_cast<uint8_t*>(pf_global_lock(handle));
        if (p) {
            lq_secure_zero(p, data ? size : pf_global_size(handle));
            pf_global_unlock(handle);
        }
        pf_global_free(handle);
    }
    handle = nullptr;
    data = nullptr;
    size = 0;
}

int lq_read_encrypted_text(const char* path, const VeilStats* record, LqSecretBlock* text,
                           int32_t* expected) {
    szMessageBuffer[0] = 0;
    const int32_t n = record->datalength;
    const bool compressed = record->compression != 0;
    const int64_t original = record->originalsize;
    const int64_t room = compressed && original > n ? original : n;
    int result = -1;
    PfFile f = PF_INVALID_FILE;
    LqSecretBlock out;
    int got =
        n < 0 || (compressed && (original < 0 || original >= 0x7FFFFFFF)) || room >= 0xFFFFFFFFll
            ? 1
            : text->get(uint32_t(room + 1));
    if (got == 1) {
        lq_message_format(
            compressed ? " Global load compressed input file memory buffer allocation failed."
                       : " Global load file memory buffer allocation failed.");
    } else if (got == 2) {
        lq_message_format(" Global load file memory buffer pointer allocation failed.");
    } else if ((f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING)) ==
               PF_INVALID_FILE) {
        lq_message_format(" The file %s failed to open for editing.", path);
    } else {
        uint32_t done = 0;
        int32_t r;
        while (done < uint32_t(n) && (r = pf_read(f, text->data + done, uint32_t(n) - done)) > 0)
            done += uint32_t(r);
        if (done < uint32_t(n)) {
            lq_message_format(" Global read file into allocated memory buffer failed.");
        } else {
            iResetVeilmix(record);
            iVeilmix(uint32_t(n), text->data, record, -1, 1, path);
            result = 0;
        }
    }
    if (f != PF_INVALID_FILE) pf_close(f);

    if (result == 0 && compressed) {
        result = -1;
        got = out.get(uint32_t(original + 1));
        if (got == 1) {
            lq_message_format(
                " Global output compressed input file memory buffer allocation failed.");
        } else if (got == 2) {
            lq_message_format(
                " Global output compressed input file memory buffer pointer allocation failed.");
        } else {
            CzMemoryStreams& ms = MemoryStreams;
            ms.in_buffer = text->data;
            ms.in_length = n;
            ms.in_pos = 0;
            ms.out_block = out.handle;
            ms.out_buffer = out.data;
            ms.out_capacity = int32_t(original + 1);
            ms.out_pos = 0;
            const int expanded = iExpandFile(path, 1, &cs_data);
            take_output_block(&out);
            if (expanded != 0) {
                szMessageBuffer[0] = 0;  // the expansion has shown its failure
            } else {
                // A stream that gives fewer bytes than the record promised
                // leaves zeros, not compressed bytes, after them.
                const uint32_t have = uint32_t(ms.out_pos < original ? ms.out_pos : original);
                std::memcpy(text->data, out.data, have);
                std::memset(text->data + have, 0, size_t(original - have + 1));
                *expected = int32_t(original);
                result = 0;
            }
        }
    } else if (result == 0) {
        text->data[n] = 0;
        *expected = n;
    }
    file_mode();
    out.release();
    if (result != 0) {
        text->release();
        if (szMessageBuffer[0]) lq_message_show(lq_load_text_error_caption, error_style);
    }
    return result;
}

void lq_warn_encrypted_text_size() {
    lq_message_format("%s%s",
                      " The size of the file is different than the amount of text copied to this "
                      "editor window.",
                      "  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
                      "CHARACTERS!");
    lq_message_show(lq_load_text_warning_caption, LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
}

int lq_write_encrypted_text(const char* path, VeilStats* record, LqSecretBlock* text,
                            uint32_t length) {
    szMessageBuffer[0] = 0;
    pf_cursor_wait();
    uint16_t attributes = 0;
    int result = replaced_attributes(path, &attributes);

    LqSecretBlock out;
    Image image = {path, text->data, length, false, 0, {}};
    if (result == 0) {
        gDataLength = 0;
        gByteSum = 0;
        record->originalsize = int32_t(length);
        record->dosattr = attributes;
    }
    if (result == 0 && record->compression != 0) {
        // Room for what the coders give beyond the text before they find it
        // does not pay: a block that never grows leaves no copy of the
        // compressed text behind in memory freed by a move.
        const uint64_t room = uint64_t(length) + length / 4 + 4096;
        const int got = room < 0x7FFFFFFF ? out.get(uint32_t(room)) : 1;
        if (got == 1) {
            lq_message_format(
                " Global write compressed output file memory buffer allocation failed.");
            result = -1;
        } else if (got == 2) {
            lq_message_format(
                " Global write compressed output file memory buffer pointer allocation failed.");
            result = -1;
        } else {
            CzMemoryStreams& ms = MemoryStreams;
            ms.out_block = out.handle;
            ms.out_buffer = out.data;
            ms.out_capacity = int32_t(room);
            ms.out_pos = 0;
            ms.in_buffer = text->data;
            ms.in_length = int32_t(length);
            ms.in_pos = 0;
            const int compressed =
                iCompressFile(path, 1, uint16_t(record->compression), 0, &cs_data);
            take_output_block(&out);
            if (compressed == 0 && out.data) {
                image.data = out.data;
                image.data_length = uint32_t(ms.out_pos);
                image.compressed = true;
            } else {
                // Not an error: the text goes uncompressed, and the record
                // says so.
                ms.out_pos = 0;
                ms.out_capacity = 0;
                record->compression = 0;
                szMessageBuffer[0] = 0;
            }
        }
    }
    if (result == 0) {
        iResetVeilmix(record);
        iVeilmix(image.data_length, const_cast<uint8_t*>(image.data), record, 1, 1, path);
        record->datalength = int32_t(image.data_length);
        record->checksum = gByteSum;
        record->status = 0;
        record->structsize = VEIL_STATS_SIZE;
        record->riddlelength = int16_t(std::strlen(gRiddle) + 1);
        stamp_now(record);
        image.riddle_length = uint32_t(record->riddlelength);
        lq_veil_stats_pack(record, image.record);
        if (lq_replace_file(path, write_image, &image) != 0) result = -1;
    }

    if (result != 0 && szMessageBuffer[0]) lq_message_show(lq_save_text_error_caption, error_style);
    pf_cursor_arrow();
    file_mode();
    out.release();
    if (result != 0) return -1;

    if (record->readonly && !(record->dosattr & PF_ATTR_READONLY))
        record->dosattr |= PF_ATTR_READONLY;
    if (!pf_set_attributes(path, record->dosattr)) {
        lq_message_format(" Could NOT change the attributes of the file\r\n %s (2).", path);
        lq_message_show(lq_save_text_error_caption, error_style);
    }
    return 0;
}
