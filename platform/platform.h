// The thin platform layer under the portable core.
//
// Everything the core needs of the operating system goes through these
// functions.  Two twins implement them: platform_win32.cpp (the real kernel32
// calls) and platform_posix.cpp (our own layer with the same observable
// behaviour).  Failing calls set the last-error code to a Win32 error value on
// both targets, so messages that print it read the same everywhere.
//
// Every file call first asks the fault injector (platform/fault.h) whether it
// should fail; tests use that to make failures happen.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- error codes
// Win32 values, used by both twins.
enum : uint32_t {
    PF_ERROR_SUCCESS = 0,
    PF_ERROR_FILE_NOT_FOUND = 2,
    PF_ERROR_PATH_NOT_FOUND = 3,
    PF_ERROR_ACCESS_DENIED = 5,
    PF_ERROR_INVALID_HANDLE = 6,
    PF_ERROR_NOT_ENOUGH_MEMORY = 8,
    PF_ERROR_WRITE_FAULT = 29,
    PF_ERROR_READ_FAULT = 30,
    PF_ERROR_GEN_FAILURE = 31,
    PF_ERROR_SHARING_VIOLATION = 32,
    PF_ERROR_HANDLE_EOF = 38,
    PF_ERROR_FILE_EXISTS = 80,
    PF_ERROR_INVALID_PARAMETER = 87,
    PF_ERROR_DISK_FULL = 112,
    PF_ERROR_NEGATIVE_SEEK = 131,
    PF_ERROR_DIR_NOT_EMPTY = 145,
    PF_ERROR_ALREADY_EXISTS = 183,
    PF_ERROR_FILENAME_EXCED_RANGE = 206,
    PF_ERROR_UNABLE_TO_REMOVE_REPLACED = 1175,
};

uint32_t pf_last_error();
void pf_set_last_error(uint32_t code);

// ----------------------------------------------------------- file attributes
enum : uint32_t {
    PF_ATTR_READONLY = 0x01,
    PF_ATTR_HIDDEN = 0x02,
    PF_ATTR_SYSTEM = 0x04,
    PF_ATTR_DIRECTORY = 0x10,
    PF_ATTR_ARCHIVE = 0x20,
    PF_ATTR_NORMAL = 0x80,
    PF_INVALID_ATTRIBUTES = 0xFFFFFFFFu,
};

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC, split in halves.
struct PfFileTime {
    uint32_t dwLowDateTime;
    uint32_t dwHighDateTime;
};

// The platform's file information record in its published layout
// (BY_HANDLE_FILE_INFORMATION).
struct FileInformation {
    uint32_t dwFileAttributes;
    PfFileTime ftCreationTime;
    PfFileTime ftLastAccessTime;
    PfFileTime ftLastWriteTime;
    uint32_t dwVolumeSerialNumber;
    uint32_t nFileSizeHigh;
    uint32_t nFileSizeLow;
    uint32_t nNumberOfLinks;
    uint32_t nFileIndexHigh;
    uint32_t nFileIndexLow;
};
static_assert(sizeof(FileInformation) == 52, "BY_HANDLE_FILE_INFORMATION layout");

// The part of WIN32_FIND_DATA the program reads.
struct PfFindData {
    uint32_t dwFileAttributes;
    PfFileTime ftCreationTime;
    PfFileTime ftLastAccessTime;
    PfFileTime ftLastWriteTime;
    uint32_t nFileSizeHigh;
    uint32_t nFileSizeLow;
    char cFileName[260];
};

// ---------------------------------------------------------------- file handles
typedef intptr_t PfFile;
const PfFile PF_INVALID_FILE = -1;

enum : unsigned { PF_ACCESS_READ = 1, PF_ACCESS_WRITE = 2 };
enum : unsigned { PF_SHARE_NONE = 0, PF_SHARE_READ = 1, PF_SHARE_WRITE = 2, PF_SHARE_DELETE = 4 };
enum PfDisposition {
    PF_OPEN_EXISTING,  // fails when missing
    PF_CREATE_ALWAYS,  // creates or truncates
    PF_CREATE_NEW,     // fails when it exists
    PF_OPEN_ALWAYS,    // opens or creates
};
enum PfSeek { PF_SEEK_SET = 0, PF_SEEK_CUR = 1, PF_SEEK_END = 2 };

// CreateFileA.  The share mode is honoured between handles of this process on
// POSIX (a process-wide table keyed by device and inode), and by the system on
// Windows.
PfFile pf_open(const char* path, unsigned access, unsigned share, PfDisposition disposition);
// Returns the bytes transferred (0 at end of file), or -1 on failure.
int32_t pf_read(PfFile f, void* buf, uint32_t n);
int32_t pf_write(PfFile f, const void* buf, uint32_t n);
// Returns the new position, or -1 on failure.
int64_t pf_seek(PfFile f, int64_t offset, PfSeek whence);
// SetEndOfFile: cuts or extends the file at the current position.
bool pf_truncate(PfFile f);
// FlushFileBuffers: forces the written data to the medium.
bool pf_flush(PfFile f);
bool pf_close(PfFile f);
// GetFileInformationByHandle.
bool pf_get_file_information(PfFile f, FileInformation* info);
// SetFileTime; a null pointer, or a time of zero, leaves that stamp unchanged.
bool pf_set_file_time(PfFile f, const PfFileTime* creation, const PfFileTime* access,
                      const PfFileTime* write);

// --------------------------------------------------------- operations on names
uint32_t pf_get_attributes(const char* path);  // PF_INVALID_ATTRIBUTES on failure
bool pf_set_attributes(const char* path, uint32_t attributes);
// FindFirstFileA + FindClose: true when a file matches; the first match is
// copied into *out when out is not null.  '*' and '?' match case-insensitively.
bool pf_find_first(const char* pattern, PfFindData* out);
// MoveFileA: refuses an existing target.
bool pf_move(const char* from, const char* to);
bool pf_delete(const char* path);
// GetDiskFreeSpaceA(NULL, ...): the drive of the current directory.
bool pf_disk_free_space(uint32_t* sectors_per_cluster, uint32_t* bytes_per_sector,
                        uint32_t* free_clusters, uint32_t* total_clusters);
bool pf_get_current_directory(char* buf, uint32_t size);
bool pf_set_current_directory(const char* path);
// GetFullPathNameA.
bool pf_get_full_path(const char* path, char* buf, uint32_t size);
// The full path of the file that path names, every symbolic link on the way
// followed (GetFinalPathNameByHandleA; realpath).  False with the last error
// when the file is missing or the result does not fit.
bool pf_resolve_path(const char* path, char* buf, uint32_t size);
// ReplaceFileA: replacement takes the name of replaced, which keeps its
// identity as far as the system allows (Windows: security descriptor,
// encryption, streams, attributes, creation time; POSIX: mode, extended
// attributes and, where allowed, owner; the folder is flushed).  The old file
// stays under backup.  On failure both files are still at their own names
// (a replaced file that the system left under backup is moved back).
bool pf_replace(const char* replaced, const char* replacement, const char* backup);

// ------------------------------------------------------------ time conversion
// FileTimeToDosDateTime / DosDateTimeToFileTime (no time-zone shift).
bool pf_file_time_to_dos(const PfFileTime* ft, uint16_t* date, uint16_t* time);
bool pf_dos_to_file_time(uint16_t date, uint16_t time, PfFileTime* ft);

// ------------------------------------------------------- global memory blocks
// GlobalAlloc(GHND) family: zero-filled, movable, locked for access.
typedef void* PfGlobal;
PfGlobal pf_global_alloc(uint32_t size);
// Grows or shrinks the block; new bytes are zero.  Null on failure (the old
// block stays valid).
PfGlobal pf_global_realloc(PfGlobal h, uint32_t size);
void* pf_global_lock(PfGlobal h);
void pf_global_unlock(PfGlobal h);
void pf_global_free(PfGlobal h);
uint32_t pf_global_size(PfGlobal h);

// ---------------------------------------------------------------------- cursor
void pf_cursor_wait();
void pf_cursor_arrow();
