// POSIX twin of the platform layer: the observable behaviour of the Win32
// calls, as the Windows program shows it under Wine on the same files.
//
//  - Read-only is the absence of every write permission bit; clearing it gives
//    the owner back its write bit.
//  - Hidden (0x02) and system (0x04) live in the extended attribute
//    user.DOSATTRIB as a hex string ("0x6"), removed when neither is set;
//    where the file system has none they are dropped silently.
//  - Every regular file reports archive (0x20).
//  - Share modes are enforced between the handles of this process.
//  - The creation time is the birth time where the file system gives it and
//    the last-write time otherwise; setting it is ignored.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/fault.h"
#include "platform/platform.h"

namespace {

thread_local uint32_t last_error;

uint32_t error_from_errno(int e) {
    switch (e) {
        case 0: return PF_ERROR_SUCCESS;
        case ENOENT: return PF_ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return PF_ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return PF_ERROR_ACCESS_DENIED;
        case EBADF: return PF_ERROR_INVALID_HANDLE;
        case ENOMEM: return PF_ERROR_NOT_ENOUGH_MEMORY;
        case EEXIST: return PF_ERROR_FILE_EXISTS;
        case EINVAL: return PF_ERROR_INVALID_PARAMETER;
        case ENOSPC:
        case EDQUOT: return PF_ERROR_DISK_FULL;
        case ENOTEMPTY: return PF_ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG: return PF_ERROR_FILENAME_EXCED_RANGE;
        case EXDEV: return 17;  // ERROR_NOT_SAME_DEVICE
        case EIO: return PF_ERROR_GEN_FAILURE;
        default: return PF_ERROR_GEN_FAILURE;
    }
}

void fail_errno() { last_error = error_from_errno(errno); }

// ------------------------------------------------------------- share modes
struct OpenRecord {
    int fd;
    dev_t dev;
    ino_t ino;
    unsigned access;
    unsigned share;
};
std::vector<OpenRecord> open_files;

// Windows refuses a second handle whose access the first one does not share,
// or which does not share the access the first one holds.
bool share_conflict(const OpenRecord& a, unsigned access, unsigned share) {
    if ((access & PF_ACCESS_READ) && !(a.share & PF_SHARE_READ)) return true;
    if ((access & PF_ACCESS_WRITE) && !(a.share & PF_SHARE_WRITE)) return true;
    if ((a.access & PF_ACCESS_READ) && !(share & PF_SHARE_READ)) return true;
    if ((a.access & PF_ACCESS_WRITE) && !(share & PF_SHARE_WRITE)) return true;
    return false;
}

bool open_conflicts(const struct stat& st, unsigned access, unsigned share) {
    for (const OpenRecord& r : open_files)
        if (r.dev == st.st_dev && r.ino == st.st_ino && share_conflict(r, access, share))
            return true;
    return false;
}

// Renaming or deleting needs every open handle to share deletion.
bool delete_blocked(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) return false;
    for (const OpenRecord& r : open_files)
        if (r.dev == st.st_dev && r.ino == st.st_ino && !(r.share & PF_SHARE_DELETE)) return true;
    return false;
}

OpenRecord* record_of(PfFile f) {
    for (OpenRecord& r : open_files)
        if (r.fd == (int)f) return &r;
    return nullptr;
}

// --------------------------------------------------------------- attributes
const char* dos_xattr = "user.DOSATTRIB";

uint32_t dos_bits_of_fd_or_path(int fd, const char* path) {
    char buf[32];
    ssize_t n = fd >= 0 ? fgetxattr(fd, dos_xattr, buf, sizeof buf - 1)
                        : getxattr(path, dos_xattr, buf, sizeof buf - 1);
    if (n <= 0) return 0;
    buf[n] = 0;
    return (uint32_t)std::strtoul(buf, nullptr, 16) & (PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
}

uint32_t attributes_of(const struct stat& st, int fd, const char* path) {
    uint32_t a = 0;
    if (S_ISDIR(st.st_mode))
        a |= PF_ATTR_DIRECTORY;
    else
        a |= PF_ATTR_ARCHIVE;
    if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) a |= PF_ATTR_READONLY;
    a |= dos_bits_of_fd_or_path(fd, path);
    return a;
}

// 100-ns intervals between 1601-01-01 and 1970-01-01.
const uint64_t epoch_offset = 116444736000000000ull;

PfFileTime file_time_of(const struct timespec& ts) {
    uint64_t v = (uint64_t)((int64_t)ts.tv_sec * 10000000 + ts.tv_nsec / 100) + epoch_offset;
    return PfFileTime{(uint32_t)v, (uint32_t)(v >> 32)};
}

uint64_t u64_of(const PfFileTime& t) {
    return ((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

struct timespec timespec_of(const PfFileTime& t) {
    int64_t v = (int64_t)(u64_of(t) - epoch_offset);
    struct timespec ts;
    ts.tv_sec = v / 10000000;
    ts.tv_nsec = (v % 10000000) * 100;
    if (ts.tv_nsec < 0) {
        ts.tv_nsec += 1000000000;
        ts.tv_sec -= 1;
    }
    return ts;
}

PfFileTime creation_time_of(int fd, const struct stat& st) {
#ifdef STATX_BTIME
    struct statx sx;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
        struct timespec ts;
        ts.tv_sec = sx.stx_btime.tv_sec;
        ts.tv_nsec = sx.stx_btime.tv_nsec;
        return file_time_of(ts);
    }
#endif
    return file_time_of(st.st_mtim);
}

// --------------------------------------------------------------- wildcards
bool has_wildcard(const std::string& s) { return s.find_first_of("*?") != std::string::npos; }

}  // namespace

uint32_t pf_last_error() { return last_error; }
void pf_set_last_error(uint32_t code) { last_error = code; }

PfFile pf_open(const char* path, unsigned access, unsigned share, PfDisposition disposition) {
    if (pf_fault_hit(PF_FAULT_OPEN)) return PF_INVALID_FILE;
    if (!path || !*path) {
        last_error = PF_ERROR_PATH_NOT_FOUND;
        return PF_INVALID_FILE;
    }
    struct stat st;
    bool existed = stat(path, &st) == 0;
    if (existed && S_ISDIR(st.st_mode)) {
        last_error = PF_ERROR_ACCESS_DENIED;
        return PF_INVALID_FILE;
    }
    if (existed && open_conflicts(st, access, share)) {
        last_error = PF_ERROR_SHARING_VIOLATION;
        return PF_INVALID_FILE;
    }
    int flags =
        (access & PF_ACCESS_WRITE) ? ((access & PF_ACCESS_READ) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
        case PF_OPEN_EXISTING: break;
        case PF_CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case PF_CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case PF_OPEN_ALWAYS: flags |= O_CREAT; break;
    }
    // Windows opens a read-only file for writing only to refuse it.
    if (existed && (access & PF_ACCESS_WRITE) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
        last_error = PF_ERROR_ACCESS_DENIED;
        return PF_INVALID_FILE;
    }
    int fd = open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail_errno();
        if (disposition == PF_CREATE_NEW && errno == EEXIST) last_error = PF_ERROR_FILE_EXISTS;
        return PF_INVALID_FILE;
    }
    struct stat now;
    fstat(fd, &now);
    open_files.push_back(OpenRecord{fd, now.st_dev, now.st_ino, access, share});
    last_error = 0;
    return fd;
}

int32_t pf_read(PfFile f, void* buf, uint32_t n) {
    if (pf_fault_hit(PF_FAULT_READ)) return -1;
    uint32_t done = 0;
    while (done < n) {
        ssize_t r = read((int)f, (char*)buf + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            fail_errno();
            return -1;
        }
        if (r == 0) break;
        done += (uint32_t)r;
    }
    return (int32_t)done;
}

int32_t pf_write(PfFile f, const void* buf, uint32_t n) {
    pf_observe_write(f, buf, n);
    if (pf_fault_hit(PF_FAULT_WRITE)) return -1;
    uint32_t done = 0;
    while (done < n) {
        ssize_t r = write((int)f, (const char*)buf + done, n - done);
        if (r < 0) {
            if (errno == EINTR) continue;
            fail_errno();
            // Windows reports the bytes that did reach the file; a caller that
            // compares the count sees the short write either way.
            return done ? (int32_t)done : -1;
        }
        done += (uint32_t)r;
    }
    return (int32_t)done;
}

int64_t pf_seek(PfFile f, int64_t offset, PfSeek whence) {
    if (pf_fault_hit(PF_FAULT_SEEK)) return -1;
    int w = whence == PF_SEEK_SET ? SEEK_SET : whence == PF_SEEK_CUR ? SEEK_CUR : SEEK_END;
    off_t r = lseek((int)f, (off_t)offset, w);
    if (r < 0) {
        fail_errno();
        if (errno == EINVAL) last_error = PF_ERROR_NEGATIVE_SEEK;
        return -1;
    }
    return (int64_t)r;
}

bool pf_truncate(PfFile f) {
    if (pf_fault_hit(PF_FAULT_TRUNCATE)) return false;
    off_t pos = lseek((int)f, 0, SEEK_CUR);
    if (pos < 0 || ftruncate((int)f, pos) != 0) {
        fail_errno();
        return false;
    }
    return true;
}

bool pf_flush(PfFile f) {
    if (pf_fault_hit(PF_FAULT_FLUSH)) return false;
    if (fsync((int)f) != 0) {
        fail_errno();
        return false;
    }
    return true;
}

bool pf_close(PfFile f) {
    auto it = std::find_if(open_files.begin(), open_files.end(),
                           [f](const OpenRecord& r) { return r.fd == (int)f; });
    if (it != open_files.end()) open_files.erase(it);
    bool injected = pf_fault_hit(PF_FAULT_CLOSE);
    if (close((int)f) != 0) {
        fail_errno();
        return false;
    }
    return !injected;
}

bool pf_get_file_information(PfFile f, FileInformation* info) {
    if (pf_fault_hit(PF_FAULT_GETINFO)) return false;
    struct stat st;
    if (fstat((int)f, &st) != 0) {
        fail_errno();
        return false;
    }
    std::memset(info, 0, sizeof *info);
    info->dwFileAttributes = attributes_of(st, (int)f, nullptr);
    info->ftCreationTime = creation_time_of((int)f, st);
    info->ftLastAccessTime = file_time_of(st.st_atim);
    info->ftLastWriteTime = file_time_of(st.st_mtim);
    info->dwVolumeSerialNumber = (uint32_t)st.st_dev;
    info->nFileSizeHigh = (uint32_t)((uint64_t)st.st_size >> 32);
    info->nFileSizeLow = (uint32_t)st.st_size;
    info->nNumberOfLinks = (uint32_t)st.st_nlink;
    info->nFileIndexHigh = (uint32_t)((uint64_t)st.st_ino >> 32);
    info->nFileIndexLow = (uint32_t)st.st_ino;
    return true;
}

bool pf_set_file_time(PfFile f, const PfFileTime* creation, const PfFileTime* access,
                      const PfFileTime* write) {
    if (pf_fault_hit(PF_FAULT_SETTIME)) return false;
    OpenRecord* r = record_of(f);
    if (r && !(r->access & PF_ACCESS_WRITE)) {
        last_error = PF_ERROR_ACCESS_DENIED;
        return false;
    }
    struct timespec ts[2];
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1].tv_nsec = UTIME_OMIT;
    // A zero FILETIME means "leave unchanged", as in the Windows file system
    // drivers.
    if (access && u64_of(*access)) ts[0] = timespec_of(*access);
    if (write && u64_of(*write)) ts[1] = timespec_of(*write);
    if (futimens((int)f, ts) != 0) {
        fail_errno();
        return false;
    }
    return true;
}

uint32_t pf_get_attributes(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) {
        fail_errno();
        return PF_INVALID_ATTRIBUTES;
    }
    return attributes_of(st, -1, path);
}

bool pf_set_attributes(const char* path, uint32_t attributes) {
    if (pf_fault_hit(PF_FAULT_SETATTR)) return false;
    struct stat st;
    if (stat(path, &st) != 0) {
        fail_errno();
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    mode_t writable = S_IWUSR | S_IWGRP | S_IWOTH;
    if (attributes & PF_ATTR_READONLY)
        mode &= ~writable;
    else if (!(mode & writable))
        mode |= S_IWUSR;
    // Extended attributes need write permission (except for root): they are
    // written while the file is still, or already again, writable.
    auto set_dos_bits = [path, attributes] {
        uint32_t dos = attributes & (PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
        if (dos) {
            char buf[16];
            int n = snprintf(buf, sizeof buf, "0x%x", dos);
            setxattr(path, dos_xattr, buf, (size_t)n, 0);  // dropped where unsupported
        } else {
            removexattr(path, dos_xattr);
        }
    };
    if (attributes & PF_ATTR_READONLY) set_dos_bits();
    if (mode != (st.st_mode & 07777) && chmod(path, mode) != 0) {
        fail_errno();
        return false;
    }
    if (!(attributes & PF_ATTR_READONLY)) set_dos_bits();
    return true;
}

bool pf_find_first(const char* pattern, PfFindData* out) {
    if (pf_fault_hit(PF_FAULT_FIND)) return false;
    std::string p = pattern ? pattern : "";
    size_t slash = p.find_last_of('/');
    std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : p.substr(0, slash));
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name.empty()) {
        last_error = PF_ERROR_FILE_NOT_FOUND;
        return false;
    }
    if (has_wildcard(dir)) {
        last_error = PF_ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::string found;
    if (!has_wildcard(name)) {
        struct stat st;
        if (stat(p.c_str(), &st) != 0) {
            fail_errno();
            return false;
        }
        found = name;
    } else {
        // "*.*" matches every name, with or without a dot, as on Windows.
        if (name.size() >= 2 && name.compare(name.size() - 2, 2, ".*") == 0)
            name = name.substr(0, name.size() - 2) + "*";
        DIR* d = opendir(dir.c_str());
        if (!d) {
            fail_errno();
            if (last_error == PF_ERROR_FILE_NOT_FOUND) last_error = PF_ERROR_PATH_NOT_FOUND;
            return false;
        }
        std::vector<std::string> names;
        while (struct dirent* e = readdir(d)) {
            if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
            if (fnmatch(name.c_str(), e->d_name, FNM_CASEFOLD | FNM_PERIOD * 0) == 0)
                names.push_back(e->d_name);
        }
        closedir(d);
        if (names.empty()) {
            last_error = PF_ERROR_FILE_NOT_FOUND;
            return false;
        }
        std::sort(names.begin(), names.end());
        found = names.front();
    }
    if (out) {
        std::memset(out, 0, sizeof *out);
        std::string full = dir + "/" + found;
        struct stat st;
        if (stat(full.c_str(), &st) == 0) {
            out->dwFileAttributes = attributes_of(st, -1, full.c_str());
            out->ftCreationTime = file_time_of(st.st_mtim);
            out->ftLastAccessTime = file_time_of(st.st_atim);
            out->ftLastWriteTime = file_time_of(st.st_mtim);
            out->nFileSizeHigh = (uint32_t)((uint64_t)st.st_size >> 32);
            out->nFileSizeLow = (uint32_t)st.st_size;
        }
        std::snprintf(out->cFileName, sizeof out->cFileName, "%s", found.c_str());
    }
    return true;
}

bool pf_move(const char* from, const char* to) {
    if (pf_fault_hit(PF_FAULT_MOVE)) return false;
    struct stat st;
    if (lstat(from, &st) != 0) {
        fail_errno();
        return false;
    }
    if (lstat(to, &st) == 0) {
        last_error = PF_ERROR_ALREADY_EXISTS;
        return false;
    }
    if (delete_blocked(from)) {
        last_error = PF_ERROR_SHARING_VIOLATION;
        return false;
    }
    if (rename(from, to) != 0) {
        fail_errno();
        return false;
    }
    return true;
}

bool pf_delete(const char* path) {
    if (pf_fault_hit(PF_FAULT_DELETE)) return false;
    struct stat st;
    if (lstat(path, &st) != 0) {
        fail_errno();
        return false;
    }
    if (S_ISDIR(st.st_mode) || !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
        last_error = PF_ERROR_ACCESS_DENIED;
        return false;
    }
    if (delete_blocked(path)) {
        last_error = PF_ERROR_SHARING_VIOLATION;
        return false;
    }
    if (unlink(path) != 0) {
        fail_errno();
        return false;
    }
    return true;
}

bool pf_disk_free_space(uint32_t* sectors_per_cluster, uint32_t* bytes_per_sector,
                        uint32_t* free_clusters, uint32_t* total_clusters) {
    if (pf_fault_hit(PF_FAULT_DISKFREE)) return false;
    struct statvfs sv;
    if (statvfs(".", &sv) != 0) {
        fail_errno();
        return false;
    }
    uint64_t frsize = sv.f_frsize ? sv.f_frsize : sv.f_bsize;
    uint32_t bps = 512;
    uint32_t spc = frsize >= bps ? (uint32_t)(frsize / bps) : 1;
    uint64_t cluster = (uint64_t)spc * bps;
    uint64_t free_c = (uint64_t)sv.f_bavail * frsize / cluster;
    uint64_t total_c = (uint64_t)sv.f_blocks * frsize / cluster;
    *sectors_per_cluster = spc;
    *bytes_per_sector = bps;
    *free_clusters = (uint32_t)std::min<uint64_t>(free_c, 0xFFFFFFFFu);
    if (total_clusters) *total_clusters = (uint32_t)std::min<uint64_t>(total_c, 0xFFFFFFFFu);
    return true;
}

bool pf_get_current_directory(char* buf, uint32_t size) {
    if (!getcwd(buf, size)) {
        fail_errno();
        return false;
    }
    return true;
}

bool pf_set_current_directory(const char* path) {
    if (chdir(path) != 0) {
        fail_errno();
        return false;
    }
    return true;
}

bool pf_get_full_path(const char* path, char* buf, uint32_t size) {
    std::string full;
    if (path[0] == '/') {
        full = path;
    } else {
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd)) {
            fail_errno();
            return false;
        }
        full = std::string(cwd) + "/" + path;
    }
    if (full.size() + 1 > size) {
        last_error = PF_ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    std::memcpy(buf, full.c_str(), full.size() + 1);
    return true;
}

bool pf_resolve_path(const char* path, char* buf, uint32_t size) {
    if (pf_fault_hit(PF_FAULT_RESOLVE)) return false;
    char* full = realpath(path, nullptr);
    if (!full) {
        fail_errno();
        return false;
    }
    size_t n = std::strlen(full);
    bool fits = n + 1 <= size;
    if (fits)
        std::memcpy(buf, full, n + 1);
    else
        last_error = PF_ERROR_FILENAME_EXCED_RANGE;
    std::free(full);
    return fits;
}

bool pf_replace(const char* replaced, const char* replacement, const char* backup) {
    if (pf_fault_hit(PF_FAULT_REPLACE)) return false;
    struct stat st, rst;
    if (lstat(replacement, &rst) != 0 || stat(replaced, &st) != 0) {
        fail_errno();
        return false;
    }
    if (delete_blocked(replaced) || delete_blocked(replacement)) {
        last_error = PF_ERROR_SHARING_VIOLATION;
        return false;
    }
    // The identity the name carries: mode, owner where we may give it, the
    // hidden and system bits.
    if (chmod(replacement, st.st_mode & 07777) != 0) {
        fail_errno();
        return false;
    }
    if (chown(replacement, st.st_uid, st.st_gid) != 0) {
        int ignored = chown(replacement, (uid_t)-1, st.st_gid);  // group only
        (void)ignored;
    }
    char dos[32];
    ssize_t n = getxattr(replaced, dos_xattr, dos, sizeof dos);
    if (n > 0) setxattr(replacement, dos_xattr, dos, (size_t)n, 0);
    // The old file stays reachable under backup (a second name, not a copy)
    // until the caller wipes it.  Where the file system has no hard links
    // the old file simply goes with the rename.
    bool linked = backup && link(replaced, backup) == 0;
    if (rename(replacement, replaced) != 0) {
        fail_errno();
        uint32_t err = last_error;
        if (linked) unlink(backup);
        last_error = err;
        return false;
    }
    std::string folder = replaced;
    size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);  // refused by some file systems: the rename stands either way
        close(dir);
    }
    return true;
}

// ------------------------------------------------------- DOS date and time

namespace {
// Days from 1970-01-01 to y-m-d (proleptic Gregorian).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = (unsigned)(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + (int64_t)doe - 719468;
}

void civil_from_days(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = (unsigned)(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = (int64_t)yoe + era * 400 + (*m <= 2);
}

bool leap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
}  // namespace

bool pf_file_time_to_dos(const PfFileTime* ft, uint16_t* date, uint16_t* time) {
    uint64_t v = u64_of(*ft);
    int64_t secs = (int64_t)(v / 10000000) - 11644473600LL;
    int64_t days = secs >= 0 ? secs / 86400 : (secs - 86399) / 86400;
    int64_t rem = secs - days * 86400;
    int64_t y;
    unsigned m, d;
    civil_from_days(days, &y, &m, &d);
    if (y < 1980) {
        last_error = PF_ERROR_INVALID_PARAMETER;
        return false;
    }
    unsigned hh = (unsigned)(rem / 3600), mm = (unsigned)(rem / 60 % 60), ss = (unsigned)(rem % 60);
    *time = (uint16_t)((hh << 11) + (mm << 5) + ss / 2);
    *date = (uint16_t)(((y - 1980) << 9) + (m << 5) + d);
    return true;
}

bool pf_dos_to_file_time(uint16_t date, uint16_t time, PfFileTime* ft) {
    int64_t y = (date >> 9) + 1980;
    unsigned m = (date >> 5) & 0x0F, d = date & 0x1F;
    unsigned hh = time >> 11, mm = (time >> 5) & 0x3F, ss = (time & 0x1F) * 2;
    static const unsigned mdays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12 || d < 1 || d > mdays[m - 1] + (m == 2 && leap(y)) || hh > 23 || mm > 59 ||
        ss > 59) {
        last_error = PF_ERROR_INVALID_PARAMETER;
        return false;
    }
    int64_t secs = days_from_civil(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss;
    uint64_t v = (uint64_t)(secs + 11644473600LL) * 10000000ull;
    ft->dwLowDateTime = (uint32_t)v;
    ft->dwHighDateTime = (uint32_t)(v >> 32);
    return true;
}

// ------------------------------------------------------------ global memory

namespace {
struct GlobalHeader {
    uint32_t size;
    uint32_t locks;
    uint64_t pad;  // keeps the data 16-byte aligned
};
}  // namespace

PfGlobal pf_global_alloc(uint32_t size) {
    if (pf_fault_hit(PF_FAULT_ALLOC)) return nullptr;
    auto* h = (GlobalHeader*)std::calloc(1, sizeof(GlobalHeader) + size);
    if (!h) {
        last_error = PF_ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    h->size = size;
    return h;
}

PfGlobal pf_global_realloc(PfGlobal g, uint32_t size) {
    if (pf_fault_hit(PF_FAULT_ALLOC)) return nullptr;
    auto* h = (GlobalHeader*)g;
    uint32_t old = h->size;
    auto* n = (GlobalHeader*)std::realloc(h, sizeof(GlobalHeader) + size);
    if (!n) {
        last_error = PF_ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if (size > old) std::memset((char*)(n + 1) + old, 0, size - old);
    n->size = size;
    return n;
}

void* pf_global_lock(PfGlobal g) {
    if (!g) return nullptr;
    auto* h = (GlobalHeader*)g;
    ++h->locks;
    return h + 1;
}

void pf_global_unlock(PfGlobal g) {
    if (g && ((GlobalHeader*)g)->locks) --((GlobalHeader*)g)->locks;
}

void pf_global_free(PfGlobal g) { std::free(g); }

uint32_t pf_global_size(PfGlobal g) { return g ? ((GlobalHeader*)g)->size : 0; }

void pf_cursor_wait() {}
void pf_cursor_arrow() {}
