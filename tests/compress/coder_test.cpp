// The two coders: stream vectors, the literal reference coders' output on the
// golden samples, golden compressed files, round trips in memory and on
// files, cut and failing streams.
#include "tests/compress/coder_harness.h"

namespace {

class CoderTest : public LqTest {};

TEST_F(CoderTest, StreamVectors) {
    struct {
        Coder coder;
        std::string input;
        const char* stream;
    } vectors[] = {{Coder::lzss, "", "00 00"},
                   {Coder::lzss, "A", "a0 80 00"},
                   {Coder::lzss, std::string(20, 'a'), "b0 80 07 c0 24 00 00"},
                   {Coder::lzss, "abcabcabcabc", "b0 d8 ac 60 01 70 00 00"},
                   {Coder::arith, "", "ff 20 00 00"},
                   {Coder::arith, "A", "be 40 90 00 00"}};
    for (auto& v : vectors) {
        EXPECT_EQ(lq_hex(cz_memory(v.coder, true, v.input).bytes), v.stream);
        CoderRun back = cz_memory(v.coder, false, lq_unhex(v.stream));
        EXPECT_TRUE(back.result == 0 && back.bytes == v.input) << v.stream;
    }
    // A match into the never-written window gives zeros.
    EXPECT_EQ(cz_memory(Coder::lzss, false, lq_unhex("03 21 80 00")).bytes, std::string(5, '\0'));
}

// Every sample: the arithmetic coder writes the reference's bytes, LZSS its
// parse; ours and the reference's streams expand back.
TEST_F(CoderTest, SamplesCodeAsTheReferenceAndRoundTrip) {
    int samples = 0;
    for (auto& e : std::filesystem::directory_iterator(lq_source_dir() +
                                                       "/tests/golden/compress/reference")) {
        std::string name = e.path().filename().string();
        if (e.path().has_extension()) continue;
        ++samples;
        std::string input = cz_golden("reference/" + name);
        for (Coder coder : {Coder::lzss, Coder::arith}) {
            std::string what = name + (coder == Coder::arith ? ".max" : ".fast");
            std::string reference = cz_golden("reference/" + what);
            CoderRun mem = cz_memory(coder, true, input);
            ASSERT_EQ(mem.result, 0) << what;
            cz_expect_same_coding(coder, mem.bytes, reference, what);
            for (const std::string* stream : {&mem.bytes, &reference}) {
                CoderRun back = cz_memory(coder, false, *stream);
                EXPECT_TRUE(back.result == 0 && back.bytes == input) << what;
            }
        }
    }
    EXPECT_GE(samples, 20);
}

// Golden compressed files (tests/golden/compress, see the README there), made
// in memory mode as the encrypted editor text uses it: every build reads them
// back in place and writes them again, in memory and in place.
TEST_F(CoderTest, GoldenFilesAreWrittenAndReadAgain) {
    for (const char* name : {"sample.txt", "sample.bin"}) {
        std::string input = cz_golden(name), made;
        for (uint16_t algorithm : {1, 2}) {
            Coder coder = algorithm == 1 ? Coder::arith : Coder::lzss;
            std::string golden_name = std::string(name) + (algorithm == 1 ? ".max" : ".fast");
            {
                CzMemoryMode memory(input);
                ASSERT_EQ(iCompressFile(name, 1, algorithm, 0, &cs_data), 0) << golden_name;
                made = memory.output();
            }
            std::string golden = cz_golden(golden_name);
            cz_expect_same_coding(coder, made, golden, golden_name);
            for (const std::string* packed : {&made, &golden}) {
                write_file(path(name), *packed);
                ASSERT_EQ(iExpandFile(path(name).c_str(), 1, &cs_data), 0) << lq_boxes_dump();
                EXPECT_TRUE(read_file(path(name)) == input) << golden_name;
                EXPECT_EQ(cs_data.algorithm, algorithm);
            }
            ASSERT_EQ(iCompressFile(path(name).c_str(), 1, algorithm, 0, &cs_data), 0);
            std::string packed = read_file(path(name));
            ASSERT_GE(packed.size(), 254u) << golden_name;
            cz_expect_same_coding(coder, packed.substr(0, packed.size() - 254),
                                  golden.substr(0, golden.size() - 254), golden_name + " in place");
        }
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// The finder's running position count, started near its top (inside a long
// call, and at the start of empty calls), never wraps: the parse stays.
TEST_F(CoderTest, FinderCountNearItsTopKeepsTheParse) {
    for (uint32_t start : {0xF0000000u - 20000u, 0xFFFFE000u, 0xF0000000u}) {
        cz_lzss_set_next_start(start);
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(lq_hex(cz_memory(Coder::lzss, true, "").bytes), "00 00");
            for (const char* name : {"text", "runs"})
                cz_expect_same_coding(
                    Coder::lzss,
                    cz_memory(Coder::lzss, true, cz_golden(std::string("reference/") + name)).bytes,
                    cz_golden(std::string("reference/") + name + ".fast"), name);
        }
    }
    cz_lzss_set_next_start(0);
}

// A long stream of every kind of token (golden, see the README there)
// expands as the rules say: in memory with room and grown from nothing, to a
// file with bytes after it; cut anywhere, it fails after putting out a prefix
// of that and taking every byte.
TEST_F(CoderTest, LzssExpansionFollowsTheRules) {
    std::string stream = cz_golden("reference/tokens.lzss");
    std::string want = cz_golden("reference/tokens.lzss.out");
    for (int capacity : {(int)want.size(), 0}) {
        CoderRun mem = cz_memory(Coder::lzss, false, stream, capacity);
        EXPECT_TRUE(mem.result == 0 && mem.bytes == want);
        EXPECT_EQ(mem.in_pos, (int32_t)stream.size());
    }
    write_file(path("z"), stream + "trailing bytes");
    CoderRun file = cz_file(Coder::lzss, false, path("z"), path("out"));
    EXPECT_TRUE(file.result == 0 && file.bytes == want);
    EXPECT_EQ(file.in_pos, (int32_t)stream.size());
    std::string cuts = lq_random_bytes(8, 1);
    for (size_t i = 0; i < cuts.size(); ++i) {
        std::string cut = stream.substr(0, (uint8_t)cuts[i] * stream.size() / 256 + i);
        CoderRun run = cz_memory(Coder::lzss, false, cut, 0);
        EXPECT_TRUE(run.result == -1 && run.io_error != 0);
        EXPECT_EQ(want.compare(0, run.bytes.size(), run.bytes), 0) << cut.size();
        EXPECT_GT(run.bytes.size() + 40, want.size() * cut.size() / stream.size() * 9 / 10);
        EXPECT_EQ(run.in_pos, (int32_t)cut.size());
        write_file(path("z"), cut);
        CoderRun f = cz_file(Coder::lzss, false, path("z"), path("out"));
        EXPECT_TRUE(f.result == -1 && f.bytes == run.bytes) << cut.size();
    }
}

// Cut at every length, a stream fails (arithmetic: -2 within the first 16
// bits, else -4); growth and writes that fail end either coder.
TEST_F(CoderTest, CutAndFailingStreams) {
    std::string input = lq_random_bytes(200000, 5);
    write_file(path("in"), input);
    for (Coder coder : {Coder::lzss, Coder::arith}) {
        bool arith = coder == Coder::arith;
        std::string stream =
            cz_memory(coder, true, cz_golden("reference/text").substr(0, 800)).bytes;
        for (size_t n = 0; n + (arith ? 2 : 0) < stream.size(); ++n) {
            CoderRun run = cz_memory(coder, false, stream.substr(0, n));
            EXPECT_EQ(run.result, !arith ? -1 : n < 2 ? -2 : -4) << n;
            EXPECT_NE(run.io_error, 0) << n;
        }
        stream = cz_memory(coder, true, std::string(5000, 'q')).bytes;
        pf_fault_arm(PF_FAULT_ALLOC, 2);  // the first is the block itself
        CoderRun grown = cz_memory(coder, false, stream, 0);
        EXPECT_TRUE(grown.result == -1 && grown.io_error == -1);
        pf_fault_arm(PF_FAULT_WRITE, 2);
        CoderRun c = cz_file(coder, true, path("in"), path("z"));
        EXPECT_TRUE(c.result == (arith ? -3 : -1) && c.io_error == -1);
        // A stream over several file buffers, whose ends fall inside tokens.
        write_file(path("z"), cz_memory(coder, true, input).bytes);
        EXPECT_TRUE(cz_file(coder, false, path("z"), path("out")).bytes == input);
        pf_fault_arm(PF_FAULT_WRITE, 1);
        EXPECT_EQ(cz_file(coder, false, path("z"), path("out")).result, -1);
    }
}

TEST_F(CoderTest, ArithModelThatCannotGrowFailsWithTheStepsCode) {
    std::string input = cz_golden("reference/text");
    std::string stream = cz_memory(Coder::arith, true, input).bytes;
    cz_arith_memory_limit = 1;  // not even the set-up fits
    EXPECT_EQ(cz_memory(Coder::arith, true, input).result, -1);
    EXPECT_EQ(cz_memory(Coder::arith, false, stream).result, -1);
    EXPECT_TRUE(cz_arith_stats.out_of_memory);
    // Room for the set-up but not for the text's contexts: the first failing
    // step is an update (the new entry) or a context advance (a new table).
    cz_arith_memory_limit = 6000;
    CoderRun c = cz_memory(Coder::arith, true, input);
    EXPECT_TRUE((c.result == -5 || c.result == -6) && c.io_error == -1) << c.result;
    CoderRun e = cz_memory(Coder::arith, false, stream);
    EXPECT_TRUE(e.result == -6 || e.result == -7) << e.result;
}

}  // namespace
