// LZSS coder: the stream vectors, round trips, cut streams.
#include "compress/lzss.h"

#include "tests/compress/coder_harness.h"
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
