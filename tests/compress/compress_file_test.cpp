// Compressing and expanding files in place and memory buffers: the record,
// the messages, and the files left on disk after every outcome, including a
// failure at every platform call and a process killed midway.
#include <signal.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <cstdio>
#include <cstring>

#include "fileops/progress.h"
#include "tests/compress/coder_harness.h"

namespace {

const char compress_error[] = "Lockquill(TM) ERROR: iCompressFile ";
const char expand_error[] = "Lockquill(TM) ERROR: iExpand ";
const uint16_t old_date = (21 << 9) | (2 << 5) | 3, old_time = (4 << 11) | (5 << 5) | 3;

// Attributes and last write time, compared whole.
std::string stamp_of(const std::string& p) {
    PfFaultPause pause;
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    if (f == PF_INVALID_FILE) return "missing";
    FileInformation info{};
    pf_get_file_information(f, &info), pf_close(f);
    auto& t = info.ftLastWriteTime;
    return std::to_string(info.dwFileAttributes & (PF_ATTR_READONLY | PF_ATTR_HIDDEN)) + "/" +
           std::to_string(((uint64_t)t.dwHighDateTime << 32) | t.dwLowDateTime);
}

std::string text_of(size_t n) {
    std::string s, r = lq_random_bytes(n, 21);
    const char* w[] = {"private ", "letters ", "stay ", "locked ",
                       "in ",      "quill ",   "and ",  "ink.\r\n"};
    for (size_t i = 0; s.size() < n; ++i) s += w[(uint8_t)r[i] % 8];
    return s.substr(0, n);
}

std::string tail(std::string s, size_t n) { return s.size() > n ? s.substr(s.size() - n) : s; }

std::string record_bytes(uint16_t algorithm, int32_t compressed, int32_t original) {
    CompStats r;
    iInitCompStats(&r, algorithm, "x");
    r.compressedsize = compressed, r.originalsize = original;
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(&r, bytes);
    return std::string((char*)bytes, sizeof bytes);
}

// The data a compressed file holds when its record names its coder and both
// sizes rightly, else "".
std::string expanded(const std::string& packed) {
    int32_t coded = (int32_t)packed.size() - 254;
    CompStats r;
    if (coded < 0) return "";
    cz_comp_stats_unpack(&r, (const uint8_t*)packed.data() + coded);
    cz::Run run =
        cz::run(r.algorithm == 1 ? Coder::arith : Coder::lzss, false, packed.substr(0, coded));
    bool right = run.result == 0 && r.compressedsize == coded && r.structsize == 254 &&
                 r.originalsize == (int32_t)run.bytes.size();
    return right ? run.bytes : "";
}

class CompressFileTest : public LqTest {
  public:
    std::string name_;

    // A file stamped 2001-02-03 04:05:06, alone in the folder.
    void make(const std::string& file, const std::string& bytes, bool read_only = false) {
        namespace fs = std::filesystem;
        std::error_code ec;  // what a failed wipe leaves may be read-only, oddly named
        for (auto& e : fs::directory_iterator(dir(), ec))
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec),
                fs::remove(e.path(), ec);
        name_ = path(file);
        write_file(name_, bytes);
        PfFaultPause pause;
        PfFileTime t;
        pf_dos_to_file_time(old_date, old_time, &t);
        PfFile f = pf_open(name_.c_str(), PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
        pf_set_file_time(f, &t, &t, &t), pf_close(f);
        if (read_only) set_readonly(name_, true);
    }
    std::string backup() const { return name_.substr(0, name_.rfind('.')) + ".TCF"; }
    int compress(uint16_t algorithm, int show = 0, int ask = 1) {
        return iCompressFile(name_.c_str(), ask, algorithm, show, &cs_data);
    }
    int expand() { return iExpandFile(name_.c_str(), 1, &cs_data); }
    std::vector<std::string> files() { return list_dir(dir()); }
};

// The record's bytes (golden: the bytes this record was first checked to
// have), and what iReadCompStats makes of a file's end.
TEST_F(CompressFileTest, RecordBytesAndReader) {
    CompStats r;
    std::memset(&r, 0x5A, sizeof r);  // garbage after the name must not reach the disk
    iInitCompStats(&r, 2, nullptr);
    std::strcpy(r.filename, "C:\\A.TXT"), r.dosattr = 0x21;
    r.compressedsize = 0x01020304, r.originalsize = -2, r.dosdate = 0x2A43, r.dostime = 0x2083;
    uint8_t bytes[CZ_COMP_STATS_SIZE];
    cz_comp_stats_pack(&r, bytes);
    std::string packed((char*)bytes, sizeof bytes);
    EXPECT_EQ(lq_hex(packed), lq_hex(cz_golden("record.bin")));
    const std::pair<std::string, int> rows[] = {
        {"", -1}, {"plain text", -2}, {record_bytes(1, 0, 0), -8}, {"d" + packed, 0}};
    for (auto& [file, result] : rows) {
        write_file(path("f.cz"), file);
        EXPECT_EQ(iReadCompStats(&r, path("f.cz").c_str()), result) << file.size();
    }
    cz_comp_stats_pack(&r, bytes);  // what was read gives the same bytes
    EXPECT_TRUE(std::string((char*)bytes, sizeof bytes) == packed);
}

// One row per way an operation ends early: what f.txt holds (made with an
// algorithm; a .TCF beside it holding the text given), the call (0 expand,
// else compress with that algorithm) under a condition, its result and the
// end of its last box (%N the file, %B the backup).  The file, its stamp,
// the backup and the folder stay as they were.  Then the ends that go on.
enum Made { tiny, plain, packed, cut, longer, escape, record_only, tcf, noise, noise_packed };
enum Condition { none, model_1mb, low_space, low_space_unasked };

TEST_F(CompressFileTest, EveryEarlyEndLeavesTheFilesAsTheyWere) {
    const char* cancel = "larger than the original file.  CANCELLING FILE COMPRESSION.";
    const char* damaged =
        "from %N is 30000 bytes long, but its record says 29999: the compressed data is damaged.  "
        "NOTHING WAS EXPANDED. ";
    const char* remnant =
        " The file %N is the incomplete result of an operation that did not finish; its original "
        "is kept as %B.  Nothing was done: check both files and rename the backup back by hand.";
    const char* question = " DO YOU WISH TO OVERWRITE IT ?";
    const char* arith_error = " Arith-N file expansion error: -4 ";
    const std::string model = "\r\n The model needs more than the 1 MB of memory it may use here. ";
    const std::tuple<Made, uint16_t, const char*, int, Condition, int, std::string> rows[] = {
        {tiny, 1, nullptr, 1, none, -12, cancel},
        {tiny, 2, nullptr, 2, none, -12, cancel},
        // Noise: the coder stops once its output alone is too large.
        {noise, 1, nullptr, 1, none, -12, cancel},
        {noise, 2, nullptr, 2, none, -12, cancel},
        {cut, 1, nullptr, 0, none, -4, arith_error},
        {cut, 2, nullptr, 0, none, -1, " LZSS file expansion error: -1 "},
        {longer, 1, nullptr, 0, none, -11, damaged},
        {longer, 2, nullptr, 0, none, -11, damaged},
        {escape, 1, nullptr, 0, none, -4, arith_error},
        {plain, 2, nullptr, 0, none, -4, " or not a Lockquill Compressed file "},
        {record_only, 2, nullptr, 0, none, -4, ""},  // iReadCompStats -8: quiet
        {tcf, 2, nullptr, 2, none, -5, " WILL/CAN NOT overwrite. ReName the file manually."},
        {noise, 1, nullptr, 1, model_1mb, -5, model + "Nothing was compressed."},
        {noise_packed, 1, nullptr, 0, model_1mb, -6, model + "The compressed data is kept."},
        // Unmeasured free space counts as too little: a question (No), none
        // when asking is off, a refusal to expand.
        {plain, 2, nullptr, 2, low_space, 1, "to compress the file %N. Continue anyways ?"},
        {plain, 2, nullptr, 2, low_space_unasked, 1, "%N.  Code: 112 "},
        {packed, 2, nullptr, 0, low_space, -1, "not enough free media space to expand: %N"},
        // What an interrupted operation leaves: the backup is the only copy,
        // refused without a question (which would be answered No: 5).
        {plain, 2, "the original", 2, none, -6, remnant},
        {plain, 2, "compressed data", 0, none, -5, remnant},
        {packed, 2, "older backup", 0, none, 5, question},
        {packed, 1, "older backup", 1, none, 5, question},
    };
    const std::string text = text_of(30000), random = lq_random_bytes(300000, 3);
    const std::string coded = cz::run(Coder::arith, true, random).bytes;
    const std::string escaped = std::string(64, '\xff') + record_bytes(1, 64, 100),
                      bare_record = record_bytes(2, 0, 0),
                      packed_noise = coded + record_bytes(1, (int32_t)coded.size(), 300000);
    // What each setup holds (the packed ones are made in the loop).
    const std::string held[] = {"a few bytes", text,        "",   "",     "",
                                escaped,       bare_record, text, random, packed_noise};
    int row = 0;
    for (auto& [setup, algorithm, old_backup, op, condition, result, box] : rows) {
        SCOPED_TRACE(row++);
        std::string bytes = held[setup];
        if (setup >= packed && setup <= longer) {
            make("f.txt", text);
            ASSERT_EQ(compress(algorithm), 0);
            bytes = read_file(name_);
            size_t coded = bytes.size() - 254;
            if (setup == cut) bytes.erase(coded / 2, coded / 2);
            if (setup == longer) bytes[coded + 145] -= 1;  // originalsize - 1
        }
        make(setup == tcf ? "f.tcf" : "f.txt", bytes, setup == tiny || setup == noise);
        if (old_backup) write_file(backup(), old_backup);
        std::string stamp = stamp_of(name_);
        std::vector<std::string> before = files();
        lq_boxes_clear();
        cz_arith_memory_limit = condition == model_1mb ? 1 << 20 : 0;
        if (condition >= low_space) pf_fault_arm(PF_FAULT_DISKFREE, 1);
        int ask = condition != low_space_unasked, got = op ? compress(op, 0, ask) : expand();
        cz_arith_memory_limit = 0;
        if (setup == noise && got == -12) EXPECT_LT(MemoryStreams.in_pos, 270000);
        // The result, the end of the last box and its style: a question, else an error.
        std::string want = box.empty() ? "" : box + (result > 0 && ask ? "|36" : "|16");
        for (auto [key, value] : {std::pair{"%N", name_}, {"%B", backup()}})
            if (want.find(key) != std::string::npos) want.replace(want.find(key), 2, value);
        auto& boxes = lq_boxes();
        std::string last =
            boxes.empty() ? "" : boxes.back().text + "|" + std::to_string(boxes.back().style);
        EXPECT_EQ(std::to_string(got) + tail(last, want.size()), std::to_string(result) + want);
        EXPECT_TRUE(read_file(name_) == bytes && stamp_of(name_) == stamp && files() == before &&
                    (!old_backup || read_file(backup()) == old_backup));
    }
    lq_answer_next(LQ_IDYES);  // Yes overwrites the backup beside a compressed file
    EXPECT_TRUE(compress(1) == -12 && files() == std::vector<std::string>{"f.txt"});
    // A backup beside a missing file (killed right after the move) goes back first.
    std::filesystem::rename(name_, backup());
    EXPECT_TRUE(expand() == 0 && read_file(name_) == text &&
                files() == std::vector<std::string>{"f.txt"})
        << lq_boxes_dump();
    // Coded data plus record exactly as long as the file (a run grown after
    // an incompressible head until it is so): accepted.
    std::string input = lq_random_bytes(400, 4);
    while (cz::run(Coder::lzss, true, input).bytes.size() + 254 != input.size() &&
           input.size() < 20400)
        input += 'r';
    make("equal.bin", input);
    EXPECT_TRUE(compress(2) == 0 && read_file(name_).size() == input.size() &&
                input.size() < 20400);
    EXPECT_TRUE(expand() == 0 && read_file(name_) == input);
}

// Memory mode, as the encrypted editor text uses it: both coders round trip
// (LZSS into a block grown from one byte, the record included), repainting
// only when the fraction has grown by more than 0.01, up to the end (LZSS
// also on files); then what it refuses, with nothing written beyond the coded data.
std::vector<std::pair<float, std::string>> painted;
void paint(intptr_t) { painted.push_back({fProgressFraction, szProgressPercent}); }

TEST_F(CompressFileTest, MemoryModeRoundTripsAndRefusals) {
    static const LqProgressUi ui = {[] { return (intptr_t)1; }, paint, [](intptr_t) {}};
    lq_set_progress_ui(&ui);
    std::string text = text_of(200000), packed;
    for (int k = 0; k < 4; ++k) {  // compressing with 1, expanding it, the same with 2
        uint16_t algorithm = 1 + k / 2;
        bool compressing = k % 2 == 0;
        SCOPED_TRACE(k);
        painted.clear();
        MemoryMode memory(compressing ? text : packed, algorithm == 1 ? -1 : 1);
        ASSERT_EQ(compressing ? iCompressFile(path("p.txt").c_str(), 1, algorithm, 0, &cs_data)
                              : iExpandFile(path("p.txt").c_str(), 1, &cs_data),
                  0);
        if (compressing && algorithm == 2)  // the record grew the block to fit
            EXPECT_EQ(MemoryStreams.out_capacity, MemoryStreams.out_pos + 1);
        EXPECT_TRUE(compressing ? expanded(packed = memory.output()) == text
                                : memory.output() == text);
        ASSERT_TRUE(painted.size() >= 90 && painted.size() <= 102) << painted.size();
        // The first paint when the window opens; "  1%": a two-wide number field.
        EXPECT_TRUE(painted[0].first == 0.0f && painted.back().first >= 0.99f &&
                    painted[1].second == "  1% completed ");
        for (size_t i = 2; i < painted.size(); ++i)
            EXPECT_GT((double)painted[i].first - painted[i - 1].first, 0.01 - 1e-6) << i;
    }
    EXPECT_TRUE(files().empty());
    painted.clear(), write_file(path("p.txt"), packed);  // on files LZSS decodes in place
    EXPECT_TRUE(iExpandFile(path("p.txt").c_str(), 1, &cs_data) == 0 && painted.size() >= 90);
    lq_set_progress_ui(nullptr);
    packed[packed.size() - 254 + 145] ^= 1;  // a record that does not match the data
    const char* mismatch = " Size mismatch, scssize != pcs_data->structsize";
    const char* larger = "larger than the original buffer.  CANCELLING BUFFER COMPRESSION.";
    const std::tuple<std::string, int, const char*> rows[] = {
        {packed, -11,
         "is 200000 bytes long, but its record says 200001: the compressed data is "
         "damaged.  NOTHING WAS EXPANDED. "},
        {"short text", -15, larger},
        {lq_random_bytes(200000, 6), -15, larger},  // stopped early (see the early ends)
        {text_of(300) + "\xfe\x01", -6, mismatch},
        {std::string("\xfe\x00", 2), -6, mismatch}};
    for (auto& [input, result, box] : rows) {
        lq_boxes_clear();
        MemoryMode memory(input);
        bool compressing = result == -15;
        int n = (int)input.size(), got = compressing ? iCompressFile(nullptr, 1, 1, 0, &cs_data)
                                                     : iExpandFile(nullptr, 1, &cs_data);
        std::string first = lq_boxes().empty() ? ""
                                               : lq_boxes()[0].caption + "|" +
                                                     tail(lq_boxes()[0].text, std::strlen(box));
        EXPECT_EQ(
            std::to_string(got) + first,
            std::to_string(result) + (compressing ? compress_error : expand_error) + "|" + box);
        if (compressing)  // stopped early, no record
            EXPECT_TRUE(MemoryStreams.in_pos < std::max(20, n * 9 / 10) &&
                        MemoryStreams.out_pos < std::max(20, n));
    }
    EXPECT_TRUE(iCompressFile(nullptr, 1, 1, 0, &cs_data) == -1 &&
                iExpandFile(nullptr, 1, &cs_data) == -1);
    MemoryMode memory("abc");
    MemoryStreams.in_buffer = nullptr;
    EXPECT_TRUE(iCompressFile(nullptr, 1, 1, 0, &cs_data) == -2 &&
                iExpandFile(nullptr, 1, &cs_data) == -2);
}

// Makes each kind of platform call fail at every position it is made in a
// compression or an expansion of a small and a medium read-only file (after
// checking the run without faults).  The file keeps its name and holds
// either its old bytes with their stamp or the operation's result with the
// same stamp; a .TCF file (or a half-wiped one) is left only when a wipe or
// a rename said it failed; every failure says so.
TEST_F(CompressFileTest, EveryFailingCallEndsSafely) {
    for (int k = 0; k < 8 * PF_FAULT_COUNT_; ++k) {
        int op = k / 8, compressing = k % 2;
        uint16_t algorithm = 1 + k / 2 % 2;
        size_t size = k % 8 < 4 ? 3000 : 300000;
        const std::string original = text_of(size);
        make("sweep.txt", original, true);
        const std::string stamp = stamp_of(name_);
        if (!compressing) ASSERT_EQ(compress(algorithm), 0);
        const std::string before = read_file(name_);
        lq_boxes_clear();
        pf_fault_reset();
        ASSERT_EQ(compressing ? compress(algorithm, 1) : expand(), 0) << lq_boxes_dump();
        int calls = pf_fault_calls((PfFaultOp)op);
        // Undisturbed: the stamp kept, no other file; compression writes the
        // record and says how well it did, expansion says nothing.
        std::string now = read_file(name_);
        EXPECT_TRUE(
            stamp_of(name_) == stamp && files() == std::vector<std::string>{"sweep.txt"} &&
            (compressing ? expanded(now) == original : now == original && lq_boxes().empty()))
            << lq_boxes_dump();
        if (compressing && op == 0) {
            CompStats r;
            cz_comp_stats_unpack(&r, (const uint8_t*)now.data() + now.size() - 254);
            EXPECT_TRUE(now.size() < size / 2 && gPreCompressSize == (int32_t)size &&
                        r.filename == name_ && (r.dosattr & 1) && r.dosdate == old_date);
            char text[600];
            std::snprintf(text, sizeof text,
                          " The compressed file %s is %2.2f percent of it's original size. ",
                          name_.c_str(), r.compressedsize / (double)r.originalsize * 100.0);
            EXPECT_EQ(lq_boxes_text(""),
                      "Lockquill(TM) Message: iCompressFile |" + std::string(text) + "|48\n");
        }
        for (int n = 1; n <= calls; ++n) {
            make("sweep.txt", before, true);
            lq_boxes_clear();
            pf_fault_reset();
            pf_fault_arm((PfFaultOp)op, n, PF_ERROR_ACCESS_DENIED);
            int result = compressing ? compress(algorithm) : expand();
            pf_fault_reset();
            SCOPED_TRACE("fault kind " + std::to_string(op) + " at call " + std::to_string(n) +
                         ", result " + std::to_string(result) + "\n" + lq_boxes_dump());
            std::string now = read_file(name_), boxes = lq_boxes_dump();
            bool old = now == before;
            bool done = compressing ? !old && expanded(now) == original : now == original;
            // Done, but a later step failed: -18 (stamp), or expansion's -1
            // (backup wipe or stamp) - both said so.
            bool late = (compressing ? result == -18 : result == -1) && done;
            EXPECT_TRUE(result == 0 ? done : old || late);
            if (result == 0 || old) EXPECT_EQ(stamp_of(name_), stamp);
            if (files() != std::vector<std::string>{"sweep.txt"})
                EXPECT_TRUE(boxes.find("iWipeFile]") != std::string::npos ||
                            boxes.find("iRename ]") != std::string::npos);
            bool quiet = result == 1 || result == 5 || (!compressing && result == -4);
            if (result != 0 && !quiet) EXPECT_FALSE(lq_boxes().empty());
            bool direct = result >= -6 && result <= -3;  // a service said it
            // The operation's own message comes last, under its caption.
            if (result < 0 && !quiet && !direct && result != -18 && !late)
                EXPECT_EQ(lq_boxes().back().caption, compressing ? compress_error : expand_error);
        }
    }
}

// An expansion that fails and whose rollback cannot put the stamp back (the
// last time set) says so: the data is back, its stamp is not.
TEST_F(CompressFileTest, RollbackWithoutItsStampFails) {
    make("r.txt", text_of(3000));
    ASSERT_EQ(compress(2), 0);
    const std::string packed = read_file(name_);
    for (int last = 0, pass = 0; pass < 2; ++pass) {
        make("r.txt", packed), pf_fault_reset();
        pf_fault_arm(PF_FAULT_WRITE, 1);
        if (pass) pf_fault_arm(PF_FAULT_SETTIME, last);
        EXPECT_EQ(expand(), -1);
        last = pf_fault_calls(PF_FAULT_SETTIME);
        pf_fault_reset();
        EXPECT_EQ(read_file(name_) + std::to_string(files().size()), packed + "1");
    }
}

// A process killed at any of its writes (inside the coding, the record, the
// wipe) and then run again on the same file: the data survives in the file or
// in its backup, whatever the answers, and a backup left is named in a box.
TEST_F(CompressFileTest, KilledMidwayThenRunAgain) {
#ifdef _WIN32
    GTEST_SKIP() << "SIGKILL is POSIX";
#else
    static int kill_at;
    const std::string original = text_of(200000);
    for (int op = 0; op < 3; ++op) {  // compress with 1, with 2, expand
        uint16_t algorithm = op == 2 ? 1 : (uint16_t)(op + 1);
        for (kill_at = 1; kill_at < 22; kill_at += 3) {
            SCOPED_TRACE(std::to_string(op) + ", killed at write " + std::to_string(kill_at));
            make("k.txt", original);
            if (op == 2) ASSERT_EQ(compress(algorithm), 0);
            auto run = [&] { return op == 2 ? expand() : compress(algorithm); };
            pid_t child = fork();
            if (child == 0) {
                pf_set_write_observer([](PfFile, int64_t, const void*, uint32_t) {
                    if (--kill_at == 0) kill(getpid(), SIGKILL);
                });
                run();
                _exit(0);
            }
            int status = 0;
            EXPECT_TRUE(waitpid(child, &status, 0) == child &&
                        (WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0)));
            lq_boxes_clear();
            for (int i = 0; i < 4; ++i) lq_answer_next(LQ_IDYES);
            run();
            std::string now = read_file(name_), kept = read_file(backup());
            bool in_file = now == original || expanded(now) == original;
            bool in_backup = kept == original || expanded(kept) == original;  // "" when none
            bool named = lq_boxes_dump().find(backup()) != std::string::npos;
            EXPECT_TRUE((in_file || in_backup) && (named || !exists(backup()))) << lq_boxes_dump();
        }
    }
#endif
}

}  // namespace
