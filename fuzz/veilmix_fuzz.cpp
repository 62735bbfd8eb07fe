// Veilmix on any passwords, mode, data and cuts: a cut stream gives the bytes of one call, the
// byte sum is the output's, decryption gives the data back.  Input: mode, key length (0..20),
// both passwords, data (choosing the cuts).
#include <cstdio>
#include <cstdlib>

#include "fuzz/veil_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t len = size < 2 ? 0 : data[1] % 21;
    if (size < 2 + 2 * len) return 0;
    const char* d = reinterpret_cast<const char*>(data);
    // A zero inside a password ends it, as in the zero-terminated buffers.
    const std::string p1 = std::string(d + 2, len).c_str(),
                      p2 = std::string(d + 2 + len, len).c_str();
    const std::string plain(d + 2 + 2 * len, size - 2 - 2 * len);
    const int mode = int8_t(data[0]);
    std::vector<size_t> cuts;
    size_t used = 0;
    for (size_t i = 0; i < plain.size() && cuts.size() < 64; i += 7) {
        const size_t n = uint8_t(plain[i]) % 50;
        if (used + n > plain.size()) break;
        cuts.push_back(n), used += n;
    }
    const std::string whole = veil(p1, p2, mode, plain, 1);
    uint32_t sum = 0, whole_sum = gByteSum;
    for (unsigned char c : whole) sum += c;
    const char* fault = veil(p1, p2, mode, plain, 1, cuts) != whole || gByteSum != whole_sum
                            ? "cut stream differs"
                        : sum != whole_sum                             ? "byte sum differs"
                        : veil(p1, p2, mode, whole, -1, cuts) != plain ? "no round trip"
                                                                       : nullptr;
    if (fault) std::fprintf(stderr, "veilmix_fuzz: %s\n", fault), std::abort();
    return 0;
}
