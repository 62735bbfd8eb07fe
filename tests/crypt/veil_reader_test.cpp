// Reading the trailers of encrypted files and scanning their data part; encrypted text load and
// save (round trips: tests/cli/note_cli_test.sh), a failure at each step keeping the old file.
#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "tests/crypt/crypt_test_util.h"
namespace {

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

using EncryptedText = CryptTest;

TEST_F(EncryptedText, FailuresKeepTheOldFile) {
    const std::string p = path("old.ent");
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
        int16_t header = 0;
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
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"old.ent"});
        EXPECT_EQ(read_file(p), before);
        EXPECT_EQ(b.data ? std::string(reinterpret_cast<char*>(b.data)) : "<released>",
                  n ? "<released>" : "old text");
    }
    lq_warn_encrypted_text_size();
    EXPECT_BOX(0, "Lockquill(TM) WARNING: iLoadEncryptedEditFile ",
               " The size of the file is different than the amount of text copied to this editor "
               "window.  THE FILE MAY BE TOO LARGE FOR THE EDITOR AND/OR MAY CONTAIN NON-TEXT "
               "CHARACTERS!",
               LQ_MB_OK | LQ_MB_ICONEXCLAMATION);
}

}  // namespace
