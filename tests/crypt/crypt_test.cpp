// The Veilmix cipher (golden streams, progress window), the VeilStats record, the reader of the
// trailers and the scan of the data part; encrypted text load and save (round trips:
// tests/cli/note_cli_test.sh), a failure at each step keeping the old file; encrypting and
// decrypting files in place, a failure at every platform call, a killed run.
#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <algorithm>
#include <cstdint>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <tuple>

#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "crypt/veil_stats.h"
#include "crypt/veilmix_file.h"
#include "fileops/progress.h"
#include "fuzz/veil_stream.h"
#include "tests/support/lq_test.h"
namespace {
class CryptTest : public LqTest {
  protected:
    void SetUp() override {
        LqTest::SetUp(), lq_crypt_reset();
        std::strcpy(gPassword1, "Lockquill"), std::strcpy(gPassword2, "Quillock7");
    }
};

// An older record of 774, 390, 287 or 277 bytes, zero-filled, its size in its last two bytes.
// set() writes a little-endian field of n bytes (text() characters); absent fields are skipped.
struct LegacyRecord {
    explicit LegacyRecord(int16_t size) : bytes(size_t(size), '\0') {
        const bool big = size >= 390;
        const int c = size == 774 ? 653 : big ? 269 : 267, o = big ? 2 : 0;  // checksum, shift
        at = {{"version", o},     {"tag", o + 4},  {"mode", o + 6},      {"status", o + 8},
              {"riddle", o + 10}, {"checksum", c}, {"datalength", c + 4}};
        if (big) at["recordtype"] = 0, at["originalsize"] = c + 18, at["reserved"] = c + 22;
        const char* stamp[] = {"dosdate", "dostime", "dosattr", "readonly", "compression"};
        for (int i = 0; i < 5 && size != 277; ++i) at[stamp[i]] = c + 8 + 2 * i;
        bytes[size_t(size) - 2] = char(size), bytes[size_t(size) - 1] = char(size >> 8);
    }
    LegacyRecord& set(const char* field, uint32_t v, int n = 2) {
        for (int i = 0; i < n && at.count(field); ++i)
            bytes[size_t(at[field] + i)] = char(v >> (8 * i));
        return *this;
    }
    LegacyRecord& set_version(float f) {
        uint32_t b;
        std::memcpy(&b, &f, 4);
        return set("version", b, 4);
    }
    LegacyRecord& text(const char* field, const std::string& t) {
        if (at.count(field)) bytes.replace(size_t(at[field]), t.size(), t);
        return *this;
    }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(bytes.data()); }
    std::string bytes;
    std::map<std::string, int> at;
};

VeilStats current_record(int32_t datalength, uint32_t checksum, int16_t riddlelength) {
    VeilStats r{};
    iDefaultVeilStats(&r);
    r.datalength = datalength, r.checksum = checksum, r.riddlelength = riddlelength;
    return r;
}
std::string packed(const VeilStats& r) {
    uint8_t b[VEIL_STATS_SIZE];
    lq_veil_stats_pack(&r, b);
    return std::string(reinterpret_cast<char*>(b), VEIL_STATS_SIZE);
}
uint32_t byte_sum(const std::string& s) {
    return std::accumulate(s.begin(), s.end(), 0u,
                           [](uint32_t a, unsigned char c) { return a + c; });
}
// data + Riddle with its zero + record describing them.
std::string encrypted_file(const std::string& data, const std::string& riddle) {
    return data + riddle + '\0' +
           packed(current_record(int32_t(data.size()), byte_sum(data), int16_t(riddle.size() + 1)));
}
std::string ledger() {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 17) + " of the ledger\r\n";
    return text;
}
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
    VeilStats r = current_record(0, 0, 1);  // mode 3
    iVeilmix(uint32_t(s.size()), reinterpret_cast<uint8_t*>(&s[0]), &r, 1, 0, nullptr);
    EXPECT_EQ(s, veil("", "", 3, plain, 1));
    veil(a, b, 3, "", 1);
    gByteSum = 0xFFFFFFF0u, s = plain;
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
    EXPECT_EQ(std::make_tuple(r.checksum + r.originalsize + r.status + r.reserved[96], r.version),
              std::make_tuple(0x12345678u + 70000 - 1 + 0xBB, 4.0f));
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
        EXPECT_EQ(
            std::make_tuple(r.version, std::string(r.tag, 2), r.checksum, r.datalength,
                            std::string(riddle),
                            r.mode * 10 + r.status + r.riddlelength * 100 + r.structsize * 10000,
                            r.dosdate + r.dostime + r.dosattr + r.readonly + r.compression,
                            r.recordtype * 100000 + r.originalsize, r.reserved[0] + r.reserved[96]),
            std::make_tuple(3.1f, std::string("k\0", 2), 0xCAFEBABEu, 4242,
                            "What did the raven say?", 1352421, stamped * 0x3336, typed * 709999,
                            typed * 2 * 0x5C));
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

class VeilReader : public CryptTest {
  protected:
    int read(const std::string& p, int16_t ask_old = 1, int16_t show = 1) {
        rec = VeilStats{}, header = 0;
        return iReadVeilStats(&rec, p.c_str(), &header, ask_old, show);
    }
    int scan(const std::string& p, int16_t read_header = 1) {
        return iScanFileBytes(p.c_str(), &rec, read_header, &header, 1, 1);
    }
    void SetUp() override { CryptTest::SetUp(), p = path("letter.end"); }
    std::string p;
    VeilStats rec{};
    int16_t header = 0;
};

LegacyRecord older(int16_t size) {
    LegacyRecord r(size);
    r.set_version(3.0f).text("tag", "c").set("mode", 3).text("riddle", "my cat's name");
    r.set("checksum", byte_sum("0123456789"), 4).set("datalength", 10, 4);
    return r;
}

// The last two bytes decide (a refusal shown when asked); Riddle lengths outside the buffer
// refused, one of 1024 cut; short files, I/O failures, the older records and their short reads.
TEST_F(VeilReader, RecordsRiddlesAndFailures) {
    VeilStats r = current_record(5, 0x1234, 8);
    r.dosdate = 0x5A21;
    const std::string good = "abcde" + std::string("Raven?\0\0", 8) + packed(r), no = "-";
    auto end = [](const char* e) { return std::string(300, 'T') + std::string(e, 2); };
    auto rl = [](int16_t n) {
        return std::string(40000, 'd') + packed(current_record(40000, 0, n));
    };
    auto old = [](int16_t size) { return "0123456789" + older(size).bytes; };
    const PfFaultOp NONE = PF_FAULT_COUNT_, OPEN = PF_FAULT_OPEN, READ = PF_FAULT_READ;
    // data: datalength * 1000 + riddlelength; riddle "-": refused and shown, gRiddle kept.
    const std::tuple<std::string, PfFaultOp, int, int, int, int, std::string, int16_t> cases[] = {
        {good, NONE, 0, 0, 135, 5008, "Raven?", 1},
        {end("\x12\x34"), NONE, 0, 1, 0, 0, no, 1},
        {end("\x88\x00"), NONE, 0, 1, 0, 0, no, 1},
        {end("\xFF\xFF"), NONE, 0, 1, 0, 0, no, 1},
        {end("\xFF\xFF"), NONE, 0, 1, 0, 0, "", 0},
        {rl(0), NONE, 0, 1, 0, 0, no, 1},
        {rl(-4), NONE, 0, 1, 0, 0, no, 1},
        {rl(1025), NONE, 0, 1, 0, 0, no, 1},
        {rl(30000), NONE, 0, 1, 0, 0, no, 1},
        {"dddd" + std::string(1024, 'R') + packed(current_record(4, 0, 1024)), NONE, 0, 0, 135,
         5024, std::string(1023, 'R'), 1},
        {packed(current_record(0, 0, 1)), NONE, 0, -14, 0, 0, "", 1},  // only the record
        {std::string("R\0", 2) + packed(current_record(0, 0, 2)), NONE, 0, -8, 0, 0, "", 1},
        {"xxxxx" + packed(current_record(0, 0, 9)), NONE, 0, -8, 0, 0, "", 1},  // Riddle too long
        {good, OPEN, 3, -3, 0, 0, "", 1},
        {good, OPEN, 4, -5, 0, 0, "", 1},
        {good, READ, 2, -6, 0, 0, "", 1},
        {good, READ, 3, -7, 0, 0, "", 1},
        {good, PF_FAULT_SEEK, 4, -14, 0, 0, "", 1},
        {good, PF_FAULT_SEEK, 5, -8, 0, 0, "", 1},
        {old(774), NONE, 0, 0, 774, 10014, "my cat's name", 1},
        {old(390), NONE, 0, 0, 390, 10014, "my cat's name", 1},
        {old(287), NONE, 0, 0, 287, 10014, "my cat's name", 1},
        {old(277), NONE, 0, 0, 277, 10014, "my cat's name", 1},
        {old(774), READ, 2, -9, 0, 0, "", 1},
        {old(390), READ, 2, -10, 0, 0, "", 1},
        {old(287), READ, 2, -11, 0, 0, "", 1},
        {old(277), READ, 2, -12, 0, 0, "", 1},
    };
    for (const auto& [file, op, n, result, want_header, data, riddle, show] : cases) {
        SCOPED_TRACE(::testing::Message() << file.size() << " " << op << "/" << n);
        write_file(p, file);
        std::strcpy(gRiddle, "kept"), lq_boxes_clear();
        if (n) pf_fault_arm(op, n);
        EXPECT_EQ(read(p, 1, show), result);
        pf_fault_reset();
        EXPECT_EQ(result < 0 ? "" : lq_boxes_text(dir()),
                  riddle == no ? "Lockquill(TM) ERROR: iReadVeilStats | The file @" +
                                     p.substr(dir().size()) +
                                     " is either not supported in this version or not a "
                                     "Lockquill Encrypted file |16\n"
                               : "");
        const std::string kept = result < 0 ? "-" : result ? "kept" : riddle;
        EXPECT_EQ(
            std::make_tuple(result ? 0 : header * 100000 + rec.datalength * 1000 + rec.riddlelength,
                            result < 0 ? "-" : std::string(gRiddle)),
            std::make_tuple(want_header * 100000 + data, kept));
    }
    write_file(p, good);
    ASSERT_EQ(read(p), 0);
    EXPECT_EQ(packed(rec), packed(r));
    EXPECT_EQ(gMakeBackup, 0);
}

// Newer versions, earlier modes over 32000 bytes: asked (Yes keeps a backup), or silently kept.
TEST_F(VeilReader, OtherVersionsAreQuestioned) {
    const std::string file = " The file " + p;
    const std::string newer =
        file + " seems to be encrypted by a newer version of Lockquill.  Continue anyways ?";
    const std::string earlier =
        file +
        " was encrypted by an earlier version, (v3.00c mode:2), of Lockquill. ERRORS WILL "
        "OCCUR 1 in 32,000 or 1 in 65,500 bytes. Continue anyways ?";
    const std::tuple<float, char, int16_t, int32_t, const std::string*> cases[] = {
        {4.0f, 'l', 3, 3, nullptr},     {4.0f, 'a', 3, 3, nullptr},
        {4.0f, 'm', 3, 3, &newer},      {4.1f, 'a', 3, 3, &newer},
        {4.0f, 'l', 4, 3, &newer},      {3.5f, 'z', 3, 40000, nullptr},
        {3.0f, 'c', 2, 32000, nullptr}, {3.0f, 'c', 2, 32001, &earlier}};
    for (const auto& [version, tag, mode, length, question] : cases) {
        SCOPED_TRACE(std::string(1, tag) + std::to_string(version) + std::to_string(length));
        VeilStats r = current_record(length, 0, 1);
        r.version = version, r.tag[0] = tag, r.mode = mode;
        write_file(p, std::string(size_t(length), 'e') + '\0' + packed(r));
        // No, then Yes; then the editor's probe, which does not ask.
        for (int answer : {int(LQ_IDNO), int(LQ_IDYES), 0}) {
            lq_boxes_clear(), gMakeBackup = 0;
            if (question && answer) lq_answer_next(answer);
            const int result = read(p, answer ? 1 : 0);
            if (!question || !answer) {
                EXPECT_EQ(std::make_tuple(result, lq_boxes_text(""), gMakeBackup),
                          std::make_tuple(0, "", question ? 1 : 0));
                break;
            }
            EXPECT_BOX(0, "Lockquill(TM) WARNING: iReadVeilStats", *question, 36);
            EXPECT_EQ(std::make_tuple(result, gMakeBackup),
                      std::make_tuple(answer == LQ_IDYES ? 0 : 1, answer == LQ_IDYES ? 1 : 0));
            if (answer == LQ_IDYES && question == &newer) break;
        }
    }
}

// The data part's sum, counts and judgement; without the trailers the whole file counts.  A
// legacy record claiming a later version puts a Riddle trailer longer than the file before it.
TEST_F(VeilReader, ScanSumsCountsAndJudgesTheDataPart) {
    const std::string data = lq_random_bytes(150000, 8), whole = encrypted_file(data, "riddle");
    uint32_t counts[256] = {};
    for (unsigned char c : data) ++counts[c];
    LegacyRecord later(390);
    later.set_version(5.0f).text("tag", "c").set("mode", 3).text("riddle", std::string(257, 'Q'));
    // length -1: negative (no data part); judgement 2: none; sum, 'A's -1: not checked.
    const std::tuple<std::string, int16_t, int32_t, int, int64_t, int64_t> cases[] = {
        {std::string(whole).replace(70000, 1, 1, char(data[70000] + 1)), 1, 150000, 1, -1, -1},
        {data + "!" + whole.substr(data.size()), 1, 150001, -1, -1, -1},
        {std::string(1000, 'A'), 0, 0, 2, 65000, 1000},
        {"A", 0, 0, 2, 65, 1},
        {"", 0, 0, 2, 0, 0},
        {"payload" + later.bytes, 1, -1, 2, 0, 0},
        {whole, 1, 150000, 0, byte_sum(data), counts[0x41]},
    };
    for (const auto& [file, read_header, length, judgement, sum, as] : cases) {
        SCOPED_TRACE(file.size());
        write_file(p, file), rec.status = 5;
        if (length < 0) lq_answer_next(LQ_IDYES);
        ASSERT_EQ(scan(p, read_header), 0);
        EXPECT_TRUE(length < 0 ? gDataLength < 0 : gDataLength == length) << gDataLength;
        const int16_t judged = lq_veil_judge(&rec, gDataLength, gByteSum);
        EXPECT_EQ(judgement == 2 ? 2 : rec.status * 10 + judged, judgement);
        EXPECT_EQ(std::make_tuple(sum < 0 ? sum : gByteSum, as < 0 ? as : gByteCounts[65]),
                  std::make_tuple(sum, as));
    }
    EXPECT_EQ(0, std::memcmp(counts, gByteCounts, sizeof counts));
}

TEST_F(VeilReader, ScanFailuresAndTheBufferHalving) {
    const std::string data = lq_random_bytes(100000, 3);
    write_file(p, encrypted_file(data, "r"));
    write_file(path("plain.txt"), "just text");  // the reader's refusal, unchanged
    EXPECT_EQ(std::make_tuple(scan(path("missing.end"), 0), scan(path("plain.txt"))),
              std::make_tuple(-2, 1));
    pf_fault_arm(PF_FAULT_ALLOC, 1);  // half the buffer serves
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(std::make_tuple(gByteSum, pf_fault_calls(PF_FAULT_ALLOC)),
              std::make_tuple(byte_sum(data), 2));
    pf_fault_reset(), pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY, true);
    EXPECT_EQ(scan(p), -8);  // none down to 1024
    pf_fault_reset(),
        pf_fault_arm(PF_FAULT_READ, 5);  // after the reader's three reads, the second piece
    EXPECT_EQ(scan(p), -1);
}

TEST_F(VeilReader, EncryptedTextFailuresKeepTheOldFile) {
    auto save = [&](const std::string& text, int16_t compression) {
        iDefaultVeilStats(&gVeilStats), gVeilStats.compression = compression;
        LqSecretBlock b;
        EXPECT_EQ(b.get(uint32_t(text.size() + 1)), 0);
        text.copy(reinterpret_cast<char*>(b.data), text.size());
        return lq_write_encrypted_text(p.c_str(), &gVeilStats, &b, uint32_t(text.size()));
    };
    ASSERT_EQ(save("old text", 0), 0);
    const std::string before = read_file(p);
    set_readonly(p, true);  // and stays so after every failed save
    const std::tuple<bool, int16_t, PfFaultOp, int, std::string> rows[] = {
        {true, 0, PF_FAULT_WRITE, 1, " Writing to the encrypted output file\r\n " + p + " failed."},
        {true, 2, PF_FAULT_WRITE, 1,
         " Writing to the encrypted compressed output file\r\n " + p + " failed."},
        {true, 0, PF_FAULT_WRITE, 2,
         " Writing the Riddle to the encrypted output file\r\n " + p + " failed"},
        {true, 0, PF_FAULT_WRITE, 3,
         " Writing the Header to the encrypted output file\r\n " + p + " failed"},
        {true, 1, PF_FAULT_ALLOC, 2,
         " Global write compressed output file memory buffer allocation failed."},
        {false, 0, PF_FAULT_ALLOC, 1, " Global load file memory buffer allocation failed."},
        {false, 0, PF_FAULT_READ, 1, " Global read file into allocated memory buffer failed."},
        {false, 0, PF_FAULT_OPEN, 1, " The file " + p + " failed to open for editing."},
        {false, 0, PF_FAULT_COUNT_, 0, ""},  // then the old text loads
    };
    for (const auto& [saving, compression, op, n, text] : rows) {
        SCOPED_TRACE(text);
        lq_boxes_clear();
        int32_t expected = 0;
        LqSecretBlock b;
        ASSERT_EQ(saving ? 0 : lq_scan_encrypted_text(p.c_str(), &gVeilStats, &header, 1, 1), 0);
        if (n) pf_fault_arm(op, n);
        EXPECT_EQ(saving ? save(std::string(9000, 'x'), compression)
                         : lq_read_encrypted_text(p.c_str(), &gVeilStats, &b, &expected),
                  n ? -1 : 0);
        pf_fault_reset();
        if (n)
            EXPECT_BOX(0, saving ? lq_save_text_error_caption : lq_load_text_error_caption, text,
                       LQ_MB_OK | LQ_MB_ICONSTOP);
        EXPECT_EQ(std::make_tuple(list_dir(dir()), read_file(p),
                                  b.data ? std::string(reinterpret_cast<char*>(b.data)) : "-",
                                  pf_get_attributes(p.c_str()) & PF_ATTR_READONLY),
                  std::make_tuple(std::vector<std::string>{"letter.end"}, before,
                                  n ? "-" : "old text", uint32_t(PF_ATTR_READONLY)));
    }
    lq_warn_encrypted_text_size();
    EXPECT_BOX(0, "Lockquill(TM) WARNING: iLoadEncryptedEditFile ",
               " The size of the file is different than the amount of text copied to this editor "
               "window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
               "CHARACTERS!",
               LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
}

const char* const ERR = "Lockquill(TM) ERROR: iVeilmixFile";
const char* const WARN = "Lockquill(TM) WARNING: iVeilmixFile";
const uint64_t t2001 = 126256467060000000ull;  // 2001-02-03 04:05:06 UTC, DOS 0x2A43 0x20A3
const uint64_t t1975 = 118165392000000000ull, t2150 = 173247984000000000ull;  // noon UTC
const uint64_t later = 864000 * 10000000ull;                                  // ten days
const uint32_t RO = PF_ATTR_READONLY, HIDDEN = PF_ATTR_HIDDEN;

class VeilmixFile : public CryptTest {
  protected:
    int encrypt(const std::string& p, int16_t compression = 0, int16_t readonly = 0) {
        iDefaultVeilStats(&gVeilStats);
        gVeilStats.compression = compression, gVeilStats.readonly = readonly;
        std::strcpy(gRiddle, "the raven"), gVeilStats.riddlelength = 10;
        return iVeilmixFile(p.c_str(), &gVeilStats, 1);
    }
    int decrypt(const std::string& p) {
        int16_t header = 0;
        const int left = lq_veil_remnant(p.c_str(), -1);
        if (left < 0) return 2000 + left;
        const int r = iScanFileBytes(p.c_str(), &gVeilStats, 1, &header, 1, 1);
        return r ? 1000 + r : iVeilmixFile(p.c_str(), &gVeilStats, -1);
    }
    std::string plain_file(const std::string& name, const std::string& bytes, uint64_t t = t2001) {
        return write_file(path(name), bytes), stamp(path(name), t), path(name);
    }
    // Sets the write time (unless 0); the write time * 4 + the read-only and hidden attributes.
    static uint64_t stamp(const std::string& p, uint64_t write = 0) {
        PfFaultPause pause;
        const uint32_t a = pf_get_attributes(p.c_str());
        pf_set_attributes(p.c_str(), a & ~RO);
        PfFile f =
            pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
        const PfFileTime w{uint32_t(write), uint32_t(write >> 32)};
        FileInformation i{};
        EXPECT_TRUE((!write || pf_set_file_time(f, nullptr, nullptr, &w)) &&
                    pf_get_file_information(f, &i));
        pf_close(f);
        pf_set_attributes(p.c_str(), a);
        const PfFileTime& t = i.ftLastWriteTime;
        return (uint64_t(t.dwHighDateTime) << 34 | uint64_t(t.dwLowDateTime) << 2) +
               (a & (RO | HIDDEN));
    }
    // The file holds `bytes` with its stamp and attributes, and is alone.
    void expect_as_was(const std::string& p, const std::string& bytes, uint64_t time,
                       uint32_t attrs = 0) {
        EXPECT_EQ(std::make_tuple(read_file(p), stamp(p), list_dir(dir()).size()),
                  std::make_tuple(bytes, time * 4 + attrs, size_t(1)))
            << lq_boxes_dump();
    }
};

// Round trips: the encrypted layout and record, the plain file's bytes, stamp and attributes
// back.  A stamp with no DOS form (1975, 2150) records none; the file keeps its own times.
TEST_F(VeilmixFile, RoundTrips) {
    // bytes, compression, ask_readonly, backup, attrs, encrypted_attrs, time
    const std::tuple<std::string, int16_t, int16_t, int16_t, uint32_t, uint32_t, uint64_t> cases[] =
        {{lq_random_bytes(150000, 21), 0, 0, 0, 0, 0, t2001},
         {ledger(), 2, 0, 0, 0, 0, t2001},
         {ledger(), 1, 0, 1, 0, 0, t2001},
         {"alpha alpha", 0, 1, 0, 0, RO, t2001},
         {"bravo bravo", 0, 0, 0, RO, RO, t2001},
         {"hidden things", 0, 0, 0, HIDDEN, HIDDEN, t2001},
         {"written long ago", 0, 0, 0, RO, RO, t1975},
         {"written long ago", 0, 0, 0, RO, RO, t2150},
         {"", 0, 0, 0, 0, 0, t2001}};
    for (const auto& [bytes, compression, ask_readonly, backup, attrs, encrypted_attrs, time] :
         cases) {
        SCOPED_TRACE(std::to_string(bytes.size()) + " " + std::to_string(compression));
        const std::string p = plain_file("report.doc", bytes, time);
        pf_set_attributes(p.c_str(), attrs | PF_ATTR_ARCHIVE);
        if ((stamp(p) & 3) != attrs) continue;  // no hidden attribute here
        lq_boxes_clear();
        ASSERT_EQ(encrypt(p, compression, ask_readonly), 0) << lq_boxes_dump();
        const std::string enc = read_file(p);
        VeilStats r;
        lq_veil_stats_unpack(reinterpret_cast<const uint8_t*>(&enc[enc.size() - 135]), &r);
        EXPECT_EQ(enc.substr(size_t(r.datalength)), std::string("the raven\0", 10) + packed(r));
        EXPECT_EQ(
            std::make_tuple(r.checksum, r.originalsize, r.compression,
                            r.dosdate * 0x10000 + r.dostime, uint32_t(r.dosattr)),
            std::make_tuple(byte_sum(enc.substr(0, size_t(r.datalength))), int32_t(bytes.size()),
                            compression, time == t2001 ? 0x2A4320A3 : 0, attrs | PF_ATTR_ARCHIVE));
        EXPECT_TRUE(!compression || r.datalength < r.originalsize / 4);
        expect_as_was(p, enc, time, encrypted_attrs);
        EXPECT_TRUE(compression ||
                    enc.substr(0, bytes.size()) == veil("Lockquill", "Quillock7", 3, bytes, 1));
        if (bytes.empty()) continue;  // the reader refuses an empty data part (above)
        stamp(p, time + later);       // the encrypted copy was touched later
        gMakeBackup = backup;
        ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        const std::string bed = path("report.BED");
        EXPECT_TRUE(!backup ||
                    std::make_tuple(read_file(bed), stamp(bed)) == std::make_tuple(enc, t2001 * 4));
        std::remove(bed.c_str());
        expect_as_was(p, bytes, time + (time == t2001 ? 0 : later), attrs);
        pf_set_attributes(p.c_str(), 0);
    }
}

// A stamp that does not convert keeps the file's times; wrong passwords (or a compression never
// made) show as a failed expansion, the encrypted file back.  An earlier mode-2 record over 32000
// bytes is decrypted only on Yes and keeps a backup (the reader's questions: above).
TEST_F(VeilmixFile, DecryptionOfChangedFiles) {
    // method, patch of record bytes 20-24 (stamp) or 28 (compression), password 2, result
    const std::tuple<int16_t, std::string, const char*, int> cases[] = {
        {0, lq_unhex("0000 a320 01"), "Quillock7", 0},  // date 0
        {0, lq_unhex("402a a320 01"), "Quillock7", 0},  // day 0
        {0, lq_unhex("a32b a320 01"), "Quillock7", 0},  // month 13
        {0, lq_unhex("432a 00c8 01"), "Quillock7", 0},  // hour 25
        {1, "", "Quillock8", -15},
        {2, "", "Quillock8", -15},
        {0, "\x02", "Quillock7", -15}};
    const std::string p = path("ledger.txt");
    for (const auto& [method, patch, password2, result] : cases) {
        SCOPED_TRACE(lq_hex(patch) + password2);
        ASSERT_EQ(encrypt(plain_file("ledger.txt", ledger()), method), 0);
        std::string enc = read_file(p);
        enc.replace(enc.size() - 135 + (patch.size() == 1 ? 28 : 20), patch.size(), patch);
        write_file(p, enc), stamp(p, t2001 + later);
        std::strcpy(gPassword2, password2), lq_boxes_clear();
        EXPECT_EQ(decrypt(p), result);
        EXPECT_EQ(result ? lq_boxes().back().text : "",
                  result ? " DeCompression of the file " + p +
                               " failed!  NOTE: the file has been DeCrypted, but failed "
                               "expansion  The passwords may be wrong: the encrypted file has "
                               "been put back under its name. "
                         : "");
        expect_as_was(p, result ? enc : ledger(), t2001 + later, result ? 0 : RO);
        set_readonly(p, false), std::strcpy(gPassword2, "Quillock7");
    }

    const std::string plain = lq_random_bytes(40000, 12);
    const std::string data = veil("Lockquill", "Quillock7", 2, plain, 1);
    LegacyRecord old(390);
    old.set_version(3.0f).text("tag", "c").set("mode", 2).text("riddle", "old riddle");
    old.set("checksum", byte_sum(data), 4).set("datalength", 40000, 4);
    old.set("dosdate", 0x2A43).set("dostime", 0x20A3).set("dosattr", 0x20);
    const std::string enc = data + old.bytes;
    write_file(p, enc);
    EXPECT_EQ(decrypt(p), 1001);  // unanswered: No
    EXPECT_EQ(read_file(p), enc);
    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(p) + read_file(path("ledger.BED")), plain + enc);
    EXPECT_EQ(stamp(p), t2001 * 4);
}

// Questions, refusals and failures with their messages: the file as it was (not compressed).
TEST_F(VeilmixFile, QuestionsAndRefusals) {
    const std::string p = path("doc.txt"), tef = path("doc.TEF");
    const PfFaultOp NONE = PF_FAULT_COUNT_;
    // how: e encrypted first, d decrypting, b an old backup beside; @ the file, # its backup.
    const std::tuple<const char*, PfFaultOp, int, int, int, const char*> cases[] = {
        {"edb", NONE, 0, LQ_IDNO, 1,
         " There is alread an EnCrypted file # backup for this file.  Do you wish to overwrite it "
         "?"},
        {"e-b", NONE, 0, LQ_IDNO, 1,
         " There is already an original data file backup for the file #.  Do you wish to "
         "overwrite it ?"},
        {"---", PF_FAULT_DISKFREE, 1, 0, -1,
         " There is not enough free media space to EnCrypt:\r\n @ "},
        {"ed-", PF_FAULT_DISKFREE, 1, 0, -1,
         " There is not enough free media space to DeCrypt:\r\n @"},
        {"edb", PF_FAULT_WRITE, 1, LQ_IDYES, -1,
         " COULD NOT delete the old EnCrypted file backup named #!  Delete the file manually."},
        {"---", PF_FAULT_GETINFO, 1, 0, -1, " COULD NOT process attributes of the file:\r\n @"},
        {"---", PF_FAULT_MOVE, 1, 0, -1, " COULD NOT rename\r\n @ to\r\n #"},
        {"---", PF_FAULT_OPEN, 4, 0, -1,
         " COULD NOT open the backup of the original file # for reading"},
        {"---", PF_FAULT_OPEN, 5, 0, -1, " COULD NOT create and/or open\r\n @ for writing"},
        {"---", PF_FAULT_ALLOC, 1, 0, -1, " Read/Write buffer allocation failed!"},
        {"---", PF_FAULT_READ, 1, 0, -102, " Error code: -102"},
        {"---", PF_FAULT_WRITE, 1, 0, -104, " Error code: -104"},
        {"---", PF_FAULT_WRITE, 3, 0, -12, " COULD NOT WRITE Riddle to:\r\n @"},
        {"---", PF_FAULT_WRITE, 4, 0, -13, " COULD NOT WRITE VeilStat Header to:\r\n @"},
        // A remnant: refused whatever the answer.
        {"--b", NONE, 0, LQ_IDYES, -1,
         " The file @ is the incomplete result of an operation that did not finish; its original "
         "is kept as #.  Nothing was done: check both files and rename the backup back by hand."},
    };
    auto named = [&](std::string t) {
        for (size_t at; (at = t.find_first_of("@#")) != std::string::npos;)
            t.replace(at, 1, t[at] == '@' ? p : tef);
        return t;
    };
    for (const auto& [how, op, n, answer, result, text] : cases) {
        SCOPED_TRACE(text);
        plain_file("doc.txt", ledger());
        ASSERT_EQ(how[0] == 'e' ? encrypt(p) : 0, 0);
        const std::string before = read_file(p);
        lq_boxes_clear();
        if (how[2] == 'b') write_file(tef, "old");
        if (op != NONE)
            pf_fault_arm(op, n,
                         op == PF_FAULT_ALLOC ? PF_ERROR_NOT_ENOUGH_MEMORY : PF_ERROR_DISK_FULL,
                         op == PF_FAULT_ALLOC);
        if (answer) lq_answer_next(answer);
        EXPECT_EQ(how[1] == 'd' ? decrypt(p) : encrypt(p, answer ? 2 : 0), result);
        pf_fault_reset();
        EXPECT_BOX(lq_boxes().size() - 1, answer == LQ_IDNO ? WARN : ERR, named(text),
                   answer == LQ_IDNO ? 36 : 16);
        EXPECT_EQ(read_file(p), before);  // neither compressed nor changed
        std::remove(tef.c_str());
    }
    // A backup's name takes no backup: an encryption declined, a decryption failed.
    ASSERT_EQ(encrypt(plain_file("x.bin", "data")), 0);
    std::rename(path("x.bin").c_str(), path("x.TEF").c_str());
    for (const std::string& t : {plain_file("old.TEF", "data"), path("x.TEF")}) {
        const std::string before = read_file(t);
        lq_boxes_clear();
        EXPECT_EQ(t == path("x.TEF") ? decrypt(t) : encrypt(t), t == path("x.TEF") ? -1 : 1);
        EXPECT_EQ(read_file(t) + std::to_string(lq_boxes().size()), before + "1");
    }
    std::remove(path("x.TEF").c_str());
    // An existing backup beside an encrypted file is asked about; on Yes, replaced.
    ASSERT_EQ(encrypt(p), 0);
    write_file(tef, "in the way");
    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(encrypt(p), 0) << lq_boxes_dump();
    EXPECT_BOX(lq_boxes().size() - 1, WARN, named(std::get<5>(cases[1])), 36);
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{"doc.txt", "old.TEF"}));
    // A file that ends in no record is never transformed.
    const std::string q = plain_file("plain.txt", "data");
    EXPECT_EQ(iVeilmixFile(q.c_str(), &gVeilStats, -1), -1);
    EXPECT_EQ(read_file(q), "data");
}

#ifndef _WIN32
int kill_countdown;
void kill_observer(PfFile, int64_t, const void*, uint32_t) {
    if (--kill_countdown == 0) raise(SIGKILL);
}
#endif

// A failure at each platform call, then a kill at each write and a second run: the original as
// it was (or the result), or in a backup a message names (as an unwipeable one); leftovers named.
TEST_F(VeilmixFile, FailureAtEveryPlatformCallAndKill) {
    struct Op {
        bool decrypting;
        int16_t compression;
        std::string plain;
    } ops[] = {{false, 0, lq_random_bytes(3000, 1)},
               {false, 0, lq_random_bytes(150000, 2)},
               {false, 2, ledger()},
               {true, 0, lq_random_bytes(3000, 3)},
               {true, 0, lq_random_bytes(150000, 4)},
               {true, 1, ledger()}};
    const std::string p = path("s.bin"), tef = path("s.TEF");
    auto named = [](const std::string& name) {  // in an error box
        return std::any_of(lq_boxes().begin(), lq_boxes().end(), [&](const RecordedBox& b) {
            return b.style == 16 && b.text.find(name) != std::string::npos;
        });
    };
    for (const Op& op : ops) {
        auto prepare = [&] {
            for (const std::string& f : list_dir(dir())) std::remove(path(f).c_str());
            std::remove(path("\xFF").c_str());  // (listed in another encoding on Windows)
            plain_file("s.bin", op.plain);
            if (op.decrypting) {
                PfFaultPause pause;
                ASSERT_EQ(encrypt(p, op.compression), 0);
                stamp(p, t2001 + later);
            }
            pf_fault_reset(), lq_boxes_clear();
        };
        auto run = [&] { return op.decrypting ? decrypt(p) : encrypt(p, op.compression); };
        prepare();
        const std::string before = read_file(p);
        const uint64_t time = stamp(p);
        ASSERT_EQ(run(), 0) << op.decrypting << op.compression << lq_boxes_dump();
        int calls[PF_FAULT_COUNT_];
        for (int k = 0; k < PF_FAULT_COUNT_; ++k) calls[k] = pf_fault_calls(PfFaultOp(k));
        auto judge = [&](int r, bool killed, int k, int i) {
            SCOPED_TRACE(::testing::Message() << op.decrypting << op.compression << " killed "
                                              << killed << " " << k << "/" << i << " -> " << r);
            EXPECT_TRUE(r != 0 || !named(tef)) << lq_boxes_dump();  // as the unwipeable backup
            if (r != 0 && exists(tef) && read_file(tef) == before && named(tef)) return;
            // The wipe's emptied "\xFF" is named by its old name; a kill's is a backup half wiped.
            for (const std::string& f : list_dir(dir())) {
                EXPECT_TRUE(path(f) == p || f[0] != 's' || killed || named(path(f)))
                    << f << lq_boxes_dump();
                if (path(f) != p) std::remove(path(f).c_str());
            }
            std::remove(path("\xFF").c_str());
            if (r != 0 && read_file(p) == before) {
                EXPECT_EQ(stamp(p), time);
                EXPECT_TRUE(r > 900 || !lq_boxes().empty());  // the reader's I/O: none
                return;
            }
            if (!op.decrypting && exists(p)) {  // finished: an encryption decrypts
                PfFaultPause pause;
                EXPECT_EQ(decrypt(p), 0);
            }
            EXPECT_EQ(read_file(p), op.plain) << lq_boxes_dump();
        };
        for (int k = 0; k < PF_FAULT_COUNT_; ++k)
            for (int i = 1; i <= calls[k]; ++i) {
                prepare(), pf_fault_arm(PfFaultOp(k), i);
                const int r = run();
                pf_fault_reset(), judge(r, false, k, i);
            }
#ifndef _WIN32
        // (A killed compression before an encryption is the compression's own.)
        for (int n = 1; n <= calls[PF_FAULT_WRITE] && !(op.compression && !op.decrypting); ++n) {
            prepare(), std::fflush(nullptr);
            const pid_t child = fork();
            if (child == 0)
                kill_countdown = n, pf_set_write_observer(kill_observer), run(), _exit(0);
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_TRUE(WIFSIGNALED(status));
            judge(run(), true, PF_FAULT_WRITE, n);
        }
#endif
    }
}

}  // namespace
