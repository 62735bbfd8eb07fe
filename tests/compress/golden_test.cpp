// Golden compressed files (tests/golden/compress): what this implementation
// wrote when the format was settled.  Every later build must read them and
// write them again byte for byte.  LQ_REGENERATE_GOLDEN=1 rewrites them.
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
            EXPECT_TRUE(made == golden) << golden_name << " is no longer written the same";

            // In place: a copy of the golden file expands to the input.
            write_file(path(name), golden);
            ASSERT_EQ(iExpandFile(path(name).c_str(), 1, &cs_data), 0) << lq_boxes_dump();
            EXPECT_TRUE(read_file(path(name)) == input) << golden_name;
            EXPECT_EQ(cs_data.algorithm, algorithm);
            EXPECT_STREQ(cs_data.filename, name);

            // And compressing the file in place codes the same data.
            ASSERT_EQ(iCompressFile(path(name).c_str(), 1, algorithm, 0, &cs_data), 0);
            std::string packed = read_file(path(name));
            EXPECT_TRUE(packed.substr(0, packed.size() - 254) ==
                        golden.substr(0, golden.size() - 254))
                << golden_name;
        }
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

}  // namespace
