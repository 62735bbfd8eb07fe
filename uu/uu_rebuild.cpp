#include "uu/uu_rebuild.h"

#include <cstring>
#include <string>

#include "fileops/progress.h"
#include "fileops/wipe.h"
#include "uu/uu_common.h"

namespace {

const char* const caption_warning = "Lockquill(TM) WARNING: iUURebuildSplitUpFile";
const char* const caption_error = "Lockquill(TM) ERROR: iUURebuildSplitUpFile ";

enum { copy_done = 0, copy_failed = -1 };

// The buffer of the path argument: the open dialog's szFileName.
const size_t path_size = sizeof szFileName;

// Copies the lines of the open part and of every later part into target.
// path receives each later part's name.  Returns copy_done when the next part
// cannot be opened, copy_failed with the text in szMessageBuffer.
int copy_parts(UuStream& part, UuStream& target, char* path, const char* name_buffer,
               const FileInformation* info) {
    // iMakeExtendedFilename scans its source in place.
    char name[LQ_MAX_PATH];
    std::strncpy(name, name_buffer, sizeof name - 1);
    name[sizeof name - 1] = 0;
    UuProgress progress;
    int counter = 0;
    for (;;) {
        size_t len;
        const char* line;
        while ((line = uu_read_line(part, UU_HEADER_LINE, &len))) {
            if (!uu_write(target, line, len)) {
                lq_message_format(" Failed to write to this rebuild's UU target file %s ",
                                  szTargetFilename);
                return copy_failed;
            }
            progress.add(uint32_t(len));
        }
        if (part.failed) {
            lq_message_format(UU_READ_FAILED, path);
            return copy_failed;
        }
        // The end of this part: on to the next in file-name order.
        for (;;) {
            ++counter;
            uu_close(part);
            iSetDateTimeAttribs(path, info);
            char ext[16];
            uu_part_extension(counter, ext);
            // The next name goes to the open dialog's path buffer only when
            // it fits there.
            char next[LQ_MAX_PATH];
            if (iMakeExtendedFilename(next, name, ext) != 0 || std::strlen(next) >= path_size) {
                lq_message_format(
                    " COULD NOT derive the %i rebuild input UU Splitup filename for: %s", counter,
                    szTargetFilename);
                return copy_failed;
            }
            std::strcpy(path, next);
            if (!uu_open_read(part, path, target.text)) {
                progress.flush();
                // Only a part that is not there ends the join; one that is
                // there but cannot be opened would cut the file short.
                const uint32_t err = pf_last_error();
                if (err == PF_ERROR_FILE_NOT_FOUND || err == PF_ERROR_PATH_NOT_FOUND)
                    return copy_done;
                lq_message_format(target.text ? " E#1t Cannot Open the input file: %s"
                                              : " E#1b Cannot Open the input file: %s",
                                  path);
                return copy_failed;
            }
            line = uu_read_line(part, UU_HEADER_LINE, &len);
            if (!line) {
                if (part.failed) {
                    lq_message_format(UU_READ_FAILED, path);
                    return copy_failed;
                }
                continue;  // an empty part
            }
            // A part header is not copied; any other first line is.
            if (!uu_is_begin_line(line, len) && !uu_rewind(part)) {
                lq_message_format(UU_READ_FAILED, path);
                return copy_failed;
            }
            break;
        }
    }
}

}  // namespace

int iUURebuildSplitUpFile(char* path, int16_t text_first, const char* name_buffer) {
    szMessageBuffer[0] = 0;
    szTargetFilename[0] = 0;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    if (!path || !*path || !name_buffer || !*name_buffer) return -1;

    pf_cursor_wait();
    int result = 0;
    if (iGetDateTimeAttribsRemoveReadOnly(path, &info) != 0) {
        lq_message_format(" Could not get the file attributes of: %s", path);
        result = -1;
    } else {
        UuStream part;
        UuStream target;
        UuHeader h;
        static const UuHeaderTexts texts = {" E#1t Cannot Open the input file: %s",
                                            " E#1b Cannot Open the input file: %s",
                                            caption_warning};
        result = uu_find_header(part, path, name_buffer, text_first != 0, 4, texts, h);
        int32_t target_size = 0;
        bool copied = false;
        if (result == 0) {
            target_size = uu_read_decimal(h.field[2]);
            if (target_size < 1) {
                lq_message_format(
                    " COULD NOT read the rebuild's UU target file size from the input file %s",
                    path);
                result = -1;
            }
        }
        if (result == 0 && !uu_plain_name(h.field[3])) result = uu_refuse_name(h.field[3], path);
        if (result == 0 && !uu_path_beside(szTargetFilename, path, name_buffer, h.field[3]))
            result = -1;
        if (result == 0 &&
            (uu_in_part_series(h.field[3], name_buffer) || uu_same_file(szTargetFilename, path))) {
            lq_message_format(
                " The UU file name '%s' in the file %s names one of its own parts: rebuilding "
                "would destroy a part being read.",
                h.field[3], path);
            result = -1;
        }
        if (result == 0 && lGetDiskFree(path) < target_size) {
            lq_message_format(
                " There MAY NOT be enough free media space to Rebuild the UU EnCoded file %s.  "
                "Continue anyways ?",
                szTargetFilename);
            if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) result = 1;
        }
        if (result == 0 && bDoesFileExist(szTargetFilename, nullptr, false)) {
            lq_message_format(
                " This rebuild's UU target file %s already exists! Do you wish to overwrite it ?",
                szTargetFilename);
            if (lq_message_show(caption_warning, UU_STYLE_QUESTION) != LQ_IDYES) {
                result = 1;
            } else if (iWipeFile(szTargetFilename, 0) != 0) {
                lq_message_format(
                    " COULD NOT Wipe this rebuild's UU target file %s!  Delete the file "
                    "manually.",
                    szTargetFilename);
                result = -2;
            }
        }
        if (result == 0 && !uu_open_write(target, szTargetFilename, h.text)) {
            lq_message_format(h.text ? " E#1t Cannot Open this rebuild's UU target file: %s"
                                     : " E#1b Cannot Open this rebuild's UU target file: %s",
                              szTargetFilename);
            result = -1;
        }
        if (result == 0) {
            lq_progress_begin(" Rebuilding of the Splitup UU EnCoded file ", szTargetFilename,
                              uint32_t(target_size));
            std::string header = std::string(h.text ? "begin 666 " : "begin 777 ") + h.field[1];
            header += '\n';
            if (!uu_write(target, header.data(), header.size())) {
                lq_message_format(" Failed to write to this rebuild's target UU file %s ",
                                  szTargetFilename);
                result = -1;
            } else {
                szMessageBuffer[0] = 0;
                copied = true;
                result = copy_parts(part, target, path, name_buffer, &info);
            }
            if (!uu_close(target) && result == 0) {
                lq_message_format(" Failed to write to this rebuild's UU target file %s ",
                                  szTargetFilename);
                result = -1;
            }
            uu_restore_attribs(szTargetFilename, &info);
        }
        // The part still open (the first one when the copy never started), or
        // the first part when it could not be opened at all, gets its times
        // and attributes back.
        bool restore = !copied || uu_is_open(part);
        uu_close(part);
        if (restore) uu_restore_attribs(path, &info);
    }
    lq_progress_end();
    if (result < 0 && szMessageBuffer[0]) lq_message_show(caption_error, UU_STYLE_ERROR);
    return result;
}
