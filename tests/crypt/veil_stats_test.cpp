// The VeilStats record: its 135 bytes, its defaults, the four older record
// sizes and the data-part judgement.
#include <cstring>
#include <string>

#include "crypt/veil_stats.h"
#include "tests/crypt/crypt_test_util.h"

namespace {

using VeilStatsRecord = CryptTest;

// Every field a distinct value, packed in order, little-endian.
const std::string golden =
    "0200 00008040 6c00 0300 ffff 78563412 e8030000"  // type, 4.0, "l", mode, status, sum, length
    "215a 3c6b 2100 0100 0200 70110100"               // stamp, attributes, readonly, Speed, 70000
    "aa" +
    std::string(95 * 2, '0') + "bb 0600 8700";  // reserved, riddlelength 6, size 135

TEST_F(VeilStatsRecord, GoldenBytesAndDefaults) {
    VeilStats r;
    lq_veil_stats_unpack(reinterpret_cast<const uint8_t*>(lq_unhex(golden).data()), &r);
    EXPECT_EQ(r.checksum + r.originalsize + r.status + r.reserved[96],
              0x12345678u + 70000 - 1 + 0xBB);
    EXPECT_EQ(r.version, 4.0f);
    EXPECT_EQ(lq_hex(packed(r)), lq_hex(lq_unhex(golden)));
    // Defaults keep the stamp, attributes, read-only and compression choices.
    r.version = 2.5f, r.mode = 1, r.tag[0] = 'c', r.tag[1] = 'x';
    EXPECT_EQ(iDefaultVeilStats(&r), 0);
    EXPECT_EQ(lq_hex(packed(r)), lq_hex(lq_unhex("0200 00008040 6c00 0300 0000 00000000 00000000"
                                                 "215a 3c6b 2100 0100 0200 00000000" +
                                                 std::string(97 * 2, '0') + "0000 8700")));
}

// Older records, built field by field at the offsets of each layout; a tag
// or Riddle with no zero inside its field ends at the field's end.
TEST_F(VeilStatsRecord, LegacyRecordsConvert) {
    for (int16_t size : {774, 390, 287, 277}) {
        SCOPED_TRACE(size);
        const bool typed = size >= 390, stamped = size >= 287, original = size >= 390;
        LegacyRecord rec(size);
        rec.set_version(3.1f).text("tag", "k").set("mode", 2).set("status", 1);
        rec.text("riddle", "What did the raven say?").set("checksum", 0xCAFEBABEu, 4);
        rec.set("datalength", 4242, 4).set("recordtype", 7).set("dosdate", 0x1111);
        rec.set("dostime", 0x2222).set("dosattr", 1).set("readonly", 1).set("compression", 1);
        rec.set("originalsize", 9999, 4).text("reserved", std::string(97, '\x5C'));
        VeilStats r;
        std::memset(&r, 0x77, sizeof r);
        char riddle[VEIL_RIDDLE_SIZE];
        ASSERT_TRUE(lq_veil_stats_from_legacy(rec.data(), size, &r, riddle));
        EXPECT_EQ(r.recordtype, typed ? 7 : 0);
        EXPECT_EQ(r.version, 3.1f);
        EXPECT_EQ(std::string(r.tag, 2), std::string("k\0", 2));
        EXPECT_EQ(r.mode * 10 + r.status, 21);
        EXPECT_EQ(r.checksum, 0xCAFEBABEu);
        EXPECT_EQ(r.datalength, 4242);
        EXPECT_EQ(r.dosdate + r.dostime, stamped ? 0x3333 : 0);
        EXPECT_EQ(r.dosattr + r.readonly + r.compression, stamped ? 3 : 0);
        EXPECT_EQ(r.originalsize, original ? 9999 : 0);
        EXPECT_EQ(r.reserved[0] + r.reserved[96], original ? 2 * 0x5C : 0);
        EXPECT_STREQ(riddle, "What did the raven say?");
        EXPECT_EQ(r.riddlelength, 24);
        EXPECT_EQ(r.structsize, 135);

        const size_t field = size == 774 ? 641 : 257;
        LegacyRecord full(size);
        full.text("tag", "mn").text("riddle", std::string(field, 'R'));
        ASSERT_TRUE(lq_veil_stats_from_legacy(full.data(), size, &r, riddle));
        EXPECT_EQ(std::string(r.tag, 2), "mn");
        EXPECT_EQ(std::string(riddle), std::string(field, 'R'));
        EXPECT_EQ(r.riddlelength, int16_t(field + 1));
    }
    VeilStats r;
    char riddle[VEIL_RIDDLE_SIZE];
    uint8_t junk[800] = {};
    EXPECT_FALSE(lq_veil_stats_from_legacy(junk, 136, &r, riddle));
}

TEST_F(VeilStatsRecord, JudgementLinesAndRiddlePlacement) {
    VeilStats r = current_record(1000, 0x12345678u, 6);
    EXPECT_EQ(lq_veil_judge(&r, 1000, 0x12345678u), 0);
    EXPECT_EQ(lq_veil_judge(&r, 1000, 0x12345679u), 1);
    EXPECT_EQ(lq_veil_judge(&r, 1001, 0), -1);  // the length is judged first
    EXPECT_STREQ(lq_veil_status_text(0), "Status: OK !");
    EXPECT_STREQ(lq_veil_status_text(1), "Status: BAD checksum");
    EXPECT_STREQ(lq_veil_status_text(-1), "Status: BAD data length");
    char line[64];
    lq_veil_version_line(&r, line, sizeof line);
    EXPECT_STREQ(line, "Version:4.0 l   Mode:3");
    r.version = 12.5f, r.tag[0] = 'm', r.tag[1] = 'n', r.mode = -2;  // tag with no zero
    lq_veil_version_line(&r, line, sizeof line);
    EXPECT_STREQ(line, "Version:12.5 mn   Mode:-2");
    r.tag[0] = 0;
    lq_veil_version_line(&r, line, sizeof line);
    EXPECT_STREQ(line, "Version:12.5     Mode:-2");

    // The Riddle trails the data from 4.0 'h' on (version, tag, trailer).
    for (const char* c : {"4.0l1", "4.0g0", "4.0h1", "4.5a1", "3.9z0"}) {
        r.version = std::stof(std::string(c, 3)), r.tag[0] = c[3];
        EXPECT_EQ(lq_veil_riddle_is_trailer(&r), c[4] == '1') << c;
    }
}

}  // namespace
