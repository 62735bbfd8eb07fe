// The Veilmix cipher: long streams, golden streams of every mode and key
// length (cut anywhere, and back), the shape of the schedule, and its
// progress window.
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "crypt/veilmix.h"
#include "fileops/progress.h"
#include "tests/crypt/crypt_test_util.h"

namespace {

// One stream: reset, then the pieces in turn and the rest in one call.
std::string veil(const std::string& p1, const std::string& p2, int mode, std::string data,
                 int direction, const std::vector<size_t>& cuts = {}) {
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
    return data;
}

uint64_t fnv1a(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

using Veilmix = CryptTest;

// Long streams run many times around the ramps' cycle and the rekeys; the
// vector path in the transfer's buffers and byte by byte agree.
TEST_F(Veilmix, LongStreams) {
    const std::string big = lq_random_bytes(100000, 11);
    EXPECT_EQ(fnv1a(veil("Lockquill", "Quillock7", 3, big, 1)), 0x5f17aece9c29d545ull);
    EXPECT_EQ(fnv1a(veil("secret1", "Secret2", 2, big, 1)), 0xa78e47d92cdd8192ull);
    const std::string longer = lq_random_bytes(140000, 3);
    for (int mode : {2, 3}) {
        const std::string whole = veil("Lockquill", "Quillock7", mode, longer, 1);
        EXPECT_EQ(veil("Lockquill", "Quillock7", mode, longer, 1, {65500, 65500}), whole);
        EXPECT_EQ(veil("Lockquill", "Quillock7", mode, longer, 1, std::vector<size_t>(5000, 1)),
                  whole);
    }
}

// Every mode (0 and 1 act as 2, 4 as 3), key lengths 2 to 20: the golden
// stream whole and cut anywhere, and back; the byte sum is of the output.
// (The streams fix the whole schedule: first key bytes and their forms,
// sweep order, rekeys, ramps, vector and serial paths.)
TEST_F(Veilmix, GoldenStreamsCutAnywhere) {
    std::ifstream in(lq_source_dir() + "/tests/golden/crypt/veilmix_streams.txt");
    int lines = 0, mode, L;
    for (std::string line, p1, p2, hash; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream(line) >> mode >> L >> p1 >> p2 >> hash;
        SCOPED_TRACE(line);
        ++lines;
        const std::string plain =
            lq_random_bytes(size_t(3000 + L * 37), uint32_t(1000 + mode * 100 + L));
        const std::string whole = veil(p1, p2, mode, plain, 1);
        EXPECT_EQ(fnv1a(whole), std::stoull(hash, nullptr, 16));
        EXPECT_EQ(gByteSum, byte_sum(whole));
        std::vector<size_t> cuts;
        size_t used = 0;
        for (unsigned char c : lq_random_bytes(64, uint32_t(L))) {
            const size_t n = c % 3 == 0 ? c : c % 41;
            if (used + n > plain.size()) break;
            cuts.push_back(n), used += n;
        }
        EXPECT_EQ(veil(p1, p2, mode, plain, 1, cuts), whole);
        EXPECT_EQ(veil(p1, p2, mode, whole, -1, cuts), plain);
    }
    EXPECT_EQ(lines, 95);
}

TEST_F(Veilmix, PasswordsModesAndDegenerateKeys) {
    const std::string plain = lq_random_bytes(4000, 5);
    const std::string m3 = veil("Lockquill", "Quillock7", 3, plain, 1);
    EXPECT_NE(veil("Quillock7", "Lockquill", 3, plain, 1), m3);
    EXPECT_NE(veil("Lockquill", "Quillock7", 2, plain, 1), m3);
    EXPECT_EQ(veil("Lockquill", "Quillock7", 99, plain, 1), m3);
    EXPECT_EQ(veil("Lockquill", "Quillock7", -3, plain, 1),
              veil("Lockquill", "Quillock7", 2, plain, 1));
    EXPECT_NE(veil("Lockquill", "Quillock8", 3, m3, -1), plain);  // silently wrong
    // A zero count changes nothing but consumes the reset.
    EXPECT_EQ(veil("abcdefgh", "ABCDEFGH", 2, plain, 1, {0}),
              veil("abcdefgh", "ABCDEFGH", 2, plain, 1));
    // Byte sums accumulate across calls modulo 2^32.
    veil("Lockquill", "Quillock7", 3, "", 1);
    gByteSum = 0xFFFFFFF0u;
    uint8_t b[2] = {0, 0};
    VeilStats r{};
    r.mode = 3;
    iVeilmix(2, b, &r, 1, 0, nullptr);
    EXPECT_EQ(gByteSum, uint32_t(0xFFFFFFF0u + b[0] + b[1]));
    // Keys shorter than two stay inside the key; a stream never started gets one.
    EXPECT_EQ(veil("", "", 3, veil("", "", 3, plain, 1), -1), plain);
    EXPECT_EQ(veil("x", "y", 2, veil("x", "y", 2, plain, 1), -1), plain);
    lq_veilmix_clear();
    std::string c = plain;
    iVeilmix(uint32_t(c.size()), reinterpret_cast<uint8_t*>(&c[0]), &r, 1, 0, nullptr);
    EXPECT_EQ(c, veil("", "", 3, plain, 1));
}

// With its own progress window: repainted after bytes 1, 5121, 10241, ...
// with 5120 more bytes counted each time; the bytes are those of a call
// without progress.
std::vector<std::string> painted;
const LqProgressUi fake_ui = {[] { return intptr_t(42); },
                              [](intptr_t) {
                                  painted.push_back(std::string(szProgressOperation) + "|" +
                                                    szProgressFileName + "|" + szProgressPercent);
                              },
                              [](intptr_t) { painted.push_back("closed"); }};

TEST_F(Veilmix, OwnProgressWindowCountsInStepsOf5120) {
    painted.clear();
    lq_set_progress_ui(&fake_ui);
    const std::string plain = lq_random_bytes(12000, 4);
    std::string s = plain;
    veil("Lockquill", "Quillock7", 3, "", 1);
    VeilStats r{};
    r.mode = 3;
    iVeilmix(uint32_t(s.size()), reinterpret_cast<uint8_t*>(&s[0]), &r, 1, 1, "C:\\notes.ent");
    lq_set_progress_ui(nullptr);
    EXPECT_EQ(s, veil("Lockquill", "Quillock7", 3, plain, 1));
    const std::string head = " Encryption of |C:\\notes.ent| ";
    EXPECT_EQ(painted, (std::vector<std::string>{head + "0% completed ", head + "43% completed ",
                                                 head + "85% completed ", head + "100% completed ",
                                                 "closed"}));
    EXPECT_EQ(hwndProgress, 0);
}

}  // namespace
