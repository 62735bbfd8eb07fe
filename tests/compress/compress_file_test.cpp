// Compressing and expanding files in place and memory buffers: the record,
// the messages, and the files left on disk after every outcome, including a
// failure at every platform call and a process killed midway.
#include "compress/compress_file.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>

#include "compress/arith.h"
#include "fileops/progress.h"
#include "platform/platform.h"
#include "tests/compress/coder_harness.h"
#include "tests/support/lq_test.h"

namespace {

const char compress_error[] = "Lockquill(TM) ERROR: iCompressFile ";
const char compress_warning[] = "Lockquill(TM) WARNING: iCompressFile";
const char expand_error[] = "Lockquill(TM) ERROR: iExpand ";
const uint16_t old_date = (21 << 9) | (2 << 5) | 3, old_time = (4 << 11) | (5 << 5) | 3;

// Attributes and last write time, compared whole.
std::string stamp_of(const std::string& p) {
    PfFaultPause pause;
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return "missing";
    FileInformation info{};
    pf_get_file_information(f, &info);
    pf_close(f);
    return std::to_string(info.dwFileAttributes & (PF_ATTR_READONLY | PF_ATTR_HIDDEN)) + "/" +
           std::to_string(info.ftLastWriteTime.dwLowDateTime) + "/" +
           std::to_string(info.ftLastWriteTime.dwHighDateTime);
}

std::string text_of(size_t n) {
    std::string s, r = lq_random_bytes(n, 21);
    const char* words[] = {"private ", "letters ", "stay ", "locked ",
                           "in ",      "quill ",   "and ",  "ink.\r\n"};
    for (size_t i = 0; s.size() < n; ++i) s += words[(uint8_t)r[i] % 8];
    s.resize(n);
    return s;
}

std::string record_bytes(uint16_t algorithm, int32_t compressed, int32_t original) {
    CompStats r;
    iInitCompStats(&r, algorithm, "x");
    r.compressedsize = compressed;
    r.originalsize = original;
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(&r, bytes);
    return std::string((char*)bytes, sizeof bytes);
}

// The data a compressed file holds (its record names the coder), or "".
std::string expanded(const std::string& packed) {
    if (packed.size() < 254) return "";
    CoderRun run = cz_expand_memory(packed[packed.size() - 246] == 1 ? Coder::arith : Coder::lzss,
                                    packed.substr(0, packed.size() - 254));
    return run.result == 0 ? run.bytes : "";
}

class CompressFileTest : public LqTest {
  public:
    std::string name_;

    // A file stamped 2001-02-03 04:05:06.
    void make(const std::string& file, const std::string& bytes, bool read_only = false) {
        name_ = path(file);
        if (exists(name_)) set_readonly(name_, false);
        write_file(name_, bytes);
        PfFaultPause pause;
        PfFileTime t;
        pf_dos_to_file_time(old_date, old_time, &t);
        PfFile f = pf_open(name_.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
        pf_set_file_time(f, &t, &t, &t);
        pf_close(f);
        if (read_only) set_readonly(name_, true);
    }
    std::string backup() const { return name_.substr(0, name_.rfind('.')) + ".TCF"; }
    int compress(uint16_t algorithm, int show = 0) {
        return iCompressFile(name_.c_str(), 1, algorithm, show, &cs_data);
    }
    int expand() { return iExpandFile(name_.c_str(), 1, &cs_data); }
    std::vector<std::string> files() { return list_dir(dir()); }
};

TEST_F(CompressFileTest, RecordBytes) {
    CompStats r;
    std::memset(&r, 0x5A, sizeof r);  // garbage after the name must not reach the disk
    iInitCompStats(&r, 2, nullptr);
    std::strcpy(r.filename, "C:\\A.TXT");
    r.compressedsize = 0x01020304;
    r.originalsize = -2;
    r.dosdate = 0x2A43;
    r.dostime = 0x2083;
    r.dosattr = 0x21;
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(&r, bytes);
    std::string expected = "03 00 00 00 80 3f 61 00 02 00 00 00 43 3a 5c 41 2e 54 58 54";
    for (int i = 20; i < 141; ++i) expected += " 00";
    expected += " 04 03 02 01 fe ff ff ff 43 2a 83 20 21 00";
    for (int i = 155; i < 252; ++i) expected += " 00";
    EXPECT_EQ(lq_hex(std::string((char*)bytes, sizeof bytes)), expected + " fe 00");
    CompStats back;
    cz_comp_stats_unpack(&back, bytes);
    uint8_t again[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(&back, again);
    EXPECT_EQ(std::memcmp(bytes, again, sizeof bytes), 0);
    EXPECT_EQ(back.version, 1.0f);

    std::string long_name = std::string(150, 'd') + "\\file.txt";
    EXPECT_EQ(iInitCompStats(&r, 1, long_name.c_str()), -2);  // no such file
    EXPECT_EQ(r.originalsize, 0);
    EXPECT_EQ(std::string(r.filename), long_name.substr(long_name.size() - 128));
}

// Compress then expand in place, twice in a row, read-only or not.
TEST_F(CompressFileTest, InPlaceRoundTrip) {
    for (uint16_t algorithm : {1, 2}) {
        for (int round = 0; round < 2; ++round) {
            std::string original = text_of(50000 + round * 777);
            make("letter.txt", original, round == 1);
            std::string before = stamp_of(name_);
            ASSERT_EQ(compress(algorithm, 1), 0) << lq_boxes_dump();
            std::string packed = read_file(name_);
            EXPECT_LT(packed.size(), original.size() / 2);
            CompStats r;
            cz_comp_stats_unpack(&r, (const uint8_t*)packed.data() + packed.size() - 254);
            EXPECT_EQ(r.algorithm, algorithm);
            EXPECT_EQ(r.originalsize, (int32_t)original.size());
            EXPECT_EQ(r.compressedsize, (int32_t)packed.size() - 254);
            EXPECT_STREQ(r.filename, name_.c_str());
            EXPECT_EQ(r.dosattr & 0x01, round == 1 ? 0x01 : 0);
            EXPECT_EQ(r.dosdate, old_date);
            EXPECT_EQ(gPreCompressSize, (int32_t)original.size());
            EXPECT_EQ(stamp_of(name_), before);
            EXPECT_EQ(files(), std::vector<std::string>{"letter.txt"});
            char text[600];
            std::snprintf(text, sizeof text,
                          " The compressed file %s is %2.2f percent of it's original size. ",
                          name_.c_str(), r.compressedsize / (double)r.originalsize * 100.0);
            ASSERT_EQ(lq_boxes().size(), 1u) << lq_boxes_dump();
            EXPECT_BOX(0, "Lockquill(TM) Message: iCompressFile ", text, 48);
            lq_boxes_clear();
            ASSERT_EQ(expand(), 0) << lq_boxes_dump();
            EXPECT_TRUE(read_file(name_) == original);
            EXPECT_EQ(stamp_of(name_), before);
            EXPECT_EQ(files(), std::vector<std::string>{"letter.txt"});
            EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
        }
    }
}

// One row per way an operation ends early: what is on disk before, the call,
// its result, the text of its last box, and what is on disk after (the
// original file keeps its stamp unless it changed on purpose).
struct Outcome {
    const char* what;
    std::function<void(CompressFileTest&)> before;
    std::function<int(CompressFileTest&)> run;
    int result;
    std::function<std::string(CompressFileTest&)> last_box;
    std::vector<std::string> files_after;
};

TEST_F(CompressFileTest, EveryEarlyEndLeavesTheFilesAsTheyWere) {
    const std::string text = text_of(30000);
    auto packed_text = [&](uint16_t algorithm) {
        return [=](CompressFileTest& t) {
            t.make("f.txt", text);
            ASSERT_EQ(t.compress(algorithm), 0);
        };
    };
    auto patched = [&](uint16_t algorithm, std::function<void(std::string&)> patch) {
        return [=](CompressFileTest& t) {
            packed_text(algorithm)(t);
            std::string bytes = read_file(t.name_);
            patch(bytes);
            t.make("f.txt", bytes);
        };
    };
    auto cut = [](std::string& b) { b.erase((b.size() - 254) / 2, (b.size() - 254) / 2); };
    auto longer = [](std::string& b) { b[b.size() - 254 + 145] -= 1; };  // originalsize - 1
    auto plain = [&](CompressFileTest& t) { t.make("f.txt", text); };
    auto comp = [](uint16_t a) { return [=](CompressFileTest& t) { return t.compress(a); }; };
    auto exp = [](CompressFileTest& t) { return t.expand(); };
    auto is = [](std::string s) { return [=](CompressFileTest&) { return s; }; };
    auto named = [](std::string head, std::string tail) {
        return [=](CompressFileTest& t) { return head + t.name_ + tail; };
    };
    const std::string remnant_tail =
        " is not a complete compressed file.  NOTHING WAS CHANGED: the data is in the backup; "
        "put it back under its name or remove it by hand.";
    auto remnant = [=](CompressFileTest& t) {
        return " The backup file " + t.backup() +
               " is left from a compression or expansion that did not finish, and " + t.name_ +
               remnant_tail;
    };
    const std::string cancel =
        " The compressed file is larger than the original file.  CANCELLING FILE COMPRESSION.";
    const std::string damaged_tail =
        " is 30000 bytes long, but its record says 29999: the compressed data is damaged.  "
        "NOTHING WAS EXPANDED. ";
    const std::string memory =
        "\r\n The model needs more than the 1 MB of memory it may use here. ";
    std::vector<std::string> one = {"f.txt"};
    std::vector<std::string> with_backup = {"f.TCF", "f.txt"};
    std::vector<Outcome> rows = {
        {"tiny arith", [](auto& t) { t.make("f.txt", "a few bytes", true); }, comp(1), -12,
         is(cancel), one},
        {"tiny lzss", [](auto& t) { t.make("f.txt", "a few bytes"); }, comp(2), -12, is(cancel),
         one},
        {"cut arith", patched(1, cut), exp, -4, is(" Arith-N file expansion error: -4 "), one},
        {"cut lzss", patched(2, cut), exp, -1, is(" LZSS file expansion error: -1 "), one},
        {"length lzss", patched(2, longer), exp, -11,
         named(" The data expanded from ", damaged_tail), one},
        {"length arith", patched(1, longer), exp, -11,
         named(" The data expanded from ", damaged_tail), one},
        {"escape out of the control table",
         [&](auto& t) { t.make("f.txt", std::string(64, '\xff') + record_bytes(1, 64, 100)); }, exp,
         -4, is(" Arith-N file expansion error: -4 "), one},
        {"plain file", plain, exp, -4,
         named(" The file ",
               " is either not supported in this version or not a Lockquill "
               "Compressed file "),
         one},
        {"record only", [](auto& t) { t.make("f.txt", record_bytes(2, 0, 0)); }, exp, -4,
         [](auto& t) { return lq_boxes().empty() ? "" : "?"; }, one},
        {"compress a .TCF",
         [&](auto& t) { t.make("f.tcf", text); },
         comp(2),
         -5,
         named(" ", " already exists WILL/CAN NOT overwrite. ReName the file manually."),
         {"f.tcf"}},
        {"memory cap compressing",
         [](auto& t) {
             t.make("f.txt", lq_random_bytes(300000, 3), true);
             cz_arith_memory_limit = 1 << 20;
         },
         comp(1), -5,
         is(" Arith-N file compression error: -5 " + memory + "Nothing was compressed."), one},
        {"memory cap expanding",
         [&](auto& t) {
             std::string noise = cz_compress_memory(Coder::arith, lq_random_bytes(300000, 3)).bytes;
             t.make("f.txt", noise + record_bytes(1, (int32_t)noise.size(), 300000));
             cz_arith_memory_limit = 1 << 20;
         },
         exp, -6,
         is(" Arith-N file expansion error: -6 " + memory + "The compressed data is kept."), one},
        // What an interrupted operation leaves: the backup is the only copy.
        {"remnant compressing",
         [&](auto& t) {
             plain(t);
             write_file(t.backup(), "the original");  // a question would get No: 5
         },
         comp(2), -6, remnant, with_backup},
        {"remnant expanding",
         [&](auto& t) {
             plain(t);
             write_file(t.backup(), "compressed data");
         },
         exp, -5, remnant, with_backup},
        {"backup beside a compressed file, No",
         [&](auto& t) {
             packed_text(2)(t);
             write_file(t.backup(), "older backup");
         },
         exp, 5,
         [](auto& t) {
             return " A previous backup file named " + t.backup() +
                    " for the expansion operation already exists! DO YOU WISH TO OVERWRITE IT ?";
         },
         with_backup},
        {"backup beside a compressed file, No, compressing",
         [&](auto& t) {
             packed_text(1)(t);
             write_file(t.backup(), "older backup");
         },
         comp(1), 5,
         [](auto& t) {
             return " A previous backup file named " + t.backup() +
                    " for the compression operation already exists! DO YOU WISH TO OVERWRITE IT ?";
         },
         with_backup},
    };
    for (const Outcome& row : rows) {
        SCOPED_TRACE(row.what);
        for (auto& f : files()) std::filesystem::remove(path(f));
        row.before(*this);
        std::string bytes = read_file(name_), stamp = stamp_of(name_),
                    kept = exists(backup()) ? read_file(backup()) : "";
        lq_boxes_clear();
        EXPECT_EQ(row.run(*this), row.result) << lq_boxes_dump();
        cz_arith_memory_limit = 0;
        std::string want = row.last_box(*this);
        if (!want.empty() || !lq_boxes().empty()) {
            ASSERT_FALSE(lq_boxes().empty());
            if (want != "?") {
                EXPECT_NE(lq_boxes().back().text.find(want), std::string::npos) << lq_boxes_dump();
            }
        }
        EXPECT_TRUE(read_file(name_) == bytes);
        EXPECT_EQ(stamp_of(name_), stamp);
        EXPECT_EQ(files(), row.files_after);
        if (!kept.empty()) EXPECT_EQ(read_file(backup()), kept);
    }
}

TEST_F(CompressFileTest, BackupBesideACompressedFileIsOverwrittenOnYes) {
    make("notes.txt", text_of(10000));
    ASSERT_EQ(compress(2), 0);
    write_file(backup(), "older backup");
    lq_answer_next(LQ_IDYES);
    EXPECT_EQ(expand(), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(name_), text_of(10000));
    EXPECT_EQ(files(), std::vector<std::string>{"notes.txt"});
}

TEST_F(CompressFileTest, EqualSizeIsAcceptedAndFreeSpaceIsAskedAbout) {
    // Grow a run after an incompressible head until the coded data plus the
    // record is exactly as long as the file.
    std::string head = lq_random_bytes(400, 4), input;
    for (size_t run = 0; input.empty() && run < 20000; ++run) {
        std::string candidate = head + std::string(run, 'r');
        if (cz_compress_memory(Coder::lzss, candidate).bytes.size() + 254 == candidate.size())
            input = candidate;
    }
    ASSERT_FALSE(input.empty());
    make("equal.bin", input);
    pf_fault_arm(PF_FAULT_DISKFREE, 1);  // unmeasured space counts as too little
    lq_answer_next(LQ_IDNO);
    EXPECT_EQ(compress(2), 1);
    EXPECT_BOX(1, compress_warning,
               " There MAY NOT be enough free media space to compress the file " + name_ +
                   ". Continue anyways ?",
               36);
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    EXPECT_EQ(iCompressFile(name_.c_str(), 0, 2, 0, &cs_data), 1);  // ask flag 0: no question
    EXPECT_EQ(lq_boxes().size(), 3u) << lq_boxes_dump();
    EXPECT_EQ(compress(2), 0) << lq_boxes_dump();
    EXPECT_EQ(read_file(name_).size(), input.size());
    lq_boxes_clear();
    pf_fault_arm(PF_FAULT_DISKFREE, 1);
    EXPECT_EQ(expand(), -1);
    EXPECT_BOX(1, expand_error, " There is not enough free media space to expand: " + name_, 16);
    EXPECT_EQ(expand(), 0);
    EXPECT_TRUE(read_file(name_) == input);
}

// ------------------------------------------------------------ memory mode

class MemoryModeTest : public CompressFileTest {
  protected:
    PfGlobal block_ = nullptr;
    std::string input_;
    void set_up(const std::string& input, int32_t capacity) {
        release();
        input_ = input;
        block_ = pf_global_alloc((uint32_t)capacity);
        MemoryStreams.in_buffer = (uint8_t*)input_.data();
        MemoryStreams.in_length = (int32_t)input_.size();
        MemoryStreams.out_block = block_;
        MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(block_);
        MemoryStreams.out_capacity = capacity;
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

TEST_F(MemoryModeTest, RoundTripsAndRefusals) {
    for (uint16_t algorithm : {1, 2}) {
        std::string text = text_of(7000);
        set_up(text, algorithm == 1 ? 7001 : 1);  // LZSS: the record grows the block
        ASSERT_EQ(iCompressFile(path("secret.ent").c_str(), 1, algorithm, 0, &cs_data), 0);
        std::string packed = output();
        EXPECT_EQ(cs_data.compressedsize + 254, (int32_t)packed.size());
        EXPECT_EQ(cs_data.originalsize, 7000);
        EXPECT_EQ(cs_data.dosdate | cs_data.dosattr, 0);
        EXPECT_EQ(lq_hex(packed.substr(packed.size() - 2)), "fe 00");
        EXPECT_TRUE(files().empty());
        set_up(packed, 1);
        ASSERT_EQ(iExpandFile(path("secret.ent").c_str(), 1, &cs_data), 0);
        EXPECT_TRUE(output() == text);
        // A record that does not match the data's length.
        packed[packed.size() - 254 + 145] ^= 1;
        set_up(packed, 7001);
        EXPECT_EQ(iExpandFile(nullptr, 1, &cs_data), -11);
        EXPECT_BOX(0, expand_error,
                   " The data expanded from  Editor buffer  is 7000 bytes long, but its record "
                   "says 7001: the compressed data is damaged.  NOTHING WAS EXPANDED. ",
                   16);
        lq_boxes_clear();
    }
    set_up("short text", 11);
    EXPECT_EQ(iCompressFile("x", 1, 1, 0, &cs_data), -15);
    EXPECT_BOX(0, compress_error,
               " The compressed buffer is larger than the original buffer.  CANCELLING BUFFER "
               "COMPRESSION.",
               16);
    EXPECT_GT(MemoryStreams.out_pos, 0);
    EXPECT_LT(MemoryStreams.out_pos, 20);  // the coded length, no record
    for (std::string bad : {text_of(300) + "\xfe\x01", std::string("\xfe\x00", 2)}) {
        set_up(bad, 400);
        EXPECT_EQ(iExpandFile("x", 1, &cs_data), -6);
        EXPECT_EQ(lq_boxes().back().text, " Size mismatch, scssize != pcs_data->structsize");
    }
    release();
    EXPECT_EQ(iCompressFile(nullptr, 1, 1, 0, &cs_data), -1);
    EXPECT_EQ(iExpandFile(nullptr, 1, &cs_data), -1);
    set_up("abc", 4);
    MemoryStreams.in_buffer = nullptr;
    EXPECT_EQ(iCompressFile(nullptr, 1, 1, 0, &cs_data), -2);
    EXPECT_EQ(iExpandFile(nullptr, 1, &cs_data), -2);
}

// Both coders repaint only when the fraction has grown by more than 0.01, in
// both directions, and reach the end.
std::vector<float> painted;
std::vector<std::string> painted_texts;

TEST_F(MemoryModeTest, ProgressRepaintsInHundredthSteps) {
    static const LqProgressUi ui = {[] { return (intptr_t)1; },
                                    [](intptr_t) {
                                        painted.push_back(fProgressFraction);
                                        painted_texts.push_back(szProgressPercent);
                                    },
                                    [](intptr_t) {}};
    lq_set_progress_ui(&ui);
    std::string text = text_of(200000), packed;
    for (uint16_t algorithm : {1, 2}) {
        for (bool compressing : {true, false}) {
            painted.clear();
            painted_texts.clear();
            set_up(compressing ? text : packed, (int32_t)text.size() + 1);
            ASSERT_EQ(compressing ? iCompressFile("p.txt", 1, algorithm, 0, &cs_data)
                                  : iExpandFile("p.txt", 1, &cs_data),
                      0);
            if (compressing) packed = output();
            ASSERT_GE(painted.size(), 90u);
            ASSERT_LE(painted.size(), 102u);
            EXPECT_EQ(painted.front(), 0.0f);  // the first paint, when the window opens
            for (size_t i = 2; i < painted.size(); ++i)
                EXPECT_GT((double)painted[i] - (double)painted[i - 1], 0.01 - 1e-6) << i;
            EXPECT_GE(painted.back(), 0.99f);
            EXPECT_EQ(painted_texts[1], "  1% completed ");  // a two-wide number field
        }
    }
    lq_set_progress_ui(nullptr);
}

// ------------------------------------------------------------ fault sweeps

// Makes one kind of platform call fail at every position it is made in a
// compression or an expansion of a small and a medium read-only file.  The
// file keeps its name and holds either its old bytes with their stamp or the
// operation's result with the same stamp; a .TCF file (or a half-wiped one)
// is left only when a wipe or a rename said it failed; every failure says so.
class FaultSweepTest : public CompressFileTest {
  protected:
    std::map<std::string, int> outcomes_;

    void clear_folder() {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (auto& e : fs::directory_iterator(dir(), ec)) {
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
            fs::remove(e.path(), ec);
        }
    }
    bool complaint(const char* who) const {
        for (const RecordedBox& b : lq_boxes())
            if (b.caption.find(who) != std::string::npos) return true;
        return false;
    }

    void sweep(PfFaultOp op, bool compressing, uint16_t algorithm, size_t size) {
        const std::string original = text_of(size);
        std::string packed;
        int calls = 0;
        clear_folder();
        make("sweep.txt", original, true);
        if (!compressing) {
            ASSERT_EQ(compress(algorithm), 0);
            packed = read_file(name_);
        }
        pf_fault_reset();
        ASSERT_EQ(compressing ? compress(algorithm) : expand(), 0);
        calls = pf_fault_calls(op);
        for (int n = 1; n <= calls; ++n) {
            clear_folder();
            make("sweep.txt", compressing ? original : packed, true);
            std::string stamp = stamp_of(name_);
            lq_boxes_clear();
            pf_fault_reset();
            pf_fault_arm(op, n, PF_ERROR_ACCESS_DENIED);
            int result = compressing ? compress(algorithm) : expand();
            pf_fault_reset();
            SCOPED_TRACE("fault kind " + std::to_string(op) + " at call " + std::to_string(n) +
                         ", result " + std::to_string(result) + "\n" + lq_boxes_dump());
            std::string now = read_file(name_);
            bool old = now == (compressing ? original : packed);
            bool done = compressing ? !old && expanded(now) == original : now == original;
            // Done, but a later step failed: -18 (stamp), or expansion's -1
            // (backup wipe or stamp) - both said so.
            bool late = (compressing ? result == -18 : result == -1) && done;
            outcomes_[std::string(compressing ? "compress " : "expand ") +
                      (old    ? "kept"
                       : done ? "done"
                              : "LOST") +
                      " " + std::to_string(result)]++;
            EXPECT_TRUE(result == 0 ? done : old || late);
            if (result == 0 || old) EXPECT_EQ(stamp_of(name_), stamp);
            std::vector<std::string> left = files();
            if (left != std::vector<std::string>{"sweep.txt"})
                EXPECT_TRUE(complaint("iWipeFile") || complaint("iRename")) << left.size();
            bool quiet = result == 1 || result == 5 || (!compressing && result == -4);
            if (result != 0 && !quiet) EXPECT_FALSE(lq_boxes().empty());
            bool direct = result >= -6 && result <= -3;  // a service said it
            if (result < 0 && !quiet && !direct && result != -18 && !late) {
                // The operation's own message comes last, under its caption.
                EXPECT_EQ(lq_boxes().back().caption, compressing ? compress_error : expand_error);
            }
        }
    }
    void sweep_all(bool compressing) {
        int runs = 0;
        for (int op = 0; op < PF_FAULT_COUNT_; ++op)
            for (uint16_t algorithm : {1, 2})
                for (size_t size : {3000, 300000})
                    sweep((PfFaultOp)op, compressing, algorithm, size);
        for (auto& [what, count] : outcomes_) {
            std::cout << "  " << what << ": " << count << "\n";
            runs += count;
        }
        std::cout << "  runs: " << runs << "\n";
    }
};

TEST_F(FaultSweepTest, CompressionSurvivesEveryFailingCall) { sweep_all(true); }
TEST_F(FaultSweepTest, ExpansionSurvivesEveryFailingCall) { sweep_all(false); }

// A process killed at any of its writes (inside the coding, the record, the
// wipe) and then run again on the same file: the data survives in the file or
// in its backup, whatever the answers, and a backup left is named in a box.
TEST_F(CompressFileTest, KilledMidwayThenRunAgain) {
#ifdef _WIN32
    GTEST_SKIP() << "SIGKILL is POSIX";
#else
    static int kill_at;
    const std::string original = text_of(200000);
    for (int op = 0; op < 3; ++op) {
        uint16_t algorithm = op == 2 ? 1 : (uint16_t)(op + 1);
        for (kill_at = 1; kill_at < 40; kill_at += 3) {
            SCOPED_TRACE("operation " + std::to_string(op) + ", killed at write " +
                         std::to_string(kill_at));
            for (auto& f : files()) std::filesystem::remove(path(f));
            make("k.txt", original);
            if (op == 2) ASSERT_EQ(compress(algorithm), 0);
            auto run = [&] { return op == 2 ? expand() : compress(algorithm); };
            EXPECT_EXIT(
                {
                    pf_set_write_observer([](PfFile, int64_t, const void*, uint32_t) {
                        if (--kill_at == 0) kill(getpid(), SIGKILL);
                    });
                    run();
                    _exit(0);
                },
                [](int status) {
                    return (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
                           (WIFEXITED(status) && WEXITSTATUS(status) == 0);
                },
                "");
            lq_boxes_clear();
            for (int i = 0; i < 4; ++i) lq_answer_next(LQ_IDYES);
            run();
            std::string now = read_file(name_);
            bool in_file = now == original || expanded(now) == original;
            bool in_backup = exists(backup()) && (read_file(backup()) == original ||
                                                  expanded(read_file(backup())) == original);
            EXPECT_TRUE(in_file || in_backup) << lq_boxes_dump();
            if (exists(backup())) {
                EXPECT_NE(lq_boxes_dump().find(backup()), std::string::npos) << lq_boxes_dump();
            }
        }
    }
#endif
}

}  // namespace
