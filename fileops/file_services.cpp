#include "fileops/file_services.h"

#include <cctype>
#include <cstdarg>
#include <cstring>

char szMessageBuffer[LQ_MESSAGE_BUFFER_SIZE];
char szFileName[256];
char szFileTitle[128];

void lq_message_format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(szMessageBuffer, sizeof szMessageBuffer, fmt, ap);
    va_end(ap);
}

void lq_message_append(const char* fmt, ...) {
    size_t used = std::strlen(szMessageBuffer);
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(szMessageBuffer + used, sizeof szMessageBuffer - used, fmt, ap);
    va_end(ap);
}

int lq_message_show(const char* caption, unsigned style) {
    return iMessageBox(szMessageBuffer, caption, style);
}

static const unsigned error_style = LQ_MB_OK | LQ_MB_ICONSTOP;  // 16

static bool same_ignoring_case(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::toupper((unsigned char)*a) != std::toupper((unsigned char)*b)) return false;
    return *a == *b;
}

int iMakeExtendedFilename(char* target, const char* source, const char* ext) {
    size_t len = std::strlen(source);
    size_t stem = len;
    const char* dot = std::strrchr(source, '.');
    if (dot) {
        // The last dot names an extension only when no folder separator
        // follows it.
        const char* rest = dot + 1;
        if (!std::strpbrk(rest, "\\/")) stem = (size_t)(dot - source);
    }
    if (stem != len && same_ignoring_case(source + stem + 1, ext)) {
        lq_message_format(" %s already exists WILL/CAN NOT overwrite. ReName the file manually.",
                          source);
        lq_message_show("Lockquill(TM) ERROR: iMakeExtendedFilename", error_style);
        target[0] = 0;
        return -1;
    }
    const size_t ext_len = std::strlen(ext);
    if (stem + 1 + ext_len >= LQ_MAX_PATH) {
        lq_message_format(
            " The name made from %s with the extension %s would be longer than %i characters.",
            source, ext, int(LQ_MAX_PATH - 1));
        lq_message_show("Lockquill(TM) ERROR: iMakeExtendedFilename", error_style);
        target[0] = 0;
        return -1;
    }
    std::memmove(target, source, stem);
    target[stem] = '.';
    std::memcpy(target + stem + 1, ext, ext_len + 1);
    return 0;
}

// Opens for reading with read sharing and fills info; false with the last
// error set on failure.
static bool read_information(const char* path, FileInformation* info) {
    PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return false;
    bool ok = pf_get_file_information(f, info);
    uint32_t err = pf_last_error();
    pf_close(f);
    if (!ok) pf_set_last_error(err);
    return ok;
}

static int report_code(const char* caption, const char* path) {
    lq_message_format(" Error code: %u \r\n filename: %s ", (unsigned)pf_last_error(), path);
    lq_message_show(caption, error_style);
    return 1;
}

static const char get_caption[] = "Lockquill(TM) ERROR: iGetDateTimeAttribsRemoveReadOnly ";

int iGetDateTimeAttribsRemoveReadOnly(const char* path, FileInformation* info) {
    szMessageBuffer[0] = 0;
    if (!read_information(path, info)) return report_code(get_caption, path);
    if ((info->dwFileAttributes & PF_ATTR_READONLY) &&
        !pf_set_attributes(path, info->dwFileAttributes & ~PF_ATTR_READONLY))
        return report_code(get_caption, path);
    return 0;
}

int iSetDateTimeAttribs(const char* path, const FileInformation* info) {
    szMessageBuffer[0] = 0;
    FileInformation now;
    std::memset(&now, 0, sizeof now);
    if (!read_information(path, &now)) return report_code(get_caption, path);
    if ((now.dwFileAttributes & PF_ATTR_READONLY) &&
        !pf_set_attributes(path, now.dwFileAttributes & ~PF_ATTR_READONLY))
        return report_code(get_caption, path);

    PfFile f = pf_open(path, PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    bool ok = f != PF_INVALID_FILE &&
              pf_set_file_time(f, &info->ftCreationTime, &info->ftLastAccessTime,
                               &info->ftLastWriteTime) &&
              pf_set_attributes(path, info->dwFileAttributes);
    uint32_t err = pf_last_error();
    if (f != PF_INVALID_FILE) pf_close(f);
    if (!ok) {
        pf_set_last_error(err);
        return report_code("Lockquill(TM) ERROR: iSetDateTimeAttribs ", path);
    }
    return 0;
}

// The size as lGetFileSize measures it, without the message.
static int32_t measure_size(const char* path) {
    int32_t result = -10;
    PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE | PF_SHARE_DELETE,
                       PF_OPEN_EXISTING);
    if (f != PF_INVALID_FILE) {
        int64_t end = pf_seek(f, 0, PF_SEEK_END);
        result = (end < 0 || end > 0x7FFFFFFF) ? -1 : (int32_t)end;
        pf_close(f);
    }
    return result;
}

static int32_t size_with_message(const char* path) {
    int32_t result = measure_size(path);
    if (result < 0) {
        lq_message_format(" COULD NOT determine size of the file, error # %li \r\n %s ",
                          (long)result, path);
        lq_message_show("Lockquill(TM) ERROR: lGetFileSize", error_style);
    }
    return result;
}

int32_t lGetFileSize(const char* path) { return size_with_message(path); }

int16_t sGetShortEndValue(const char* path) {
    int16_t value = -1;
    int code = 0;
    int32_t size = size_with_message(path);
    if (size < 1) {
        code = -1;
    } else {
        PfFile f = pf_open(path, PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
        if (f == PF_INVALID_FILE) {
            code = -2;
        } else {
            if (pf_seek(f, (int64_t)size - 2, PF_SEEK_SET) <= 0) {
                code = -4;
            } else {
                unsigned char b[2];
                if (pf_read(f, b, 2) < 2)
                    code = -3;
                else
                    value = (int16_t)(uint16_t)(b[0] | (b[1] << 8));
            }
            pf_close(f);
        }
    }
    if (code != 0) {
        value = (int16_t)code;
        lq_message_format(" Internal error code: %i \r\n filename: %s ", code, path);
        lq_message_show("Lockquill(TM) ERROR: sGetShortEndValue ", error_style);
    }
    return value;
}

int iRename(const char* old_path, const char* new_path) {
    if (pf_move(old_path, new_path)) return 0;
    lq_message_format(" Could not ReName\r\n %s to\r\n %s ", old_path, new_path);
    lq_message_show("Lockquill(TM) ERROR: iRename ", error_style);
    return -1;
}

int32_t lGetDiskFree(const char* path) {
    if (!path || !*path) return -1;
    uint32_t spc = 0, bps = 0, free_clusters = 0;
    if (!pf_disk_free_space(&spc, &bps, &free_clusters, nullptr)) {
        uint32_t err = pf_last_error();
        szMessageBuffer[0] = 0;
        lq_message_format(" Could not retrieve amount of free media space for %s. ", path);
        lq_message_append(" Code: %u ", (unsigned)err);
        lq_message_show("Lockquill(TM) ERROR: lGetDiskFree ", error_style);
        return -1;
    }
    // A 32-bit product would wrap on any disk of today; clamp instead.
    uint64_t bytes = (uint64_t)free_clusters * spc * bps;
    return bytes > 0x7FFFFFFFu ? 0x7FFFFFFF : (int32_t)bytes;
}

bool bDoesFileExist(const char* pattern, PfFindData* find_data, bool report) {
    PfFindData own;
    PfFindData* fd = find_data ? find_data : &own;
    std::memset(fd, 0, sizeof *fd);
    if (pf_find_first(pattern, fd)) return true;
    uint32_t err = pf_last_error();
    if (!report) return false;
    szMessageBuffer[0] = 0;
    lq_message_format(" The file(s) %s DOES/DO NOT EXIST.\r\n", pattern);
    lq_message_append(" Code: %u ", (unsigned)err);
    lq_message_show("Lockquill(TM) ERROR: bDoesFileExist ", error_style);
    return false;
}

static int report_conversion(const char* caption) {
    uint32_t err = pf_last_error();
    szMessageBuffer[0] = 0;
    lq_message_format(" Could not convert file information ");
    lq_message_append(" Code: %u ", (unsigned)err);
    lq_message_show(caption, error_style);
    return -1;
}

// The four attribute bits a DOS stamp keeps.
static const uint32_t dos_bits[] = {PF_ATTR_READONLY, PF_ATTR_ARCHIVE, PF_ATTR_HIDDEN,
                                    PF_ATTR_SYSTEM};

int iDateTimeAttribeToByHandleFileInformation(FileInformation* info, uint16_t date, uint16_t time,
                                              uint16_t attributes) {
    if (!pf_dos_to_file_time(date, time, &info->ftLastWriteTime))
        return report_conversion("Lockquill(TM) ERROR: iDateTimeAttribeToByHandleFileInformation ");
    info->dwFileAttributes = 0;
    for (uint32_t bit : dos_bits)
        if (attributes & bit) info->dwFileAttributes |= bit;
    return 0;
}

int iByHandleFileInformationToDateTimeAttribute(uint16_t* date, uint16_t* time,
                                                uint16_t* attributes, const FileInformation* info) {
    if (!pf_file_time_to_dos(&info->ftLastWriteTime, date, time))
        return report_conversion(
            "Lockquill(TM) ERROR: iByHandleFileInformationToDateTimeAttribute ");
    *attributes = 0;
    for (uint32_t bit : dos_bits)
        if (info->dwFileAttributes & bit) *attributes |= (uint16_t)bit;
    return 0;
}

bool lq_write_all(PfFile f, const void* data, uint32_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        int32_t put = pf_write(f, p, n);
        if (put <= 0) return false;
        p += put;
        n -= uint32_t(put);
    }
    return true;
}
