#include "crypt/veilmix_file.h"

#include <cctype>
#include <cstring>

#include "compress/compress_file.h"
#include "crypt/veilmix.h"
#include "fileops/file_services.h"
#include "fileops/global_buffer.h"
#include "fileops/progress.h"
#include "fileops/remnant.h"
#include "fileops/wipe.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace {

const char error_caption[] = "Lockquill(TM) ERROR: iVeilmixFile";
const char warning_caption[] = "Lockquill(TM) WARNING: iVeilmixFile";
const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;
const unsigned question_style = LQ_MB_YESNO | LQ_MB_ICONQUESTION;

const uint32_t TRANSFER_MAX = 65500;
const uint32_t DOS_ATTRIBUTES =
    PF_ATTR_READONLY | PF_ATTR_HIDDEN | PF_ATTR_SYSTEM | PF_ATTR_ARCHIVE;

int fail(int result) {
    lq_message_show(error_caption, error_style);
    return result;
}

bool known_record_size(int16_t size) {
    return size == VEIL_STATS_SIZE || size == 774 || size == 390 || size == 287 || size == 277;
}

uint64_t ticks(const PfFileTime& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

// The file's DOS stamp and attribute word into the record.  A write time
// that has no DOS form (before 1980, after 2107: the conversion fails or
// wraps, so the stamp must convert back to within its two seconds) is
// recorded as no stamp, date and time 0; the attributes come from the file
// all the same.
void stamp_into_record(VeilStats* record, const FileInformation* info) {
    uint16_t date = 0, time = 0;
    PfFileTime back;
    const uint64_t t = ticks(info->ftLastWriteTime);
    if (pf_file_time_to_dos(&info->ftLastWriteTime, &date, &time) &&
        pf_dos_to_file_time(date, time, &back) && ticks(back) <= t && t - ticks(back) < 20000000u &&
        iByHandleFileInformationToDateTimeAttribute(&record->dosdate, &record->dostime,
                                                    &record->dosattr, info) == 0)
        return;
    record->dosdate = 0;
    record->dostime = 0;
    record->dosattr = uint16_t(info->dwFileAttributes & DOS_ATTRIBUTES);
}

// The record's DOS stamp into the information record, with `attributes` as
// the attribute word.  A stamp that does not convert (date 0: 277-byte
// records and texts saved without one; or a damaged record) keeps the file's
// own times and gives only the attributes.
int stamp_from_record(FileInformation* info, const VeilStats* record, uint16_t attributes) {
    PfFileTime probe;
    if (!pf_dos_to_file_time(record->dosdate, record->dostime, &probe)) {
        info->dwFileAttributes = attributes & DOS_ATTRIBUTES;
        return 0;
    }
    return iDateTimeAttribeToByHandleFileInformation(info, record->dosdate, record->dostime,
                                                     attributes);
}

// Writes all n bytes; false when fewer were written.
bool write_all(PfFile f, const void* data, uint32_t n) {
    return n == 0 || pf_write(f, data, n) == int32_t(n);
}

// Size of a file without a message; -1 when it can't be had.
int64_t quiet_size(const char* path) {
    PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return -1;
    const int64_t size = pf_seek(f, 0, PF_SEEK_END);
    pf_close(f);
    return size;
}

// True when the file has the layout of an encrypted file: a record of a known
// size at its end whose lengths account for the whole file.  `plain`, when
// given, receives the size its decryption ends with.  Reads without messages.
bool encrypted_layout(const char* path, int64_t* plain) {
    PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return false;
    uint8_t bytes[774];
    const int64_t size = pf_seek(f, 0, PF_SEEK_END);
    int16_t header = 0;
    bool ok =
        size > 2 && pf_seek(f, size - 2, PF_SEEK_SET) == size - 2 && pf_read(f, bytes, 2) == 2;
    if (ok) {
        header = int16_t(bytes[0] | (bytes[1] << 8));
        ok = known_record_size(header) && size > header &&
             pf_seek(f, size - header, PF_SEEK_SET) == size - header &&
             pf_read(f, bytes, uint32_t(header)) == header;
    }
    pf_close(f);
    if (!ok) return false;
    VeilStats r;
    static char riddle[VEIL_RIDDLE_SIZE];
    if (header == VEIL_STATS_SIZE)
        lq_veil_stats_unpack(bytes, &r);
    else if (!lq_veil_stats_from_legacy(bytes, header, &r, riddle))
        return false;
    const int64_t trailer = header == VEIL_STATS_SIZE ? int64_t(r.riddlelength) : 0;
    if (r.datalength < 0 || trailer < 0 || int64_t(r.datalength) + trailer + header != size)
        return false;
    if (plain) *plain = r.compression != 0 ? int64_t(r.originalsize) : int64_t(r.datalength);
    return true;
}

// Beside a backup of an encryption or decryption the file is finished when
// it is an encrypted file (the input of a decryption, or an encryption's
// complete result).  For a decryption also when the backup is no encrypted
// file (not a decryption's original: a wipe of it was cut short, or it is
// not ours), or when the file has the full size of the backup's decryption.
bool veil_finished(const char* path, const char* backup, void* direction) {
    if (encrypted_layout(path, nullptr)) return true;
    if (*static_cast<int16_t*>(direction) == 1) return false;
    int64_t plain = -1;
    return !encrypted_layout(backup, &plain) || quiet_size(path) == plain;
}

bool has_extension(const char* path, const char* ext) {
    const char* dot = std::strrchr(path, '.');
    if (!dot || std::strchr(dot, '\\') || std::strchr(dot, '/')) return false;
    for (++dot; *dot || *ext; ++dot, ++ext)
        if (std::tolower(uint8_t(*dot)) != std::tolower(uint8_t(*ext))) return false;
    return true;
}

// Wipes the incomplete result and moves the backup back under the path with
// the stamp and attributes the file had.  false (message naming the backup
// shown) when it could not.
bool restore(const char* path, const char* backup, const FileInformation* taken) {
    if (bDoesFileExist(path, nullptr, false) && iWipeFile(path, 0) != 0) {
        lq_message_format(
            " COULD NOT wipe the incomplete result\r\n %s\r\n The original file is kept as\r\n "
            "%s",
            path, backup);
        lq_message_show(error_caption, error_style);
        return false;
    }
    if (iRename(backup, path) != 0) {
        lq_message_format(" COULD NOT rename the backup file\r\n %s\r\n to its original name!",
                          backup);
        lq_message_show(error_caption, error_style);
        return false;
    }
    iSetDateTimeAttribs(path, taken);
    return true;
}

// From the backup name on: the transfer, the trailers, and the end (the
// result kept, or the file put back).  `restored` tells whether a failure
// left the file under its name as it was before this call.
int transform(const char* path, const char* backup, VeilStats* record, int16_t direction,
              bool compressed, bool* restored) {
    const bool encrypt = direction == 1;
    *restored = true;

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
        data_length -= header;
        if (known_record_size(header) && record->version > 3.0f && uint8_t(record->tag[0]) > 0x67)
            data_length -= record->riddlelength;
        if (!known_record_size(header) || data_length < 0) {
            lq_message_format(
                " The file %s is either not supported in this version or not a Lockquill "
                "Encrypted file ",
                path);
            return fail(-1);
        }
    }
    gDataLength = data_length;

    // 7-8: attributes and time stamp.  `taken` keeps them as the file has
    // them, for putting the file back exactly.
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) {
        lq_message_format(" COULD NOT process attributes of the file:\r\n %s", path);
        return fail(-1);
    }
    const FileInformation taken = info;
    if (encrypt) stamp_into_record(record, &info);

    // 9: from here on the file exists only as the backup and the result.
    if (iRename(path, backup) != 0) {
        lq_message_format(" COULD NOT rename\r\n %s to\r\n %s", path, backup);
        fail(-1);
        if (taken.dwFileAttributes & PF_ATTR_READONLY) iSetDateTimeAttribs(path, &taken);
        return -1;
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

    // 18-19.  A result whose last bytes did not reach the disk is no result.
    if (out != PF_INVALID_FILE && !pf_close(out) && result == 0) {
        lq_message_format(" COULD NOT close\r\n %s after writing", path);
        result = -1;
        pending = true;
    }
    if (in != PF_INVALID_FILE) pf_close(in);
    if (pending) lq_message_show(error_caption, error_style);

    // 21: the result gets the plain file's stamp and attributes (read-only
    // added on request); a decryption expands.  Until the backup is wiped or
    // kept, every failure still puts the file back.
    if (result == 0 && (stamp_from_record(&info, record, record->dosattr) != 0 ||
                        iSetDateTimeAttribs(path, &info) != 0))
        result = -1;
    if (result == 0 && encrypt && record->readonly && !(record->dosattr & 0x01) &&
        (stamp_from_record(&info, record, uint16_t(record->dosattr | 0x01)) != 0 ||
         iSetDateTimeAttribs(path, &info) != 0))
        result = -1;
    // Wrong passwords show only here, as an expansion that fails: the
    // encrypted file, still under the backup name, is the one good copy.
    if (result == 0 && !encrypt && record->compression != 0 &&
        iExpandFile(path, 1, &cs_data) != 0) {
        lq_message_format(" DeCompression of the file %s failed! ", path);
        lq_message_append(" NOTE: the file has been DeCrypted, but failed expansion ");
        lq_message_append(
            " The passwords may be wrong: the encrypted file has been put back under its "
            "name. ");
        lq_message_show("Lockquill(TM) Security Warning: iVeilmixFile", error_style);
        result = -15;
    }
    if (result == 0 && !encrypt && gMakeBackup && iSetDateTimeAttribs(backup, &info) != 0)
        result = -1;

    // 20: restore.  The incomplete result may hold plain bytes: it is wiped.
    if (result != 0) {
        *restored = restore(path, backup, &taken);
        return *restored ? result : -1;
    }

    *restored = false;
    if ((encrypt || !gMakeBackup) && iWipeFile(backup, 0) != 0) {
        lq_message_format(
            " COULD NOT wipe the backup\r\n %s\r\n It may still hold the data of\r\n %s\r\n "
            "Wipe it by hand.",
            backup, path);
        return fail(-1);
    }
    return 0;
}

}  // namespace

int lq_veil_remnant(const char* path, int16_t direction) {
    static const char* const names[] = {"TEF", "BED"};
    for (int i = 0; i < (direction == 1 ? 1 : 2); ++i) {
        char backup[LQ_MAX_PATH + 8] = {};
        if (has_extension(path, names[i]) || std::strlen(path) >= LQ_MAX_PATH ||
            iMakeExtendedFilename(backup, path, names[i]) != 0)
            continue;
        const int r = lq_check_remnant(path, backup, veil_finished, &direction, error_caption);
        if (r != 0) return r;
    }
    return 0;
}

int iVeilmixFile(const char* path_in, VeilStats* record, int16_t direction) {
    const bool encrypt = direction == 1;
    char path[LQ_MAX_PATH + 8] = {};
    char backup[LQ_MAX_PATH + 8] = {};
    std::strncpy(path, path_in, LQ_MAX_PATH);
    szMessageBuffer[0] = 0;

    // 3-4: room and backup, before anything is changed: an encryption
    // settles them before it compresses, so that a declined question or a
    // short disk never leaves the file compressed.  The room asked for is the
    // uncompressed file's.
    if (!encrypt) {
        if (lGetDiskFree(path) < record->originalsize) {
            lq_message_format(" There is not enough free media space to DeCrypt:\r\n %s", path);
            return fail(-1);
        }
        if (iMakeExtendedFilename(backup, path, gMakeBackup ? "BED" : "TEF") != 0) return -1;
    } else if (iMakeExtendedFilename(backup, path, "TEF") != 0) {
        return 1;
    }
    // A backup beside a file that is no finished result is the original of
    // an operation that did not finish: it is never questioned or wiped.
    if (lq_check_remnant(path, backup, veil_finished, &direction, error_caption) < 0) return -1;
    if (encrypt) {
        const int64_t need = int64_t(lGetFileSize(path)) + record->riddlelength + VEIL_STATS_SIZE;
        if (need > lGetDiskFree(path)) {
            lq_message_format(" There is not enough free media space to EnCrypt:\r\n %s ", path);
            return fail(-1);
        }
    }
    if (bDoesFileExist(backup, nullptr, false)) {
        if (encrypt)
            lq_message_format(
                " There is already an original data file backup for the file %s.  Do you wish "
                "to overwrite it ?",
                backup);
        else
            lq_message_format(
                " There is alread an EnCrypted file %s backup for this file.  Do you wish to "
                "overwrite it ?",
                backup);
        if (lq_message_show(warning_caption, question_style) != LQ_IDYES) return 1;
        if (iWipeFile(backup, 0) != 0) {
            if (encrypt)
                lq_message_format(" COULD NOT wipe old original data file backup named %s!",
                                  backup);
            else
                lq_message_format(
                    " COULD NOT delete the old EnCrypted file backup named %s!  Delete the file "
                    "manually.",
                    backup);
            return fail(-1);
        }
    }

    // 2: compression before encryption.  From here on a failure that puts
    // the file back also expands it again.
    const bool compressed = encrypt && record->compression != 0;
    FileInformation plain_info;
    bool have_plain_info = false;
    if (compressed) {
        // The plain file's own times and attributes, for an expansion back.
        PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
        if (f != PF_INVALID_FILE) {
            have_plain_info = pf_get_file_information(f, &plain_info);
            pf_close(f);
        }
        // -18: compressed, but the times and attributes could not be put back.
        const int c = iCompressFile(path, 1, uint16_t(record->compression), 0, &cs_data);
        if (c == -18 && iExpandFile(path, 1, &cs_data) == 0 && have_plain_info)
            iSetDateTimeAttribs(path, &plain_info);
        if (c != 0) return -1;
        gPreCompressSize = cs_data.originalsize;
    }

    bool restored = false;
    const int result = transform(path, backup, record, direction, compressed, &restored);
    if (result == 0 || !compressed || !restored) return result;
    if (iExpandFile(path, 1, &cs_data) == 0) {
        if (have_plain_info) iSetDateTimeAttribs(path, &plain_info);
    } else {
        lq_message_format(
            " The file %s is left compressed: expand it with Expand a File before anything "
            "else.",
            path);
        lq_message_show(error_caption, error_style);
    }
    return result;
}
