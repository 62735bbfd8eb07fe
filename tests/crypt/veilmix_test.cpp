// The Veilmix cipher: known answers, the shape of the schedule, round trips
// and cut invariance, checked against a literal byte-at-a-time transcription.
#include <cstring>
#include <string>
#include <vector>

#include "crypt/veilmix.h"
#include "fileops/progress.h"
#include "tests/crypt/crypt_test_util.h"
#include "tests/crypt/veilmix_reference.h"
#include "tests/support/lq_test.h"

namespace {

void start(const std::string& p1, const std::string& p2, int mode) {
    std::memset(gPassword1, 0, sizeof gPassword1);
    std::memset(gPassword2, 0, sizeof gPassword2);
    std::memcpy(gPassword1, p1.data(), p1.size());
    std::memcpy(gPassword2, p2.data(), p2.size());
    VeilStats r{};
    r.mode = int16_t(mode);
    iResetVeilmix(&r);
}

// One stream: reset, then the pieces in turn (one call for an empty list).
std::string veil(const std::string& p1, const std::string& p2, int mode, std::string data,
                 int direction, const std::vector<size_t>& cuts = {}) {
    start(p1, p2, mode);
    gByteSum = 0;
    VeilStats r{};
    r.mode = int16_t(mode);
    uint8_t* p = reinterpret_cast<uint8_t*>(&data[0]);
    size_t pos = 0;
    for (size_t c : cuts) {
        iVeilmix(uint32_t(c), p + pos, &r, int16_t(direction), 0, nullptr);
        pos += c;
    }
    iVeilmix(uint32_t(data.size() - pos), p + pos, &r, int16_t(direction), 0, nullptr);
    return data;
}

uint64_t fnv1a(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::string counting(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(char(i));
    return s;
}

const std::string fox = "The quick brown fox jumps over the lazy dog.";

class Veilmix : public CryptTest {};

// Vectors made once by this implementation; the tests below check the
// properties that make them right (and a literal transcription agrees).
TEST_F(Veilmix, KnownAnswers) {
    struct Vector {
        const char *p1, *p2;
        int mode;
        std::string input;
        const char* hex;
    } vectors[] = {
        {"Lockquill", "Quillock7", 3, fox,
         "184ad6109661880281c51eab3589b13a09882cdccc6b28a0b0249b2d373f88c98d0ed3b0591b25d15ac5"
         "3159"},
        {"abcdefgh", "ABCDEFGH", 3, counting(64),
         "a4cd72ce48ba26a67a32d2d33a856d2cf02c9b2c5a2c80f030f4c047b6dda4f5161a7eaf200e17a6903b"
         "b6eb1980c682c20da4343235e0ff11bbd0d8692e42ca"},
        {"secret1", "Secret2", 2, fox,
         "850cca52d4f0dc4a067df029fb24fc7d013eeb45cdfdd0f5e68d0adbb30dfc11ce1200d19fec87929cd4"
         "b9db"},
        {"twentycharacterspass", "PASSWORDOFTWENTYCHRS", 3, lq_random_bytes(96, 7),
         "b2c644c5f868ac433ccf3ee5a15edc3c03218d61bb2bb011c30d091308b12de7608e4f457aec7a0a061f"
         "bea8a15cb4f5519402cfffabc17c56e615e420ae7ed07b8efc776b17e6f9670e961ce33a1162c01236b5"
         "481c7dbadb37c60f6bd7f54c"},
    };
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.p1);
        const std::string want = lq_hex(lq_unhex(v.hex));
        EXPECT_EQ(lq_hex(veil(v.p1, v.p2, v.mode, v.input, 1)), want);
        EXPECT_EQ(lq_hex(ReferenceVeilmix(v.p1, v.p2, v.mode).run(v.input, 1)), want);
        EXPECT_EQ(veil(v.p1, v.p2, v.mode, lq_unhex(v.hex), -1), v.input);
    }
    // Long streams run many times around the ramps' cycle and the rekeys.
    const std::string big = lq_random_bytes(100000, 11);
    EXPECT_EQ(fnv1a(veil("Lockquill", "Quillock7", 3, big, 1)), 0x5f17aece9c29d545ull);
    EXPECT_EQ(fnv1a(veil("secret1", "Secret2", 2, big, 1)), 0xa78e47d92cdd8192ull);
    // Mode 1 is mode 2.
    EXPECT_EQ(lq_hex(veil("secret1", "Secret2", 1, fox, 1)),
              lq_hex(veil("secret1", "Secret2", 2, fox, 1)));
}

// Right after a reset the first byte is combined with keyE[L-1]; in mode 3
// in the subtract form when L is odd, the add form when even (3 L toggles of
// the mixing passes plus the one of the key selection), and the second byte
// with keyB[L-2] in the other form.  Modes 1 and 2 pick the first key byte at
// the reset, without the selection's toggle: add form when L is odd.
TEST_F(Veilmix, FirstBytesFormsFollowKeyLengthParity) {
    for (int mode : {2, 3}) {
        for (std::string p1 :
             {"abcdefg", "abcdefgh", "abcdefghijklmnopqrs", "abcdefghijklmnopqrst"}) {
            SCOPED_TRACE(p1 + " mode " + std::to_string(mode));
            const int L = int(p1.size());
            std::string p2 = p1;
            p2[0] = 'Z';
            start(p1, p2, mode);
            const uint8_t e_last = VeilmixState.keyE[L - 1];
            const uint8_t b_before_last = VeilmixState.keyB[L - 2];
            VeilStats r{};
            r.mode = int16_t(mode);
            uint8_t data[2] = {0x01, 0x01};
            iVeilmix(2, data, &r, 1, 0, nullptr);
            const bool first_subtracts = mode == 3 ? (L % 2 == 1) : (L % 2 == 0);
            EXPECT_EQ(data[0], first_subtracts ? uint8_t(e_last - 1) : uint8_t(e_last + 1));
            if (mode == 3) {
                EXPECT_EQ(data[1], first_subtracts ? uint8_t(b_before_last + 1)
                                                   : uint8_t(b_before_last - 1));
            }
        }
    }
}

// Key of 7 in mode 3: sweeps 6..0 (7 bytes), 1..6 (6), 5..0 (6), with a
// rekey right after the last byte of each.  Modes 1 and 2 shrink the sweeps
// and rekey in place of a turn.
TEST_F(Veilmix, SweepOrderForAKeyOfSeven) {
    start("sevenpw", "SEVENPW", 3);
    VeilStats r{};
    r.mode = 3;
    std::string indices, rekeys;
    for (int i = 0; i < 25; ++i) {
        indices.push_back(char('0' + VeilmixState.keyIndex));
        std::string before(reinterpret_cast<char*>(VeilmixState.keyB), 7);
        uint8_t b = 0;
        iVeilmix(1, &b, &r, 1, 0, nullptr);
        std::string after(reinterpret_cast<char*>(VeilmixState.keyB), 7);
        rekeys.push_back(before == after ? '.' : 'R');
    }
    EXPECT_EQ(indices, "6543210123456543210123456");
    EXPECT_EQ(rekeys, "......R.....R.....R.....R");

    // 6..0, 0..5, 4..0, 0..3, 2..0, 0..1, then a rekey in place of the turn:
    // index 1 serves once more, and the next turn starts the shrinking over.
    const std::string shrinking =
        "6543210"
        "012345"
        "43210"
        "0123"
        "210"
        "01"
        "1"
        "543210";
    ReferenceVeilmix ref("sevenpw", "SEVENPW", 2);
    ref.run(std::string(shrinking.size(), '\0'), 1);
    EXPECT_EQ(ref.indices, shrinking);
    start("sevenpw", "SEVENPW", 2);
    r.mode = 2;
    std::string ours;
    for (size_t i = 0; i < shrinking.size(); ++i) {
        uint8_t b = 0;
        // Modes 1 and 2 pick the next key at the end of a byte.
        ours.push_back(char('0' + VeilmixState.keyIndex));
        iVeilmix(1, &b, &r, 1, 0, nullptr);
    }
    EXPECT_EQ(ours, shrinking);
}

// Every mode, key lengths 2 to 20, both directions: the same bytes as the
// literal transcription, whole or cut anywhere, and back again.
TEST_F(Veilmix, MatchesLiteralScheduleCutAnywhereAndRoundTrips) {
    uint32_t seed = 1;
    for (int mode : {0, 1, 2, 3, 4}) {
        for (int L = 2; L <= 20; ++L) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " L " + std::to_string(L));
            std::string p1 = lq_random_bytes(L, seed++), p2 = lq_random_bytes(L, seed++);
            for (char& c : p1) c = char('!' + (unsigned char)c % 90);
            for (char& c : p2) c = char('!' + (unsigned char)c % 90);
            const std::string plain = lq_random_bytes(3000 + L * 37, seed++);
            ReferenceVeilmix ref(p1, p2, mode);
            const std::string want = ref.run(plain, 1);
            EXPECT_EQ(veil(p1, p2, mode, plain, 1), want);
            std::vector<size_t> cuts;
            std::string pieces = lq_random_bytes(64, seed++);
            size_t used = 0;
            for (unsigned char c : pieces) {
                size_t n = c % 3 == 0 ? c : c % 41;
                if (used + n > plain.size()) break;
                cuts.push_back(n);
                used += n;
            }
            EXPECT_EQ(veil(p1, p2, mode, plain, 1, cuts), want);
            EXPECT_EQ(veil(p1, p2, mode, want, -1, cuts), plain);
        }
    }
}

TEST_F(Veilmix, OneByteAtATimeAndWholeBuffersAgree) {
    const std::string plain = lq_random_bytes(140000, 3);
    for (int mode : {2, 3}) {
        const std::string whole = veil("Lockquill", "Quillock7", mode, plain, 1);
        std::vector<size_t> ones(5000, 1);
        EXPECT_EQ(veil("Lockquill", "Quillock7", mode, plain, 1, ones), whole);
        EXPECT_EQ(veil("Lockquill", "Quillock7", mode, plain, 1, {65500, 65500}), whole);
    }
}

TEST_F(Veilmix, ZeroCountChangesNothingButConsumesTheReset) {
    start("abcdefgh", "ABCDEFGH", 2);
    VeilStats r{};
    r.mode = 2;
    const VeilmixStateRecord before = VeilmixState;
    uint8_t b = 0x55;
    iVeilmix(0, &b, &r, 1, 0, nullptr);
    EXPECT_EQ(b, 0x55);
    EXPECT_EQ(VeilmixState.fresh, 0);
    EXPECT_EQ(VeilmixState.keyIndex, before.keyIndex);
    EXPECT_EQ(0, std::memcmp(VeilmixState.keyE, before.keyE, sizeof before.keyE));
    EXPECT_EQ(0, std::memcmp(VeilmixState.keyB, before.keyB, sizeof before.keyB));
    // The stream goes on as if the empty call had not been made.
    std::string s = fox;
    iVeilmix(uint32_t(s.size()), reinterpret_cast<uint8_t*>(&s[0]), &r, 1, 0, nullptr);
    EXPECT_EQ(s, veil("abcdefgh", "ABCDEFGH", 2, fox, 1));
}

TEST_F(Veilmix, ModesPasswordsAndOrderAllMatter) {
    const std::string plain = lq_random_bytes(4000, 5);
    const std::string m3 = veil("Lockquill", "Quillock7", 3, plain, 1);
    EXPECT_NE(veil("Quillock7", "Lockquill", 3, plain, 1), m3);  // swapped
    EXPECT_NE(veil("Lockquill", "Quillock7", 2, plain, 1), m3);
    EXPECT_EQ(veil("Lockquill", "Quillock7", 4, plain, 1), m3);
    EXPECT_EQ(veil("Lockquill", "Quillock7", 99, plain, 1), m3);
    const std::string m2 = veil("Lockquill", "Quillock7", 2, plain, 1);
    EXPECT_EQ(veil("Lockquill", "Quillock7", 0, plain, 1), m2);
    EXPECT_EQ(veil("Lockquill", "Quillock7", -3, plain, 1), m2);
    // Wrong passwords decrypt, silently, into other bytes.
    EXPECT_NE(veil("Lockquill", "Quillock8", 3, m3, -1), plain);
}

TEST_F(Veilmix, ByteSumIsTheSumOfTheBytesWritten) {
    const std::string plain = lq_random_bytes(70001, 9);
    const std::string out = veil("Lockquill", "Quillock7", 3, plain, 1);
    uint32_t sum = 0;
    for (unsigned char c : out) sum += c;
    EXPECT_EQ(gByteSum, sum);
    // Sums wrap modulo 2^32 and accumulate across calls.
    gByteSum = 0xFFFFFFF0u;
    uint8_t b[2] = {0, 0};
    VeilStats r{};
    r.mode = 3;
    iVeilmix(2, b, &r, 1, 0, nullptr);
    EXPECT_EQ(gByteSum, uint32_t(0xFFFFFFF0u + b[0] + b[1]));
}

// A short first password would send the index out of the key: it is taken
// as two key bytes, and a stream never started gets one.
TEST_F(Veilmix, DegenerateKeysStayInsideTheKey) {
    const std::string plain = lq_random_bytes(500, 2);
    const std::string a = veil("", "", 3, plain, 1);
    EXPECT_EQ(veil("", "", 3, a, -1), plain);
    const std::string b = veil("x", "y", 2, plain, 1);
    EXPECT_EQ(veil("x", "y", 2, b, -1), plain);
    lq_veilmix_clear();
    std::string c = plain;
    VeilStats r{};
    r.mode = 3;
    iVeilmix(uint32_t(c.size()), reinterpret_cast<uint8_t*>(&c[0]), &r, 1, 0, nullptr);
    EXPECT_EQ(c, veil("", "", 3, plain, 1));
}

// iVeilmix with its own progress window: repainted after bytes 1, 5121,
// 10241, ... with 5120 more bytes counted each time; the bytes are those of a
// call without progress.
std::vector<std::string> painted;
intptr_t fake_open() { return 42; }
void fake_paint(intptr_t) {
    painted.push_back(std::string(szProgressOperation) + "|" + szProgressFileName + "|" +
                      szProgressPercent);
}
void fake_close(intptr_t) { painted.push_back("closed"); }
const LqProgressUi fake_ui = {fake_open, fake_paint, fake_close};

TEST_F(Veilmix, OwnProgressWindowCountsInStepsOf5120) {
    painted.clear();
    lq_set_progress_ui(&fake_ui);
    const std::string plain = lq_random_bytes(12000, 4);
    std::string s = plain;
    start("Lockquill", "Quillock7", 3);
    VeilStats r{};
    r.mode = 3;
    iVeilmix(uint32_t(s.size()), reinterpret_cast<uint8_t*>(&s[0]), &r, 1, 1, "C:\\notes.ent");
    lq_set_progress_ui(nullptr);
    EXPECT_EQ(s, veil("Lockquill", "Quillock7", 3, plain, 1));
    ASSERT_EQ(painted.size(), 5u);
    EXPECT_EQ(painted[0], " Encryption of |C:\\notes.ent| 0% completed ");
    EXPECT_EQ(painted[1], " Encryption of |C:\\notes.ent| 43% completed ");  // 5120 / 12000
    EXPECT_EQ(painted[2], " Encryption of |C:\\notes.ent| 85% completed ");
    EXPECT_EQ(painted[3], " Encryption of |C:\\notes.ent| 100% completed ");  // capped at 1.0
    EXPECT_EQ(painted[4], "closed");
    EXPECT_EQ(hwndProgress, 0);
}

}  // namespace
