// Compressing and expanding files in place and memory buffers: the record,
// the messages, and the files left on disk after every outcome.
#include "compress/compress_file.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>

#include "compress/arith.h"
#include "fileops/progress.h"
#include "platform/platform.h"
#include "tests/compress/coder_harness.h"
#include "tests/support/lq_test.h"

namespace {

const char compress_error[] = "Lockquill(TM) ERROR: iCompressFile ";
const char compress_warning[] = "Lockquill(TM) WARNING: iCompressFile";
const char expand_error[] = "Lockquill(TM) ERROR: iExpand ";
const char expand_warning[] = "Lockquill(TM) WARNING: iExpandFile";

struct Stamp {
    uint32_t attributes = 0;
    PfFileTime write{};
    bool operator==(const Stamp& o) const {
        return attributes == o.attributes && write.dwLowDateTime == o.write.dwLowDateTime &&
               write.dwHighDateTime == o.write.dwHighDateTime;
    }
};

Stamp stamp_of(const std::string& p) {
    PfFaultPause pause;
    Stamp s;
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return s;
    FileInformation info;
    std::memset(&info, 0, sizeof info);
    pf_get_file_information(f, &info);
    pf_close(f);
    s.attributes = info.dwFileAttributes & (PF_ATTR_READONLY | PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
    s.write = info.ftLastWriteTime;
    return s;
}

std::string text_of(size_t n) {
    std::string s;
    std::string r = lq_random_bytes(n, 21);
    const char* words[] = {"private ", "letters ", "stay ", "locked ",
                           "in ",      "quill ",   "and ",  "ink.\r\n"};
    for (size_t i = 0; s.size() < n; ++i) s += words[(uint8_t)r[i] % 8];
    s.resize(n);
    return s;
}

class CompressFileTest : public LqTest {
  protected:
    std::string name_;

    // A file with an old time stamp (2001-02-03 04:05:06).
    void make(const std::string& file, const std::string& bytes, bool read_only = false) {
        name_ = path(file);
        write_file(name_, bytes);
        PfFaultPause pause;
        PfFileTime t;
        pf_dos_to_file_time((21 << 9) | (2 << 5) | 3, (4 << 11) | (5 << 5) | 3, &t);
        PfFile f = pf_open(name_.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
        pf_set_file_time(f, &t, &t, &t);
        pf_close(f);
        if (read_only) set_readonly(name_, true);
    }
    std::string backup() const { return name_.substr(0, name_.rfind('.')) + ".TCF"; }
    std::string ratio_text(const std::string& name, int32_t compressed, int32_t original) {
        char text[600];
        std::snprintf(text, sizeof text,
                      " The compressed file %s is %2.2f percent of it's original size. ",
                      name.c_str(), (double)compressed / (double)original * 100.0);
        return text;
    }
};

TEST_F(CompressFileTest, RecordBytes) {
    CompStats r;
    std::memset(&r, 0x5A, sizeof r);  // garbage after the name must not reach the disk
    r.recordtype = 3;
    r.version = 1.0f;
    r.tag[0] = 'a';
    r.tag[1] = 0;
    r.algorithm = 2;
    r.reserved1 = 0;
    std::strcpy(r.filename, "C:\\A.TXT");
    r.compressedsize = 0x01020304;
    r.originalsize = -2;
    r.dosdate = 0x2A43;
    r.dostime = 0x2083;
    r.dosattr = 0x21;
    std::memset(r.reserved2, 0, sizeof r.reserved2);
    r.structsize = 254;
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(&r, bytes);
    std::string expected = "03 00 00 00 80 3f 61 00 02 00 00 00 43 3a 5c 41 2e 54 58 54";
    for (int i = 20; i < 141; ++i) expected += " 00";
    expected += " 04 03 02 01 fe ff ff ff 43 2a 83 20 21 00";
    for (int i = 155; i < 252; ++i) expected += " 00";
    expected += " fe 00";
    EXPECT_EQ(lq_hex(std::string((char*)bytes, sizeof bytes)), expected);

    CompStats back;
    cz_comp_stats_unpack(&back, bytes);
    EXPECT_EQ(back.algorithm, 2);
    EXPECT_STREQ(back.filename, "C:\\A.TXT");
    EXPECT_EQ(back.originalsize, -2);
    EXPECT_EQ(back.compressedsize, 0x01020304);
    EXPECT_EQ(back.dosattr, 0x21);
    EXPECT_EQ(back.structsize, 254);
    EXPECT_EQ(back.version, 1.0f);
}

TEST_F(CompressFileTest, InitKeepsTheEndOfALongNameAndReportsAMissingFile) {
    std::string long_name = std::string(150, 'd') + "\\file.txt";
    CompStats r;
    EXPECT_EQ(iInitCompStats(&r, 1, long_name.c_str()), -2);  // no such file
    EXPECT_EQ(r.originalsize, 0);
    EXPECT_EQ(std::string(r.filename), long_name.substr(long_name.size() - 128));
    EXPECT_BOX(0, "Lockquill(TM) ERROR: lGetFileSize",
               " COULD NOT determine size of the file, error # -10 \r\n " + long_name + " ", 16);
}

class BothCoders : public CompressFileTest, public ::testing::WithParamInterface<int> {};

TEST_P(BothCoders, CompressThenExpandInPlace) {
    uint16_t algorithm = (uint16_t)GetParam();
    std::string original = text_of(50000);
    make("letter.txt", original, true);
    Stamp before = stamp_of(name_);
    ASSERT_EQ(before.attributes & PF_ATTR_READONLY, (uint32_t)PF_ATTR_READONLY);

    ASSERT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 1, &cs_data), 0) << lq_boxes_dump();
    std::string packed = read_file(name_);
    ASSERT_GT(packed.size(), 254u);
    EXPECT_LT(packed.size(), original.size() / 2);
    EXPECT_EQ(lq_hex(packed.substr(packed.size() - 2)), "fe 00");
    CompStats r;
    cz_comp_stats_unpack(&r, (const uint8_t*)packed.data() + packed.size() - 254);
    EXPECT_EQ(r.algorithm, algorithm);
    EXPECT_EQ(r.originalsize, 50000);
    EXPECT_EQ(r.compressedsize, (int32_t)packed.size() - 254);
    EXPECT_EQ(r.recordtype, 3);
    EXPECT_STREQ(r.filename, name_.c_str());
    EXPECT_EQ(r.dosattr & 0x01, 0x01);
    EXPECT_EQ(r.dosdate, (21 << 9) | (2 << 5) | 3);
    EXPECT_EQ(gPreCompressSize, 50000);
    EXPECT_TRUE(stamp_of(name_) == before);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"letter.txt"});
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, "Lockquill(TM) Message: iCompressFile ",
               ratio_text(name_, r.compressedsize, 50000), 48);

    lq_boxes_clear();
    ASSERT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), 0) << lq_boxes_dump();
    EXPECT_TRUE(read_file(name_) == original);
    EXPECT_TRUE(stamp_of(name_) == before);
    EXPECT_EQ(cs_data.originalsize, 50000);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"letter.txt"});
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_P(BothCoders, TwoInARowBothWork) {
    uint16_t algorithm = (uint16_t)GetParam();
    for (int round = 0; round < 2; ++round) {
        std::string original = text_of(20000 + round * 777);
        make("round.txt", original);
        ASSERT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 0);
        ASSERT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), 0);
        EXPECT_TRUE(read_file(name_) == original);
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_P(BothCoders, TinyFileIsCancelledAndPutBack) {
    make("tiny.txt", "just a few bytes", true);
    Stamp before = stamp_of(name_);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, (uint16_t)GetParam(), 1, &cs_data), -12);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, compress_error,
               " The compressed file is larger than the original file.  CANCELLING FILE "
               "COMPRESSION.",
               16);
    EXPECT_EQ(read_file(name_), "just a few bytes");
    EXPECT_TRUE(stamp_of(name_) == before);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"tiny.txt"});
}

TEST_P(BothCoders, WriteFailureWhileCodingPutsTheOriginalBack) {
    uint16_t algorithm = (uint16_t)GetParam();
    std::string original = lq_random_bytes(400000, 8);  // several output buffers
    make("big.txt", original, true);
    Stamp before = stamp_of(name_);
    pf_fault_arm(PF_FAULT_WRITE, 2);
    int result = iCompressFile(name_.c_str(), 1, algorithm, 1, &cs_data);
    int coder = algorithm == 1 ? -3 : -1;
    EXPECT_EQ(result, coder);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, compress_error,
               algorithm == 1 ? " Arith-N file compression error: -3 "
                              : " LZSS file compression error: -1 ",
               16);
    EXPECT_TRUE(read_file(name_) == original);
    EXPECT_TRUE(stamp_of(name_) == before);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"big.txt"});
}

TEST_P(BothCoders, WriteFailureWhileExpandingPutsTheCompressedFileBack) {
    uint16_t algorithm = (uint16_t)GetParam();
    make("big.txt", text_of(300000));
    ASSERT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 0);
    std::string packed = read_file(name_);
    Stamp before = stamp_of(name_);
    pf_fault_arm(PF_FAULT_WRITE, 2);
    int result = iExpandFile(name_.c_str(), 1, &cs_data);
    EXPECT_EQ(result, -1);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(
        0, expand_error,
        algorithm == 1 ? " Arith-N file expansion error: -1 " : " LZSS file expansion error: -1 ",
        16);
    EXPECT_TRUE(read_file(name_) == packed);
    EXPECT_TRUE(stamp_of(name_) == before);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"big.txt"});
}

TEST_P(BothCoders, CutStreamFailsAndKeepsTheCompressedFile) {
    uint16_t algorithm = (uint16_t)GetParam();
    make("cut.txt", text_of(30000));
    ASSERT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 0);
    std::string packed = read_file(name_);
    // Keep the record, drop the second half of the coded data.
    std::string record = packed.substr(packed.size() - 254);
    std::string cut = packed.substr(0, (packed.size() - 254) / 2) + record;
    write_file(name_, cut);
    int result = iExpandFile(name_.c_str(), 1, &cs_data);
    EXPECT_EQ(result, algorithm == 1 ? -4 : -1);
    EXPECT_BOX(
        0, expand_error,
        algorithm == 1 ? " Arith-N file expansion error: -4 " : " LZSS file expansion error: -1 ",
        16);
    EXPECT_TRUE(read_file(name_) == cut);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"cut.txt"});
}

TEST_P(BothCoders, ExistingBackupIsAskedAbout) {
    uint16_t algorithm = (uint16_t)GetParam();
    std::string original = text_of(10000);
    make("notes.txt", original);
    write_file(backup(), "older backup");
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 5);
    EXPECT_BOX(0, compress_warning,
               " A previous backup file named " + backup() +
                   " for the compression operation already exists! DO YOU WISH TO OVERWRITE IT ?",
               36);
    EXPECT_EQ(read_file(name_), original);
    EXPECT_EQ(read_file(backup()), "older backup");

    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 0) << lq_boxes_dump();
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"notes.txt"});

    write_file(backup(), "older backup");
    lq_boxes_clear();
    lq_answer_next(LQ_IDNO);
    std::string packed = read_file(name_);
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), 5);
    EXPECT_BOX(0, expand_warning,
               " A previous backup file named " + backup() +
                   " for the expansion operation already exists! DO YOU WISH TO OVERWRITE IT ?",
               36);
    EXPECT_TRUE(read_file(name_) == packed);
    EXPECT_EQ(read_file(backup()), "older backup");

    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), 0);
    EXPECT_EQ(read_file(name_), original);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"notes.txt"});
}

INSTANTIATE_TEST_SUITE_P(Coders, BothCoders, ::testing::Values(1, 2),
                         [](const auto& info) { return info.param == 1 ? "Arith" : "Lzss"; });

TEST_F(CompressFileTest, DeclinedQuestionsKeepTheReadOnlyFlag) {
    make("ro.txt", text_of(5000), true);
    Stamp before = stamp_of(name_);
    write_file(backup(), "x");
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, 2, 0, &cs_data), 5);
    EXPECT_TRUE(stamp_of(name_) == before);
}

TEST_F(CompressFileTest, EqualSizeIsAccepted) {
    // Grow a run after an incompressible head until the coded data plus the
    // record is exactly as long as the file.
    std::string head = lq_random_bytes(400, 4);
    std::string input;
    for (size_t run = 0; run < 20000; ++run) {
        std::string candidate = head + std::string(run, 'r');
        CoderRun c = cz_compress_memory(Coder::lzss, candidate);
        if (c.bytes.size() + 254 == candidate.size()) {
            input = candidate;
            break;
        }
    }
    ASSERT_FALSE(input.empty());
    make("equal.bin", input);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, 2, 0, &cs_data), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(name_).size(), input.size());
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), 0);
    EXPECT_TRUE(read_file(name_) == input);
}

TEST_F(CompressFileTest, NotEnoughFreeSpace) {
    std::string original = text_of(8000);
    make("space.txt", original);
    const std::string question = " There MAY NOT be enough free media space to compress the file " +
                                 name_ + ". Continue anyways ?";
    // The free space cannot be measured: it counts as too little.
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, 2, 0, &cs_data), 1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: lGetDiskFree ");
    EXPECT_BOX(1, compress_warning, question, 36);
    EXPECT_EQ(read_file(name_), original);

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    EXPECT_EQ(iCompressFile(name_.c_str(), 0, 2, 0, &cs_data), 1);  // ask flag 0: no question
    EXPECT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, 2, 0, &cs_data), 0);
    EXPECT_BOX(1, compress_warning, question, 36);

    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    std::string packed = read_file(name_);
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), -1);
    EXPECT_BOX(1, expand_error, " There is not enough free media space to expand: " + name_, 16);
    EXPECT_TRUE(read_file(name_) == packed);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"space.txt"});
}

TEST_F(CompressFileTest, BackupNamedSourceIsRefused) {
    make("archive.tcf", text_of(9000));
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, 1, 0, &cs_data), -5);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iMakeExtendedFilename",
               " " + name_ + " already exists WILL/CAN NOT overwrite. ReName the file manually.",
               16);
    // Give a .TCF file a valid record so that only its name stops the expansion.
    std::string bytes = read_file(name_);
    uint8_t record[254];
    CompStats r;
    iInitCompStats(&r, 2, name_.c_str());
    cz_comp_stats_pack(&r, record);
    make("second.TCF", bytes + std::string((char*)record, 254));
    lq_boxes_clear();
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), -5);
    EXPECT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{"archive.tcf", "second.TCF"}));
}

TEST_F(CompressFileTest, ExpandingSomethingElseIsRefused) {
    make("plain.txt", "no record at the end of this file");
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), -4);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iReadCompStats ",
               " The file " + name_ +
                   " is either not supported in this version or not a Lockquill Compressed file ",
               16);
    EXPECT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(read_file(name_), "no record at the end of this file");

    // A record and nothing before it.
    uint8_t record[254];
    CompStats r;
    iInitCompStats(&r, 2, "x");
    cz_comp_stats_pack(&r, record);
    make("only.dat", std::string((char*)record, 254));
    lq_boxes_clear();
    EXPECT_EQ(iReadCompStats(&r, name_.c_str()), -8);
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), -4);
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{"only.dat", "plain.txt"}));
}

TEST_F(CompressFileTest, ReadCompStatsResults) {
    CompStats r;
    EXPECT_EQ(iReadCompStats(&r, path("missing").c_str()), -1);
    make("neg.bin", "abc\xff\xff");  // trailing value -1
    EXPECT_EQ(iReadCompStats(&r, name_.c_str()), -1);
    uint8_t record[254];
    iInitCompStats(&r, 1, "name.txt");
    r.originalsize = 77;
    cz_comp_stats_pack(&r, record);
    make("ok.bin", "coded" + std::string((char*)record, 254));
    std::memset(&r, 0, sizeof r);
    EXPECT_EQ(iReadCompStats(&r, name_.c_str()), 0);
    EXPECT_EQ(r.originalsize, 77);
    EXPECT_STREQ(r.filename, "name.txt");
    EXPECT_EQ(r.structsize, 254);
    make("short.bin", "abc" + std::string((char*)record + 200, 54));  // ends in FE 00
    EXPECT_EQ(iReadCompStats(&r, name_.c_str()), -8);
}

TEST_F(CompressFileTest, CorruptArithStreamEndsAsFailure) {
    // 16 one bits decode an escape out of every table down to the control
    // table and then the control table's own escape, which no stream holds.
    uint8_t record[254];
    CompStats r;
    iInitCompStats(&r, 1, "x");
    lq_boxes_clear();
    r.originalsize = 100;
    cz_comp_stats_pack(&r, record);
    make("bad.dat", std::string(64, '\xff') + std::string((char*)record, 254));
    std::string before = read_file(name_);
    EXPECT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), -4);
    EXPECT_BOX(0, expand_error, " Arith-N file expansion error: -4 ", 16);
    EXPECT_TRUE(read_file(name_) == before);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"bad.dat"});
}

TEST_F(CompressFileTest, RecordAppendFailureKeepsTheOriginal) {
    std::string original = text_of(20000);
    make("append.txt", original);
    pf_fault_arm(PF_FAULT_WRITE, 2);  // the coded data is one write, the record the next
    EXPECT_EQ(iCompressFile(name_.c_str(), 1, 2, 1, &cs_data), -16);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, compress_error, " COULD NOT append Compression Header to\r\n " + name_, 16);
    EXPECT_EQ(read_file(name_), original);
    EXPECT_EQ(list_dir(dir()), std::vector<std::string>{"append.txt"});
}

// ------------------------------------------------------------ memory mode

class MemoryModeTest : public CompressFileTest {
  protected:
    PfGlobal block_ = nullptr;
    std::string input_;
    void set_up(const std::string& input, int32_t capacity) {
        input_ = input;
        block_ = pf_global_alloc((uint32_t)capacity);
        MemoryStreams.in_buffer = (uint8_t*)input_.data();
        MemoryStreams.in_length = (int32_t)input_.size();
        MemoryStreams.in_pos = 0;
        MemoryStreams.out_block = block_;
        MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(block_);
        MemoryStreams.out_capacity = capacity;
        MemoryStreams.out_pos = 0;
    }
    std::string output() const {
        return std::string((char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
    }
    void release() {
        if (MemoryStreams.out_block) {
            pf_global_unlock(MemoryStreams.out_block);
            pf_global_free(MemoryStreams.out_block);
        }
        cz_reset_memory_streams();
    }
    void TearDown() override {
        release();
        CompressFileTest::TearDown();
    }
};

TEST_F(MemoryModeTest, TextRoundTripsWithTheRecordAtTheEnd) {
    for (uint16_t algorithm : {1, 2}) {
        std::string text = text_of(7000);
        set_up(text, (int32_t)text.size() + 1);
        ASSERT_EQ(iCompressFile(path("secret.ent").c_str(), 1, algorithm, 0, &cs_data), 0);
        std::string packed = output();
        EXPECT_EQ(cs_data.compressedsize + 254, (int32_t)packed.size());
        EXPECT_EQ(cs_data.originalsize, 7000);
        EXPECT_EQ(cs_data.dosdate, 0);
        EXPECT_EQ(cs_data.dosattr, 0);
        EXPECT_EQ(lq_hex(packed.substr(packed.size() - 2)), "fe 00");
        EXPECT_TRUE(list_dir(dir()).empty());  // no file touched
        release();

        set_up(packed, 7001);
        ASSERT_EQ(iExpandFile(path("secret.ent").c_str(), 1, &cs_data), 0);
        EXPECT_TRUE(output() == text);
        EXPECT_EQ(MemoryStreams.out_pos, 7000);
        release();
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

TEST_F(MemoryModeTest, RecordThatDoesNotFitGrowsTheBlock) {
    std::string text(3000, 'm');
    set_up(text, 1);
    ASSERT_EQ(iCompressFile("x", 1, 2, 0, &cs_data), 0);
    EXPECT_GE(MemoryStreams.out_capacity, MemoryStreams.out_pos + 1);
    std::string packed = output();
    release();
    set_up(packed, 1);  // grows while expanding
    ASSERT_EQ(iExpandFile("x", 1, &cs_data), 0);
    EXPECT_TRUE(output() == text);
}

TEST_F(MemoryModeTest, ShortTextIsCancelled) {
    set_up("short text", 11);
    EXPECT_EQ(iCompressFile("x", 1, 1, 0, &cs_data), -15);
    ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
    EXPECT_BOX(0, compress_error,
               " The compressed buffer is larger than the original buffer.  CANCELLING BUFFER "
               "COMPRESSION.",
               16);
    EXPECT_GT(MemoryStreams.out_pos, 0);
    EXPECT_LT(MemoryStreams.out_pos, 20);  // the coded length, no record
}

TEST_F(MemoryModeTest, BufferWithoutRecordIsRefused) {
    set_up(text_of(300) + "\xfe\x01", 400);
    EXPECT_EQ(iExpandFile("x", 1, &cs_data), -6);
    EXPECT_BOX(0, expand_error, " Size mismatch, scssize != pcs_data->structsize", 16);
    release();
    set_up(std::string("\xfe\x00", 2), 10);  // shorter than a record
    EXPECT_EQ(iExpandFile("x", 1, &cs_data), -6);
}

TEST_F(MemoryModeTest, NamesAndBuffersMissing) {
    EXPECT_EQ(iCompressFile(nullptr, 1, 1, 0, &cs_data), -1);
    EXPECT_EQ(iExpandFile(nullptr, 1, &cs_data), -1);
    set_up("abc", 4);
    MemoryStreams.in_buffer = nullptr;
    EXPECT_EQ(iCompressFile(nullptr, 1, 1, 0, &cs_data), -2);
    EXPECT_EQ(iExpandFile(nullptr, 1, &cs_data), -2);
    EXPECT_TRUE(lq_boxes().empty());
}

}  // namespace

namespace {

// Makes one kind of platform call fail at every position it is made in a
// compression and in an expansion.  Whatever fails, the file keeps its name
// and holds either its old content or a correct new one, and a .TCF file is
// left only when a wipe or a rename of it failed (and said so).
class FaultSweepTest : public CompressFileTest {
  protected:
    std::set<int> results_;

    // Whatever an earlier round left (a backup, a half-wiped file under the
    // wipe's one-character name) goes.
    void clear_folder() {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (auto& e : fs::directory_iterator(dir(), ec)) {
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
            fs::remove(e.path(), ec);
        }
    }

    bool backup_complaint() const {
        for (const RecordedBox& b : lq_boxes())
            if (b.caption.find("iWipeFile") != std::string::npos ||
                b.caption.find("iRename") != std::string::npos)
                return true;
        return false;
    }

    std::string expanded(const std::string& packed) {
        CoderRun run = cz_expand_memory(
            packed.size() >= 254 && packed[packed.size() - 246] == 1 ? Coder::arith : Coder::lzss,
            packed.substr(0, packed.size() - 254));
        return run.result == 0 ? run.bytes : std::string("<not expandable>");
    }

    void sweep(PfFaultOp op, bool compress, uint16_t algorithm) {
        const std::string original = text_of(30000);
        std::string packed;
        int calls = 0;
        {
            clear_folder();
            make("sweep.txt", original);
            if (!compress) {
                ASSERT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 0);
                packed = read_file(name_);
            }
            pf_fault_reset();
            int before = pf_fault_calls(op);
            if (compress)
                ASSERT_EQ(iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data), 0);
            else
                ASSERT_EQ(iExpandFile(name_.c_str(), 1, &cs_data), 0);
            calls = pf_fault_calls(op) - before;
        }
        for (int n = 1; n <= calls; ++n) {
            clear_folder();
            make("sweep.txt", compress ? original : packed);
            lq_boxes_clear();
            pf_fault_reset();
            pf_fault_arm(op, n, PF_ERROR_ACCESS_DENIED);
            int result = compress ? iCompressFile(name_.c_str(), 1, algorithm, 0, &cs_data)
                                  : iExpandFile(name_.c_str(), 1, &cs_data);
            pf_fault_reset();
            results_.insert(result);
            SCOPED_TRACE("fault kind " + std::to_string(op) + " at call " + std::to_string(n) +
                         " of " + std::to_string(calls) + ", result " + std::to_string(result) +
                         "\n" + lq_boxes_dump());
            ASSERT_TRUE(exists(name_));
            std::string now = read_file(name_);
            if (compress) {
                bool old = now == original;
                bool fresh = !old && now.size() > 254 && expanded(now) == original;
                EXPECT_TRUE(old || fresh);
                if (result != 0 && result != -18) EXPECT_TRUE(old);
            } else {
                EXPECT_TRUE(now == packed || now == original);
                if (result != 0 && result != -1) EXPECT_TRUE(now == packed);
            }
            if (exists(backup())) EXPECT_TRUE(backup_complaint());
            // iReadCompStats reports only a file that is not of the kind (an
            // open, seek or read failing inside it ends the expansion quietly).
            bool quiet = !compress && result == -4;
            if (result != 0 && result != 1 && result != 5 && !quiet)
                EXPECT_FALSE(lq_boxes().empty());
        }
    }
};

TEST_F(FaultSweepTest, CompressionSurvivesEveryFailingCall) {
    for (PfFaultOp op : {PF_FAULT_OPEN, PF_FAULT_READ, PF_FAULT_WRITE, PF_FAULT_SEEK, PF_FAULT_MOVE,
                         PF_FAULT_DELETE, PF_FAULT_GETINFO, PF_FAULT_SETTIME, PF_FAULT_SETATTR,
                         PF_FAULT_TRUNCATE, PF_FAULT_CLOSE, PF_FAULT_FIND})
        for (uint16_t algorithm : {1, 2}) sweep(op, true, algorithm);
    // The failures of the operation's own steps all happened somewhere.
    for (int code : {-3, -4, -6, -7, -8, -16, -17, -18})
        EXPECT_TRUE(results_.count(code)) << "no sweep ended with " << code;
}

TEST_F(FaultSweepTest, ExpansionSurvivesEveryFailingCall) {
    for (PfFaultOp op : {PF_FAULT_OPEN, PF_FAULT_READ, PF_FAULT_WRITE, PF_FAULT_SEEK, PF_FAULT_MOVE,
                         PF_FAULT_DELETE, PF_FAULT_GETINFO, PF_FAULT_SETTIME, PF_FAULT_SETATTR,
                         PF_FAULT_TRUNCATE, PF_FAULT_CLOSE, PF_FAULT_FIND})
        for (uint16_t algorithm : {1, 2}) sweep(op, false, algorithm);
    for (int code : {-1, -3, -4, -6, -7, -10})
        EXPECT_TRUE(results_.count(code)) << "no sweep ended with " << code;
}

}  // namespace

namespace {

std::vector<float> painted;
std::vector<std::string> painted_texts;

// Both coders repaint only when the fraction has grown by more than 0.01, in
// both directions, and reach the end.
TEST_F(MemoryModeTest, ProgressRepaintsInHundredthSteps) {
    static const LqProgressUi ui = {[] { return (intptr_t)1; },
                                    [](intptr_t) {
                                        painted.push_back(fProgressFraction);
                                        painted_texts.push_back(szProgressPercent);
                                    },
                                    [](intptr_t) {}};
    lq_set_progress_ui(&ui);
    std::string text = text_of(200000);
    for (uint16_t algorithm : {1, 2}) {
        for (bool compress : {true, false}) {
            painted.clear();
            painted_texts.clear();
            if (compress) {
                set_up(text, (int32_t)text.size() + 1);
                ASSERT_EQ(iCompressFile("p.txt", 1, algorithm, 0, &cs_data), 0);
                input_ = output();
            } else {
                set_up(input_, (int32_t)text.size() + 1);
                ASSERT_EQ(iExpandFile("p.txt", 1, &cs_data), 0);
            }
            release();
            ASSERT_GE(painted.size(), 90u);
            ASSERT_LE(painted.size(), 102u);
            EXPECT_EQ(painted.front(), 0.0f);  // the first paint, when the window opens
            for (size_t i = 2; i < painted.size(); ++i)
                EXPECT_GT((double)painted[i] - (double)painted[i - 1], 0.01 - 1e-6)
                    << i;  // stored as float
            EXPECT_GE(painted.back(), 0.99f);
            EXPECT_EQ(painted_texts[1], "  1% completed ");  // a two-wide number field
        }
    }
    lq_set_progress_ui(nullptr);
}

}  // namespace
