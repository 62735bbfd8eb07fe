#include "uu/uu_codec.h"

#include <cstdio>
#include <cstring>

namespace {

// Two output characters for every 12-bit value, so that a 3-byte group takes
// two look-ups.  Stored as the two characters in memory order.
struct EncodePairs {
    char pair[4096][2];
    EncodePairs() {
        for (unsigned v = 0; v < 4096; ++v) {
            pair[v][0] = uu_enc_char(v >> 6);
            pair[v][1] = uu_enc_char(v & 63);
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
    std::memcpy(out, encode_pairs.pair[g >> 12], 2);
    std::memcpy(out + 2, encode_pairs.pair[g & 0xFFF], 2);
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

bool uu_plain_name(const char* name) {
    if (!name[0] || !std::strcmp(name, ".") || !std::strcmp(name, "..")) return false;
    return !std::strpbrk(name, "\\/:*?");
}

void uu_part_extension(int k, char* out) { std::snprintf(out, 16, "U%2.2i", k); }
