// The Veilmix cipher (golden streams, progress window) and the VeilStats record.
#include <fstream>
#include <sstream>

#include "fileops/progress.h"
#include "tests/crypt/crypt_test_util.h"
namespace {
uint64_t fnv1a(const std::string& s) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

using Veilmix = CryptTest;

// Every mode and key length 2 to 20: the golden stream, fixing the whole schedule (the fuzz target
// cuts, sums and reverses streams).  Then long streams around the ramps and rekeys, cut.
TEST_F(Veilmix, GoldenAndLongStreams) {
    std::ifstream in(lq_source_dir() + "/tests/golden/crypt/veilmix_streams.txt");
    int lines = 0, mode, L;
    for (std::string line, p1, p2, hash; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream(line) >> mode >> L >> p1 >> p2 >> hash;
        const std::string plain =
            lq_random_bytes(size_t(3000 + L * 37), uint32_t(1000 + mode * 100 + L));
        EXPECT_EQ(fnv1a(veil(p1, p2, mode, plain, 1)), std::stoull(hash, nullptr, 16)) << line;
        ++lines;
    }
    EXPECT_EQ(lines, 95);
    const std::string big = lq_random_bytes(100000, 11), longer = lq_random_bytes(140000, 3);
    EXPECT_EQ(fnv1a(veil("Lockquill", "Quillock7", 3, big, 1)), 0x5f17aece9c29d545ull);
    EXPECT_EQ(fnv1a(veil("secret1", "Secret2", 2, big, 1)), 0xa78e47d92cdd8192ull);
    for (int mode : {2, 3})
        EXPECT_EQ(veil("Lockquill", "Quillock7", mode, longer, 1, {65500, 65500}),
                  veil("Lockquill", "Quillock7", mode, longer, 1, std::vector<size_t>(5000, 1)));
}

std::vector<std::string> painted;
const LqProgressUi fake_ui = {[] { return intptr_t(42); },
                              [](intptr_t) {
                                  painted.push_back(std::string(szProgressOperation) + "|" +
                                                    szProgressFileName + "|" + szProgressPercent);
                              },
                              [](intptr_t) { painted.push_back("closed"); }};

// Modes past 3 act as 3, below 2 as 2; a zero count consumes the reset; a stream
// never started gets one; sums wrap.  The progress window repaints every 5120 bytes.
TEST_F(Veilmix, ModesKeysSumsAndProgress) {
    const std::string plain = lq_random_bytes(12000, 5), a = "Lockquill", b = "Quillock7";
    EXPECT_EQ(veil(a, b, 99, plain, 1), veil(a, b, 3, plain, 1));
    EXPECT_EQ(veil(a, b, -3, plain, 1), veil(a, b, 2, plain, 1));
    EXPECT_EQ(veil("abcdefgh", "ABCDEFGH", 2, plain, 1, {0}),
              veil("abcdefgh", "ABCDEFGH", 2, plain, 1));
    lq_veilmix_clear();
    std::string s = plain;
    VeilStats r{};
    r.mode = 3;
    iVeilmix(uint32_t(s.size()), reinterpret_cast<uint8_t*>(&s[0]), &r, 1, 0, nullptr);
    EXPECT_EQ(s, veil("", "", 3, plain, 1));
    veil(a, b, 3, "", 1);
    gByteSum = 0xFFFFFFF0u;
    s = plain;
    lq_set_progress_ui(&fake_ui);
    iVeilmix(uint32_t(s.size()), reinterpret_cast<uint8_t*>(&s[0]), &r, 1, 1, "C:\\notes.ent");
    lq_set_progress_ui(nullptr);
    EXPECT_EQ(gByteSum, 0xFFFFFFF0u + byte_sum(s));
    EXPECT_EQ(s, veil(a, b, 3, plain, 1));
    const std::string head = " Encryption of |C:\\notes.ent| ";
    EXPECT_EQ(painted, (std::vector<std::string>{head + "0% completed ", head + "43% completed ",
                                                 head + "85% completed ", head + "100% completed ",
                                                 "closed"}));
    EXPECT_EQ(hwndProgress, 0);
}

using VeilStatsRecord = CryptTest;

// Every field a distinct value, packed in order; the defaults keep stamp and choices.
TEST_F(VeilStatsRecord, GoldenBytesAndDefaults) {
    const std::string golden =
        "0200 00008040 6c00 0300 ffff 78563412 e8030000 215a 3c6b 2100 0100 "
        "0200 70110100 aa" +
        std::string(95 * 2, '0') + "bb 0600 8700";
    VeilStats r;
    lq_veil_stats_unpack(reinterpret_cast<const uint8_t*>(lq_unhex(golden).data()), &r);
    EXPECT_EQ(r.checksum + r.originalsize + r.status + r.reserved[96],
              0x12345678u + 70000 - 1 + 0xBB);
    EXPECT_EQ(r.version, 4.0f);
    EXPECT_EQ(lq_hex(packed(r)), lq_hex(lq_unhex(golden)));
    r.version = 2.5f, r.mode = 1, r.tag[0] = 'c', r.tag[1] = 'x';
    EXPECT_EQ(iDefaultVeilStats(&r), 0);
    EXPECT_EQ(lq_hex(packed(r)), lq_hex(lq_unhex("0200 00008040 6c00 0300 0000 00000000 00000000"
                                                 "215a 3c6b 2100 0100 0200 00000000" +
                                                 std::string(97 * 2, '0') + "0000 8700")));
}

// Older records of each layout; a tag or Riddle with no zero ends at its field's end.
TEST_F(VeilStatsRecord, LegacyRecordsConvert) {
    VeilStats r;
    char riddle[VEIL_RIDDLE_SIZE];
    for (int16_t size : {774, 390, 287, 277}) {
        SCOPED_TRACE(size);
        const int typed = size >= 390, stamped = size >= 287;
        LegacyRecord rec(size);
        rec.set_version(3.1f).text("tag", "k").set("mode", 2).set("status", 1);
        rec.text("riddle", "What did the raven say?").set("checksum", 0xCAFEBABEu, 4);
        rec.set("datalength", 4242, 4).set("recordtype", 7).set("dosdate", 0x1111);
        rec.set("dostime", 0x2222).set("dosattr", 1).set("readonly", 1).set("compression", 1);
        rec.set("originalsize", 9999, 4).text("reserved", std::string(97, '\x5C'));
        std::memset(&r, 0x77, sizeof r);
        ASSERT_TRUE(lq_veil_stats_from_legacy(rec.data(), size, &r, riddle));
        EXPECT_EQ(std::make_tuple(r.version, std::string(r.tag, 2), r.checksum, r.datalength,
                                  std::string(riddle)),
                  std::make_tuple(3.1f, std::string("k\0", 2), 0xCAFEBABEu, 4242,
                                  "What did the raven say?"));
        EXPECT_EQ(r.mode * 10 + r.status + r.riddlelength * 100 + r.structsize * 10000, 1352421);
        EXPECT_EQ(r.dosdate + r.dostime + r.dosattr + r.readonly + r.compression, stamped * 0x3336);
        EXPECT_EQ(r.recordtype * 100000 + r.originalsize, typed * 709999);
        EXPECT_EQ(r.reserved[0] + r.reserved[96], typed * 2 * 0x5C);
        const size_t field = size == 774 ? 641 : 257;
        LegacyRecord full(size);
        full.text("tag", "mn").text("riddle", std::string(field, 'R'));
        ASSERT_TRUE(lq_veil_stats_from_legacy(full.data(), size, &r, riddle));
        EXPECT_EQ(std::string(r.tag, 2) + riddle + std::to_string(r.riddlelength),
                  "mn" + std::string(field, 'R') + std::to_string(field + 1));
    }
    EXPECT_FALSE(lq_veil_stats_from_legacy(LegacyRecord(390).data(), 136, &r, riddle));
}

TEST_F(VeilStatsRecord, JudgementLinesAndRiddlePlacement) {
    VeilStats r = current_record(1000, 0x12345678u, 6);
    // The length is judged first.
    for (auto [length, sum, text] : {std::make_tuple(1000, 0x12345678u, "Status: OK !"),
                                     std::make_tuple(1000, 0x12345679u, "Status: BAD checksum"),
                                     std::make_tuple(1001, 0u, "Status: BAD data length")})
        EXPECT_STREQ(lq_veil_status_text(lq_veil_judge(&r, length, sum)), text);
    char line[64];
    const char* want[] = {"Version:4.0 l   Mode:3", "Version:12.5 mn   Mode:-2",
                          "Version:12.5     Mode:-2"};  // then a tag with no zero, an empty one
    for (const char* w : want) {
        lq_veil_version_line(&r, line, sizeof line);
        EXPECT_STREQ(line, w);
        r.version = 12.5f, r.tag[0] = r.tag[0] == 'l' ? 'm' : 0, r.tag[1] = 'n', r.mode = -2;
    }
    // The Riddle trails the data from 4.0 'h' on (version, tag, trailer).
    for (const char* c : {"4.0l1", "4.0g0", "4.0h1", "4.5a1", "3.9z0"}) {
        r.version = std::stof(std::string(c, 3)), r.tag[0] = c[3];
        EXPECT_EQ(lq_veil_riddle_is_trailer(&r), c[4] == '1') << c;
    }
}

}  // namespace
