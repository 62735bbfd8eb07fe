#include "fileops/wipe.h"

#include <cstring>
#include <string>

#include "fileops/file_services.h"
#include "fileops/global_buffer.h"

namespace {

const unsigned char pass_patterns[4] = {0x00, 0x0F, 0xFF, 0x00};
const char* const pass_messages[4] = {
    " COULD NOT write 0x00 to the file %s to WIPE it!",
    " COULD NOT write 0x0F to the file %s to WIPE it!",
    " COULD NOT write 0xFF to the file %s to WIPE it!",
    " COULD NOT write 0x00/b to the file %s to WIPE it!",
};

// The one-character last name, in the folder of the file itself.  (The
// editor's open dialog makes that folder the current one; the command-line
// tool is called from anywhere, and a rename into another folder could cross
// devices or leave the remains in an unexpected place.)
std::string last_name_beside(const char* path) {
    const char* cut = std::strrchr(path, '\\');
    const char* slash = std::strrchr(path, '/');
    if (!cut || (slash && slash > cut)) cut = slash;
    std::string folder = cut ? std::string(path, (size_t)(cut - path) + 1) : std::string();
    return folder + '\xFF';
}

// Overwrites [start, size) chunk by chunk; every chunk gets all four passes,
// each flushed to the medium before the next pattern.  Returns 0 or -6.
int overwrite(PfFile f, const char* path, int64_t start, int64_t size, LqGlobalBuffer& buf) {
    for (int64_t pos = start; pos < size;) {
        uint32_t chunk = (uint32_t)(size - pos < (int64_t)buf.size ? size - pos : buf.size);
        for (int pass = 0; pass < 4; ++pass) {
            std::memset(buf.data, pass_patterns[pass], chunk);
            pf_seek(f, pos, PF_SEEK_SET);
            if (pf_write(f, buf.data, chunk) != (int32_t)chunk) {
                lq_message_format(pass_messages[pass], path);
                return -6;
            }
            pf_flush(f);
        }
        pos += chunk;
    }
    return 0;
}

}  // namespace

int iWipeFile(const char* path, uint32_t start) {
    int status = 0;
    FileInformation record;
    std::memset(&record, 0, sizeof record);

    if (iGetDateTimeAttribsRemoveReadOnly(path, &record) != 0) {
        lq_message_format(
            " COULD NOT obtain and/or remove Read Only attributes of the file %s to WIPE it!",
            path);
        status = -1;
    } else {
        PfFile f = pf_open(path, PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ | PF_SHARE_WRITE,
                           PF_OPEN_EXISTING);
        if (f == PF_INVALID_FILE) {
            lq_message_format(" COULD NOT open the file %s to WIPE it!", path);
            status = -3;
        } else {
            int64_t size = pf_seek(f, 0, PF_SEEK_END);
            if (size < 0) {
                lq_message_format(" COULD NOT seek into the file %s to WIPE it!", path);
                status = -4;
            } else {
                LqGlobalBuffer buf;
                bool cut = true;
                if (size > 0) {
                    if (!buf.get(size < (int64_t)LQ_WIPE_CHUNK ? (uint32_t)size : LQ_WIPE_CHUNK)) {
                        lq_message_format(" COULD NOT allocate buffer for file %s to WIPE it!",
                                          path);
                        status = -5;
                        cut = false;
                    } else {
                        pf_cursor_wait();
                        status = overwrite(f, path, start, size, buf);
                        pf_cursor_arrow();
                    }
                }
                // Cut even after a failed pass: the bytes written so far stay
                // overwritten and the rest goes with the length.
                if (cut && (pf_seek(f, 0, PF_SEEK_SET) != 0 || !pf_truncate(f))) {
                    lq_message_format(" COULD NOT change size of the file %s to WIPE it!", path);
                    status = -6;
                }
            }
            pf_close(f);
        }
    }

    if (status == 0) {
        FileInformation zero;
        std::memset(&zero, 0, sizeof zero);
        if (iSetDateTimeAttribs(path, &zero) != 0) {
            lq_message_format(" COULD NOT change date and time of the file %s to WIPE it!", path);
            status = -7;
        }
    }
    if (status == 0) {
        std::string last = last_name_beside(path);
        if (iRename(path, last.c_str()) != 0) {
            status = -1;
            szMessageBuffer[0] = 0;
        } else if (!pf_delete(last.c_str())) {
            lq_message_format(" COULD NOT remove the file %s to WIPE it!", path);
            status = -6;
        }
    }
    if (status != 0 && szMessageBuffer[0]) lq_message_show("Lockquill(TM) ERROR: iWipeFile", 16);
    return status;
}
