#include "uu/uu_stream.h"

#include <algorithm>
#include <cstring>

namespace {

bool open_stream(UuStream& s, const char* path, bool text, bool writing) {
    uu_close(s);
    s.file = writing ? pf_open(path, PF_ACCESS_WRITE, PF_SHARE_READ, PF_CREATE_ALWAYS)
                     : pf_open(path, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (s.file == PF_INVALID_FILE) return false;
    s.text = text;
    s.writing = writing;
    s.failed = s.at_end = s.pending_cr = false;
    s.pos = s.end = 0;
    if (!s.buf) {
        s.buf.reset(new char[UU_STREAM_CHUNK]);
        s.cap = UU_STREAM_CHUNK;
    }
    return true;
}

// Turns every CR LF of buf[0, n) into LF in place; returns the new length.
// Runs between CRs move as blocks: a line holds one CR, a byte loop would cost
// more than everything else of a text-mode decode.
size_t squeeze_crlf(char* buf, size_t n) {
    char* cr = static_cast<char*>(std::memchr(buf, '\r', n));
    if (!cr) return n;
    char* out = cr;
    const char* in = cr;
    const char* end = buf + n;
    while (in < end) {
        if (in[0] == '\r' && in + 1 < end && in[1] == '\n') ++in;
        const char* next =
            static_cast<const char*>(std::memchr(in + 1, '\r', size_t(end - in - 1)));
        if (!next) next = end;
        std::memmove(out, in, size_t(next - in));
        out += next - in;
        in = next;
    }
    return size_t(out - buf);
}

// Fills the read buffer when it is empty.  False at the end of the file or on
// failure.
bool refill(UuStream& s) {
    for (;;) {
        if (s.at_end) return false;
        size_t carry = 0;
        if (s.pending_cr) {
            s.buf[0] = '\r';
            carry = 1;
            s.pending_cr = false;
        }
        int32_t got = pf_read(s.file, s.buf.get() + carry, uint32_t(s.cap - carry));
        if (got < 0) {
            s.failed = true;
            s.at_end = true;
            s.pos = s.end = 0;
            return false;
        }
        size_t n = carry + size_t(got);
        if (got == 0) {
            // A CR held back from the last chunk was not followed by LF.
            s.at_end = true;
            s.pos = 0;
            s.end = n;
            return n > 0;
        }
        if (s.text) {
            n = squeeze_crlf(s.buf.get(), n);
            // A CR at the end may pair with an LF of the next chunk.
            if (s.buf[n - 1] == '\r') {
                s.pending_cr = true;
                --n;
            }
        }
        s.pos = 0;
        s.end = n;
        if (n) return true;
    }
}

bool flush(UuStream& s) {
    if (s.failed) return false;
    if (s.end) {
        int32_t put = pf_write(s.file, s.buf.get(), uint32_t(s.end));
        if (put < 0 || size_t(put) != s.end) s.failed = true;
        s.end = 0;
    }
    return !s.failed;
}

bool put_raw(UuStream& s, const char* p, size_t n) {
    while (n) {
        if (s.end == s.cap && !flush(s)) return false;
        size_t take = std::min(n, s.cap - s.end);
        std::memcpy(s.buf.get() + s.end, p, take);
        s.end += take;
        p += take;
        n -= take;
    }
    return true;
}

}  // namespace

UuStream::~UuStream() { uu_close(*this); }

bool uu_open_read(UuStream& s, const char* path, bool text) {
    return open_stream(s, path, text, false);
}

bool uu_open_write(UuStream& s, const char* path, bool text) {
    return open_stream(s, path, text, true);
}

bool uu_is_open(const UuStream& s) { return s.file != PF_INVALID_FILE; }

const char* uu_read_line(UuStream& s, size_t max, size_t* len) {
    *len = 0;
    if (max == 0) return nullptr;
    max = std::min(max, UU_STREAM_MAX_LINE);
    if (s.pos == s.end && !refill(s)) return nullptr;
    const char* start = s.buf.get() + s.pos;
    size_t avail = s.end - s.pos;
    size_t lim = std::min(avail, max);
    if (const void* lf = std::memchr(start, '\n', lim)) {
        *len = size_t(static_cast<const char*>(lf) - start) + 1;
        s.pos += *len;
        return start;
    }
    if (avail >= max) {
        *len = max;
        s.pos += max;
        return start;
    }
    // The line goes on in the next chunk.
    if (!s.scratch) s.scratch.reset(new char[UU_STREAM_MAX_LINE]);
    size_t n = 0;
    for (;;) {
        if (s.pos == s.end && !refill(s)) break;
        const char* p = s.buf.get() + s.pos;
        size_t take = std::min(s.end - s.pos, max - n);
        const void* lf = std::memchr(p, '\n', take);
        if (lf) take = size_t(static_cast<const char*>(lf) - p) + 1;
        std::memcpy(s.scratch.get() + n, p, take);
        n += take;
        s.pos += take;
        if (lf || n == max) break;
    }
    if (s.failed || n == 0) return nullptr;
    *len = n;
    return s.scratch.get();
}

const char* uu_buffered(UuStream& s, size_t* avail) {
    *avail = 0;
    if (s.pos == s.end && !refill(s)) return nullptr;
    *avail = s.end - s.pos;
    return s.buf.get() + s.pos;
}

void uu_consume(UuStream& s, size_t n) { s.pos += std::min(n, s.end - s.pos); }

size_t uu_read(UuStream& s, void* dst, size_t n) {
    char* out = static_cast<char*>(dst);
    size_t done = 0;
    // Large raw reads go straight to the caller's buffer once the stream's
    // own buffer is empty, saving a copy.
    if (!s.text && s.pos == s.end && !s.at_end && n >= s.cap / 8) {
        while (done < n) {
            int32_t got =
                pf_read(s.file, out + done, uint32_t(std::min<size_t>(n - done, 1u << 30)));
            if (got < 0) s.failed = true;
            if (got <= 0) {
                s.at_end = true;
                break;
            }
            done += size_t(got);
        }
        return done;
    }
    while (done < n) {
        if (s.pos == s.end && !refill(s)) break;
        size_t take = std::min(n - done, s.end - s.pos);
        std::memcpy(out + done, s.buf.get() + s.pos, take);
        s.pos += take;
        done += take;
    }
    return done;
}

bool uu_rewind(UuStream& s) {
    if (pf_seek(s.file, 0, PF_SEEK_SET) != 0) {
        s.failed = true;
        return false;
    }
    s.pos = s.end = 0;
    s.at_end = s.pending_cr = s.failed = false;
    return true;
}

bool uu_write(UuStream& s, const void* src, size_t n) {
    if (s.failed) return false;
    const char* p = static_cast<const char*>(src);
    if (!s.text) return put_raw(s, p, n);
    while (n) {
        const void* lf = std::memchr(p, '\n', n);
        size_t seg = lf ? size_t(static_cast<const char*>(lf) - p) : n;
        if (!put_raw(s, p, seg)) return false;
        p += seg;
        n -= seg;
        if (lf) {
            if (!put_raw(s, "\r\n", 2)) return false;
            ++p;
            --n;
        }
    }
    return true;
}

char* uu_reserve(UuStream& s, size_t n) {
    if (s.failed) return nullptr;
    if (s.cap - s.end < n && !flush(s)) return nullptr;
    return s.buf.get() + s.end;
}

void uu_commit(UuStream& s, size_t n) { s.end += n; }

const char* uu_eol(const UuStream& s) { return s.text ? "\r\n" : "\n"; }
size_t uu_eol_len(const UuStream& s) { return s.text ? 2 : 1; }

bool uu_close(UuStream& s) {
    if (s.file == PF_INVALID_FILE) return true;
    bool ok = true;
    if (s.writing) ok = flush(s);
    if (!pf_close(s.file) && s.writing) ok = false;
    s.file = PF_INVALID_FILE;
    s.pos = s.end = 0;
    if (!ok) s.failed = true;
    return ok;
}
