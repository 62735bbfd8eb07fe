// The UU header and part header parsers, the mode words, the decimal reader
// and the name check, on any line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "uu/uu_codec.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

// A field is terminated within its buffer and holds no blank.
void check_field(const char* f) {
    size_t n = strnlen(f, UU_FIELD_SIZE);
    check(n < UU_FIELD_SIZE && std::strpbrk(std::string(f, n).c_str(), " \t\n\r\v\f") == nullptr);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const char* line = reinterpret_cast<const char*>(data);
    char fields[4][UU_FIELD_SIZE];
    for (int count = 1; count <= 4; ++count) {
        std::memset(fields, 'X', sizeof fields);
        if (uu_split_header(line, size, fields, count) == UU_FIELDS_OK)
            for (int i = 0; i < count; ++i) check_field(fields[i]);
    }
    UuPartHeader part;
    if (uu_parse_part_header(line, size, &part) == UU_FIELDS_OK) {
        // Whatever the header holds, the rebuild's questions about it are
        // answerable: a plain name or a refusal, a mode word or unknown.
        for (auto& f : part.field) check_field(f), uu_plain_name(f), uu_mode_word(f);
        uu_read_decimal(part.field[2]);
    }
    std::string text(line, size);  // the size prompt's answer, zero-terminated
    int32_t v = uu_read_decimal(text.c_str());
    if (text.find_first_of("123456789") == std::string::npos) check(v == 0);
    std::string name(text.c_str());
    if (uu_plain_name(name.c_str()))
        check(!name.empty() && name != "." && name != ".." &&
              name.find_first_of("\\/:*?") == std::string::npos);
    return 0;
}
