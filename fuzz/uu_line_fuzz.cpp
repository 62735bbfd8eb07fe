// The UU line coder on any bytes: every line decodes within its bounds, the
// batch decoder of full lines agrees with the line decoder, and any bytes
// round-trip through the encoder.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "uu/uu_codec.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

// The length of the line at p: up to a line feed, at most max characters.
size_t line_length(const char* p, size_t size, size_t max) {
    const void* lf = std::memchr(p, '\n', size < max ? size : max);
    return lf ? size_t(static_cast<const char*>(lf) - p) + 1 : (size < max ? size : max);
}

// Lines as the decoder reads them, at most 128 characters each.
void decode_as_lines(const char* p, size_t size) {
    for (size_t len; size; p += len, size -= len) {
        len = line_length(p, size, 128);
        // Exactly the announced bytes, in a buffer that ASan bounds at 63.
        std::vector<uint8_t> out(UU_MAX_LINE_DECODED), batch(UU_LINE_BYTES + 1);
        int n = uu_decode_line(p, len, out.data());
        check(n == -1 || (n >= 1 && n <= int(UU_MAX_LINE_DECODED)));
        if (n > 0) check(size_t(n) == uu_dec_char((unsigned char)p[0]));
        // The batch decoder takes the line only when it is a standard full
        // line, and then decodes the same bytes.
        size_t lines = uu_decode_full_lines(p, size, batch.data(), 1);
        check(lines == (len == UU_FULL_LINE && p[0] == 'M' && p[len - 1] == '\n' ? 1u : 0u));
        if (lines) check(std::memcmp(batch.data(), out.data(), UU_LINE_BYTES) == 0);
    }
}

void round_trip(const uint8_t* data, size_t size) {
    size_t full = size / UU_LINE_BYTES;
    std::vector<char> text((full + 2) * (UU_LINE_CHARS + 2));
    // Both line ends; only LF lines are standard full lines for the batch.
    bool crlf = size & 1;
    size_t n = uu_encode_full_lines(data, full, text.data(), crlf ? "\r\n" : "\n", crlf ? 2 : 1);
    n += uu_encode_line(data + full * UU_LINE_BYTES, size % UU_LINE_BYTES, text.data() + n);
    text[n++] = '\n';
    check(std::memchr(text.data(), ' ', n) == nullptr);
    std::vector<uint8_t> back(size + 64);
    size_t got = uu_decode_full_lines(text.data(), n, back.data(), full);
    check(got == (crlf ? 0 : full));
    if (got) check(std::memcmp(back.data(), data, got * UU_LINE_BYTES) == 0);
    size_t at = 0;
    for (size_t pos = 0, len; pos < n; pos += len) {
        len = line_length(text.data() + pos, n - pos, n);
        int k = uu_decode_line(text.data() + pos, len, back.data() + at);
        if (k < 0) break;
        at += size_t(k);
    }
    check(at == size && (size == 0 || std::memcmp(back.data(), data, size) == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    decode_as_lines(reinterpret_cast<const char*>(data), size);
    round_trip(data, size);
    return 0;
}
