// The Veilmix cipher on any passwords, mode, data and cuts: the stream cut
// anywhere gives the bytes of one call and of the literal schedule below,
// decryption gives the data back, and the byte sum is that of the output.
// Input: byte 0 the mode (signed), byte 1 the key length (0..20), both
// passwords of that length, then the data, whose bytes choose the cuts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "crypt/veilmix.h"

namespace {

// A literal byte-at-a-time transcription of the schedule, apart from the
// cipher (own state and ramps, no tables, no vector path).  It made the golden
// streams of tests/golden/crypt/veilmix_streams.txt.
struct Reference {
    bool m3;
    int L, r1 = 0, r1up = 1, r2 = 0, r2up = 1, sub = 1, alt = 1, ki, limit = 0, asc = 0, sweeps = 0;
    uint8_t e[21] = {}, b[21] = {}, c[21] = {}, key;
    Reference(const std::string& p1, const std::string& p2, int mode)
        : m3(mode > 2), L(int(p1.size())), ki(L - 1) {
        uint8_t x[21] = {}, y[21] = {};
        std::memcpy(x, p1.data(), p1.size());
        std::memcpy(y, p2.data(), p2.size());
        mix(x, y, e);
        mix(y, e, b);
        rekey();
        key = e[ki];
    }
    static void ramp(int& v, int& up, int d) {
        if (up ? (v += d) > 254 : (v -= d) < 1) v = up ? 255 : 0, up = !up;
    }
    static uint8_t enc(int a, int x, int sub) { return uint8_t(sub ? x - a : x + a); }
    void mix(const uint8_t* x, const uint8_t* y, uint8_t* z) {
        for (int i = 0; i < L; ++i, sub = !sub) {
            if (m3) {
                ramp(r1, r1up, 1);
                ramp(r2, r2up, r1);
                z[i] = enc(x[i], uint8_t(sub ? r2 - y[i] : r2 + y[i]), sub);
            } else {
                z[i] = alt ? enc(y[i], x[i], sub) : enc(x[i], y[i], sub);
                alt = !alt;
            }
        }
    }
    void rekey() {
        mix(e, b, c);
        std::memcpy(e, b, size_t(L));
        std::memcpy(b, c, size_t(L));
    }
    void select() {
        key = alt ? e[ki] : b[ki];
        alt = !alt, sub = !sub;
    }
    void step() {
        if (asc && ki < limit) return void(++ki);
        if (!asc && ki > 0) return void(--ki);
        ++sweeps;
        if (!m3 && L - sweeps == 1) return sweeps = 0, rekey();
        if (m3) sweeps = 0, rekey();
        const int top = m3 ? L - 1 : L - sweeps - 1;
        if (asc)
            asc = 0, limit = 0, ki = m3 ? L - 2 : top;
        else
            asc = 1, limit = top, ki = m3 ? 1 : 0;
    }
    std::string run(std::string s) {
        for (char& ch : s) {
            if (m3) select();
            ch = char(sub ? key - uint8_t(ch) : key + uint8_t(ch));
            step();
            if (!m3) select();
        }
        return s;
    }
};

std::string run(const std::string& p1, const std::string& p2, int mode, std::string data,
                int direction, const std::vector<size_t>& cuts, uint32_t* sum) {
    std::strncpy(gPassword1, p1.c_str(), sizeof gPassword1);  // zero-filled
    std::strncpy(gPassword2, p2.c_str(), sizeof gPassword2);
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
    // A first password shorter than two characters is two key bytes, zeros standing in.
    const std::string k1 = p1.size() < 2 ? p1 + std::string(2 - p1.size(), '\0') : p1;
    check(Reference(k1, p2, mode).run(plain) == whole, "differs from the literal schedule");
    return 0;
}
