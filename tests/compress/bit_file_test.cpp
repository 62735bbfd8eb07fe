// Bit streams: packing order, padding, the end of the input, memory growth.
#include <memory>

#include "tests/compress/coder_harness.h"

namespace {

class BitFileTest : public LqTest {};

TEST_F(BitFileTest, PacksMostSignificantBitFirstAtEveryWidth) {
    for (bool memory : {true, false}) {
        std::unique_ptr<CzMemoryMode> mode(memory ? new CzMemoryMode("", 16) : nullptr);
        BitFile* bf = OpenOutputBitFile(memory ? nullptr : path("bits").c_str());
        ASSERT_NE(bf, nullptr);
        for (int bit : {1, 0, 1, 1, 0, 0, 1, 0x40}) ASSERT_EQ(iWriteBit(bf, bit), 0);
        EXPECT_EQ(MemoryStreams.out_pos, 1);
        ASSERT_EQ(iWriteBits(bf, 0xDEADBEEF, 32), 0);  // whole bytes: no padding
        ASSERT_EQ(iWriteBits(bf, 0x5, 3), 0);
        ASSERT_EQ(iCloseOutputBitFile(bf), 0);
        EXPECT_EQ(MemoryStreams.out_pos, 6);  // the padded byte is counted
        EXPECT_EQ(lq_hex(memory ? mode->output() : read_file(path("bits"))), "b3 de ad be ef a0");
    }
    BitFile* in = OpenInputBitFile(path("bits").c_str());
    EXPECT_EQ(lReadBits(in, 4), 0xBu);
    EXPECT_EQ(iReadBit(in), 0);
    EXPECT_EQ(lReadBits(in, 6), 0x1Eu);  // 011 then 110
    EXPECT_EQ(MemoryStreams.in_pos, 2);
    CloseInputBitFile(in);
    // Every width, each value off a byte boundary.
    std::string seeds = lq_random_bytes(33 * 4, 7), bytes;
    auto value_of = [&](int n) {
        uint32_t v;
        std::memcpy(&v, seeds.data() + n * 4, 4);
        return n == 32 ? v : v & ((1u << n) - 1u);
    };
    {
        CzMemoryMode memory("", 0);
        BitFile* out = OpenOutputBitFile(nullptr);
        ASSERT_EQ(iWriteBit(out, 1), 0);
        for (int n = 1; n <= 32; ++n) ASSERT_EQ(iWriteBits(out, value_of(n), n), 0) << n;
        ASSERT_EQ(iCloseOutputBitFile(out), 0);
        bytes = memory.output();
    }
    CzMemoryMode memory(bytes);
    in = OpenInputBitFile(nullptr);
    EXPECT_EQ(iReadBit(in), 1);
    for (int n = 1; n <= 32; ++n) EXPECT_EQ(lReadBits(in, n), value_of(n)) << n;
    EXPECT_EQ(MemoryStreams.io_error, 0);
    CloseInputBitFile(in);
}

TEST_F(BitFileTest, EndsAndFailures) {
    EXPECT_EQ(OpenInputBitFile(path("missing").c_str()), nullptr);
    EXPECT_EQ(OpenOutputBitFile(path("no/such/folder/x").c_str()), nullptr);
    {
        CzMemoryMode empty("");
        BitFile* bf = OpenInputBitFile(nullptr);
        EXPECT_EQ(iReadBit(bf), -1);
        EXPECT_EQ(MemoryStreams.io_error, -1);
        EXPECT_EQ(lReadBits(bf, 5), 0u);
        EXPECT_EQ(MemoryStreams.io_error, 1);
        EXPECT_EQ(MemoryStreams.in_pos, 0);
        CloseInputBitFile(bf);
    }
    BitFile* bf = OpenOutputBitFile(path("bits").c_str());
    pf_fault_arm(PF_FAULT_WRITE, 1);
    ASSERT_EQ(iWriteBits(bf, 0x1234, 16), 0);  // still buffered
    EXPECT_EQ(iCloseOutputBitFile(bf), -1);
    EXPECT_EQ(MemoryStreams.io_error, -1);
}

// The block grows by 1024 at byte 1 and byte 1025; a failed growth keeps
// what was written and reports -1.
TEST_F(BitFileTest, MemoryOutputGrowsBy1024) {
    CzMemoryMode memory("", 0);
    BitFile* bf = OpenOutputBitFile(nullptr);
    ASSERT_EQ(iWriteBits(bf, 0x41, 8), 0);
    EXPECT_EQ(MemoryStreams.out_capacity, 1024);
    for (int i = 1; i < 1024; ++i) ASSERT_EQ(iWriteBits(bf, (uint32_t)i, 8), 0);
    EXPECT_EQ(MemoryStreams.out_capacity, 1024);
    ASSERT_EQ(iWriteBits(bf, 0x42, 8), 0);
    EXPECT_EQ(MemoryStreams.out_capacity, 2048);
    EXPECT_EQ(pf_global_size(MemoryStreams.out_block), 2048u);
    std::string bytes = memory.output();
    EXPECT_EQ(lq_hex(bytes.substr(0, 2) + bytes.substr(1023)), "41 01 ff 42");
    for (int i = 1025; i < 2048; ++i) ASSERT_EQ(iWriteBits(bf, 0xAB, 8), 0);
    pf_fault_arm(PF_FAULT_ALLOC, 1);
    EXPECT_EQ(iWriteBits(bf, 0xEF, 8), -1);
    EXPECT_EQ(MemoryStreams.io_error, -1);
    EXPECT_EQ(MemoryStreams.out_buffer, nullptr);
    EXPECT_EQ(MemoryStreams.out_capacity, 0);
    EXPECT_EQ(MemoryStreams.out_pos, 2048);
    uint8_t* kept = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
    EXPECT_EQ(kept[1024] + kept[2047], 0x42 + 0xAB);
    pf_global_unlock(MemoryStreams.out_block);
    iCloseOutputBitFile(bf);
}

}  // namespace
