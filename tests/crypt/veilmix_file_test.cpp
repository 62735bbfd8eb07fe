// Encrypting and decrypting files in place: the files left on disk, their
// time stamps and attributes, the questions and messages, and the restore
// after failures made to happen.
#include <cstdio>
#include <cstring>
#include <string>

#include "compress/compress_file.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "tests/crypt/crypt_test_util.h"
#include "tests/support/lq_test.h"

namespace {

const char* const ERR = "Lockquill(TM) ERROR: iVeilmixFile";
const char* const WARN = "Lockquill(TM) WARNING: iVeilmixFile";

// 2001-02-03 04:05:06 UTC: a whole even second, exact as a DOS stamp.
const uint64_t t2001 = 126256467060000000ull;

uint64_t u64(const PfFileTime& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

void stamp(const std::string& p, uint64_t write) {
    PfFaultPause pause;
    PfFile f =
        pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    ASSERT_NE(f, PF_INVALID_FILE);
    PfFileTime w{uint32_t(write), uint32_t(write >> 32)};
    ASSERT_TRUE(pf_set_file_time(f, nullptr, nullptr, &w));
    pf_close(f);
}

uint64_t write_time(const std::string& p) {
    PfFaultPause pause;
    FileInformation i;
    std::memset(&i, 0, sizeof i);
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    EXPECT_NE(f, PF_INVALID_FILE);
    EXPECT_TRUE(pf_get_file_information(f, &i));
    pf_close(f);
    return u64(i.ftLastWriteTime);
}

uint32_t attributes(const std::string& p) {
    PfFaultPause pause;
    return pf_get_attributes(p.c_str()) & (PF_ATTR_READONLY | PF_ATTR_HIDDEN | PF_ATTR_SYSTEM);
}

std::string veil_in_memory(std::string data, int mode, int direction) {
    VeilStats r{};
    r.mode = int16_t(mode);
    iResetVeilmix(&r);
    lq_veilmix_transform(uint32_t(data.size()), reinterpret_cast<uint8_t*>(&data[0]), r.mode,
                         int16_t(direction));
    return data;
}

VeilStats trailer_record(const std::string& file) {
    VeilStats r;
    lq_veil_stats_unpack(reinterpret_cast<const uint8_t*>(file.data() + file.size() - 135), &r);
    return r;
}

class VeilmixFile : public CryptTest {
  protected:
    void SetUp() override {
        CryptTest::SetUp();
        std::strcpy(gPassword1, "Lockquill");
        std::strcpy(gPassword2, "Quillock7");
    }
    // What the encryption dialog and command leave before the call.
    int encrypt(const std::string& p, const char* riddle = "the raven", int16_t compression = 0,
                int16_t readonly = 0, int16_t mode = 3) {
        iDefaultVeilStats(&gVeilStats);
        gVeilStats.mode = mode;
        gVeilStats.compression = compression;
        gVeilStats.readonly = readonly;
        std::strcpy(gRiddle, riddle);
        gVeilStats.riddlelength = int16_t(std::strlen(gRiddle) + 1);
        return iVeilmixFile(p.c_str(), &gVeilStats, 1);
    }
    // What the decryption command does: scan, then decrypt.
    int decrypt(const std::string& p) {
        int16_t header = 0;
        int r = iScanFileBytes(p.c_str(), &gVeilStats, 1, &header, 1, 1);
        if (r) return 1000 + r;
        return iVeilmixFile(p.c_str(), &gVeilStats, -1);
    }
    std::string plain_file(const std::string& name, const std::string& bytes) {
        const std::string p = path(name);
        write_file(p, bytes);
        stamp(p, t2001);
        return p;
    }
    // Only the file itself and nothing else is left in the folder.
    void expect_alone(const std::string& name) {
        EXPECT_EQ(list_dir(dir()), std::vector<std::string>{name});
    }
};

TEST_F(VeilmixFile, RoundTripGivesTheFileBackWithItsStamp) {
    const std::string plain = lq_random_bytes(150000, 21);
    const std::string p = plain_file("report.doc", plain);
    ASSERT_EQ(encrypt(p), 0) << lq_boxes_dump();
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    expect_alone("report.doc");

    const std::string enc = read_file(p);
    ASSERT_EQ(enc.size(), plain.size() + 10 + 135);
    EXPECT_EQ(enc.substr(enc.size() - 2), std::string("\x87\x00", 2));
    EXPECT_EQ(enc.substr(plain.size(), 10), std::string("the raven\0", 10));
    EXPECT_EQ(enc.substr(0, plain.size()), veil_in_memory(plain, 3, 1));
    const VeilStats r = trailer_record(enc);
    EXPECT_EQ(r.datalength, 150000);
    EXPECT_EQ(r.originalsize, 150000);
    EXPECT_EQ(r.checksum, byte_sum(enc.substr(0, plain.size())));
    EXPECT_EQ(r.riddlelength, 10);
    EXPECT_EQ(r.mode, 3);
    EXPECT_EQ(r.dosdate, 0x2A43);  // 2001-02-03
    EXPECT_EQ(r.dostime, 0x20A3);  // 04:05:06
    EXPECT_EQ(r.compression, 0);
    EXPECT_EQ(write_time(p), t2001);

    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(read_file(p), plain);
    EXPECT_EQ(write_time(p), t2001);
    EXPECT_EQ(attributes(p), 0u);
    expect_alone("report.doc");
}

TEST_F(VeilmixFile, MakeBackupKeepsTheEncryptedFileStamped) {
    const std::string plain = "Meet me at the old mill at midnight.";
    const std::string p = plain_file("note.txt", plain);
    ASSERT_EQ(encrypt(p), 0);
    const std::string enc = read_file(p);
    stamp(p, t2001 + 864000000000ull);  // the encrypted copy was touched later
    gMakeBackup = 1;
    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(p), plain);
    EXPECT_EQ(read_file(path("note.BED")), enc);
    EXPECT_EQ(write_time(path("note.BED")), t2001);
    EXPECT_EQ(list_dir(dir()), (std::vector<std::string>{"note.BED", "note.txt"}));
}

TEST_F(VeilmixFile, ReadOnlyTravelsAndCanBeAsked) {
    // Asked for: the encrypted file is read-only, the decrypted one is not.
    const std::string a = plain_file("a.txt", "alpha alpha alpha");
    ASSERT_EQ(encrypt(a, "", 0, 1), 0) << lq_boxes_dump();
    EXPECT_EQ(attributes(a), uint32_t(PF_ATTR_READONLY));
    EXPECT_EQ(trailer_record(read_file(a)).dosattr & 0x01, 0);
    EXPECT_EQ(trailer_record(read_file(a)).riddlelength, 1);
    ASSERT_EQ(decrypt(a), 0) << lq_boxes_dump();
    EXPECT_EQ(attributes(a), 0u);
    EXPECT_EQ(read_file(a), "alpha alpha alpha");

    // A read-only file stays read-only through both.
    const std::string b = plain_file("b.txt", "bravo bravo");
    set_readonly(b, true);
    ASSERT_EQ(encrypt(b), 0) << lq_boxes_dump();
    EXPECT_EQ(attributes(b), uint32_t(PF_ATTR_READONLY));
    ASSERT_EQ(decrypt(b), 0) << lq_boxes_dump();
    EXPECT_EQ(attributes(b), uint32_t(PF_ATTR_READONLY));
    EXPECT_EQ(read_file(b), "bravo bravo");
    EXPECT_EQ(write_time(b), t2001);
}

TEST_F(VeilmixFile, HiddenAttributeComesBack) {
    const std::string p = plain_file("h.txt", "hidden things");
    {
        PfFaultPause pause;
        pf_set_attributes(p.c_str(), PF_ATTR_HIDDEN | PF_ATTR_ARCHIVE);
    }
    if (!(attributes(p) & PF_ATTR_HIDDEN))
        GTEST_SKIP() << "no hidden attribute on this file system";
    ASSERT_EQ(encrypt(p), 0);
    EXPECT_EQ(trailer_record(read_file(p)).dosattr, 0x22);
    ASSERT_EQ(decrypt(p), 0);
    EXPECT_EQ(attributes(p), uint32_t(PF_ATTR_HIDDEN));
}

TEST_F(VeilmixFile, EmptyFileEndsInOneOfTheTwoStates) {
    const std::string p = plain_file("empty.txt", "");
    ASSERT_EQ(encrypt(p, "nothing"), 0) << lq_boxes_dump();
    const std::string enc = read_file(p);
    ASSERT_EQ(enc.size(), 8u + 135u);
    EXPECT_EQ(trailer_record(enc).datalength, 0);
    expect_alone("empty.txt");
    // The reader refuses an empty data part; the operation itself copes.
    EXPECT_EQ(decrypt(p), 1000 - 8);
    iDefaultVeilStats(&gVeilStats);
    gVeilStats.riddlelength = 8;
    ASSERT_EQ(iVeilmixFile(p.c_str(), &gVeilStats, -1), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(p), "");
    expect_alone("empty.txt");
}

TEST_F(VeilmixFile, CompressedBeforeEncryptionAndExpandedAfter) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 17) + " of the ledger\r\n";
    for (int16_t method : {int16_t(2), int16_t(1)}) {
        SCOPED_TRACE(method);
        const std::string p = plain_file("ledger.txt", text);
        ASSERT_EQ(encrypt(p, "ledger", method), 0) << lq_boxes_dump();
        const std::string enc = read_file(p);
        const VeilStats r = trailer_record(enc);
        EXPECT_EQ(r.compression, method);
        EXPECT_EQ(r.originalsize, int32_t(text.size()));
        EXPECT_LT(r.datalength, int32_t(text.size()) / 4);
        EXPECT_EQ(enc.size(), size_t(r.datalength) + 7 + 135);
        expect_alone("ledger.txt");
        ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
        EXPECT_EQ(read_file(p), text);
        EXPECT_EQ(write_time(p), t2001);
        expect_alone("ledger.txt");
    }
}

TEST_F(VeilmixFile, FailedExpansionLeavesTheDecryptedData) {
    const std::string p = plain_file("x.dat", "not compressed at all");
    ASSERT_EQ(encrypt(p), 0);
    // The record claims a compression that never happened.
    std::string enc = read_file(p);
    enc[enc.size() - 135 + 28] = 2;
    write_file(p, enc);
    EXPECT_EQ(decrypt(p), -15);
    EXPECT_EQ(read_file(p), "not compressed at all");
    ASSERT_GE(lq_boxes().size(), 2u);
    EXPECT_BOX(lq_boxes().size() - 1, "Lockquill(TM) Security Warning: iVeilmixFile",
               " DeCompression of the file " + p +
                   " failed!  NOTE: the file has been DeCrypted, but failed expansion ",
               16);
    expect_alone("x.dat");
}

TEST_F(VeilmixFile, SourceWithTheBackupExtensionIsRefused) {
    const std::string p = plain_file("old.TEF", "data");
    EXPECT_EQ(encrypt(p), 1);
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iMakeExtendedFilename",
               " " + p + " already exists WILL/CAN NOT overwrite. ReName the file manually.", 16);
    EXPECT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(read_file(p), "data");
}

TEST_F(VeilmixFile, ExistingBackupIsQuestioned) {
    const std::string p = plain_file("doc.txt", "the plain text");
    write_file(path("doc.TEF"), "an older backup");
    const std::string question = " There is already an original data file backup for the file " +
                                 path("doc.TEF") + ".  Do you wish to overwrite it ?";
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(encrypt(p), 1);
    EXPECT_BOX(0, WARN, question, 36);
    EXPECT_EQ(read_file(p), "the plain text");
    EXPECT_EQ(read_file(path("doc.TEF")), "an older backup");

    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(encrypt(p), 0) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes().size(), 1u);
    expect_alone("doc.txt");

    // Decryption asks about its own backup name.
    lq_boxes_clear();
    write_file(path("doc.TEF"), "in the way");
    EXPECT_EQ(decrypt(p), 1);
    EXPECT_BOX(0, WARN,
               " There is alread an EnCrypted file " + path("doc.TEF") +
                   " backup for this file.  Do you wish to overwrite it ?",
               36);
    EXPECT_EQ(read_file(path("doc.TEF")), "in the way");
    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(p), "the plain text");
    expect_alone("doc.txt");
}

TEST_F(VeilmixFile, NotEnoughFreeSpaceChangesNothing) {
    const std::string p = plain_file("big.bin", lq_random_bytes(5000, 1));
    pf_fault_arm(PF_FAULT_DISKFREE, 1);  // unknown free space counts as too little
    EXPECT_EQ(encrypt(p), -1);
    ASSERT_EQ(lq_boxes().size(), 2u) << lq_boxes_dump();
    EXPECT_EQ(lq_boxes()[0].caption, "Lockquill(TM) ERROR: lGetDiskFree ");
    EXPECT_BOX(1, ERR, " There is not enough free media space to EnCrypt:\r\n " + p + " ", 16);
    EXPECT_EQ(read_file(p), lq_random_bytes(5000, 1));
    expect_alone("big.bin");

    ASSERT_EQ(encrypt(p), 0);
    const std::string enc = read_file(p);
    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    EXPECT_EQ(decrypt(p), -1);
    EXPECT_BOX(1, ERR, " There is not enough free media space to DeCrypt:\r\n " + p, 16);
    EXPECT_EQ(read_file(p), enc);
    expect_alone("big.bin");
}

// Three data pieces (65500, 65500, 19000), the Riddle, the record: a write
// fails at each in turn.  The file comes back byte for byte with its stamp,
// the partial result is wiped (flushed passes), and no backup is left.
TEST_F(VeilmixFile, WriteFailureAtEveryPositionRestoresTheFile) {
    const std::string plain = lq_random_bytes(150000, 5);
    struct Case {
        int position;
        int result;
        std::string text;
    } cases[] = {{1, -104, " Error code: -104"},
                 {2, -104, " Error code: -104"},
                 {3, -104, " Error code: -104"},
                 {4, -12, ""},
                 {5, -13, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        const std::string p = plain_file("w.bin", plain);
        set_readonly(p, true);
        lq_boxes_clear();
        pf_fault_reset();
        pf_fault_arm(PF_FAULT_WRITE, c.position);
        EXPECT_EQ(encrypt(p), c.result);
        std::string text = c.text;
        if (c.result == -12) text = " COULD NOT WRITE Riddle to:\r\n " + p;
        if (c.result == -13) text = " COULD NOT WRITE VeilStat Header to:\r\n " + p;
        ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
        EXPECT_BOX(0, ERR, text, 16);
        EXPECT_EQ(read_file(p), plain);
        EXPECT_EQ(write_time(p), t2001);
        EXPECT_EQ(attributes(p), uint32_t(PF_ATTR_READONLY));
        // The partial result was wiped: four flushed passes over what it held
        // (after a failed first write it is empty, and no pass is needed).
        EXPECT_GE(pf_fault_calls(PF_FAULT_FLUSH), c.position == 1 ? 0 : 4);
        expect_alone("w.bin");
        set_readonly(p, false);
    }

    // Decryption: the encrypted file comes back, stamped from its record.
    const std::string p = plain_file("w.bin", plain);
    ASSERT_EQ(encrypt(p), 0);
    const std::string enc = read_file(p);
    for (int position = 1; position <= 3; ++position) {
        SCOPED_TRACE(position);
        lq_boxes_clear();
        pf_fault_reset();
        stamp(p, t2001 + 10000000);
        pf_fault_arm(PF_FAULT_WRITE, position);
        EXPECT_EQ(decrypt(p), -104);
        EXPECT_BOX(0, ERR, " Error code: -104", 16);
        EXPECT_EQ(read_file(p), enc);
        EXPECT_EQ(write_time(p), t2001);
        expect_alone("w.bin");
    }
}

TEST_F(VeilmixFile, ReadAndSeekFailuresRestoreTheFile) {
    const std::string plain = lq_random_bytes(70000, 6);
    const std::string p = plain_file("r.bin", plain);
    // Reads before the transfer: none (sizes are taken by seeking).
    pf_fault_arm(PF_FAULT_READ, 2);
    EXPECT_EQ(encrypt(p), -102);
    EXPECT_BOX(0, ERR, " Error code: -102", 16);
    EXPECT_EQ(read_file(p), plain);
    expect_alone("r.bin");

    // Seeks before the transfer: the two size measurements.  The fourth is
    // the transfer's second piece.
    lq_boxes_clear();
    pf_fault_reset();
    pf_fault_arm(PF_FAULT_SEEK, 4);
    EXPECT_EQ(encrypt(p), -101);
    EXPECT_BOX(0, ERR, " Error code: -101", 16);
    EXPECT_EQ(read_file(p), plain);
    EXPECT_EQ(write_time(p), t2001);
    expect_alone("r.bin");
}

// A file that ends in no known record is never transformed: decrypting it
// would destroy it.
TEST_F(VeilmixFile, FileThatIsNotEncryptedIsLeftAlone) {
    const std::string p = plain_file("plain.txt", "I am not encrypted at all.");
    EXPECT_EQ(decrypt(p), 1001);  // the reader refuses it
    EXPECT_BOX(0, "Lockquill(TM) ERROR: iReadVeilStats ",
               " The file " + p +
                   " is either not supported in this version or not a Lockquill Encrypted file ",
               16);
    lq_boxes_clear();
    iDefaultVeilStats(&gVeilStats);
    EXPECT_EQ(iVeilmixFile(p.c_str(), &gVeilStats, -1), -1);
    EXPECT_BOX(0, ERR,
               " The file " + p +
                   " is either not supported in this version or not a Lockquill Encrypted file ",
               16);
    EXPECT_EQ(read_file(p), "I am not encrypted at all.");
    EXPECT_EQ(write_time(p), t2001);
    expect_alone("plain.txt");
}

TEST_F(VeilmixFile, NewerVersionIsDecryptedOnlyOnYesAndKeepsABackup) {
    const std::string p = plain_file("n.txt", "from the future");
    ASSERT_EQ(encrypt(p), 0);
    std::string enc = read_file(p);
    enc[enc.size() - 135 + 6] = 'm';  // tag "m": a later revision of 4.0
    write_file(p, enc);
    lq_boxes_clear();
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(decrypt(p), 1001);
    EXPECT_EQ(lq_boxes().size(), 1u);
    EXPECT_EQ(read_file(p), enc);

    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(p), "from the future");
    EXPECT_EQ(read_file(path("n.BED")), enc);
}

// A file of an earlier version: a 390-byte record holding its Riddle,
// mode 2, over 32000 bytes.
TEST_F(VeilmixFile, OldModeTwoFileOver32000Bytes) {
    const std::string plain = lq_random_bytes(40000, 12);
    const std::string data = veil_in_memory(plain, 2, 1);
    LegacyRecord r(390);
    r.set_version(3.0f).set_tag("c").set16("mode", 2).set_riddle("old riddle");
    r.set32("checksum", byte_sum(data)).set32("datalength", 40000);
    r.set16("dosdate", 0x2A43).set16("dostime", 0x20A3).set16("dosattr", 0x20);
    r.set32("originalsize", 40000);
    const std::string p = path("old.end");
    write_file(p, data + r.bytes());

    const std::string question =
        " The file " + p +
        " was encrypted by an earlier version, (v3.00c mode:2), of Lockquill. ERRORS WILL OCCUR "
        "1 in 32,000 or 1 in 65,500 bytes. Continue anyways ?";
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(decrypt(p), 1001);
    EXPECT_BOX(0, "Lockquill(TM) WARNING: iReadVeilStats", question, 36);
    EXPECT_EQ(read_file(p), data + r.bytes());

    lq_boxes_clear();
    lq_answer_next(LQ_IDYES);
    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_STREQ(gRiddle, "old riddle");
    EXPECT_EQ(read_file(p), plain);
    EXPECT_EQ(write_time(p), t2001);
    EXPECT_EQ(read_file(path("old.BED")), data + r.bytes());
}

// A record without a DOS stamp (277-byte records carry none): the decrypted
// file keeps the time it has and takes the record's attributes, and the
// decryption succeeds without a leftover backup.
TEST_F(VeilmixFile, RecordWithoutAStampKeepsTheFilesTime) {
    const std::string plain = "no stamp in the oldest records";
    const std::string data = veil_in_memory(plain, 3, 1);
    LegacyRecord r(277);
    r.set_version(2.0f).set_tag("a").set16("mode", 3).set_riddle("oldest");
    r.set32("checksum", byte_sum(data)).set32("datalength", int32_t(data.size()));
    const std::string p = path("oldest.end");
    write_file(p, data + r.bytes());
    stamp(p, t2001);
    ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
    EXPECT_EQ(read_file(p), plain);
    EXPECT_EQ(write_time(p), t2001);
    expect_alone("oldest.end");
}

// Failures of the steps around the transfer, each made to happen: the
// message, the result, and the file as it was.
TEST_F(VeilmixFile, FailuresAroundTheTransferEachRestoreTheFile) {
    const std::string plain = lq_random_bytes(3000, 8);
    struct Case {
        const char* what;
        PfFaultOp op;
        int n;
        bool sticky;
        int result;
        std::string text;  // of the last box
    } cases[] = {
        // Opens: two size measurements, the attributes, then the backup and
        // the new file.
        {"attributes", PF_FAULT_GETINFO, 1, false, -1,
         " COULD NOT process attributes of the file:\r\n " + path("f.bin")},
        {"rename", PF_FAULT_MOVE, 1, false, -1,
         " COULD NOT rename\r\n " + path("f.bin") + " to\r\n " + path("f.TEF")},
        {"open backup", PF_FAULT_OPEN, 4, false, -1,
         " COULD NOT open the backup of the original file " + path("f.TEF") + " for reading"},
        {"create result", PF_FAULT_OPEN, 5, false, -1,
         " COULD NOT create and/or open\r\n " + path("f.bin") + " for writing"},
        {"buffer", PF_FAULT_ALLOC, 1, true, -1, " Read/Write buffer allocation failed!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string p = plain_file("f.bin", plain);
        lq_boxes_clear();
        pf_fault_reset();
        pf_fault_arm(c.op, c.n, PF_ERROR_ACCESS_DENIED, c.sticky);
        EXPECT_EQ(encrypt(p), c.result);
        pf_fault_reset();
        ASSERT_FALSE(lq_boxes().empty());
        EXPECT_BOX(lq_boxes().size() - 1, ERR, c.text, 16);
        EXPECT_EQ(read_file(p), plain);
        EXPECT_EQ(write_time(p), t2001);
        expect_alone("f.bin");
    }
}

// The restore itself fails: the backup stays and is named.
TEST_F(VeilmixFile, FailedRestoreLeavesTheBackupNamed) {
    const std::string plain = lq_random_bytes(3000, 9);
    const std::string p = plain_file("g.bin", plain);
    // The write fails; the partial result is wiped (its last rename is the
    // second move); the move back, the third, fails.
    pf_fault_arm(PF_FAULT_WRITE, 1);
    pf_fault_arm(PF_FAULT_MOVE, 3);
    EXPECT_EQ(encrypt(p), -1);
    EXPECT_BOX(
        lq_boxes().size() - 1, ERR,
        " COULD NOT rename the backup file\r\n " + path("g.TEF") + "\r\n to its original name!",
        16);
    EXPECT_EQ(read_file(path("g.TEF")), plain);
    EXPECT_FALSE(exists(p));
}

// An old backup that can't be wiped stops both directions before anything
// is changed.
TEST_F(VeilmixFile, OldBackupThatCannotBeWipedStopsEverything) {
    const std::string p = plain_file("h.txt", "plain words");
    write_file(path("h.TEF"), "old backup");
    lq_answer_next(LQ_IDYES);
    pf_fault_arm(PF_FAULT_WRITE, 1);  // the wipe's first pass
    EXPECT_EQ(encrypt(p), -1);
    EXPECT_BOX(lq_boxes().size() - 1, ERR,
               " COULD NOT wipe old original data file backup named " + path("h.TEF") + "!", 16);
    EXPECT_EQ(read_file(p), "plain words");

    pf_fault_reset();
    lq_boxes_clear();
    std::remove(path("h.TEF").c_str());  // emptied by the failed wipe
    ASSERT_EQ(encrypt(p), 0) << lq_boxes_dump();
    const std::string enc = read_file(p);
    gMakeBackup = 1;
    write_file(path("h.BED"), "old encrypted backup");
    lq_answer_next(LQ_IDYES);
    pf_fault_arm(PF_FAULT_WRITE, 1);
    EXPECT_EQ(decrypt(p), -1);
    EXPECT_BOX(lq_boxes().size() - 1, ERR,
               " COULD NOT delete the old EnCrypted file backup named " + path("h.BED") +
                   "!  Delete the file manually.",
               16);
    EXPECT_EQ(read_file(p), enc);
}

}  // namespace
