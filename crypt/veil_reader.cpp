#include "crypt/veil_reader.h"

#include <cstring>

#include "crypt/veilmix.h"
#include "fileops/global_buffer.h"
#include "fileops/file_services.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace {

const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;
const unsigned question_style = LQ_MB_YESNO | LQ_MB_ICONQUESTION;
const char warning_caption[] = "Lockquill(TM) WARNING: iReadVeilStats";

bool known_size(int16_t size) {
    return size == VEIL_STATS_SIZE || size == VEIL_LEGACY_774 || size == VEIL_LEGACY_390 ||
           size == VEIL_LEGACY_287 || size == VEIL_LEGACY_277;
}

int not_supported(const char* file_name, int16_t show) {
    if (show) {
        lq_message_format(
            " The file %s is either not supported in this version or not a Lockquill "
            "Encrypted file ",
            file_name);
        lq_message_show("Lockquill(TM) ERROR: iReadVeilStats ", error_style);
    }
    return 1;
}

int legacy_short_read_code(int16_t size) {
    switch (size) {
        case VEIL_LEGACY_774: return -9;
        case VEIL_LEGACY_390: return -10;
        case VEIL_LEGACY_287: return -11;
        default: return -12;
    }
}

// iReadVeilStats; with empty_data_ok a 135-byte record whose Riddle trailer
// starts the file (an encrypted text saved empty) is read too.
int read_veil_stats(VeilStats* record, const char* file_name, int16_t* header_size, int16_t ask_old,
                    int16_t show_unsupported, bool empty_data_ok) {
    const int16_t size = sGetShortEndValue(file_name);
    *header_size = size;
    if (size < 0 || !known_size(size)) return not_supported(file_name, show_unsupported);

    const int32_t file_size = lGetFileSize(file_name);
    if (file_size < 1) return -3;

    PfFile f = pf_open(file_name, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return -5;

    int result = 0;
    bool refused = false;
    uint8_t raw[VEIL_LEGACY_774];
    const int64_t at = pf_seek(f, int64_t(file_size) - size, PF_SEEK_SET);
    if (at <= 0) {
        result = -14;
    } else if (size == VEIL_STATS_SIZE) {
        if (pf_read(f, raw, uint32_t(size)) < size) {
            result = -6;
        } else {
            lq_veil_stats_unpack(raw, record);
            // gRiddle holds 1024 bytes: a longer (or empty) Riddle trailer
            // is no record of this version.
            const int16_t rl = record->riddlelength;
            if (rl < 1 || rl > int16_t(VEIL_RIDDLE_SIZE)) {
                refused = true;
            } else {
                const int64_t riddle_at =
                    pf_seek(f, int64_t(file_size) - rl - VEIL_STATS_SIZE, PF_SEEK_SET);
                if (riddle_at < 0 || (riddle_at == 0 && !empty_data_ok)) {
                    result = -8;
                } else {
                    std::memset(gRiddle, 0, sizeof gRiddle);
                    if (pf_read(f, gRiddle, uint32_t(rl)) < rl) result = -7;
                    // A Riddle that fills the whole buffer without its zero
                    // is cut by one character.
                    gRiddle[VEIL_RIDDLE_SIZE - 1] = 0;
                }
            }
        }
    } else if (pf_read(f, raw, uint32_t(size)) < size) {
        result = legacy_short_read_code(size);
    }
    pf_close(f);
    if (result) return result;
    if (refused) return not_supported(file_name, show_unsupported);

    if (size != VEIL_STATS_SIZE) lq_veil_stats_from_legacy(raw, size, record, gRiddle);

    const bool newer = record->version > 4.0f || record->mode > 3 ||
                       (record->version == 4.0f && uint8_t(record->tag[0]) > 0x6C);
    if (newer) {
        lq_message_format(
            " The file %s seems to be encrypted by a newer version of Lockquill.  Continue "
            "anyways ?",
            file_name);
        if (lq_message_show(warning_caption, question_style) != LQ_IDYES) return 1;
        gMakeBackup = 1;
    } else if (record->mode != 3 && record->datalength > 32000) {
        if (ask_old) {
            lq_message_format(
                " The file %s was encrypted by an earlier version, (v%.2f%c mode:%hi), of "
                "Lockquill. ERRORS WILL OCCUR 1 in 32,000 or 1 in 65,500 bytes. Continue "
                "anyways ?",
                file_name, double(record->version), record->tag[0], record->mode);
            if (lq_message_show(warning_caption, question_style) != LQ_IDYES) return 1;
        }
        gMakeBackup = 1;
    }
    return 0;
}

int scan_file_bytes(const char* file_name, VeilStats* record, int16_t read_header,
                    int16_t* header_size, int16_t ask_old, int16_t show_unsupported,
                    bool empty_data_ok) {
    gByteSum = 0;
    gDataLength = 0;
    record->status = 0;
    std::memset(gByteCounts, 0, sizeof gByteCounts);

    if (read_header) {
        int r = read_veil_stats(record, file_name, header_size, ask_old, show_unsupported,
                                empty_data_ok);
        if (r) return r;
    }

    PfFile f = pf_open(file_name, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return -2;
    int64_t length = pf_seek(f, 0, PF_SEEK_END);
    if (length < 0) {
        pf_close(f);
        return -6;
    }
    if (read_header) {
        length -= *header_size;
        if (lq_veil_riddle_is_trailer(record)) length -= record->riddlelength;
        gDataLength = int32_t(length);
    }
    // A record that claims a Riddle trailer longer than the file leaves no
    // data part at all.
    const uint32_t to_read = length > 0 ? uint32_t(length) : 0;

    LqGlobalBuffer buf;
    buf.secret = true;
    if (!buf.get(to_read < 65500 ? to_read : 65500)) {
        pf_close(f);
        return -8;
    }

    pf_cursor_wait();
    int result = 0;
    uint32_t sum = 0;
    uint32_t done = 0;
    if (to_read > 0 && pf_seek(f, 0, PF_SEEK_SET) != 0) result = -1;
    while (result == 0 && done < to_read) {
        const uint32_t piece = (to_read - done) < buf.size ? (to_read - done) : buf.size;
        if (pf_read(f, buf.data, piece) < int32_t(piece)) {
            result = -1;
            break;
        }
        for (uint32_t i = 0; i < piece; ++i) {
            sum += buf.data[i];
            ++gByteCounts[buf.data[i]];
        }
        done += piece;
    }
    gByteSum = sum;
    pf_cursor_arrow();
    pf_close(f);
    return result;
}

}  // namespace

int iReadVeilStats(VeilStats* record, const char* file_name, int16_t* header_size, int16_t ask_old,
                   int16_t show_unsupported) {
    return read_veil_stats(record, file_name, header_size, ask_old, show_unsupported, false);
}

int iScanFileBytes(const char* file_name, VeilStats* record, int16_t read_header,
                   int16_t* header_size, int16_t ask_old, int16_t show_unsupported) {
    return scan_file_bytes(file_name, record, read_header, header_size, ask_old, show_unsupported,
                           false);
}

int lq_scan_encrypted_text(const char* file_name, VeilStats* record, int16_t* header_size,
                           int16_t ask_old, int16_t show_unsupported) {
    return scan_file_bytes(file_name, record, 1, header_size, ask_old, show_unsupported, true);
}
