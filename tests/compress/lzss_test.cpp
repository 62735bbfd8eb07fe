// LZSS coder: the stream vectors, round trips, cut streams.
#include "compress/lzss.h"

#include "tests/compress/coder_harness.h"
#include "tests/compress/coder_reference.h"
#include <algorithm>
#include "tests/support/lq_test.h"

namespace {

class LzssTest : public LqTest {};

struct Vector {
    std::string input;
    const char* stream;
};

std::vector<Vector> vectors() {
    return {{"", "00 00"},
            {"A", "a0 80 00"},
            {std::string(20, 'a'), "b0 80 07 c0 24 00 00"},
            {"abcabcabcabc", "b0 d8 ac 60 01 70 00 00"}};
}

TEST_F(LzssTest, StreamVectors) {
    for (const Vector& v : vectors()) {
        CoderRun mem = cz_compress_memory(Coder::lzss, v.input);
        EXPECT_EQ(mem.result, 0);
        EXPECT_EQ(lq_hex(mem.bytes), v.stream) << "memory: " << v.input;
        write_file(path("in"), v.input);
        CoderRun file = cz_compress_file(Coder::lzss, path("in"), path("out"));
        EXPECT_EQ(file.result, 0);
        EXPECT_EQ(lq_hex(file.bytes), v.stream) << "file: " << v.input;

        CoderRun back = cz_expand_memory(Coder::lzss, lq_unhex(v.stream));
        EXPECT_EQ(back.result, 0);
        EXPECT_EQ(back.bytes, v.input);
    }
}

}  // namespace

namespace {

// Inputs of every kind the coders meet, several well over the 4096-byte window.
std::vector<std::pair<std::string, std::string>> samples() {
    std::string text;
    const char* words[] = {"the ",  "quick ", "brown ",     "fox ",   "jumps ", "over ",
                           "lazy ", "dog. ",  "Lockquill ", "keeps ", "text ",  "private.\r\n"};
    std::string r = lq_random_bytes(40000, 3);
    for (size_t i = 0; text.size() < 30000; ++i) text += words[(uint8_t)r[i] % 12];
    std::string code;  // machine-code-like: short opcodes, little-endian offsets, zero runs
    for (size_t i = 0; code.size() < 20000; ++i) {
        uint8_t b = (uint8_t)r[i];
        code += (char)(0x48 + (b & 3));
        code += (char)(0x89 + (b >> 6));
        code += std::string(b % 5, '\0');
        code += (char)b;
    }
    std::string runs;
    for (int i = 0; i < 70; ++i) runs += std::string(100 + i * 7, (char)('a' + i % 3));
    return {{"empty", ""},
            {"one byte", "x"},
            {"two bytes", "xy"},
            {"seventeen", std::string(17, 'z')},
            {"eighteen", std::string(18, 'z')},
            {"text", text},
            {"code", code},
            {"random", lq_random_bytes(9000, 11)},
            {"runs", runs},
            {"zeros", std::string(20000, '\0')},
            {"all bytes", [] {
                 std::string s;
                 for (int k = 0; k < 40; ++k)
                     for (int i = 0; i < 256; ++i) s += (char)((i * 7 + k) & 0xFF);
                 return s;
             }()}};
}

}  // namespace

// Makes the samples visible to the arithmetic coder's tests too.
std::vector<std::pair<std::string, std::string>> cz_test_samples() { return samples(); }

namespace {

TEST_F(LzssTest, RoundTripsInMemoryAndOnFiles) {
    for (auto& [name, input] : samples()) {
        CoderRun mem = cz_compress_memory(Coder::lzss, input);
        ASSERT_EQ(mem.result, 0) << name;
        CoderRun back = cz_expand_memory(Coder::lzss, mem.bytes);
        ASSERT_EQ(back.result, 0) << name;
        EXPECT_TRUE(back.bytes == input) << name;

        write_file(path("in"), input);
        CoderRun file = cz_compress_file(Coder::lzss, path("in"), path("z"));
        ASSERT_EQ(file.result, 0) << name;
        EXPECT_TRUE(file.bytes == mem.bytes) << name;
        CoderRun out = cz_expand_file(Coder::lzss, path("z"), path("out"));
        ASSERT_EQ(out.result, 0) << name;
        EXPECT_TRUE(out.bytes == input) << name;
        EXPECT_EQ(MemoryStreams.out_pos, (int32_t)input.size());
    }
}

// A literal transcription of the tree rules gives the same bytes, including
// across many trips round the window (each removes position 0 once).
TEST_F(LzssTest, SameBytesAsTheReferenceTree) {
    for (auto& [name, input] : samples()) {
        CoderRun mem = cz_compress_memory(Coder::lzss, input);
        EXPECT_TRUE(mem.bytes == reference_lzss_compress(input)) << name;
    }
}

// Whatever the tree holds, each step's match is the longest one (up to 17
// bytes) among the 4078 positions behind the current one, position 0 aside.
TEST_F(LzssTest, EveryMatchIsTheLongestInTheWindow) {
    std::string input;
    for (auto& s : samples()) input += s.second.substr(0, 3000);
    CoderRun mem = cz_compress_memory(Coder::lzss, input);
    ASSERT_EQ(mem.result, 0);
    // Walk the stream token by token.
    size_t bit = 0;
    auto take = [&](int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k, ++bit)
            v = (v << 1) | (((uint8_t)mem.bytes[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    size_t i = 0;
    while (i < input.size()) {
        int want = 0;
        if ((i + 1) % 4096 != 0 && i > 0) {
            size_t most = std::min<size_t>(17, input.size() - i);
            for (size_t j = i > 4078 ? i - 4078 : 0; j < i; ++j) {
                if ((j + 1) % 4096 == 0) continue;
                size_t k = 0;
                while (k < most && input[j + k] == input[i + k]) ++k;
                want = std::max<int>(want, (int)k);
            }
        }
        int got;
        if (take(1)) {
            take(8);
            got = 1;
        } else {
            take(12);
            got = (int)take(4) + 2;
        }
        ASSERT_EQ(got, want <= 1 ? 1 : want) << "at input byte " << i;
        i += (size_t)got;
    }
}

TEST_F(LzssTest, CutStreamFailsAtEveryLength) {
    std::string stream = cz_compress_memory(Coder::lzss, samples()[5].second.substr(0, 600)).bytes;
    for (size_t n = 0; n < stream.size(); ++n) {
        CoderRun run = cz_expand_memory(Coder::lzss, stream.substr(0, n));
        EXPECT_EQ(run.result, -1) << n;
        EXPECT_NE(run.io_error, 0) << n;
    }
    write_file(path("cut"), stream.substr(0, stream.size() / 2));
    EXPECT_EQ(cz_expand_file(Coder::lzss, path("cut"), path("out")).result, -1);
}

TEST_F(LzssTest, MatchIntoTheUnwrittenWindowGivesZeros) {
    // Match at position 100 (never written), length 5, then the end code.
    CoderRun run = cz_expand_memory(Coder::lzss, lq_unhex("03 21 80 00"));
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.bytes, std::string(5, '\0'));
}

TEST_F(LzssTest, OutputThatCannotGrowFails) {
    std::string stream = cz_compress_memory(Coder::lzss, std::string(5000, 'q')).bytes;
    pf_fault_arm(PF_FAULT_ALLOC, 2);  // the first is the block itself
    CoderRun run = cz_expand_memory(Coder::lzss, stream, 0);
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(run.io_error, -1);
}

TEST_F(LzssTest, FailedWriteEndsCompressionAndExpansion) {
    std::string input = lq_random_bytes(200000, 5);
    write_file(path("in"), input);
    pf_fault_arm(PF_FAULT_WRITE, 2);
    CoderRun run = cz_compress_file(Coder::lzss, path("in"), path("z"));
    EXPECT_EQ(run.result, -1);
    EXPECT_EQ(run.io_error, -1);

    write_file(path("z"), cz_compress_memory(Coder::lzss, input).bytes);
    pf_fault_arm(PF_FAULT_WRITE, 1);
    run = cz_expand_file(Coder::lzss, path("z"), path("out"));
    EXPECT_EQ(run.result, -1);
}

}  // namespace
