// The Veilmix cipher (golden streams, progress window), the VeilStats record, the reader of the
// trailers and the scan of the data part; encrypted text load and save (round trips:
// tests/cli/note_cli_test.sh), a failure at each step keeping the old file.
#include <fstream>
#include <sstream>

#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
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
        std::strcpy(gRiddle, "kept");
        lq_boxes_clear();
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
            lq_boxes_clear();
            gMakeBackup = 0;
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
        {"", 0, 0, 2, 0, 0},
        {"payload" + later.bytes, 1, -1, 2, 0, 0},
        {whole, 1, 150000, 0, byte_sum(data), counts[0x41]},
    };
    for (const auto& [file, read_header, length, judgement, sum, as] : cases) {
        SCOPED_TRACE(file.size());
        write_file(p, file);
        rec.status = 5;
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
    EXPECT_EQ(scan(path("missing.end"), 0), -2);
    write_file(path("plain.txt"), "just text");
    EXPECT_EQ(scan(path("plain.txt")), 1);  // the reader's refusal, unchanged
    pf_fault_arm(PF_FAULT_ALLOC, 1);        // half the buffer serves
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(std::make_tuple(gByteSum, pf_fault_calls(PF_FAULT_ALLOC)),
              std::make_tuple(byte_sum(data), 2));
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY, true);  // none down to 1024
    EXPECT_EQ(scan(p), -8);
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_READ, 5);  // after the reader's three reads, the second piece
    EXPECT_EQ(scan(p), -1);
}

TEST_F(VeilReader, EncryptedTextFailuresKeepTheOldFile) {
    auto save = [&](const std::string& text, int16_t compression) {
        std::strcpy(gPassword1, "Nightjar7"), std::strcpy(gPassword2, "Kestrel42");
        iDefaultVeilStats(&gVeilStats);
        gVeilStats.compression = compression;
        LqSecretBlock b;
        EXPECT_EQ(b.get(uint32_t(text.size() + 1)), 0);
        text.copy(reinterpret_cast<char*>(b.data), text.size());
        return lq_write_encrypted_text(p.c_str(), &gVeilStats, &b, uint32_t(text.size()));
    };
    ASSERT_EQ(save("old text", 0), 0);
    const std::string before = read_file(p);
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
        EXPECT_EQ(
            std::make_tuple(list_dir(dir()), read_file(p),
                            b.data ? std::string(reinterpret_cast<char*>(b.data)) : "-"),
            std::make_tuple(std::vector<std::string>{"letter.end"}, before, n ? "-" : "old text"));
    }
    lq_warn_encrypted_text_size();
    EXPECT_BOX(0, "Lockquill(TM) WARNING: iLoadEncryptedEditFile ",
               " The size of the file is different than the amount of text copied to this editor "
               "window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
               "CHARACTERS!",
               LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
}

}  // namespace
