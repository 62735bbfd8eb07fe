// Buffered byte streams on the platform file layer.
#include "compress/byte_stream.h"

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {
// Large enough that the file layer is called rarely, small enough to stay in
// the cache next to the coders' tables.
const uint32_t stream_buffer_size = 64 * 1024;
}  // namespace

CzStream* cz_stream_open(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    bool writing = mode[0] == 'w';
    PfFile f = writing ? pf_open(path, PF_ACCESS_WRITE, PF_SHARE_READ, PF_CREATE_ALWAYS)
                       : pf_open(path, PF_ACCESS_READ, PF_SHARE_READ, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return nullptr;
    CzStream* s = static_cast<CzStream*>(std::calloc(1, sizeof(CzStream)));
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(stream_buffer_size));
    if (!s || !buffer) {
        std::free(s);
        std::free(buffer);
        pf_close(f);
        return nullptr;
    }
    s->buffer = buffer;
    s->buffer_size = stream_buffer_size;
    s->file = f;
    s->writing = writing;
    s->next = buffer;
    s->limit = writing ? buffer + stream_buffer_size : buffer;
    s->read_limit = -1;
    return s;
}

int cz_stream_refill(CzStream* s) {
    if (s->writing || s->eof || s->error) return -1;
    s->buffer_offset += s->limit - s->buffer;
    s->next = s->limit = s->buffer;
    uint32_t want = s->buffer_size;
    if (s->read_limit >= 0) {
        int64_t left = s->read_limit - s->buffer_offset;
        if (left <= 0) {
            s->eof = true;
            return -1;
        }
        if (left < (int64_t)want) want = (uint32_t)left;
    }
    int32_t got = pf_read(s->file, s->buffer, want);
    if (got < 0) {
        s->error = true;
        return -1;
    }
    if (got == 0) {
        s->eof = true;
        return -1;
    }
    s->limit = s->buffer + got;
    return *s->next++;
}

void cz_stream_limit(CzStream* s, int64_t bytes) { s->read_limit = bytes < 0 ? 0 : bytes; }

int cz_stream_flush(CzStream* s) {
    if (!s->writing || s->error) return -1;
    uint32_t n = (uint32_t)(s->next - s->buffer);
    if (n > 0) {
        int32_t put = pf_write(s->file, s->buffer, n);
        if (put < 0 || (uint32_t)put != n) {
            // Nothing more reaches the file: a stream with a hole is no stream.
            s->error = true;
            s->next = s->limit;
            return -1;
        }
    }
    s->buffer_offset += n;
    s->next = s->buffer;
    return 0;
}

int64_t cz_stream_tell(const CzStream* s) { return s->buffer_offset + (s->next - s->buffer); }

int cz_stream_close(CzStream* s) {
    if (!s) return -1;
    int result = s->error ? -1 : 0;
    if (s->writing && result == 0 && cz_stream_flush(s) != 0) result = -1;
    if (!pf_close(s->file) && s->writing) result = -1;
    std::free(s->buffer);
    std::free(s);
    return result;
}
