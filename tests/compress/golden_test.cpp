// Golden compressed files (tests/golden/compress, see the README there): every
// build reads them back and writes them again (the arithmetic coder byte for
// byte, LZSS with the same parse and record).  LQ_REGENERATE_GOLDEN=1
// rewrites them.
#include <cstdlib>
#include <fstream>

#include "compress/compress_file.h"
#include "platform/platform.h"
#include "tests/compress/coder_harness.h"
#include "tests/support/lq_test.h"

namespace {

// Memory mode, as the encrypted editor text uses it: the record names
// "sample.txt" / "sample.bin" and carries no DOS stamp.
std::string compress_buffer(const std::string& input, const char* name, uint16_t algorithm) {
    CzMemoryMode memory(input);
    return iCompressFile(name, 1, algorithm, 0, &cs_data) == 0 ? memory.output() : "";
}

class GoldenTest : public LqTest {};

TEST_F(GoldenTest, FilesAreWrittenAndReadAgain) {
    bool regenerate = std::getenv("LQ_REGENERATE_GOLDEN") != nullptr;
    for (const char* name : {"sample.txt", "sample.bin"}) {
        std::string input = cz_golden(name);
        ASSERT_GT(input.size(), 4096u) << name;
        for (uint16_t algorithm : {1, 2}) {
            Coder coder = algorithm == 1 ? Coder::arith : Coder::lzss;
            std::string golden_name = std::string(name) + (algorithm == 1 ? ".max" : ".fast");
            std::string made = compress_buffer(input, name, algorithm);
            ASSERT_FALSE(made.empty()) << golden_name;
            if (regenerate) {
                std::ofstream(lq_source_dir() + "/tests/golden/compress/" + golden_name,
                              std::ios::binary)
                    << made;
                continue;
            }
            std::string golden = cz_golden(golden_name);
            cz_expect_same_coding(coder, made, golden, golden_name);
            // In place, what we write and the golden file expand to the input,
            // and compressing in place codes the same data again.
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

}  // namespace
