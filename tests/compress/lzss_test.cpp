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

// Checks `stream` against the tree's stream for `input`: the same tokens with
// the same lengths (so the same bit length), and every match position names
// a position that stands in the compressor's window at that step and whose
// 17-byte ring string agrees with the current one over the match length.
void expect_tree_parse(const std::string& name, const std::string& input,
                       const std::string& stream) {
    std::string tree = reference_lzss_compress(input);
    long bits = 0, tree_bits = 0;
    std::vector<CzLzssToken> ours = cz_lzss_tokens(stream, &bits);
    std::vector<CzLzssToken> theirs = cz_lzss_tokens(tree, &tree_bits);
    ASSERT_GT(bits, 0) << name;
    EXPECT_EQ(bits, tree_bits) << name;
    EXPECT_EQ(stream.size(), tree.size()) << name;
    ASSERT_EQ(ours.size(), theirs.size()) << name;

    // The compressor's ring: input byte k sits at window position k + 1 once
    // read, which is 17 bytes ahead of the current position.
    uint8_t ring[4096] = {};
    size_t read = 0, at = 0;
    for (size_t t = 0; t < ours.size(); ++t) {
        const CzLzssToken& a = ours[t];
        const CzLzssToken& b = theirs[t];
        ASSERT_EQ(a.literal, b.literal) << name << ": token " << t << " at byte " << at;
        ASSERT_EQ(a.length, b.length) << name << ": token " << t << " at byte " << at;
        if (a.literal) {
            ASSERT_EQ(a.value, b.value) << name << ": token " << t;
        }
        for (; read < input.size() && read <= at + 16; ++read)
            ring[(read + 1) & 4095] = (uint8_t)input[read];
        if (!a.literal) {
            uint32_t current = (uint32_t)(at + 1) & 4095;
            uint32_t age = (current - a.value) & 4095;
            EXPECT_TRUE(age >= 1 && age <= 4079) << name << ": token " << t << " age " << age;
            for (uint32_t k = 0; k < a.length; ++k)
                ASSERT_EQ(ring[(a.value + k) & 4095], ring[(current + k) & 4095])
                    << name << ": token " << t << " at byte " << at << ", offset " << k;
        }
        at += a.length;
    }
    EXPECT_EQ(at, input.size()) << name;
}

// Inputs that reach the edges of the window: an occurrence exactly as old as
// a standing position can be and one step older, tails that end inside the
// look-ahead over stale window bytes, and sizes round 4096.
std::vector<std::pair<std::string, std::string>> edge_samples() {
    std::vector<std::pair<std::string, std::string>> out;
    for (size_t age : {4077u, 4078u, 4079u, 4080u, 4081u, 4095u}) {
        std::string s = lq_random_bytes(6000, (uint32_t)age);
        s.replace(300 + age, 17, s.substr(300, 17));
        s.replace(1000 + age, 6, s.substr(1000, 6));
        out.push_back({"age " + std::to_string(age), s});
    }
    std::string text = samples()[5].second;
    for (size_t n : {4094u, 4095u, 4096u, 4097u, 4112u, 4113u, 4114u, 8191u, 8192u, 8210u})
        out.push_back({"text " + std::to_string(n), text.substr(0, n)});
    // The last bytes repeat what lies 4096 behind, so the stale window bytes
    // past the end agree with earlier strings.
    std::string periodic = lq_random_bytes(4096, 9);
    out.push_back({"periodic tail", periodic + periodic.substr(0, 4100) + "xy"});
    out.push_back({"periodic short tail", periodic + periodic.substr(0, 20)});
    std::string mixed;
    std::string r = lq_random_bytes(60000, 21);
    for (size_t i = 0; mixed.size() < 50000; ++i) {
        uint8_t b = (uint8_t)r[i];
        if (b < 40)
            mixed += std::string(b % 23 + 1, (char)r[i + 1]);  // runs
        else if (b < 120 && mixed.size() > 5000)
            mixed += mixed.substr(mixed.size() - 4000 + b * 13, b % 19 + 1);  // old repeats
        else
            mixed += r.substr(i, 3);
    }
    out.push_back({"mixed", mixed});
    return out;
}

// The tree of the literal transcription and our match finder parse alike:
// same literals and match lengths at every step, only positions may differ.
TEST_F(LzssTest, SameParseAsTheReferenceTree) {
    auto all = samples();
    for (auto& e : edge_samples()) all.push_back(e);
    for (auto& [name, input] : all) {
        CoderRun mem = cz_compress_memory(Coder::lzss, input);
        ASSERT_EQ(mem.result, 0) << name;
        expect_tree_parse(name, input, mem.bytes);
        CoderRun back = cz_expand_memory(Coder::lzss, mem.bytes);
        EXPECT_TRUE(back.result == 0 && back.bytes == input) << name;
    }
}

// Calls one after the other share nothing, and the running position count
// that the finder keeps across calls moves down before it would wrap.
TEST_F(LzssTest, FinderCountShiftsDownWithoutChangingTheParse) {
    std::string text = samples()[5].second;
    std::string runs = samples()[8].second;
    std::string empty;
    // Inside a long call, and at the start of an empty one near the top.
    for (uint32_t start : {0xF0000000u - 20000u, 0xFFFFE000u, 0xF0000000u}) {
        cz_lzss_set_next_start(start);
        for (int round = 0; round < 3; ++round)
            for (const std::string* input : {&empty, &text, &empty, &runs}) {
                CoderRun mem = cz_compress_memory(Coder::lzss, *input);
                ASSERT_EQ(mem.result, 0);
                expect_tree_parse("round " + std::to_string(round), *input, mem.bytes);
            }
    }
    cz_lzss_set_next_start(0);
}

// Whatever the tree holds, each step's match is the longest one (up to 17
// bytes) among the 4079 positions behind the current one, position 0 aside.
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
            for (size_t j = i > 4079 ? i - 4079 : 0; j < i; ++j) {
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

// Expands by the rules, a bit and a byte at a time, into a 4096-byte window:
// the reference for the expander.  Gives its result, the bytes put out and
// the stream bytes it took.
struct RuleExpansion {
    int result = 0;
    std::string bytes;
    size_t taken = 0;
};

RuleExpansion rule_expand(const std::string& stream) {
    RuleExpansion x;
    uint8_t window[4096] = {};
    int current = 1;
    size_t bit = 0;
    auto take = [&](int n, uint32_t* v) {
        *v = 0;
        for (int k = 0; k < n; ++k, ++bit) {
            if (bit / 8 >= stream.size()) return false;
            x.taken = bit / 8 + 1;
            *v = (*v << 1) | (((uint8_t)stream[bit / 8] >> (7 - bit % 8)) & 1);
        }
        return true;
    };
    for (;;) {
        uint32_t flag, value, length;
        if (!take(1, &flag)) break;
        if (flag) {
            if (!take(8, &value)) break;
            x.bytes += (char)value;
            window[current] = (uint8_t)value;
            current = (current + 1) & 4095;
            continue;
        }
        if (!take(12, &value)) break;
        if (value == 0) return x;
        if (!take(4, &length)) break;
        for (uint32_t k = 0; k < length + 2; ++k) {
            uint8_t c = window[(value + k) & 4095];
            x.bytes += (char)c;
            window[current] = c;
            current = (current + 1) & 4095;
        }
    }
    x.result = -1;
    return x;
}

// A stream of `count` tokens of every kind an expander meets: literals, runs
// (copies from 1 to 7 bytes back), copies from a whole window back (position
// = current position), from the never-written window, and from anywhere.
std::string token_stream(size_t count, uint32_t seed) {
    std::string r = lq_random_bytes(count * 4, seed);
    std::string out;
    int rack = 0, mask = 0x80;
    auto put = [&](uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) {
            if ((v >> i) & 1) rack |= mask;
            mask >>= 1;
            if (!mask) {
                out += (char)rack;
                rack = 0;
                mask = 0x80;
            }
        }
    };
    uint32_t current = 1;
    for (size_t t = 0; t < count; ++t) {
        uint8_t kind = (uint8_t)r[4 * t], a = (uint8_t)r[4 * t + 1];
        uint32_t length = (uint8_t)r[4 * t + 2] % 16;
        uint32_t back = kind < 60    ? 1 + a % 7
                        : kind < 90  ? 0
                        : kind < 110 ? 4096 - 30 + a % 30
                        : kind < 200 ? 8 + ((a << 8) | (uint8_t)r[4 * t + 3]) % 4088
                                     : 9999;  // a literal
        uint32_t position = (current - back) & 4095;
        if (back == 9999 || position == 0) {
            put(0x100u | a, 9);
            current = (current + 1) & 4095;
        } else {
            put(position, 13);
            put(length, 4);
            current = (current + length + 2) & 4095;
        }
    }
    put(0, 13);
    if (mask != 0x80) out += (char)rack;
    return out;
}

// Long streams (the expander keeps 64 KB of history before it moves the last
// window down) expand as the rules say, in memory (with room, and growing
// from nothing) and to files; cut anywhere, they fail after putting out what
// the rules put out, having taken the same bytes.
TEST_F(LzssTest, ExpansionFollowsTheRules) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        std::string stream = token_stream(40000, seed);
        RuleExpansion want = rule_expand(stream);
        ASSERT_EQ(want.result, 0);
        ASSERT_GT(want.bytes.size(), 200000u);
        CoderRun mem = cz_expand_memory(Coder::lzss, stream, (int)want.bytes.size());
        EXPECT_EQ(mem.result, 0);
        EXPECT_TRUE(mem.bytes == want.bytes) << seed;
        EXPECT_EQ(mem.in_pos, (int32_t)stream.size());
        CoderRun grown = cz_expand_memory(Coder::lzss, stream, 0);
        EXPECT_EQ(grown.result, 0);
        EXPECT_TRUE(grown.bytes == want.bytes) << seed;
        write_file(path("z"), stream + "trailing bytes");
        CoderRun file = cz_expand_file(Coder::lzss, path("z"), path("out"));
        EXPECT_EQ(file.result, 0);
        EXPECT_TRUE(file.bytes == want.bytes) << seed;
        EXPECT_EQ(file.in_pos, (int32_t)stream.size());

        std::string cuts = lq_random_bytes(8, seed);
        for (size_t i = 0; i < cuts.size(); ++i) {
            std::string cut = stream.substr(0, (uint8_t)cuts[i] * stream.size() / 256 + i);
            RuleExpansion part = rule_expand(cut);
            ASSERT_EQ(part.result, -1);
            CoderRun run = cz_expand_memory(Coder::lzss, cut, 0);
            EXPECT_EQ(run.result, -1);
            EXPECT_NE(run.io_error, 0);
            EXPECT_TRUE(run.bytes == part.bytes) << "cut at " << cut.size();
            EXPECT_EQ(run.in_pos, (int32_t)part.taken);
            write_file(path("z"), cut);
            run = cz_expand_file(Coder::lzss, path("z"), path("out"));
            EXPECT_EQ(run.result, -1);
            EXPECT_TRUE(run.bytes == part.bytes) << "file cut at " << cut.size();
        }
    }
}

}  // namespace
