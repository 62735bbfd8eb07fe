// Golden compressed files (tests/golden/compress): what this implementation
// wrote when the format was settled.  Every later build must read them back.
// The arithmetic coder writes its files again byte for byte; the LZSS coder's
// match finder may name another of several equally long earlier occurrences,
// so its files are written again with the same length, the same literals and
// the same match lengths step by step, and the same record.
// LQ_REGENERATE_GOLDEN=1 rewrites them.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "compress/compress_file.h"
#include "platform/platform.h"
#include "tests/compress/coder_harness.h"
#include "tests/support/lq_test.h"

namespace {

std::string golden_dir() { return lq_source_dir() + "/tests/golden/compress/"; }

std::string load(const std::string& p) {
    PfFaultPause pause;
    std::ifstream f(p, std::ios::binary);
    std::ostringstream os;
    os << f.rdbuf();
    return os.str();
}

// Memory mode, as the encrypted editor text uses it: the record names
// "sample.txt" / "sample.bin" and carries no DOS stamp.
std::string compress_buffer(const std::string& input, const char* name, uint16_t algorithm) {
    PfGlobal block = pf_global_alloc((uint32_t)input.size() + 1);
    MemoryStreams.in_buffer = (uint8_t*)input.data();
    MemoryStreams.in_length = (int32_t)input.size();
    MemoryStreams.out_block = block;
    MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(block);
    MemoryStreams.out_capacity = (int32_t)input.size() + 1;
    std::string out;
    if (iCompressFile(name, 1, algorithm, 0, &cs_data) == 0)
        out.assign((char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
    pf_global_unlock(MemoryStreams.out_block);
    pf_global_free(MemoryStreams.out_block);
    cz_reset_memory_streams();
    return out;
}

// Byte for byte for the arithmetic coder; for LZSS (whose files may differ
// in match positions only) the same size, the same tokens apart from
// positions, and whatever follows the stream (the record) byte for byte.
void expect_same_coding(uint16_t algorithm, const std::string& made, const std::string& golden,
                        const std::string& what) {
    if (algorithm == 1) {
        EXPECT_TRUE(made == golden) << what << " is no longer written the same";
        return;
    }
    ASSERT_EQ(made.size(), golden.size()) << what;
    long made_bits = 0, golden_bits = 0;
    std::vector<CzLzssToken> a = cz_lzss_tokens(made, &made_bits);
    std::vector<CzLzssToken> b = cz_lzss_tokens(golden, &golden_bits);
    ASSERT_GT(golden_bits, 0) << what;
    EXPECT_EQ(made_bits, golden_bits) << what;
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_TRUE(a[i].same_parse(b[i])) << what << ": token " << i;
    size_t stream_bytes = (size_t)(golden_bits + 7) / 8;
    EXPECT_TRUE(made.substr(stream_bytes) == golden.substr(stream_bytes)) << what << " record";
}

class GoldenTest : public LqTest {};

TEST_F(GoldenTest, FilesAreWrittenAndReadAgain) {
    bool regenerate = std::getenv("LQ_REGENERATE_GOLDEN") != nullptr;
    for (const char* name : {"sample.txt", "sample.bin"}) {
        std::string input = load(golden_dir() + name);
        ASSERT_GT(input.size(), 4096u) << name;
        for (uint16_t algorithm : {1, 2}) {
            std::string golden_name = std::string(name) + (algorithm == 1 ? ".max" : ".fast");
            std::string made = compress_buffer(input, name, algorithm);
            ASSERT_FALSE(made.empty()) << golden_name;
            if (regenerate) {
                std::ofstream(golden_dir() + golden_name, std::ios::binary) << made;
                continue;
            }
            std::string golden = load(golden_dir() + golden_name);
            expect_same_coding(algorithm, made, golden, golden_name);

            // What we write now expands to the input too.
            write_file(path(name), made);
            ASSERT_EQ(iExpandFile(path(name).c_str(), 1, &cs_data), 0) << lq_boxes_dump();
            EXPECT_TRUE(read_file(path(name)) == input) << golden_name << " (as written now)";

            // In place: a copy of the golden file expands to the input.
            write_file(path(name), golden);
            ASSERT_EQ(iExpandFile(path(name).c_str(), 1, &cs_data), 0) << lq_boxes_dump();
            EXPECT_TRUE(read_file(path(name)) == input) << golden_name;
            EXPECT_EQ(cs_data.algorithm, algorithm);
            EXPECT_STREQ(cs_data.filename, name);

            // And compressing the file in place codes the same data.
            ASSERT_EQ(iCompressFile(path(name).c_str(), 1, algorithm, 0, &cs_data), 0);
            std::string packed = read_file(path(name));
            ASSERT_GE(packed.size(), 254u) << golden_name;
            expect_same_coding(algorithm, packed.substr(0, packed.size() - 254),
                               golden.substr(0, golden.size() - 254), golden_name + " in place");
        }
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

}  // namespace
