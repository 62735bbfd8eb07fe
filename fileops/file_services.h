// File services: derived names, attributes and time stamps, sizes, renaming,
// free space, existence tests and DOS stamps.
//
// Every service reports its own failure in a message box (caption
// "Lockquill(TM) ERROR: <service>", style 16) and leaves the text in
// szMessageBuffer.  Not re-entrant: one user-interface thread.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"
#include "platform/ui.h"

// Every operation and service formats its message text here.
const size_t LQ_MESSAGE_BUFFER_SIZE = 4096;
extern char szMessageBuffer[LQ_MESSAGE_BUFFER_SIZE];

// Full paths held by the program (the open dialog's buffer is 256 characters).
const size_t LQ_MAX_PATH = 260;

// The open dialog's results, read by the operations: the chosen full path and
// the chosen name without folders.  The editor's dialogs fill them; the
// command-line tool and the tests set them directly.
extern char szFileName[256];
extern char szFileTitle[128];

// szMessageBuffer = printf(fmt, ...), cut to the buffer.
void lq_message_format(const char* fmt, ...);
// Appends printf(fmt, ...) to szMessageBuffer.
void lq_message_append(const char* fmt, ...);
// Shows szMessageBuffer under caption; returns the answer.
int lq_message_show(const char* caption, unsigned style);

// Writes all n bytes, looping over short writes.  False when a write fails
// or makes no progress.
bool lq_write_all(PfFile f, const void* data, uint32_t n);

// Target = source with its last extension replaced by ext (ext kept in its own
// case).  Returns 0; -1 (message, target empty) when the source already has
// that extension, compared ignoring case, or when the name would not fit
// LQ_MAX_PATH characters with its terminating zero; the target must hold
// LQ_MAX_PATH characters.  A dot inside a folder name is no extension:
// '\' and '/' both end a folder name.
int iMakeExtendedFilename(char* target, const char* source, const char* ext);

// Fills info from the file and clears its read-only flag (the record keeps
// it).  Returns 0, or 1 after its message.
int iGetDateTimeAttribsRemoveReadOnly(const char* path, FileInformation* info);

// Puts back the three times and the attributes of info.  Returns 0, or 1
// after its message.
int iSetDateTimeAttribs(const char* path, const FileInformation* info);

// Size in bytes; -10 when the file cannot be opened, -1 when its size cannot
// be read (message shown for both).  Sizes above 2^31-1 read as -1.
int32_t lGetFileSize(const char* path);

// The signed little-endian 16-bit value in the file's last two bytes, or an
// internal error code -1 (empty or missing), -2 (open failed), -3 (short
// read), -4 (file of 1 or 2 bytes, or seek failure) after its message.
int16_t sGetShortEndValue(const char* path);

// MoveFileA.  0, or -1 after its message.
int iRename(const char* old_path, const char* new_path);

// Free bytes on the drive of the current directory, clamped to 2147483647;
// -1 on failure (message) or for a null or empty path (no message).
int32_t lGetDiskFree(const char* path);

// True when at least one file matches the path or wildcard pattern; the
// first match goes to find_data when it is not null.  A false result shows a
// message only when report is set.
bool bDoesFileExist(const char* pattern, PfFindData* find_data, bool report);

// DOS date and time into the last-write time; attributes from the four DOS
// bits (0x01, 0x02, 0x04, 0x20).  0, or -1 after its message.
int iDateTimeAttribeToByHandleFileInformation(FileInformation* info, uint16_t date, uint16_t time,
                                              uint16_t attributes);

// The last-write time as DOS date and time, and the four DOS attribute bits.
// 0, or -1 after its message.
int iByHandleFileInformationToDateTimeAttribute(uint16_t* date, uint16_t* time,
                                                uint16_t* attributes, const FileInformation* info);
