// Buffered file streams of the UU operations, over the platform file layer.
//
// Text mode is the same on every platform: reading turns CR LF into LF,
// writing turns LF into CR LF, and nothing else changes (a 0x1A byte is data,
// not an end of file).  Raw mode passes every byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/platform.h"

// Bytes read or written per call of the platform layer; 64 KiB keeps the
// buffer in the processor's cache between the copy and the coding.
const size_t UU_STREAM_CHUNK = 64 * 1024;

struct UuStream {
    PfFile file = PF_INVALID_FILE;
    bool text = false;
    bool writing = false;
    bool failed = false;      // a read or write of the platform layer failed
    bool at_end = false;      // reading: the file has no more bytes
    bool pending_cr = false;  // text reading: a CR ended the last raw chunk
    std::unique_ptr<char[]> buf;
    size_t pos = 0, end = 0;  // reading: unread bytes are buf[pos, end)
    size_t cap = 0;
    std::unique_ptr<char[]> scratch;  // lines that straddle two chunks

    UuStream() = default;
    UuStream(const UuStream&) = delete;
    UuStream& operator=(const UuStream&) = delete;
    ~UuStream();
};

// Opens an existing file for reading (read sharing).  False when it cannot be
// opened (the platform's last error tells why).
bool uu_open_read(UuStream& s, const char* path, bool text);
// Creates or truncates a file for writing.
bool uu_open_write(UuStream& s, const char* path, bool text);
bool uu_is_open(const UuStream& s);

// Reading as fgets does: at most max characters, up to and including the
// next line feed.  Returns the line (valid until the next call on the stream)
// and its length in *len, or null at the end of the file or after a failed
// read (check s.failed).  A line longer than max comes in pieces.  max must
// not exceed UU_STREAM_MAX_LINE.
const size_t UU_STREAM_MAX_LINE = 1024;
const char* uu_read_line(UuStream& s, size_t max, size_t* len);
// The unread buffered bytes (refilling the buffer when it is empty), or null
// at the end of the file or after a failed read; uu_consume takes n of them.
const char* uu_buffered(UuStream& s, size_t* avail);
void uu_consume(UuStream& s, size_t n);
// Reads up to n bytes; fewer only at the end of the file or on failure.
size_t uu_read(UuStream& s, void* dst, size_t n);
// Back to the first byte.
bool uu_rewind(UuStream& s);

// Writes n bytes (line feeds become CR LF in text mode).  False once any
// write has failed.
bool uu_write(UuStream& s, const void* src, size_t n);
// Room for n bytes written as they are (no line-end translation); n at most
// 64 KiB.  Null once a write has failed.  uu_commit hands the bytes over.
char* uu_reserve(UuStream& s, size_t n);
void uu_commit(UuStream& s, size_t n);
// The line end of the stream's mode: "\r\n" in text mode, "\n" in raw mode.
const char* uu_eol(const UuStream& s);
size_t uu_eol_len(const UuStream& s);

// Writes what is buffered and closes.  False when a write or the close
// failed.  Closing a closed stream returns true.
bool uu_close(UuStream& s);
