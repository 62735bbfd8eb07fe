#include "fileops/replace_file.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "fileops/file_services.h"
#include "fileops/wipe.h"

namespace {

const char open_failed[] = " Could NOT open the file\r\n %s for writing.";
const char write_failed[] = " Writing to the file\r\n %s failed.";

// A name in target's folder that no file has yet.
bool spare_name(const char* target, char* out, size_t size) {
    const char* slash = std::strrchr(target, '\\');
    const char* other = std::strrchr(target, '/');
    if (other > slash) slash = other;
    int folder = slash ? int(slash - target + 1) : 0;
    for (int i = 0; i < 1000; ++i) {
        int n = std::snprintf(out, size, "%.*s~LQS%03d.TMP", folder, target, i);
        if (n < 0 || size_t(n) >= size) return false;
        if (pf_get_attributes(out) == PF_INVALID_ATTRIBUTES) return true;
    }
    return false;
}

// Wipes a temporary or old copy.  One that stays is named in a box of its
// own: it may hold text the user meant to keep private.  (A wipe that failed
// after its rename leaves the emptied file under its last name.)  The
// caller's message in szMessageBuffer survives.
void remove_copy(const char* copy) {
    if (pf_get_attributes(copy) == PF_INVALID_ATTRIBUTES) return;
    std::string kept = szMessageBuffer;
    if (iWipeFile(copy, 0) != 0) {
        std::string left = copy;
        if (pf_get_attributes(copy) == PF_INVALID_ATTRIBUTES) {
            size_t cut = left.find_last_of("\\/");
            left = (cut == std::string::npos ? std::string() : left.substr(0, cut + 1)) + '\xFF';
        }
        if (pf_get_attributes(left.c_str()) != PF_INVALID_ATTRIBUTES) {
            lq_message_format(
                " The temporary file\r\n %s\r\n could NOT be removed.  It may hold the text of "
                "the saved file: wipe it by hand.",
                left.c_str());
            lq_message_show("Lockquill(TM) WARNING: Replace File",
                            LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
        }
    }
    std::snprintf(szMessageBuffer, sizeof szMessageBuffer, "%s", kept.c_str());
}

// Copies the temporary file named by context into f: the content that the
// system would not let take the target's place goes in place instead.
int copy_from(PfFile f, void* context) {
    const char* temp = static_cast<const char*>(context);
    PfFile from = pf_open(temp, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    bool ok = from != PF_INVALID_FILE;
    char chunk[16384];
    for (int32_t r; ok && (r = pf_read(from, chunk, sizeof chunk)) != 0;)
        ok = r > 0 && lq_write_all(f, chunk, uint32_t(r));
    if (from != PF_INVALID_FILE) pf_close(from);
    if (!ok) lq_message_format(write_failed, temp);
    return ok ? 0 : -1;
}

// The new content goes to a temporary file in the target's folder, flushed,
// which then takes the target's place in one step.  Returns 0; -1 (failed,
// target untouched); 1 when no temporary file could be made (nothing was
// written); 2 when the system refused the replacement for a reason that
// writing in place avoids (the target is open elsewhere without delete
// sharing, or may not be deleted): the temporary file then holds the whole
// new content.
int replace_through_temp(const char* target, bool existed, const char* temp, LqReplaceWriter writer,
                         void* context) {
    PfFile f = pf_open(temp, PF_ACCESS_WRITE, PF_SHARE_NONE, PF_CREATE_NEW);
    if (f == PF_INVALID_FILE) return 1;
    int result = writer(f, context);
    if (result == 0 && !pf_flush(f)) result = -1;
    if (!pf_close(f) && result == 0) result = -1;
    if (result != 0 && !szMessageBuffer[0]) lq_message_format(write_failed, target);
    if (result != 0) return -1;
    char backup[LQ_MAX_PATH] = "";
    if (!existed) {
        if (pf_move(temp, target)) return 0;
    } else if (spare_name(target, backup, sizeof backup)) {
        if (pf_replace(target, temp, backup)) {
            remove_copy(backup);
            return 0;
        }
        uint32_t err = pf_last_error();
        if (err == PF_ERROR_SHARING_VIOLATION || err == PF_ERROR_ACCESS_DENIED ||
            err == PF_ERROR_UNABLE_TO_REMOVE_REPLACED)
            return 2;
    }
    lq_message_format(" Could NOT replace the file\r\n %s (error %u).", target,
                      unsigned(pf_last_error()));
    return -1;
}

// The content is written over the target itself, the old content held in
// memory and put back when anything fails.
int write_in_place(const char* target, LqReplaceWriter writer, void* context) {
    PfFile f = pf_open(target, PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) {
        lq_message_format(open_failed, target);
        return -1;
    }
    FileInformation info = {};
    PfGlobal block = nullptr;
    char* old = nullptr;
    uint32_t size = 0;
    bool held = pf_get_file_information(f, &info) && info.nFileSizeHigh == 0 &&
                (block = pf_global_alloc((size = info.nFileSizeLow) + 1)) &&
                (old = static_cast<char*>(pf_global_lock(block)));
    uint32_t got = 0;
    for (int32_t r = 0; held && got < size && (r = pf_read(f, old + got, size - got)) > 0;)
        got += uint32_t(r);
    int result = 0;
    if (!held || got != size) {
        lq_message_format(" The old content of\r\n %s\r\n could NOT be held to write it in place.",
                          target);
        result = -1;
    } else if (pf_seek(f, 0, PF_SEEK_SET) != 0 || !pf_truncate(f) || writer(f, context) != 0 ||
               !pf_truncate(f) || !pf_flush(f)) {
        if (!szMessageBuffer[0]) lq_message_format(write_failed, target);
        bool restored = pf_seek(f, 0, PF_SEEK_SET) == 0 && lq_write_all(f, old, size) &&
                        pf_truncate(f) && pf_flush(f);
        pf_set_file_time(f, &info.ftCreationTime, &info.ftLastAccessTime, &info.ftLastWriteTime);
        if (!restored)
            lq_message_append("\r\n The old content of %s could NOT be put back.", target);
        result = -1;
    }
    if (old) pf_global_unlock(block);
    if (block) pf_global_free(block);
    pf_close(f);
    return result;
}

}  // namespace

int lq_replace_file(const char* path, LqReplaceWriter writer, void* context) {
    szMessageBuffer[0] = 0;
    // A link is saved through: the file it names gets the content, the link
    // stays a link.
    char target[LQ_MAX_PATH];
    if (!pf_resolve_path(path, target, sizeof target))
        std::snprintf(target, sizeof target, "%s", path);
    uint32_t attributes = pf_get_attributes(target);
    bool existed = attributes != PF_INVALID_ATTRIBUTES;
    bool in_place = false;
    if (existed) {
        // A second name of the same file would keep the old content after a
        // rename: such a file is written in place.
        FileInformation info = {};
        PfFile f =
            pf_open(target, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
        bool known = f != PF_INVALID_FILE && pf_get_file_information(f, &info);
        if (f != PF_INVALID_FILE) pf_close(f);
        if (!known) {
            lq_message_format(open_failed, path);
            return -1;
        }
        in_place = info.nNumberOfLinks > 1;
        if ((attributes & PF_ATTR_READONLY) &&
            !pf_set_attributes(target, attributes & ~uint32_t(PF_ATTR_READONLY))) {
            lq_message_format(open_failed, path);
            return -1;
        }
    }
    int result = 1;
    char temp[LQ_MAX_PATH] = "";
    if (!in_place && spare_name(target, temp, sizeof temp))
        result = replace_through_temp(target, existed, temp, writer, context);
    if (result == 1 && !existed) {
        lq_message_format(open_failed, path);
        result = -1;
    }
    // No file could be made beside it: the writer writes in place.  The
    // system would not let the old file go: the finished copy goes in place.
    if (result == 1) result = write_in_place(target, writer, context);
    if (result == 2) result = write_in_place(target, copy_from, temp);
    if (temp[0]) remove_copy(temp);
    if (existed && (attributes & PF_ATTR_READONLY)) pf_set_attributes(target, attributes);
    return result;
}
