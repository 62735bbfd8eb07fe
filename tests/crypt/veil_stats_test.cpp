// The VeilStats record: its 135 bytes, its defaults, the four older record
// sizes and the data-part judgement.
#include <cstring>
#include <string>

#include "crypt/veil_stats.h"
#include "tests/crypt/crypt_test_util.h"
#include "tests/support/lq_test.h"

namespace {

class VeilStatsRecord : public CryptTest {};

VeilStats sample() {
    VeilStats r;
    std::memset(&r, 0, sizeof r);
    r.recordtype = 2;
    r.version = 4.0f;
    r.tag[0] = 'l';
    r.mode = 3;
    r.status = -1;
    r.checksum = 0x12345678u;
    r.datalength = 1000;
    r.dosdate = 0x5A21;
    r.dostime = 0x6B3C;
    r.dosattr = 0x21;
    r.readonly = 1;
    r.compression = 2;
    r.originalsize = 70000;
    r.reserved[0] = 0xAA;
    r.reserved[96] = 0xBB;
    r.riddlelength = 6;
    r.structsize = 135;
    return r;
}

TEST_F(VeilStatsRecord, GoldenBytes) {
    const std::string golden = lq_unhex(
        "0200"      // recordtype 2
        "00008040"  // version 4.0
        "6c00"      // tag "l"
        "0300"      // mode 3
        "ffff"      // status -1
        "78563412"  // checksum
        "e8030000"  // datalength 1000
        "215a"      // dosdate
        "3c6b"      // dostime
        "2100"      // dosattr read-only | archive
        "0100"      // readonly
        "0200"      // compression "Speed"
        "70110100"  // originalsize 70000
        "aa" +
        std::string(95 * 2, '0') +
        "bb"      // reserved
        "0600"    // riddlelength
        "8700");  // structsize 135
    ASSERT_EQ(golden.size(), 135u);
    const VeilStats r = sample();
    uint8_t bytes[135];
    lq_veil_stats_pack(&r, bytes);
    EXPECT_EQ(lq_hex(std::string(reinterpret_cast<char*>(bytes), 135)), lq_hex(golden));

    VeilStats back;
    lq_veil_stats_unpack(reinterpret_cast<const uint8_t*>(golden.data()), &back);
    uint8_t again[135];
    lq_veil_stats_pack(&back, again);
    EXPECT_EQ(0, std::memcmp(again, bytes, 135));
    EXPECT_EQ(back.status, -1);
    EXPECT_EQ(back.originalsize, 70000);
    EXPECT_EQ(back.version, 4.0f);
}

TEST_F(VeilStatsRecord, DefaultsKeepStampAndChoices) {
    VeilStats r = sample();
    r.version = 2.5f;
    r.mode = 1;
    r.tag[0] = 'c';
    r.tag[1] = 'x';
    EXPECT_EQ(iDefaultVeilStats(&r), 0);
    uint8_t bytes[135];
    lq_veil_stats_pack(&r, bytes);
    EXPECT_EQ(lq_hex(std::string(reinterpret_cast<char*>(bytes), 135)),
              lq_hex(lq_unhex("0200 00008040 6c00 0300 0000 00000000 00000000"
                              "215a 3c6b 2100 0100 0200 00000000" +
                              std::string(97 * 2, '0') + "0000 8700")));
}

// Older records, built field by field at the offsets of each layout.
TEST_F(VeilStatsRecord, LegacyRecordsConvert) {
    struct Case {
        int16_t size;
        bool has_type, has_stamp, has_original;
    } cases[] = {{774, true, true, true},
                 {390, true, true, true},
                 {287, false, true, false},
                 {277, false, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        LegacyRecord rec(c.size);
        rec.set_version(3.1f).set_tag("k").set16("mode", 2).set16("status", 1);
        rec.set_riddle("What did the raven say?");
        rec.set32("checksum", 0xCAFEBABEu).set32("datalength", 4242);
        rec.set16("recordtype", 7).set16("dosdate", 0x1111).set16("dostime", 0x2222);
        rec.set16("dosattr", 0x01).set16("readonly", 1).set16("compression", 1);
        rec.set32("originalsize", 9999);
        if (c.has_original) rec.fill_reserved(0x5C);

        VeilStats r;
        std::memset(&r, 0x77, sizeof r);
        char riddle[VEIL_RIDDLE_SIZE];
        std::memset(riddle, 'x', sizeof riddle);
        ASSERT_TRUE(lq_veil_stats_from_legacy(rec.data(), c.size, &r, riddle));
        EXPECT_EQ(r.recordtype, c.has_type ? 7 : 0);
        EXPECT_EQ(r.version, 3.1f);
        EXPECT_EQ(r.tag[0], 'k');
        EXPECT_EQ(r.tag[1], 0);
        EXPECT_EQ(r.mode, 2);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.checksum, 0xCAFEBABEu);
        EXPECT_EQ(r.datalength, 4242);
        EXPECT_EQ(r.dosdate, c.has_stamp ? 0x1111 : 0);
        EXPECT_EQ(r.dostime, c.has_stamp ? 0x2222 : 0);
        EXPECT_EQ(r.dosattr, c.has_stamp ? 0x01 : 0);
        EXPECT_EQ(r.readonly, c.has_stamp ? 1 : 0);
        EXPECT_EQ(r.compression, c.has_stamp ? 1 : 0);
        EXPECT_EQ(r.originalsize, c.has_original ? 9999 : 0);
        EXPECT_EQ(r.reserved[0], c.has_original ? 0x5C : 0);
        EXPECT_EQ(r.reserved[96], c.has_original ? 0x5C : 0);
        EXPECT_STREQ(riddle, "What did the raven say?");
        EXPECT_EQ(r.riddlelength, 24);
        EXPECT_EQ(r.structsize, 135);
    }
    VeilStats r;
    char riddle[VEIL_RIDDLE_SIZE];
    uint8_t junk[800] = {};
    EXPECT_FALSE(lq_veil_stats_from_legacy(junk, 136, &r, riddle));
}

// A tag or Riddle with no zero inside its field ends at the field's end.
TEST_F(VeilStatsRecord, LegacyTextsWithoutTheirZeroAreCut) {
    for (int16_t size : {774, 390, 287, 277}) {
        SCOPED_TRACE(size);
        const size_t field = size == 774 ? 641 : 257;
        LegacyRecord rec(size);
        rec.set_tag("mn");  // both bytes, no zero
        rec.set_riddle(std::string(field, 'R'));
        VeilStats r;
        char riddle[VEIL_RIDDLE_SIZE];
        std::memset(riddle, 'x', sizeof riddle);
        ASSERT_TRUE(lq_veil_stats_from_legacy(rec.data(), size, &r, riddle));
        EXPECT_EQ(r.tag[0], 'm');
        EXPECT_EQ(r.tag[1], 'n');
        EXPECT_EQ(std::string(riddle), std::string(field, 'R'));
        EXPECT_EQ(r.riddlelength, int16_t(field + 1));
    }
}

TEST_F(VeilStatsRecord, JudgementAndLines) {
    VeilStats r = sample();
    EXPECT_EQ(lq_veil_judge(&r, 1000, 0x12345678u), 0);
    EXPECT_EQ(lq_veil_judge(&r, 1000, 0x12345679u), 1);
    EXPECT_EQ(lq_veil_judge(&r, 1001, 0x12345678u), -1);
    EXPECT_EQ(lq_veil_judge(&r, 1001, 0), -1);  // the length is judged first
    EXPECT_STREQ(lq_veil_status_text(0), "Status: OK !");
    EXPECT_STREQ(lq_veil_status_text(1), "Status: BAD checksum");
    EXPECT_STREQ(lq_veil_status_text(-1), "Status: BAD data length");

    char line[64];
    lq_veil_version_line(&r, line, sizeof line);
    EXPECT_STREQ(line, "Version:4.0 l   Mode:3");
    r.version = 12.5f;
    r.tag[0] = 'm';
    r.tag[1] = 'n';  // no zero: printed as its two bytes, no further
    r.mode = -2;
    lq_veil_version_line(&r, line, sizeof line);
    EXPECT_STREQ(line, "Version:12.5 mn   Mode:-2");
    r.tag[0] = 0;
    lq_veil_version_line(&r, line, sizeof line);
    EXPECT_STREQ(line, "Version:12.5     Mode:-2");
}

TEST_F(VeilStatsRecord, RiddlePlacementRule) {
    VeilStats r = sample();
    EXPECT_TRUE(lq_veil_riddle_is_trailer(&r));  // 4.0 "l"
    r.tag[0] = 'g';
    EXPECT_FALSE(lq_veil_riddle_is_trailer(&r));
    r.tag[0] = 'h';
    EXPECT_TRUE(lq_veil_riddle_is_trailer(&r));
    r.tag[0] = 'a';
    r.version = 4.5f;
    EXPECT_TRUE(lq_veil_riddle_is_trailer(&r));
    r.version = 3.9f;
    r.tag[0] = 'z';
    EXPECT_FALSE(lq_veil_riddle_is_trailer(&r));
}

}  // namespace
