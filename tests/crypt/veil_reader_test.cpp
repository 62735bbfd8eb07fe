// Reading the trailers of encrypted files and scanning their data part.
#include <cstring>
#include <string>

#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "tests/crypt/crypt_test_util.h"
#include "tests/support/lq_test.h"

namespace {

const char* const unsupported_caption = "Lockquill(TM) ERROR: iReadVeilStats ";
const char* const warning_caption = "Lockquill(TM) WARNING: iReadVeilStats";

std::string unsupported_text(const std::string& p) {
    return " The file " + p +
           " is either not supported in this version or not a Lockquill Encrypted file ";
}

class ReadVeilStats : public CryptTest {
  protected:
    int read(const std::string& p, int16_t ask_old = 1, int16_t show = 1) {
        std::memset(&rec, 0, sizeof rec);
        header = 0;
        return iReadVeilStats(&rec, p.c_str(), &header, ask_old, show);
    }
    VeilStats rec;
    int16_t header;
};

TEST_F(ReadVeilStats, CurrentRecordAndRiddle) {
    const std::string p = path("letter.end");
    VeilStats r = current_record(5, 0x1234, 8);
    r.dosdate = 0x5A21;
    r.compression = 2;
    write_file(p, "abcde" + std::string("Raven?\0\0", 8) + packed(r));
    ASSERT_EQ(read(p), 0) << lq_boxes_dump();
    EXPECT_EQ(header, 135);
    EXPECT_EQ(packed(rec), packed(r));
    EXPECT_STREQ(gRiddle, "Raven?");
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(gMakeBackup, 0);
}

// No magic number: the last two bytes decide.
TEST_F(ReadVeilStats, AnyFileEndingInAKnownSizeIsTaken) {
    const std::string p = path("plain.txt");
    // A text file whose last four bytes read as riddlelength 3 and size 135.
    std::string text(300, 'T');
    text[296] = 3;
    text[297] = 0;
    text[298] = char(0x87);
    text[299] = 0;
    write_file(p, text);
    // Its "version" bytes read as a huge float: a newer version.
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(read(p), 0) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes().size(), 1u);
    EXPECT_STREQ(gRiddle, "TTT");

    for (const std::string& end :
         {std::string("\x12\x34", 2), std::string("\x88\x00", 2), std::string("\xFF\xFF", 2)}) {
        lq_boxes_clear();
        write_file(p, std::string(300, 'T') + end);
        EXPECT_EQ(read(p), 1);
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_BOX(0, unsupported_caption, unsupported_text(p), 16);
        lq_boxes_clear();
        EXPECT_EQ(read(p, 1, 0), 1);
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    }
}

// gRiddle holds 1024 bytes: a riddlelength outside 1..1024 is refused and
// nothing is read past the buffer.
TEST_F(ReadVeilStats, RiddleLengthOutsideTheBufferIsRefused) {
    const std::string p = path("odd.end");
    for (int16_t rl : {int16_t(0), int16_t(-4), int16_t(1025), int16_t(30000)}) {
        SCOPED_TRACE(rl);
        lq_boxes_clear();
        std::strcpy(gRiddle, "kept");
        write_file(p, std::string(40000, 'd') + packed(current_record(40000, 0, rl)));
        EXPECT_EQ(read(p), 1);
        EXPECT_BOX(0, unsupported_caption, unsupported_text(p), 16);
        EXPECT_STREQ(gRiddle, "kept");
    }
    // 1024 is the most there is room for; a Riddle without its zero is cut.
    write_file(p,
               std::string(10, 'd') + std::string(1024, 'R') + packed(current_record(10, 0, 1024)));
    EXPECT_EQ(read(p), 0);
    EXPECT_EQ(std::string(gRiddle), std::string(1023, 'R'));
}

TEST_F(ReadVeilStats, ShortAndEmptyFiles) {
    const std::string p = path("short.end");
    // Exactly the record: nothing before it.
    write_file(p, packed(current_record(0, 0, 1)));
    EXPECT_EQ(read(p), -14);
    // Riddle and record but no data.
    write_file(p, std::string("R\0", 2) + packed(current_record(0, 0, 2)));
    EXPECT_EQ(read(p), -8);
    // A Riddle longer than what lies before the record.
    write_file(p, std::string(5, 'x') + packed(current_record(0, 0, 9)));
    EXPECT_EQ(read(p), -8);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// The reader's own I/O failures, made to happen.  sGetShortEndValue opens
// the file twice and reads once; lGetFileSize opens once.
TEST_F(ReadVeilStats, InputOutputFailures) {
    const std::string p = path("io.end");
    write_file(p, encrypted_file("some data", "riddle"));

    pf_fault_arm(PF_FAULT_OPEN, 3);  // lGetFileSize
    EXPECT_EQ(read(p), -3);
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_OPEN, 4);  // the reader's own open
    EXPECT_EQ(read(p), -5);
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_READ, 2);  // the record
    EXPECT_EQ(read(p), -6);
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_READ, 3);  // the Riddle
    EXPECT_EQ(read(p), -7);
    pf_fault_reset();
    // Seeks: two by sGetShortEndValue, one by lGetFileSize, then the
    // reader's to the record and to the Riddle.
    pf_fault_arm(PF_FAULT_SEEK, 4);
    EXPECT_EQ(read(p), -14);
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_SEEK, 5);
    EXPECT_EQ(read(p), -8);
}

TEST_F(ReadVeilStats, LegacyRecordsAreConvertedAndShortReadsNamed) {
    struct Case {
        int16_t size;
        int short_code;
    } cases[] = {{774, -9}, {390, -10}, {287, -11}, {277, -12}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::string p = path("old" + std::to_string(c.size) + ".dat");
        LegacyRecord rec_bytes(c.size);
        rec_bytes.set_version(3.0f).set_tag("c").set16("mode", 3).set16("status", 0);
        rec_bytes.set_riddle("my cat's name").set32("checksum", byte_sum("0123456789"));
        rec_bytes.set32("datalength", 10).set16("dosdate", 0x2345).set16("compression", 0);
        write_file(p, "0123456789" + rec_bytes.bytes());
        std::memset(gRiddle, 'x', sizeof gRiddle);
        ASSERT_EQ(read(p), 0) << lq_boxes_dump();
        EXPECT_EQ(header, c.size);
        EXPECT_EQ(rec.structsize, 135);
        EXPECT_EQ(rec.riddlelength, 14);
        EXPECT_STREQ(gRiddle, "my cat's name");
        EXPECT_EQ(rec.version, 3.0f);
        EXPECT_EQ(rec.datalength, 10);
        EXPECT_EQ(rec.dosdate, c.size >= 287 ? 0x2345 : 0);
        pf_fault_arm(PF_FAULT_READ, 2);
        EXPECT_EQ(read(p), c.short_code);
        pf_fault_reset();
    }
}

TEST_F(ReadVeilStats, NewerVersionsAreQuestioned) {
    const std::string p = path("new.end");
    struct Case {
        float version;
        char tag;
        int16_t mode;
        bool asks;
    } cases[] = {{4.0f, 'l', 3, false}, {4.0f, 'a', 3, false}, {4.0f, 'm', 3, true},
                 {4.1f, 'a', 3, true},  {4.0f, 'l', 4, true},  {3.5f, 'z', 3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.tag) + std::to_string(c.version));
        VeilStats r = current_record(3, byte_sum("abc"), 1);
        r.version = c.version;
        r.tag[0] = c.tag;
        r.mode = c.mode;
        write_file(p, std::string("abc\0", 4) + packed(r));
        for (int answer : {LQ_IDNO, LQ_IDYES}) {
            lq_boxes_clear();
            gMakeBackup = 0;
            lq_answer_next(answer);
            const int result = read(p);
            if (!c.asks) {
                EXPECT_EQ(result, 0);
                EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
                EXPECT_EQ(gMakeBackup, 0);
                continue;
            }
            EXPECT_BOX(0, warning_caption,
                       " The file " + p +
                           " seems to be encrypted by a newer version of Lockquill.  Continue "
                           "anyways ?",
                       36);
            EXPECT_EQ(result, answer == LQ_IDYES ? 0 : 1);
            EXPECT_EQ(gMakeBackup, answer == LQ_IDYES ? 1 : 0);
        }
    }
}

TEST_F(ReadVeilStats, EarlierModesOver32000BytesAreQuestioned) {
    const std::string p = path("old.end");
    auto make = [&](int32_t n) {
        VeilStats r = current_record(n, 0, 1);
        r.version = 3.0f;
        r.tag[0] = 'c';
        r.mode = 2;
        write_file(p, std::string(size_t(n), 'e') + std::string(1, '\0') + packed(r));
    };
    make(32000);
    EXPECT_EQ(read(p), 0);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(gMakeBackup, 0);

    make(32001);
    const std::string question =
        " The file " + p +
        " was encrypted by an earlier version, (v3.00c mode:2), of Lockquill. ERRORS WILL OCCUR 1 "
        "in 32,000 or 1 in 65,500 bytes. Continue anyways ?";
    EXPECT_EQ(read(p), 1);  // unanswered: No
    EXPECT_BOX(0, warning_caption, question, 36);
    EXPECT_EQ(gMakeBackup, 0);
    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(read(p), 0);
    EXPECT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(gMakeBackup, 1);
    // Without the question (the editor's probe) the backup is chosen silently.
    lq_boxes_clear();
    gMakeBackup = 0;
    EXPECT_EQ(read(p, 0), 0);
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(gMakeBackup, 1);
}

class ScanFileBytes : public CryptTest {
  protected:
    int scan(const std::string& p, int16_t read_header = 1) {
        return iScanFileBytes(p.c_str(), &rec, read_header, &header, 1, 1);
    }
    VeilStats rec{};
    int16_t header = 0;
};

TEST_F(ScanFileBytes, SumsCountsAndJudgesTheDataPart) {
    const std::string p = path("scan.end");
    const std::string data = lq_random_bytes(150000, 8);
    write_file(p, encrypted_file(data, "riddle"));
    rec.status = 5;
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(rec.status, 0);
    EXPECT_EQ(gDataLength, 150000);
    EXPECT_EQ(gByteSum, byte_sum(data));
    uint32_t counts[256] = {};
    for (unsigned char c : data) ++counts[c];
    EXPECT_EQ(0, std::memcmp(counts, gByteCounts, sizeof counts));
    EXPECT_EQ(lq_veil_judge(&rec, gDataLength, gByteSum), 0);

    // One data byte changed by one: bad checksum.
    std::string changed = data;
    changed[70000] = char(changed[70000] + 1);
    write_file(p, encrypted_file(data, "riddle").replace(70000, 1, 1, changed[70000]));
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(lq_veil_judge(&rec, gDataLength, gByteSum), 1);
    // One byte more before the trailers: bad data length.
    const std::string whole = encrypted_file(data, "riddle");
    write_file(p, data + "!" + whole.substr(data.size()));
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(gDataLength, 150001);
    EXPECT_EQ(lq_veil_judge(&rec, gDataLength, gByteSum), -1);
}

TEST_F(ScanFileBytes, WholeFileWithoutTrailersAndEmptyFiles) {
    const std::string p = path("any.bin");
    write_file(p, std::string(1000, 'A'));
    ASSERT_EQ(scan(p, 0), 0);
    EXPECT_EQ(gByteCounts[0x41], 1000u);
    EXPECT_EQ(gByteSum, 65000u);
    EXPECT_EQ(gDataLength, 0);  // only a scan with the trailers measures it

    write_file(p, "");
    ASSERT_EQ(scan(p, 0), 0);
    EXPECT_EQ(gByteSum, 0u);
    for (uint32_t c : gByteCounts) EXPECT_EQ(c, 0u);
}

// Legacy records hold their Riddle: the data part is the file less the record.
TEST_F(ScanFileBytes, LegacyDataPartExcludesOnlyTheRecord) {
    const std::string p = path("old.end");
    LegacyRecord r(390);
    r.set_version(3.0f).set_tag("c").set16("mode", 3).set_riddle("inside");
    r.set32("datalength", 7).set32("checksum", byte_sum("payload"));
    write_file(p, "payload" + r.bytes());
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(gDataLength, 7);
    EXPECT_EQ(lq_veil_judge(&rec, gDataLength, gByteSum), 0);
    // A record that claims a later version puts a Riddle trailer before it
    // that is longer than the file: no data part, and nothing read amiss.
    r.set_version(5.0f).set_riddle(std::string(257, 'Q'));
    write_file(p, "payload" + r.bytes());
    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(scan(p), 0);
    EXPECT_LT(gDataLength, 0);
    EXPECT_EQ(gByteSum, 0u);
    EXPECT_EQ(lq_veil_judge(&rec, gDataLength, gByteSum), -1);
}

TEST_F(ScanFileBytes, FailuresAndTheBufferHalving) {
    const std::string p = path("f.end");
    const std::string data = lq_random_bytes(100000, 3);
    write_file(p, encrypted_file(data, "r"));
    EXPECT_EQ(scan(path("missing.end"), 0), -2);
    // The reader's refusal comes back unchanged.
    write_file(path("plain.txt"), "just text");
    EXPECT_EQ(scan(path("plain.txt")), 1);

    // The first buffer can't be had: half of it serves.
    pf_fault_arm(PF_FAULT_ALLOC, 1);
    ASSERT_EQ(scan(p), 0);
    EXPECT_EQ(gByteSum, byte_sum(data));
    EXPECT_EQ(pf_fault_calls(PF_FAULT_ALLOC), 2);
    pf_fault_reset();
    // None at all, down to 1024 bytes: -8.
    pf_fault_arm(PF_FAULT_ALLOC, 1, PF_ERROR_NOT_ENOUGH_MEMORY, true);
    EXPECT_EQ(scan(p), -8);
    pf_fault_reset();
    // A read comes back short: -1.
    pf_fault_arm(PF_FAULT_READ, 5);  // after the reader's three reads, the second piece
    EXPECT_EQ(scan(p), -1);
}

}  // namespace
