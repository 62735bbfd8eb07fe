// Buffered byte streams over the platform file layer: the raw input and output
// of the coders and the backing of file-mode bit streams.
//
// The hot calls (cz_getc, cz_putc) are inline and touch only the buffer; the
// file is read or written a buffer at a time.  A failed transfer makes the
// stream's error flag stick: every later cz_putc fails and cz_getc reports the
// end of the input.
#pragma once

#include <cstdint>

struct CzStream {
    uint8_t* next;   // reading: next unread byte; writing: next free byte
    uint8_t* limit;  // reading: end of the buffered bytes; writing: end of the buffer
    uint8_t* buffer;
    uint32_t buffer_size;
    int64_t buffer_offset;  // file position of buffer[0]
    intptr_t file;          // the platform file handle
    int64_t read_limit;     // reading: bytes of the file that may be read; -1 all
    bool writing;
    bool eof;
    bool error;
};

// Opens `path` with mode "rb" (existing file, read sharing) or "wb" (created
// or emptied).  Null when the file cannot be opened or no buffer can be had.
CzStream* cz_stream_open(const char* path, const char* mode);
// Lets a reading stream see only the first `bytes` bytes of its file.
void cz_stream_limit(CzStream* s, int64_t bytes);
// Writes what is buffered, closes the file and frees the stream.  0, or -1
// when the stream had failed or the last write or the close fails.
int cz_stream_close(CzStream* s);

// Slow paths of the inline calls: the next byte after a refill (-1 at the
// end or on failure), and the write-out of a full buffer (0, or -1).
int cz_stream_refill(CzStream* s);
int cz_stream_flush(CzStream* s);

// The position in the file, counting buffered bytes.
int64_t cz_stream_tell(const CzStream* s);

// The next byte, or -1 at the end of the input or after a read failure.
inline int cz_getc(CzStream* s) { return s->next < s->limit ? *s->next++ : cz_stream_refill(s); }

// Puts one byte; returns it, or -1 when a write failed.
inline int cz_putc(int c, CzStream* s) {
    if (s->next == s->limit && cz_stream_flush(s) != 0) return -1;
    *s->next++ = (uint8_t)c;
    return c & 0xFF;
}
