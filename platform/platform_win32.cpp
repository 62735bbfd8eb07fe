// Win32 twin of the platform layer: the kernel32 calls themselves.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/fault.h"
#include "platform/platform.h"

static_assert(sizeof(FileInformation) == sizeof(BY_HANDLE_FILE_INFORMATION),
              "FileInformation mirrors BY_HANDLE_FILE_INFORMATION");
static_assert(sizeof(PfFileTime) == sizeof(FILETIME), "PfFileTime mirrors FILETIME");

namespace {
HANDLE handle_of(PfFile f) { return (HANDLE)f; }

FILETIME ft_of(const PfFileTime& t) {
    FILETIME f;
    f.dwLowDateTime = t.dwLowDateTime;
    f.dwHighDateTime = t.dwHighDateTime;
    return f;
}

PfFileTime pf_of(const FILETIME& f) { return PfFileTime{f.dwLowDateTime, f.dwHighDateTime}; }
}  // namespace

uint32_t pf_last_error() { return GetLastError(); }
void pf_set_last_error(uint32_t code) { SetLastError(code); }

PfFile pf_open(const char* path, unsigned access, unsigned share, PfDisposition disposition) {
    if (pf_fault_hit(PF_FAULT_OPEN)) return PF_INVALID_FILE;
    DWORD acc = ((access & PF_ACCESS_READ) ? GENERIC_READ : 0) |
                ((access & PF_ACCESS_WRITE) ? GENERIC_WRITE : 0);
    DWORD sh = ((share & PF_SHARE_READ) ? FILE_SHARE_READ : 0) |
               ((share & PF_SHARE_WRITE) ? FILE_SHARE_WRITE : 0) |
               ((share & PF_SHARE_DELETE) ? FILE_SHARE_DELETE : 0);
    DWORD disp = OPEN_EXISTING;
    switch (disposition) {
        case PF_OPEN_EXISTING: disp = OPEN_EXISTING; break;
        case PF_CREATE_ALWAYS: disp = CREATE_ALWAYS; break;
        case PF_CREATE_NEW: disp = CREATE_NEW; break;
        case PF_OPEN_ALWAYS: disp = OPEN_ALWAYS; break;
    }
    HANDLE h = CreateFileA(path, acc, sh, nullptr, disp, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return PF_INVALID_FILE;
    // Device names (CON, NUL, COM1, pipes) open as character devices or
    // pipes: the file tools work on disk files only.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        SetLastError(ERROR_ACCESS_DENIED);
        return PF_INVALID_FILE;
    }
    SetLastError(0);
    return (PfFile)h;
}

int32_t pf_read(PfFile f, void* buf, uint32_t n) {
    if (pf_fault_hit(PF_FAULT_READ)) return -1;
    DWORD got = 0;
    if (!ReadFile(handle_of(f), buf, n, &got, nullptr)) return -1;
    return (int32_t)got;
}

int32_t pf_write(PfFile f, const void* buf, uint32_t n) {
    pf_observe_write(f, buf, n);
    if (pf_fault_hit(PF_FAULT_WRITE)) return -1;
    DWORD put = 0;
    if (!WriteFile(handle_of(f), buf, n, &put, nullptr)) return put ? (int32_t)put : -1;
    return (int32_t)put;
}

int64_t pf_seek(PfFile f, int64_t offset, PfSeek whence) {
    if (pf_fault_hit(PF_FAULT_SEEK)) return -1;
    LARGE_INTEGER d, now;
    d.QuadPart = offset;
    DWORD w = whence == PF_SEEK_SET ? FILE_BEGIN : whence == PF_SEEK_CUR ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(handle_of(f), d, &now, w)) return -1;
    return now.QuadPart;
}

bool pf_truncate(PfFile f) {
    if (pf_fault_hit(PF_FAULT_TRUNCATE)) return false;
    return SetEndOfFile(handle_of(f)) != 0;
}

bool pf_flush(PfFile f) {
    if (pf_fault_hit(PF_FAULT_FLUSH)) return false;
    return FlushFileBuffers(handle_of(f)) != 0;
}

bool pf_close(PfFile f) {
    bool injected = pf_fault_hit(PF_FAULT_CLOSE);
    return CloseHandle(handle_of(f)) != 0 && !injected;
}

bool pf_get_file_information(PfFile f, FileInformation* info) {
    if (pf_fault_hit(PF_FAULT_GETINFO)) return false;
    BY_HANDLE_FILE_INFORMATION bh;
    if (!GetFileInformationByHandle(handle_of(f), &bh)) return false;
    info->dwFileAttributes = bh.dwFileAttributes;
    info->ftCreationTime = pf_of(bh.ftCreationTime);
    info->ftLastAccessTime = pf_of(bh.ftLastAccessTime);
    info->ftLastWriteTime = pf_of(bh.ftLastWriteTime);
    info->dwVolumeSerialNumber = bh.dwVolumeSerialNumber;
    info->nFileSizeHigh = bh.nFileSizeHigh;
    info->nFileSizeLow = bh.nFileSizeLow;
    info->nNumberOfLinks = bh.nNumberOfLinks;
    info->nFileIndexHigh = bh.nFileIndexHigh;
    info->nFileIndexLow = bh.nFileIndexLow;
    return true;
}

bool pf_set_file_time(PfFile f, const PfFileTime* creation, const PfFileTime* access,
                      const PfFileTime* write) {
    if (pf_fault_hit(PF_FAULT_SETTIME)) return false;
    FILETIME c, a, w;
    if (creation) c = ft_of(*creation);
    if (access) a = ft_of(*access);
    if (write) w = ft_of(*write);
    return SetFileTime(handle_of(f), creation ? &c : nullptr, access ? &a : nullptr,
                       write ? &w : nullptr) != 0;
}

uint32_t pf_get_attributes(const char* path) { return GetFileAttributesA(path); }

bool pf_set_attributes(const char* path, uint32_t attributes) {
    if (pf_fault_hit(PF_FAULT_SETATTR)) return false;
    return SetFileAttributesA(path, attributes) != 0;
}

bool pf_find_first(const char* pattern, PfFindData* out) {
    if (pf_fault_hit(PF_FAULT_FIND)) return false;
    WIN32_FIND_DATAA fd;
    std::memset(&fd, 0, sizeof fd);
    HANDLE h = FindFirstFileA(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    if (out) {
        std::memset(out, 0, sizeof *out);
        out->dwFileAttributes = fd.dwFileAttributes;
        out->ftCreationTime = pf_of(fd.ftCreationTime);
        out->ftLastAccessTime = pf_of(fd.ftLastAccessTime);
        out->ftLastWriteTime = pf_of(fd.ftLastWriteTime);
        out->nFileSizeHigh = fd.nFileSizeHigh;
        out->nFileSizeLow = fd.nFileSizeLow;
        std::memcpy(out->cFileName, fd.cFileName, sizeof out->cFileName);
    }
    return true;
}

bool pf_move(const char* from, const char* to) {
    if (pf_fault_hit(PF_FAULT_MOVE)) return false;
    return MoveFileA(from, to) != 0;
}

bool pf_delete(const char* path) {
    if (pf_fault_hit(PF_FAULT_DELETE)) return false;
    return DeleteFileA(path) != 0;
}

bool pf_disk_free_space(uint32_t* sectors_per_cluster, uint32_t* bytes_per_sector,
                        uint32_t* free_clusters, uint32_t* total_clusters) {
    if (pf_fault_hit(PF_FAULT_DISKFREE)) return false;
    DWORD spc = 0, bps = 0, fc = 0, tc = 0;
    if (!GetDiskFreeSpaceA(nullptr, &spc, &bps, &fc, &tc)) return false;
    *sectors_per_cluster = spc;
    *bytes_per_sector = bps;
    *free_clusters = fc;
    if (total_clusters) *total_clusters = tc;
    return true;
}

uint64_t pf_physical_memory() {
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? (uint64_t)status.ullTotalPhys : 0;
}

bool pf_get_current_directory(char* buf, uint32_t size) {
    DWORD n = GetCurrentDirectoryA(size, buf);
    return n > 0 && n < size;
}

bool pf_set_current_directory(const char* path) { return SetCurrentDirectoryA(path) != 0; }

bool pf_get_full_path(const char* path, char* buf, uint32_t size) {
    DWORD n = GetFullPathNameA(path, size, buf, nullptr);
    return n > 0 && n < size;
}

bool pf_resolve_path(const char* path, char* buf, uint32_t size) {
    if (pf_fault_hit(PF_FAULT_RESOLVE)) return false;
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char full[1024];
    DWORD n = GetFinalPathNameByHandleA(h, full, sizeof full, FILE_NAME_NORMALIZED);
    DWORD err = GetLastError();
    CloseHandle(h);
    if (n == 0 || n >= sizeof full) {
        SetLastError(n ? ERROR_FILENAME_EXCED_RANGE : err);
        return false;
    }
    // "\\?\C:\..." and "\\?\UNC\server\...": the forms without the prefix.
    const char* p = full;
    char unc[1024];
    if (!std::strncmp(p, "\\\\?\\UNC\\", 8)) {
        std::snprintf(unc, sizeof unc, "\\\\%s", p + 8);
        p = unc;
    } else if (!std::strncmp(p, "\\\\?\\", 4)) {
        p += 4;
    }
    if (std::strlen(p) + 1 > size) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    std::strcpy(buf, p);
    return true;
}

bool pf_replace(const char* replaced, const char* replacement, const char* backup) {
    if (pf_fault_hit(PF_FAULT_REPLACE)) return false;
    if (ReplaceFileA(replaced, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
        return true;
    DWORD err = GetLastError();
    // The replaced file was moved to the backup name and the replacement
    // could not follow: the old file goes back to its own name.
    if (err == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 && backup) MoveFileA(backup, replaced);
    SetLastError(err);
    return false;
}

bool pf_file_time_to_dos(const PfFileTime* ft, uint16_t* date, uint16_t* time) {
    // Windows refuses times from 2108 on (seven bits of year); Wine 8 wraps
    // them to 1980 and on, so the twin refuses them itself.
    const uint64_t year_2108 = 159992928000000000ull;
    if (((uint64_t)ft->dwHighDateTime << 32 | ft->dwLowDateTime) >= year_2108) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    FILETIME f = ft_of(*ft);
    WORD d = 0, t = 0;
    if (!FileTimeToDosDateTime(&f, &d, &t)) return false;
    *date = d;
    *time = t;
    return true;
}

bool pf_dos_to_file_time(uint16_t date, uint16_t time, PfFileTime* ft) {
    // Wine 8 takes February 29 of any year; the twin refuses it outside leap
    // years itself, as Windows and the POSIX twin do.
    const unsigned year = (date >> 9) + 1980u, month = (date >> 5) & 0x0F, day = date & 0x1F;
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (month == 2 && day == 29 && !leap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    FILETIME f;
    if (!DosDateTimeToFileTime(date, time, &f)) return false;
    *ft = pf_of(f);
    return true;
}

PfGlobal pf_global_alloc(uint32_t size) {
    if (pf_fault_hit(PF_FAULT_ALLOC)) return nullptr;
    return GlobalAlloc(GHND, size);
}

PfGlobal pf_global_realloc(PfGlobal h, uint32_t size) {
    if (pf_fault_hit(PF_FAULT_ALLOC)) return nullptr;
    return GlobalReAlloc((HGLOBAL)h, size, GMEM_MOVEABLE | GMEM_ZEROINIT);
}

void* pf_global_lock(PfGlobal h) { return h ? GlobalLock((HGLOBAL)h) : nullptr; }
void pf_global_unlock(PfGlobal h) {
    if (h) GlobalUnlock((HGLOBAL)h);
}
void pf_global_free(PfGlobal h) {
    if (h) GlobalFree((HGLOBAL)h);
}
uint32_t pf_global_size(PfGlobal h) { return h ? (uint32_t)GlobalSize((HGLOBAL)h) : 0; }

void pf_cursor_wait() { SetCursor(LoadCursor(nullptr, IDC_WAIT)); }
void pf_cursor_arrow() { SetCursor(LoadCursor(nullptr, IDC_ARROW)); }
