#include "uu/uu_split.h"

#include <cstdio>
#include <cstring>

#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "uu/uu_common.h"

namespace {

const char* const caption_warning = "Lockquill(TM) WARNING: iUUSplitUpFile";
const char* const caption_error = "Lockquill(TM) ERROR: iUUSplitUpFile ";
const int max_parts = 10000;
// Room that every part keeps beside its header and lines.
const int32_t part_reserve = 129;

// The three tests of the maximum part size; 0 when it passes, else -1 with
// the text in szMessageBuffer.
int check_maximum(int32_t size, int32_t max_size) {
    double room = double(max_size) - 258.0;
    if (room <= 0) {
        lq_message_format(
            " The maximum size for the UU splitup files you entered may result in a ZERO "
            "argument.");
        lq_message_append(" Please enter a different value.");
        return -1;
    }
    if (double(size) / room > max_parts) {
        lq_message_format(
            " The maximum size for the UU splitup files you entered will result in more than "
            "10000 files.");
        lq_message_append(" The maximum UU file splitup filesize must be larger than %li",
                          long(size / max_parts + 258));
        return -1;
    }
    if (size < max_size) {
        lq_message_format(
            " The maximum size for the UU splitup files you entered is larger than the original "
            "UU file!");
        return -1;
    }
    return 0;
}

}  // namespace

int iUUSplitUpFile(const char* path, int16_t text_first, const char* name_buffer,
                   int32_t max_size) {
    szMessageBuffer[0] = 0;
    szTargetFilename[0] = 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (!path || !*path || !name_buffer || !*name_buffer) return -1;
    // iMakeExtendedFilename scans its source in place.
    char source[LQ_MAX_PATH];
    if (std::strlen(path) >= sizeof source) {
        lq_message_format(" The path %s is too long.", path);
        lq_message_show(caption_error, UU_STYLE_ERROR);
        return -1;
    }
    std::strcpy(source, path);

    int32_t size = lGetFileSize(path);
    if (size < 0) return -1;
    if (lGetDiskFree(path) < size) {
        lq_message_format(
            " There MAY NOT be enough free media space to Split up the UU EnCoded file %s.  "
            "Continue anyways ?",
            path);
        if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) return 1;
    }
    int result = check_maximum(size, max_size);
    if (result == 0) {
        lq_progress_begin(" Split up of the UU EnCoded file ", path, uint32_t(size));
        if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) {
            lq_message_format(" Could not get the file attributes of: %s", path);
            result = -1;
        } else {
            UuStream in;
            UuStream part;
            UuHeader h;
            static const UuHeaderTexts texts = {" E#1t Cannot open the file: %s",
                                                " E#1b Cannot open the file: %s",
                                                "Lockquill(TM) CHOICE: iUUSplitUpFile"};
            result = uu_find_header(in, path, name_buffer, text_first != 0, 2, texts, h);
            UuProgress progress;
            int part_number = 0;
            // Starting at the maximum makes the first line open part 0.
            int64_t counted = max_size;
            while (result == 0) {
                size_t len;
                const char* line = uu_read_line(in, UU_HEADER_LINE, &len);
                if (!line) {
                    if (in.failed) {
                        lq_message_format(UU_READ_FAILED, path);
                        result = -1;
                    }
                    break;
                }
                if (counted + int64_t(len) >= max_size) {
                    if (uu_is_open(part)) {
                        bool written = uu_close(part);
                        iSetDateTimeAttribs(szTargetFilename, &info);
                        if (!written) {
                            lq_message_format(" Failed to write to the UU split up target file %s ",
                                              szTargetFilename);
                            result = -1;
                            break;
                        }
                    }
                    if (part_number == max_parts) {
                        lq_message_format(
                            " This WILL NOT split the file %s into more than 10000 parts.", path);
                        result = -1;
                        break;
                    }
                    char ext[16];
                    uu_part_extension(part_number, ext);
                    if (iMakeExtendedFilename(szTargetFilename, source, ext) != 0) {
                        lq_message_format(" Cannot derive the %i UU Split Up filename for: %s",
                                          part_number, path);
                        result = -1;
                        break;
                    }
                    if (bDoesFileExist(szTargetFilename, nullptr, false)) {
                        lq_message_format(
                            " The UU split up target file %s already exists! Do you wish to "
                            "overwrite it ?",
                            szTargetFilename);
                        if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) {
                            result = 1;
                            break;
                        }
                        if (iWipeFile(szTargetFilename, 0) != 0) {
                            lq_message_format(
                                " COULD NOT Wipe the UU split up target file %s!  Delete the "
                                "file manually.",
                                szTargetFilename);
                            result = -2;
                            break;
                        }
                    }
                    if (!uu_open_write(part, szTargetFilename, h.text)) {
                        lq_message_format(" Cannot open the file: %s for UU split up output.",
                                          szTargetFilename);
                        result = -4;
                        break;
                    }
                    lq_message_format(h.text ? "begin 666 %s %li %s split-up number=%i\n"
                                             : "begin 777 %s %li %s split-up number=%i\n",
                                      h.field[1], long(size), name_buffer, part_number);
                    size_t header_len = std::strlen(szMessageBuffer);
                    if (!uu_write(part, szMessageBuffer, header_len)) {
                        lq_message_format(" Failed to write to the UU split up target file %s ",
                                          szTargetFilename);
                        result = -1;
                        break;
                    }
                    ++part_number;
                    szMessageBuffer[0] = 0;
                    counted = int64_t(header_len) + part_reserve;
                }
                counted += int64_t(len);
                if (!uu_write(part, line, len)) {
                    lq_message_format(" Failed to write to the UU split up target file %s ",
                                      szTargetFilename);
                    result = -1;
                    break;
                }
                progress.add(uint32_t(len));
            }
            progress.flush();
            if (uu_is_open(part)) {
                bool written = uu_close(part);
                if (!written && result >= 0) {
                    lq_message_format(" Failed to write to the UU split up target file %s ",
                                      szTargetFilename);
                    result = -1;
                }
                uu_restore_attribs(szTargetFilename, &info);
            }
            uu_close(in);
            uu_restore_attribs(path, &info);
        }
        lq_progress_end();
    }
    if (result < 0 && szMessageBuffer[0]) lq_message_show(caption_error, UU_STYLE_ERROR);
    return result;
}
