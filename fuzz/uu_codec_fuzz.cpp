// The UU codec on any bytes: every line decodes within its bounds and the batch
// decoder of full lines agrees with the line decoder; the header parsers, the
// decimal reader and the name check take any line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
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

void decode_as_lines(const char* p, size_t size) {
    for (size_t len; size; p += len, size -= len) {
        len = line_length(p, size, 128);
        // Exactly the announced bytes, in a buffer that ASan bounds at 63.
        std::vector<uint8_t> out(UU_MAX_LINE_DECODED), batch(UU_LINE_BYTES + 1);
        int n = uu_decode_line(p, len, out.data());
        check(n == -1 || (n >= 1 && n == int(uu_dec_char((unsigned char)p[0]))));
        // The batch takes only a standard full line, and decodes the same bytes.
        size_t lines = uu_decode_full_lines(p, size, batch.data(), 1);
        check(lines == (len == UU_FULL_LINE && p[0] == 'M' && p[len - 1] == '\n' ? 1u : 0u));
        if (lines) check(std::memcmp(batch.data(), out.data(), UU_LINE_BYTES) == 0);
    }
}

// A field is terminated within its buffer and holds no blank.
void check_field(const char* f) {
    size_t n = strnlen(f, UU_FIELD_SIZE);
    check(n < UU_FIELD_SIZE && std::strpbrk(std::string(f, n).c_str(), " \t\n\r\v\f") == nullptr);
}

void headers(const char* line, size_t size) {
    char fields[4][UU_FIELD_SIZE];
    for (int count = 1; count <= 4; ++count) {
        std::memset(fields, 'X', sizeof fields);
        if (uu_split_header(line, size, fields, count) == UU_FIELDS_OK)
            for (int i = 0; i < count; ++i) check_field(fields[i]);
    }
    UuPartHeader part;
    if (uu_parse_part_header(line, size, &part) == UU_FIELDS_OK)
        for (auto& f : part.field) check_field(f), uu_plain_name(f), uu_mode_word(f);
    std::string text(line, size);  // the size prompt's answer, zero-terminated
    int32_t v = uu_read_decimal(text.c_str());
    if (text.find_first_of("123456789") == std::string::npos) check(v == 0);
    std::string name(text.c_str());
    if (uu_plain_name(name.c_str()))
        check(!name.empty() && name != "." && name != ".." &&
              name.find_first_of("\\/:*?") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    decode_as_lines(reinterpret_cast<const char*>(data), size);
    if (size <= 4096) headers(reinterpret_cast<const char*>(data), size);
    return 0;
}
