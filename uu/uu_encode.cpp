#include "uu/uu_encode.h"

#include <cstring>
#include <memory>
#include <string>

#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "uu/uu_common.h"

namespace {

const char* const caption_warning = "Lockquill(TM) WARNING: iUUEncode";
const char* const caption_error = "Lockquill(TM) ERROR: iUUEncode ";

// Source bytes read at a time: a whole number of lines.
const size_t block_lines = 1456;
// Lines encoded into one reservation of the output stream (at most 64 KiB).
const size_t batch_lines = 1000;

enum { data_done = 0, data_read_failed = -1, data_write_failed = -2 };

// Writes the data lines and the zero-length line.
int encode_data(UuStream& src, UuStream& dst) {
    std::unique_ptr<uint8_t[]> block(new uint8_t[block_lines * UU_LINE_BYTES]);
    const char* eol = uu_eol(dst);
    size_t eol_len = uu_eol_len(dst);
    UuProgress progress;
    for (;;) {
        size_t got = uu_read(src, block.get(), block_lines * UU_LINE_BYTES);
        if (src.failed) return data_read_failed;
        const uint8_t* p = block.get();
        size_t full = got / UU_LINE_BYTES;
        while (full) {
            size_t lines = full < batch_lines ? full : batch_lines;
            char* out = uu_reserve(dst, lines * (UU_LINE_CHARS + eol_len));
            if (!out) return data_write_failed;
            uu_commit(dst, uu_encode_full_lines(p, lines, out, eol, eol_len));
            p += lines * UU_LINE_BYTES;
            full -= lines;
        }
        progress.add(uint32_t(got));
        if (got < block_lines * UU_LINE_BYTES) {
            // The short line (if any), then the zero-length line.
            size_t rest = got % UU_LINE_BYTES;
            char* out = uu_reserve(dst, 2 * (UU_LINE_CHARS + 2));
            if (!out) return data_write_failed;
            size_t n = 0;
            if (rest) {
                n = uu_encode_line(p, rest, out);
                std::memcpy(out + n, eol, eol_len);
                n += eol_len;
            }
            n += uu_encode_line(p, 0, out + n);
            std::memcpy(out + n, eol, eol_len);
            uu_commit(dst, n + eol_len);
            break;
        }
    }
    progress.flush();
    return dst.failed ? data_write_failed : data_done;
}

}  // namespace

int iUUEncode(char* path, int16_t text_mode, int16_t encrypted, int16_t read_only) {
    szMessageBuffer[0] = 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (!path || !*path) return -1;
    const bool text = text_mode != 0;

    int32_t size = lGetFileSize(path);
    if (int64_t(size) * 3 > int64_t(lGetDiskFree(path))) {
        lq_message_format(
            " There MAY NOT be enough free media space to UU EnCode the file %s.  Continue "
            "anyways ?",
            path);
        if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) return 1;
    }

    lq_progress_begin(text ? " UU EnCoding (text mode) of " : " UU EnCoding (binary mode) of ",
                      path, uint32_t(size));
    int result = 0;
    if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) {
        result = -1;
    } else {
        UuStream src;
        UuStream dst;
        const char* ext = text ? (encrypted ? "uet" : "uut") : "uub";
        const char* title = uu_final_component(path);
        if (!uu_open_read(src, path, false)) {
            lq_message_format(" Cannot Open the file: %s", path);
            result = -1;
        } else if (iMakeExtendedFilename(szTargetFilename, path, ext) != 0) {
            lq_message_format(" Cannot derive the UU filename for: %s", path);
            result = -1;
        } else if (std::strlen(title) >= LQ_FILE_TITLE_SIZE) {
            lq_message_format(" The name of the file %s is longer than %i characters.", path,
                              int(LQ_FILE_TITLE_SIZE - 1));
            result = -1;
        } else {
            std::strcpy(szFileTitle, title);
            if (bDoesFileExist(szTargetFilename, nullptr, false)) {
                lq_message_format(
                    " The (UU encoding) target file %s already exists!  Do you wish to "
                    "overwrite it ?",
                    szTargetFilename);
                if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES)
                    result = 1;
                else if (iWipeFile(szTargetFilename, 0) != 0)
                    result = -1;
            }
            if (result == 0 && !uu_open_write(dst, szTargetFilename, text)) {
                lq_message_format(
                    text ? " E#2t Cannot Open the file: %s" : " E#2b Cannot Open the file: %s",
                    szTargetFilename);
                result = -1;
            }
            if (result == 0) {
                // The header's line feed becomes CR LF in text mode.
                std::string header = std::string(text ? "begin 666 " : "begin 777 ") + title;
                header += '\n';
                uu_write(dst, header.data(), header.size());
                int data = encode_data(src, dst);
                if (data == data_done) uu_write(dst, "end\n", 4);
                bool written = uu_close(dst);
                if (data == data_read_failed) {
                    lq_message_format(UU_READ_FAILED, path);
                    result = -1;
                } else if (!written) {
                    lq_message_format(" Failed to write to the UU EnCoded file %s ",
                                      szTargetFilename);
                    result = -1;
                } else {
                    if (read_only && !(info.dwFileAttributes & PF_ATTR_READONLY))
                        info.dwFileAttributes |= PF_ATTR_READONLY;
                    result = iSetDateTimeAttribs(szTargetFilename, &info);
                }
            }
        }
        uu_close(src);
        uu_restore_attribs(path, &info);
    }
    lq_progress_end();
    if (result < 0 && szMessageBuffer[0]) lq_message_show(caption_error, UU_STYLE_ERROR);
    return result;
}
