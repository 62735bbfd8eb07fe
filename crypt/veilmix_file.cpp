#include "crypt/veilmix_file.h"

#include <cstring>

#include "compress/compress_file.h"
#include "crypt/veilmix.h"
#include "fileops/global_buffer.h"
#include "fileops/file_services.h"
#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace {

const char error_caption[] = "Lockquill(TM) ERROR: iVeilmixFile";
const char warning_caption[] = "Lockquill(TM) WARNING: iVeilmixFile";
const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;
const unsigned question_style = LQ_MB_YESNO | LQ_MB_ICONQUESTION;

const uint32_t TRANSFER_MAX = 65500;

int fail(int result) {
    lq_message_show(error_caption, error_style);
    return result;
}

bool known_record_size(int16_t size) {
    return size == VEIL_STATS_SIZE || size == 774 || size == 390 || size == 287 || size == 277;
}

// The record's DOS stamp into the information record, with `attributes` as
// the attribute word.  A DOS date of 0 is no date at all: records of 277
// bytes carry none, and a text saved encrypted by the editor may have none.
// Such a record keeps the file's own times and gives only the attributes.
int stamp_from_record(FileInformation* info, const VeilStats* record, uint16_t attributes) {
    if (record->dosdate == 0) {
        info->dwFileAttributes =
            attributes & (PF_ATTR_READONLY | PF_ATTR_HIDDEN | PF_ATTR_SYSTEM | PF_ATTR_ARCHIVE);
        return 0;
    }
    return iDateTimeAttribeToByHandleFileInformation(info, record->dosdate, record->dostime,
                                                     attributes);
}

// Writes all n bytes; false when fewer were written.
bool write_all(PfFile f, const void* data, uint32_t n) {
    return n == 0 || pf_write(f, data, n) == int32_t(n);
}

}  // namespace

int iVeilmixFile(const char* path_in, VeilStats* record, int16_t direction) {
    const bool encrypt = direction == 1;
    char path[LQ_MAX_PATH + 8] = {};
    char backup[LQ_MAX_PATH + 8] = {};
    std::strncpy(path, path_in, LQ_MAX_PATH);

    // 1-2: compression before encryption.
    szMessageBuffer[0] = 0;
    bool compressed = false;
    if (encrypt && record->compression != 0) {
        if (iCompressFile(path, 1, uint16_t(record->compression), 0, &cs_data) != 0) return -1;
        gPreCompressSize = cs_data.originalsize;
        compressed = true;
    }

    // 3-4: room and backup name.
    if (!encrypt) {
        if (lGetDiskFree(path) < record->originalsize) {
            lq_message_format(" There is not enough free media space to DeCrypt:\r\n %s", path);
            return fail(-1);
        }
        if (iMakeExtendedFilename(backup, path, gMakeBackup ? "BED" : "TEF") != 0) return -1;
        if (bDoesFileExist(backup, nullptr, false)) {
            lq_message_format(
                " There is alread an EnCrypted file %s backup for this file.  Do you wish to "
                "overwrite it ?",
                backup);
            if (lq_message_show(warning_caption, question_style) != LQ_IDYES) return 1;
            if (iWipeFile(backup, 0) != 0) {
                lq_message_format(
                    " COULD NOT delete the old EnCrypted file backup named %s!  Delete the file "
                    "manually.",
                    backup);
                return fail(-1);
            }
        }
    } else {
        const int64_t need = int64_t(lGetFileSize(path)) + record->riddlelength + VEIL_STATS_SIZE;
        if (need > lGetDiskFree(path)) {
            lq_message_format(" There is not enough free media space to EnCrypt:\r\n %s ", path);
            return fail(-1);
        }
        if (iMakeExtendedFilename(backup, path, "TEF") != 0) return 1;
        if (bDoesFileExist(backup, nullptr, false)) {
            lq_message_format(
                " There is already an original data file backup for the file %s.  Do you wish "
                "to overwrite it ?",
                backup);
            if (lq_message_show(warning_caption, question_style) != LQ_IDYES) return 1;
            if (iWipeFile(backup, 0) != 0) {
                lq_message_format(" COULD NOT wipe old original data file backup named %s!",
                                  backup);
                return fail(-1);
            }
        }
    }

    // 5-6: the data length.
    gDataLength = 0;
    gByteSum = 0;
    const int32_t file_size = lGetFileSize(path);
    if (file_size < 0) return -1;
    int32_t data_length = file_size;
    if (!encrypt) {
        // Only a file that ends in a record of a known size is decrypted: any
        // other file would be transformed beyond recovery.
        const int16_t header = sGetShortEndValue(path);
        if (!known_record_size(header)) {
            lq_message_format(
                " The file %s is either not supported in this version or not a Lockquill "
                "Encrypted file ",
                path);
            return fail(-1);
        }
        data_length -= header;
        if (record->version > 3.0f && uint8_t(record->tag[0]) > 0x67)
            data_length -= record->riddlelength;
        if (data_length < 0) {
            lq_message_format(
                " The file %s is either not supported in this version or not a Lockquill "
                "Encrypted file ",
                path);
            return fail(-1);
        }
    }
    gDataLength = data_length;

    // 7-8: attributes and time stamp.
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) {
        lq_message_format(" COULD NOT process attributes of the file:\r\n %s", path);
        return fail(-1);
    }
    if (encrypt)
        iByHandleFileInformationToDateTimeAttribute(&record->dosdate, &record->dostime,
                                                    &record->dosattr, &info);

    // 9: from here on the file exists only as the backup and the result.
    if (iRename(path, backup) != 0) {
        lq_message_format(" COULD NOT rename\r\n %s to\r\n %s", path, backup);
        return fail(-1);
    }

    int result = 0;
    bool pending = false;  // a message in szMessageBuffer not shown yet
    PfFile in = pf_open(backup, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    PfFile out = PF_INVALID_FILE;
    if (in == PF_INVALID_FILE) {
        lq_message_format(" COULD NOT open the backup of the original file %s for reading", backup);
        result = -1;
        pending = true;
    } else {
        out = pf_open(path, PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_NONE, PF_CREATE_ALWAYS);
        if (out == PF_INVALID_FILE) {
            lq_message_format(" COULD NOT create and/or open\r\n %s for writing", path);
            result = -1;
            pending = true;
        }
    }

    LqGlobalBuffer buf;
    buf.secret = true;
    if (result == 0) {
        const uint32_t want =
            uint32_t(data_length) < TRANSFER_MAX ? uint32_t(data_length) : TRANSFER_MAX;
        if (!buf.get(want)) {
            lq_message_format(" Read/Write buffer allocation failed!");
            result = -1;
            pending = true;
        }
    }

    uint32_t position = 0;
    if (result == 0) {
        // 13-16: the transfer.
        iResetVeilmix(record);
        lq_progress_begin(encrypt ? " EnCryption of " : " DeCryption of ", path,
                          uint32_t(data_length));
        do {
            const uint32_t left = uint32_t(data_length) - position;
            const uint32_t piece = left < buf.size ? left : buf.size;
            if (piece > 0) {
                if (pf_seek(in, position, PF_SEEK_SET) != int64_t(position)) {
                    result = -101;
                    break;
                }
                if (pf_read(in, buf.data, piece) != int32_t(piece)) {
                    result = -102;
                    break;
                }
            }
            iVeilmix(piece, buf.data, record, direction, 0, nullptr);
            if (!write_all(out, buf.data, piece)) {
                result = -104;
                break;
            }
            position += piece;
            lq_progress_step(piece);
        } while (position < uint32_t(data_length));
        lq_progress_end();
        buf.release();
        if (result < -100) {
            lq_message_format(" Error code: %i", result);
            lq_message_show(error_caption, error_style);
        }
    }

    // 17: the trailers of an encrypted file.
    if (result == 0 && encrypt) {
        pf_seek(out, position, PF_SEEK_SET);
        record->checksum = gByteSum;
        record->datalength = gDataLength;
        record->originalsize = compressed ? gPreCompressSize : data_length;
        const void* zero = std::memchr(gRiddle, 0, VEIL_RIDDLE_SIZE - 1);
        const size_t riddle_length =
            zero ? size_t(static_cast<const char*>(zero) - gRiddle) : VEIL_RIDDLE_SIZE - 1;
        gRiddle[riddle_length] = 0;
        record->riddlelength = int16_t(riddle_length + 1);
        uint8_t bytes[VEIL_STATS_SIZE];
        lq_veil_stats_pack(record, bytes);
        if (!write_all(out, gRiddle, uint32_t(record->riddlelength))) {
            lq_message_format(" COULD NOT WRITE Riddle to:\r\n %s", path);
            result = -12;
            pending = true;
        } else if (!write_all(out, bytes, VEIL_STATS_SIZE)) {
            lq_message_format(" COULD NOT WRITE VeilStat Header to:\r\n %s", path);
            result = -13;
            pending = true;
        }
    }

    // 18-19.
    if (out != PF_INVALID_FILE) pf_close(out);
    if (in != PF_INVALID_FILE) pf_close(in);

    // 20: restore.  The incomplete result may hold plain bytes: it is wiped.
    if (result != 0) {
        if (pending) lq_message_show(error_caption, error_style);
        if (bDoesFileExist(path, nullptr, false) && iWipeFile(path, 0) != 0) return -1;
        if (iRename(backup, path) != 0) {
            lq_message_format(" COULD NOT rename the backup file\r\n %s\r\n to its original name!",
                              backup);
            return fail(-1);
        }
        if (stamp_from_record(&info, record, record->dosattr) == 0)
            iSetDateTimeAttribs(path, &info);
        return result;
    }

    // 21: success.
    if (stamp_from_record(&info, record, record->dosattr) != 0 ||
        iSetDateTimeAttribs(path, &info) != 0)
        return -1;
    if (!encrypt) {
        if (gMakeBackup) {
            if (iSetDateTimeAttribs(backup, &info) != 0) return -1;
        } else if (iWipeFile(backup, 0) != 0) {
            return -1;
        }
        if (record->compression != 0 && iExpandFile(path, 1, &cs_data) != 0) {
            lq_message_format(" DeCompression of the file %s failed! ", path);
            lq_message_append(" NOTE: the file has been DeCrypted, but failed expansion ");
            lq_message_show("Lockquill(TM) Security Warning: iVeilmixFile", error_style);
            return -15;
        }
        return 0;
    }
    if (record->readonly && !(record->dosattr & 0x01)) {
        if (stamp_from_record(&info, record, uint16_t(record->dosattr | 0x01)) != 0 ||
            iSetDateTimeAttribs(path, &info) != 0)
            return -1;
    }
    if (iWipeFile(backup, 0) != 0) return -1;
    return 0;
}
