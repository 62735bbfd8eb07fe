// Arithmetic coder: the stream vectors, round trips, cut and corrupt streams.
#include "compress/arith.h"

#include "tests/compress/coder_harness.h"
#include "tests/compress/coder_reference.h"
#include "tests/support/lq_test.h"

namespace {

class ArithTest : public LqTest {};

TEST_F(ArithTest, StreamVectors) {
    struct {
        std::string input;
        const char* stream;
    } vectors[] = {{"", "ff 20 00 00"}, {"A", "be 40 90 00 00"}};
    for (auto& v : vectors) {
        CoderRun mem = cz_compress_memory(Coder::arith, v.input);
        EXPECT_EQ(mem.result, 0);
        EXPECT_EQ(lq_hex(mem.bytes), v.stream);
        CoderRun back = cz_expand_memory(Coder::arith, lq_unhex(v.stream));
        EXPECT_EQ(back.result, 0);
        EXPECT_EQ(back.bytes, v.input);
    }
}

}  // namespace

std::vector<std::pair<std::string, std::string>> cz_test_samples();

namespace {

TEST_F(ArithTest, RoundTripsInMemoryAndOnFiles) {
    for (auto& [name, input] : cz_test_samples()) {
        CoderRun mem = cz_compress_memory(Coder::arith, input);
        ASSERT_EQ(mem.result, 0) << name;
        CoderRun back = cz_expand_memory(Coder::arith, mem.bytes);
        ASSERT_EQ(back.result, 0) << name;
        EXPECT_TRUE(back.bytes == input) << name;

        write_file(path("in"), input);
        CoderRun file = cz_compress_file(Coder::arith, path("in"), path("z"));
        ASSERT_EQ(file.result, 0) << name;
        EXPECT_TRUE(file.bytes == mem.bytes) << name;
        CoderRun out = cz_expand_file(Coder::arith, path("z"), path("out"));
        ASSERT_EQ(out.result, 0) << name;
        EXPECT_TRUE(out.bytes == input) << name;
    }
}

// A literal transcription of the model rules (totals array, exclusion array,
// eager model flush) gives the same bytes.
TEST_F(ArithTest, SameBytesAsTheReferenceModel) {
    for (auto& [name, input] : cz_test_samples()) {
        int flushes = 0;
        std::string expected = reference_arith_compress(input, &flushes);
        CoderRun mem = cz_compress_memory(Coder::arith, input);
        EXPECT_TRUE(mem.bytes == expected) << name;
        EXPECT_EQ(cz_arith_stats.flushes, (uint32_t)flushes) << name;
    }
}

TEST_F(ArithTest, ShortInputsNeverFlushIncompressibleOnesDo) {
    cz_compress_memory(Coder::arith, lq_random_bytes(254, 1));
    EXPECT_EQ(cz_arith_stats.flushes, 0u);
    std::string noise = lq_random_bytes(30000, 2);
    CoderRun run = cz_compress_memory(Coder::arith, noise);
    // Nearly every check after the first asks for a flush.
    EXPECT_GT(cz_arith_stats.flushes, 30000u / 256 / 2);
    CoderRun back = cz_expand_memory(Coder::arith, run.bytes);
    EXPECT_EQ(back.result, 0);
    EXPECT_TRUE(back.bytes == noise);
}

// Long runs in one context drive counts to 255 (the table halves) again and
// again; mixed with noise the model also flushes.  Both sides must agree.
TEST_F(ArithTest, HalvingsAndFlushesRoundTrip) {
    std::string input;
    std::string noise = lq_random_bytes(60000, 9);
    for (int block = 0; block < 6; ++block) {
        input += std::string(3000, (char)('a' + block));
        input += noise.substr(block * 5000, 5000);
        for (int i = 0; i < 2000; ++i) input += "ab"[i % 2];
    }
    int flushes = 0;
    CoderRun run = cz_compress_memory(Coder::arith, input);
    EXPECT_TRUE(run.bytes == reference_arith_compress(input, &flushes));
    EXPECT_GT(flushes, 0);
    CoderRun back = cz_expand_memory(Coder::arith, run.bytes);
    EXPECT_EQ(back.result, 0);
    EXPECT_TRUE(back.bytes == input);
}

TEST_F(ArithTest, CutStreamFails) {
    std::string stream =
        cz_compress_memory(Coder::arith, cz_test_samples()[5].second.substr(0, 800)).bytes;
    for (size_t n = 0; n + 2 < stream.size(); ++n) {
        CoderRun run = cz_expand_memory(Coder::arith, stream.substr(0, n));
        EXPECT_EQ(run.result, n < 2 ? -2 : -4) << n;
        EXPECT_EQ(run.io_error, -1) << n;
    }
}

TEST_F(ArithTest, ModelThatCannotGrowFailsWithTheStepsCode) {
    std::string input = cz_test_samples()[5].second;
    std::string stream = cz_compress_memory(Coder::arith, input).bytes;
    cz_arith_memory_limit = 1;  // not even the set-up fits
    EXPECT_EQ(cz_compress_memory(Coder::arith, input).result, -1);
    EXPECT_EQ(cz_expand_memory(Coder::arith, stream).result, -1);
    // Room for the set-up but not for the text's contexts: the first failing
    // step is an update (the new entry) or a context advance (a new table).
    cz_arith_memory_limit = 6000;
    CoderRun c = cz_compress_memory(Coder::arith, input);
    EXPECT_TRUE(c.result == -5 || c.result == -6) << c.result;
    EXPECT_EQ(c.io_error, -1);
    CoderRun e = cz_expand_memory(Coder::arith, stream);
    EXPECT_TRUE(e.result == -6 || e.result == -7) << e.result;
}

}  // namespace
