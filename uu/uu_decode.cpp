#include "uu/uu_decode.h"

#include <algorithm>
#include <cstring>

#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "uu/uu_common.h"

namespace {
const char* const caption_warning = "Lockquill(TM) WARNING: iUUDecode";
const char* const caption_error = "Lockquill(TM) ERROR: iUUDecode ";
}  // namespace

bool uu_decode_was_short = false;

int decode(UuStream& in, UuStream& out) {
    UuProgress progress;
    const size_t batch_lines = 1000;  // 45000 bytes: within one reservation
    for (;;) {
        // Runs of standard full lines go straight from buffer to buffer.
        size_t avail;
        const char* run = uu_buffered(in, &avail);
        if (run && avail >= UU_FULL_LINE) {
            size_t most = std::min(avail / UU_FULL_LINE, batch_lines);
            uint8_t* dst = reinterpret_cast<uint8_t*>(uu_reserve(out, most * UU_LINE_BYTES + 1));
            if (!dst) return UU_DECODE_WRITE_FAILED;
            size_t lines = uu_decode_full_lines(run, avail, dst, most);
            if (lines) {
                uu_commit(out, lines * UU_LINE_BYTES);
                uu_consume(in, lines * UU_FULL_LINE);
                progress.add(uint32_t(lines * UU_FULL_LINE));
                continue;
            }
        }
        size_t len;
        const char* line = uu_read_line(in, UU_DATA_LINE, &len);
        if (!line) {
            progress.flush();
            if (in.failed) return UU_DECODE_READ_FAILED;
            std::strcpy(szMessageBuffer, " The file to decode is 'Short' ");
            lq_message_show("Lockquill(TM) ERROR: decode", LQ_MB_OK | LQ_MB_ICONSTOP);
            return UU_DECODE_SHORT;
        }
        progress.add(uint32_t(len));
        uint8_t* dst = reinterpret_cast<uint8_t*>(uu_reserve(out, UU_MAX_LINE_DECODED));
        if (!dst) return UU_DECODE_WRITE_FAILED;
        int n = uu_decode_line(line, len, dst);
        if (n < 0) break;
        uu_commit(out, size_t(n));
    }
    progress.flush();
    return out.failed ? UU_DECODE_WRITE_FAILED : UU_DECODE_DONE;
}

int iUUDecode(const char* path, int16_t text_first, char* name_buffer) {
    uu_decode_was_short = false;
    szMessageBuffer[0] = 0;
    szTargetFilename[0] = 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (!path || !*path || !name_buffer || !*name_buffer) return -1;

    int32_t size = lGetFileSize(path);
    if (size > lGetDiskFree(path)) {
        lq_message_format(
            " There MAY NOT be enough free media space to UU DeCode the file %s.  Continue "
            "anyways ?",
            path);
        if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) return 1;
    }

    lq_progress_begin(" UU DeCoding of ", path, uint32_t(size));
    int result = 0;
    if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) {
        lq_message_format(" Could not get the file attributes of: %s", path);
        result = -1;
    } else {
        UuStream in;
        UuStream out;
        UuHeader h;
        static const UuHeaderTexts texts = {" E#1t Cannot Open the file: %s",
                                            " E#1b Cannot Open the file: %s", caption_warning};
        result = uu_find_header(in, path, name_buffer, text_first != 0, 2, texts, h);
        const char* name = h.field[1];
        if (result == 0 && !uu_plain_name(name)) result = uu_refuse_name(name, path);
        if (result == 0 && !uu_path_beside(szTargetFilename, path, name_buffer, name)) result = -1;
        if (result == 0 && uu_same_file(szTargetFilename, path)) {
            lq_message_format(
                " The file name '%s' in the file %s names that file itself: decoding would "
                "destroy the file being read.",
                name, path);
            result = -1;
        }
        if (result == 0) {
            std::strncpy(name_buffer, name, LQ_FILE_TITLE_SIZE - 1);
            name_buffer[LQ_FILE_TITLE_SIZE - 1] = 0;
            if (bDoesFileExist(szTargetFilename, nullptr, false)) {
                lq_message_format(
                    " The target file %s for this UU encoded file already exists! Do you wish to "
                    "overwrite it ?",
                    szTargetFilename);
                if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) {
                    result = 1;
                } else if (iWipeFile(szTargetFilename, 0) != 0) {
                    lq_message_format(
                        " COULD NOT Wipe the target file %s for this UU encoded file!  Delete the "
                        "file manually.",
                        szTargetFilename);
                    result = -2;
                }
            }
        }
        if (result == 0 && !uu_open_write(out, szTargetFilename, false)) {
            lq_message_format(" Cannot Open the file: %s for output.", szTargetFilename);
            result = -4;
        }
        if (result == 0) {
            int d = decode(in, out);
            if (d == UU_DECODE_SHORT) {
                result = 1;
                uu_decode_was_short = true;
            } else if (d == UU_DECODE_READ_FAILED) {
                lq_message_format(UU_READ_FAILED, path);
                result = -1;
            } else if (d == UU_DECODE_DONE) {
                size_t len;
                const char* line = uu_read_line(in, UU_HEADER_LINE, &len);
                if (!line || len != 4 || std::memcmp(line, "end\n", 4) != 0) {
                    lq_message_format(in.failed ? UU_READ_FAILED : " No 'end line' in the file: %s",
                                      path);
                    result = -1;
                }
            }
            if (!uu_close(out)) {
                lq_message_format(" Failed to write to the UU DeCoded file %s ", szTargetFilename);
                result = -1;
            }
            // The decoded file, complete or not, gets the encoded file's
            // times and attributes.
            uu_restore_attribs(szTargetFilename, &info);
        }
        uu_close(in);
        uu_restore_attribs(path, &info);
    }
    lq_progress_end();
    if (result < 0 && szMessageBuffer[0]) lq_message_show(caption_error, UU_STYLE_ERROR);
    return result;
}
