// Encrypting and decrypting files in place, a failure at every platform call, a killed run.
#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "crypt/veil_reader.h"
#include "crypt/veilmix_file.h"
#include "tests/crypt/crypt_test_util.h"
namespace {
const char* const ERR = "Lockquill(TM) ERROR: iVeilmixFile";
const char* const WARN = "Lockquill(TM) WARNING: iVeilmixFile";
const uint64_t t2001 = 126256467060000000ull;  // 2001-02-03 04:05:06 UTC, DOS 0x2A43 0x20A3
const uint64_t t1975 = 118165392000000000ull, t2150 = 173247984000000000ull;  // noon UTC
const uint64_t later = 864000 * 10000000ull;                                  // ten days
const uint32_t RO = PF_ATTR_READONLY, HIDDEN = PF_ATTR_HIDDEN;

class VeilmixFile : public CryptTest {
  protected:
    void SetUp() override {
        CryptTest::SetUp();
        std::strcpy(gPassword1, "Lockquill");
        std::strcpy(gPassword2, "Quillock7");
    }
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
    std::string plain_file(const std::string& name, const std::string& bytes,
                           uint64_t time = t2001) {
        write_file(path(name), bytes);
        stamp(path(name), time);
        return path(name);
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
        if (!compression)
            EXPECT_EQ(enc.substr(0, bytes.size()), veil(gPassword1, gPassword2, 3, bytes, 1));
        if (bytes.empty()) {  // the reader refuses an empty data part
            EXPECT_EQ(decrypt(p), 1000 - 8);
            continue;
        }
        stamp(p, time + later);  // the encrypted copy was touched later
        gMakeBackup = backup;
        ASSERT_EQ(decrypt(p), 0) << lq_boxes_dump();
        EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        const std::string bed = path("report.BED");
        if (backup)
            EXPECT_EQ(std::make_tuple(read_file(bed), stamp(bed)), std::make_tuple(enc, t2001 * 4));
        std::remove(bed.c_str());
        expect_as_was(p, bytes, time + (time == t2001 ? 0 : later), attrs);
        pf_set_attributes(p.c_str(), 0);
    }
}

// A stamp that does not convert keeps the file's times; wrong passwords (or a compression never
// made) show as a failed expansion, the encrypted file back.  An earlier mode-2 record over 32000
// bytes is decrypted only on Yes and keeps a backup (the reader's questions: veil_test).
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
        write_file(p, enc);
        stamp(p, t2001 + later);
        std::strcpy(gPassword2, password2);
        lq_boxes_clear();
        EXPECT_EQ(decrypt(p), result);
        EXPECT_EQ(result ? lq_boxes().back().text : "",
                  result ? " DeCompression of the file " + p +
                               " failed!  NOTE: the file has been DeCrypted, but failed "
                               "expansion  The passwords may be wrong: the encrypted file has "
                               "been put back under its name. "
                         : "");
        expect_as_was(p, result ? enc : ledger(), t2001 + later, result ? 0 : RO);
        set_readonly(p, false);
        std::strcpy(gPassword2, "Quillock7");
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
    write_file(path("x.TEF"), read_file(path("x.bin")));
    std::remove(path("x.bin").c_str());
    for (const std::string& t : {plain_file("old.TEF", "data"), path("x.TEF")}) {
        const std::string before = read_file(t);
        EXPECT_EQ(t == path("x.TEF") ? decrypt(t) : encrypt(t), t == path("x.TEF") ? -1 : 1);
        EXPECT_BOX(lq_boxes().size() - 1, "Lockquill(TM) ERROR: iMakeExtendedFilename",
                   " " + t + " already exists WILL/CAN NOT overwrite. ReName the file manually.",
                   16);
        EXPECT_EQ(read_file(t), before);
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
    iDefaultVeilStats(&gVeilStats);
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
