// Arithmetic coder: the stream vectors, round trips, cut and corrupt streams.
#include "compress/arith.h"

#include "tests/compress/coder_harness.h"
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
