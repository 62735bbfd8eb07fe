// The line breaker on any text and line width (first two bytes; negative
// too): while text remains, every call moves forward, within the text.  The
// text is exactly the rest, so a read past its end is an address error.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "print/print_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > (1 << 16)) return 0;
    lq_print_page.chars_per_line = int32_t(int8_t(data[0])) * 4 + data[1] % 4;
    const int32_t n = int32_t(size - 2);
    std::vector<char> text(data + 2, data + size);
    for (int32_t p = 0; p < n;) {
        int32_t advance = 0;
        int32_t count = iPrintBufferLine(text.data(), n, p, &advance);
        if (advance < 1 || advance > n - p || count < 0 || count > n - p) std::abort();
        p += advance;
    }
    return 0;
}
