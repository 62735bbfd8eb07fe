#include "uu/uu_codec.h"

#include <cctype>

#include <cstdio>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The two output characters of every 12-bit value, in memory order, so that
// a 3-byte group takes two look-ups and one 4-byte store.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "pairs are combined little-endian");
struct EncodePairs {
    uint16_t pair[4096];
    EncodePairs() {
        for (unsigned v = 0; v < 4096; ++v) {
            char two[2] = {uu_enc_char(v >> 6), uu_enc_char(v & 63)};
            std::memcpy(&pair[v], two, 2);
        }
    }
};
const EncodePairs encode_pairs;

struct DecodeTable {
    uint8_t value[256];
    DecodeTable() {
        for (unsigned c = 0; c < 256; ++c) value[c] = uint8_t(uu_dec_char((unsigned char)c));
    }
};
const DecodeTable decode_table;

inline void encode_group(uint32_t g, char* out) {
    uint32_t four = encode_pairs.pair[g >> 12] | uint32_t(encode_pairs.pair[g & 0xFFF]) << 16;
    std::memcpy(out, &four, 4);
}

inline bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Decodes `n` bytes from the groups of characters starting at chars[0].  The
// caller guarantees that 4 * ceil(n / 3) characters are readable.
inline void decode_groups(const unsigned char* chars, size_t n, uint8_t* out) {
    const uint8_t* t = decode_table.value;
    while (n >= 3) {
        uint32_t v = uint32_t(t[chars[0]]) << 18 | uint32_t(t[chars[1]]) << 12 |
                     uint32_t(t[chars[2]]) << 6 | t[chars[3]];
        out[0] = uint8_t(v >> 16);
        out[1] = uint8_t(v >> 8);
        out[2] = uint8_t(v);
        out += 3;
        chars += 4;
        n -= 3;
    }
    if (n) {
        uint32_t v = uint32_t(t[chars[0]]) << 18 | uint32_t(t[chars[1]]) << 12 |
                     uint32_t(t[chars[2]]) << 6 | t[chars[3]];
        out[0] = uint8_t(v >> 16);
        if (n == 2) out[1] = uint8_t(v >> 8);
    }
}

}  // namespace

size_t uu_encode_line(const uint8_t* src, size_t n, char* out) {
    char* p = out;
    *p++ = uu_enc_char(unsigned(n));
    size_t i = 0;
    for (; i + 3 <= n; i += 3, p += 4)
        encode_group(uint32_t(src[i]) << 16 | uint32_t(src[i + 1]) << 8 | src[i + 2], p);
    if (i < n) {
        // The missing bytes of the last group are taken as zero.
        uint32_t g = uint32_t(src[i]) << 16;
        if (i + 1 < n) g |= uint32_t(src[i + 1]) << 8;
        encode_group(g, p);
        p += 4;
    }
    return size_t(p - out);
}

#if defined(__SSE2__)
namespace {
// A 3-byte group as a 24-bit value; reads a fourth byte, which must exist.
inline uint32_t group_of_4(const uint8_t* s) {
    uint32_t w;
    std::memcpy(&w, s, 4);
    return __builtin_bswap32(w) >> 8;
}

// Four groups (given as 24-bit values) as 16 characters at p.
inline void encode_16(__m128i g, char* p) {
    const __m128i m = _mm_set1_epi32(63);
    __m128i w =
        _mm_or_si128(_mm_or_si128(_mm_srli_epi32(g, 18),
                                  _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(g, 12), m), 8)),
                     _mm_or_si128(_mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(g, 6), m), 16),
                                  _mm_slli_epi32(g, 24)));
    w = _mm_and_si128(w, _mm_set1_epi8(63));
    // v + 0x20, and 0 as 0x60: ((v + 63) & 63) + 0x21, with no carry between bytes.
    w = _mm_add_epi8(_mm_and_si128(_mm_add_epi8(w, _mm_set1_epi8(63)), _mm_set1_epi8(63)),
                     _mm_set1_epi8(0x21));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), w);
}
}  // namespace

size_t uu_encode_full_lines(const uint8_t* src, size_t count, char* out, const char* eol,
                            size_t eol_len) {
    char* p = out;
    for (size_t line = 0; line < count; ++line, src += UU_LINE_BYTES) {
        *p++ = 'M';
        const uint8_t* s = src;
        encode_16(_mm_set_epi32(int(group_of_4(s + 9)), int(group_of_4(s + 6)),
                                int(group_of_4(s + 3)), int(group_of_4(s))),
                  p);
        encode_16(_mm_set_epi32(int(group_of_4(s + 21)), int(group_of_4(s + 18)),
                                int(group_of_4(s + 15)), int(group_of_4(s + 12))),
                  p + 16);
        encode_16(_mm_set_epi32(int(group_of_4(s + 33)), int(group_of_4(s + 30)),
                                int(group_of_4(s + 27)), int(group_of_4(s + 24))),
                  p + 32);
        // Groups 11 to 14 (characters 44 to 59; group 11 again); the last
        // group is read byte by byte so that nothing past the line is read.
        uint32_t last = uint32_t(s[42]) << 16 | uint32_t(s[43]) << 8 | s[44];
        encode_16(_mm_set_epi32(int(last), int(group_of_4(s + 39)), int(group_of_4(s + 36)),
                                int(group_of_4(s + 33))),
                  p + 44);
        p += UU_LINE_CHARS - 1;
        std::memcpy(p, eol, eol_len);
        p += eol_len;
    }
    return size_t(p - out);
}
#else
size_t uu_encode_full_lines(const uint8_t* src, size_t count, char* out, const char* eol,
                            size_t eol_len) {
    char* p = out;
    for (size_t line = 0; line < count; ++line) {
        *p++ = 'M';
        for (int g = 0; g < 15; ++g, src += 3, p += 4)
            encode_group(uint32_t(src[0]) << 16 | uint32_t(src[1]) << 8 | src[2], p);
        std::memcpy(p, eol, eol_len);
        p += eol_len;
    }
    return size_t(p - out);
}
#endif

int uu_decode_line(const char* line, size_t len, uint8_t* out) {
    if (len == 0 || line[0] == '\n') return -1;
    size_t n = uu_dec_char((unsigned char)line[0]);
    if (n == 0) return -1;
    size_t expected = (n + 2) / 3 * 4;
    // k: the first position that is not an encoding character of this line.
    size_t k = line[len - 1] == '\n' ? len - 1 : len;
    const unsigned char* chars = reinterpret_cast<const unsigned char*>(line) + 1;
    if (k > expected) {
        decode_groups(chars, n, out);
    } else {
        // Characters from position k on were lost in transit: they stand for
        // blanks, that is zero bits.
        unsigned char padded[UU_MAX_LINE_DECODED / 3 * 4 + 4];
        std::memset(padded, ' ', sizeof padded);
        if (k > 1) std::memcpy(padded, chars, k - 1);
        decode_groups(padded, n, out);
    }
    return int(n);
}

#if defined(__SSE2__)
namespace {
// Decodes the 16 characters at c (four groups) into 12 bytes at out (plus one
// spare byte written after them); marks any line feed among them in lf.
inline void decode_16(const char* c, uint8_t* out, __m128i& lf) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
    lf = _mm_or_si128(lf, _mm_cmpeq_epi8(x, _mm_set1_epi8('\n')));
    // (c - 0x20) & 0x3F is (c ^ 0x20) & 0x3F: no borrow between bytes.
    __m128i v = _mm_and_si128(_mm_xor_si128(x, _mm_set1_epi8(0x20)), _mm_set1_epi8(0x3F));
    // Pairs of 6-bit values into 12 bits, pairs of those into 24.
    __m128i t12 = _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, _mm_set1_epi16(0xFF)), 6),
                               _mm_srli_epi16(v, 8));
    __m128i t24 = _mm_or_si128(_mm_slli_epi32(_mm_and_si128(t12, _mm_set1_epi32(0xFFFF)), 12),
                               _mm_srli_epi32(t12, 16));
    // Each 32-bit lane's bytes in output order: high, middle, low, spare.
    __m128i ordered = _mm_or_si128(
        _mm_or_si128(_mm_srli_epi32(t24, 16), _mm_and_si128(t24, _mm_set1_epi32(0xFF00))),
        _mm_slli_epi32(_mm_and_si128(t24, _mm_set1_epi32(0xFF)), 16));
    uint32_t g[4] = {uint32_t(_mm_cvtsi128_si32(ordered)),
                     uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(ordered, 1))),
                     uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(ordered, 2))),
                     uint32_t(_mm_cvtsi128_si32(_mm_shuffle_epi32(ordered, 3)))};
    for (int i = 0; i < 4; ++i) std::memcpy(out + 3 * i, &g[i], 4);
}
}  // namespace

size_t uu_decode_full_lines(const char* p, size_t avail, uint8_t* out, size_t max_lines) {
    size_t lines = 0;
    for (; lines < max_lines && avail >= UU_FULL_LINE; ++lines) {
        if (p[0] != 'M' || p[UU_FULL_LINE - 1] != '\n') break;
        // Characters 1-16, 17-32, 33-48 and 45-60: the last block repeats
        // group 11, which decodes to the same bytes again.
        __m128i lf = _mm_setzero_si128();
        decode_16(p + 1, out, lf);
        decode_16(p + 17, out + 12, lf);
        decode_16(p + 33, out + 24, lf);
        decode_16(p + 45, out + 33, lf);
        if (_mm_movemask_epi8(lf)) break;  // a shorter line: the line decoder's
        p += UU_FULL_LINE;
        avail -= UU_FULL_LINE;
        out += UU_LINE_BYTES;
    }
    return lines;
}
#else
size_t uu_decode_full_lines(const char* p, size_t avail, uint8_t* out, size_t max_lines) {
    size_t lines = 0;
    for (; lines < max_lines && avail >= UU_FULL_LINE; ++lines) {
        if (p[0] != 'M' || p[UU_FULL_LINE - 1] != '\n') break;
        if (std::memchr(p + 1, '\n', UU_LINE_CHARS - 1)) break;
        decode_groups(reinterpret_cast<const unsigned char*>(p) + 1, UU_LINE_BYTES, out);
        p += UU_FULL_LINE;
        avail -= UU_FULL_LINE;
        out += UU_LINE_BYTES;
    }
    return lines;
}
#endif

bool uu_is_begin_line(const char* line, size_t len) {
    return len >= 6 && std::memcmp(line, "begin ", 6) == 0;
}

namespace {
// Reads up to count fields from p; returns the position after the last field
// read, or null when a field is too long.
const char* take_fields(const char* p, const char* end, char (*fields)[UU_FIELD_SIZE], int count) {
    for (int i = 0; i < count; ++i) fields[i][0] = 0;
    for (int i = 0; i < count; ++i) {
        while (p < end && *p && is_space(*p)) ++p;
        if (p == end || !*p) break;
        const char* start = p;
        while (p < end && *p && !is_space(*p)) ++p;
        size_t n = size_t(p - start);
        if (n >= UU_FIELD_SIZE) return nullptr;
        std::memcpy(fields[i], start, n);
        fields[i][n] = 0;
    }
    return p;
}
}  // namespace

int uu_split_header(const char* line, size_t len, char (*fields)[UU_FIELD_SIZE], int count) {
    if (!uu_is_begin_line(line, len)) {
        for (int i = 0; i < count; ++i) fields[i][0] = 0;
        return UU_FIELDS_OK;
    }
    return take_fields(line + 6, line + len, fields, count) ? UU_FIELDS_OK : UU_FIELD_TOO_LONG;
}

int uu_parse_part_header(const char* line, size_t len, UuPartHeader* out) {
    out->number = -1;
    if (!uu_is_begin_line(line, len)) {
        for (auto& f : out->field) f[0] = 0;
        return UU_FIELDS_OK;
    }
    const char* end = line + len;
    const char* p = take_fields(line + 6, end, out->field, 4);
    if (!p) return UU_FIELD_TOO_LONG;
    auto skip_space = [&] {
        while (p < end && *p && is_space(*p)) ++p;
    };
    auto literal = [&](const char* s) {
        size_t n = std::strlen(s);
        if (size_t(end - p) < n || std::memcmp(p, s, n) != 0) return false;
        p += n;
        return true;
    };
    skip_space();
    if (!literal("split-up")) return UU_FIELDS_OK;
    skip_space();
    if (!literal("number=")) return UU_FIELDS_OK;
    skip_space();
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    if (p == end || *p < '0' || *p > '9') return UU_FIELDS_OK;
    long v = 0;
    while (p < end && *p >= '0' && *p <= '9') {
        if (v < 100000000L) v = v * 10 + (*p - '0');
        ++p;
    }
    out->number = negative ? -v : v;
    return UU_FIELDS_OK;
}

UuModeWord uu_mode_word(const char* field) {
    if (!std::strcmp(field, "666") || !std::strcmp(field, "TEXT")) return UU_MODE_TEXT;
    if (!std::strcmp(field, "777") || !std::strcmp(field, "BINARY")) return UU_MODE_RAW;
    return UU_MODE_UNKNOWN;
}

int32_t uu_read_decimal(const char* text) {
    const char* p = text;
    while (*p && is_space(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    int64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + (*p++ - '0');
        if (v > int64_t(INT32_MAX) + 1) v = int64_t(INT32_MAX) + 1;
    }
    if (negative) return v > INT32_MAX ? INT32_MIN : int32_t(-v);
    return v > INT32_MAX ? INT32_MAX : int32_t(v);
}

// Windows opens these as devices whatever extension follows them and in any
// case ("nul.txt" is the null device, "Com1" a serial port).
static bool is_device_name(const char* name) {
    size_t base = std::strcspn(name, ".");
    while (base > 0 && name[base - 1] == ' ') --base;
    char up[5] = {};
    if (base < 3 || base > 4) return false;
    for (size_t i = 0; i < base; ++i) up[i] = char(std::toupper((unsigned char)name[i]));
    if (base == 3)
        return !std::strcmp(up, "CON") || !std::strcmp(up, "PRN") || !std::strcmp(up, "AUX") ||
               !std::strcmp(up, "NUL");
    return (!std::strncmp(up, "COM", 3) || !std::strncmp(up, "LPT", 3)) && up[3] >= '1' &&
           up[3] <= '9';
}

bool uu_plain_name(const char* name) {
    if (!name[0] || !std::strcmp(name, ".") || !std::strcmp(name, "..")) return false;
    for (const char* p = name; *p; ++p)
        if ((unsigned char)*p < 0x20 || *p == 0x7F) return false;
    const char last = name[std::strlen(name) - 1];
    // Windows drops a trailing dot or blank, so such a name would reach
    // another file than the one it spells.
    if (last == '.' || last == ' ') return false;
    return !std::strpbrk(name, "\\/:*?\"<>|") && !is_device_name(name);
}

void uu_part_extension(int k, char* out) { std::snprintf(out, 16, "U%2.2i", k); }
