// The Veilmix cipher on any passwords, mode, data and cuts: the stream cut
// anywhere gives the bytes of one call, decryption gives the data back, the
// byte sum is that of the output.  (The schedule itself is fixed by the golden
// streams of tests/golden/crypt.)  Input: mode (signed), key length (0..20),
// both passwords, data (choosing the cuts).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crypt/veilmix.h"

namespace {

std::string run(const std::string& p1, const std::string& p2, int mode, std::string data,
                int direction, const std::vector<size_t>& cuts, uint32_t* sum) {
    std::memcpy(gPassword1, (p1 + std::string(sizeof gPassword1, '\0')).data(), sizeof gPassword1);
    std::memcpy(gPassword2, (p2 + std::string(sizeof gPassword2, '\0')).data(), sizeof gPassword2);
    VeilStats r{};
    r.mode = int16_t(mode);
    iResetVeilmix(&r);
    gByteSum = 0;
    uint8_t* p = reinterpret_cast<uint8_t*>(&data[0]);
    size_t pos = 0;
    for (size_t c : cuts)
        iVeilmix(uint32_t(c), p + pos, &r, int16_t(direction), 0, nullptr), pos += c;
    iVeilmix(uint32_t(data.size() - pos), p + pos, &r, int16_t(direction), 0, nullptr);
    *sum = gByteSum;
    return data;
}

void check(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "veilmix_fuzz: %s\n", what), std::abort();
}

}  // namespace

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
    uint32_t whole_sum, cut_sum, back_sum, sum = 0;
    const std::string whole = run(p1, p2, mode, plain, 1, {}, &whole_sum);
    for (unsigned char c : whole) sum += c;
    check(run(p1, p2, mode, plain, 1, cuts, &cut_sum) == whole && cut_sum == whole_sum,
          "cut stream differs");
    check(sum == whole_sum, "byte sum differs");
    check(run(p1, p2, mode, whole, -1, cuts, &back_sum) == plain, "no round trip");
    return 0;
}
