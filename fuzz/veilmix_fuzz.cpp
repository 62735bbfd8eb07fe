// The Veilmix cipher on any passwords, mode, data and cuts: the stream cut
// anywhere gives the bytes of one call and of the literal byte-at-a-time
// schedule, decryption gives the data back, and the byte sum is the sum of
// the bytes written.
//
// Input: byte 0 the mode (as a signed byte), byte 1 the key length (0..20),
// then both passwords of that length, then the data; the data's own bytes
// choose the cuts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crypt/veilmix.h"
// The literal transcription the tests check against, compiled in here.
#include "fuzz/veilmix_reference.cpp"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "veilmix_fuzz: %s\n", what);
    std::abort();
}

std::string run(const std::string& p1, const std::string& p2, int mode, std::string data,
                int direction, const std::vector<size_t>& cuts, uint32_t* sum) {
    std::memset(gPassword1, 0, sizeof gPassword1);
    std::memset(gPassword2, 0, sizeof gPassword2);
    std::memcpy(gPassword1, p1.data(), p1.size());
    std::memcpy(gPassword2, p2.data(), p2.size());
    VeilStats r{};
    r.mode = int16_t(mode);
    iResetVeilmix(&r);
    gByteSum = 0;
    uint8_t* p = data.empty() ? nullptr : reinterpret_cast<uint8_t*>(&data[0]);
    size_t pos = 0;
    for (size_t c : cuts) {
        iVeilmix(uint32_t(c), p + pos, &r, int16_t(direction), 0, nullptr);
        pos += c;
    }
    iVeilmix(uint32_t(data.size() - pos), data.empty() ? nullptr : p + pos, &r, int16_t(direction),
             0, nullptr);
    *sum = gByteSum;
    return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int mode = int8_t(data[0]);
    const size_t len = data[1] % 21;
    if (size < 2 + 2 * len) return 0;
    std::string p1(reinterpret_cast<const char*>(data + 2), len);
    std::string p2(reinterpret_cast<const char*>(data + 2 + len), len);
    // A zero inside a password ends it, as in the zero-terminated buffers.
    p1.resize(std::strlen(p1.c_str()));
    p2.resize(std::strlen(p2.c_str()));
    const std::string plain(reinterpret_cast<const char*>(data + 2 + 2 * len), size - 2 - 2 * len);

    std::vector<size_t> cuts;
    size_t used = 0;
    for (size_t i = 0; i < plain.size() && cuts.size() < 64; i += 7) {
        const size_t n = (unsigned char)plain[i] % 50;
        if (used + n > plain.size()) break;
        cuts.push_back(n);
        used += n;
    }

    uint32_t whole_sum = 0, cut_sum = 0, back_sum = 0;
    const std::string whole = run(p1, p2, mode, plain, 1, {}, &whole_sum);
    const std::string cut = run(p1, p2, mode, plain, 1, cuts, &cut_sum);
    if (cut != whole || cut_sum != whole_sum) fail("cut stream differs");
    uint32_t sum = 0;
    for (unsigned char c : whole) sum += c;
    if (sum != whole_sum) fail("byte sum differs");
    if (run(p1, p2, mode, whole, -1, cuts, &back_sum) != plain) fail("no round trip");

    // A first password shorter than two characters is taken as two key
    // bytes, its zeros standing in.
    std::string k1 = p1;
    if (k1.size() < 2) k1.resize(2, '\0');
    ReferenceVeilmix ref(k1, p2, mode);
    if (ref.run(plain, 1) != whole) fail("differs from the literal schedule");
    return 0;
}
