// Bit streams: packing order, padding, the end of the input, memory growth.
#include "compress/bit_file.h"

#include "platform/platform.h"
#include "tests/compress/coder_harness.h"
#include "tests/support/lq_test.h"

namespace {

class BitFileTest : public LqTest {
  protected:
    PfGlobal block_ = nullptr;
    void memory_output(int capacity) {
        block_ = pf_global_alloc(capacity > 0 ? (uint32_t)capacity : 1u);
        MemoryStreams.out_block = block_;
        MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(block_);
        MemoryStreams.out_capacity = capacity;
    }
    std::string memory_bytes() const {
        return std::string((const char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
    }
    void TearDown() override {
        if (MemoryStreams.out_block) {
            pf_global_unlock(MemoryStreams.out_block);
            pf_global_free(MemoryStreams.out_block);
        }
        cz_reset_memory_streams();
        LqTest::TearDown();
    }
};

TEST_F(BitFileTest, PacksMostSignificantBitFirstAndPadsWithZeros) {
    memory_output(16);
    BitFile* bf = OpenOutputBitFile(nullptr);
    ASSERT_NE(bf, nullptr);
    for (int bit : {1, 0, 1, 1, 0, 0, 1, 0}) ASSERT_EQ(iWriteBit(bf, bit), 0);
    EXPECT_EQ(MemoryStreams.out_pos, 1);
    ASSERT_EQ(iWriteBits(bf, 0x5, 3), 0);
    ASSERT_EQ(iCloseOutputBitFile(bf), 0);
    EXPECT_EQ(lq_hex(memory_bytes()), "b2 a0");
    EXPECT_EQ(MemoryStreams.out_pos, 2);  // the padded byte is counted
}

TEST_F(BitFileTest, AnyNonZeroBitIsOneAndWholeBytesNeedNoPadding) {
    memory_output(16);
    BitFile* bf = OpenOutputBitFile(nullptr);
    ASSERT_EQ(iWriteBit(bf, 0x40), 0);
    ASSERT_EQ(iWriteBits(bf, 0x7F, 7), 0);
    ASSERT_EQ(iWriteBits(bf, 0xDEADBEEF, 32), 0);
    ASSERT_EQ(iCloseOutputBitFile(bf), 0);
    EXPECT_EQ(lq_hex(memory_bytes()), "ff de ad be ef");
}

TEST_F(BitFileTest, FileModeWritesTheSameBytes) {
    BitFile* bf = OpenOutputBitFile(path("bits").c_str());
    ASSERT_NE(bf, nullptr);
    EXPECT_EQ(bf->mask, 0x80);
    for (int bit : {1, 0, 1, 1, 0, 0, 1, 0}) ASSERT_EQ(iWriteBit(bf, bit), 0);
    ASSERT_EQ(iWriteBits(bf, 0x5, 3), 0);
    ASSERT_EQ(iCloseOutputBitFile(bf), 0);
    EXPECT_EQ(lq_hex(read_file(path("bits"))), "b2 a0");

    BitFile* in = OpenInputBitFile(path("bits").c_str());
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(lReadBits(in, 4), 0xBu);
    EXPECT_EQ(iReadBit(in), 0);
    EXPECT_EQ(lReadBits(in, 6), 0x15u);  // 010 then 101
    EXPECT_EQ(MemoryStreams.in_pos, 2);
    CloseInputBitFile(in);
}

TEST_F(BitFileTest, OpenFailsForAFileThatCannotBeMade) {
    EXPECT_EQ(OpenInputBitFile(path("missing").c_str()), nullptr);
    EXPECT_EQ(OpenOutputBitFile(path("no/such/folder/x").c_str()), nullptr);
}

TEST_F(BitFileTest, EmptyMemoryInputEndsDifferentlyForTheTwoReads) {
    uint8_t none = 0;
    MemoryStreams.in_buffer = &none;
    MemoryStreams.in_length = 0;
    BitFile* bf = OpenInputBitFile(nullptr);
    EXPECT_EQ(iReadBit(bf), -1);
    EXPECT_EQ(MemoryStreams.io_error, -1);
    MemoryStreams.io_error = 0;
    EXPECT_EQ(lReadBits(bf, 5), 0u);
    EXPECT_EQ(MemoryStreams.io_error, 1);
    EXPECT_EQ(MemoryStreams.in_pos, 0);
    CloseInputBitFile(bf);
}

TEST_F(BitFileTest, EveryWidthRoundTrips) {
    memory_output(0);
    BitFile* out = OpenOutputBitFile(nullptr);
    std::string seeds = lq_random_bytes(33 * 4, 7);
    auto value_of = [&](int n) {
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v = (v << 8) | (uint8_t)seeds[n * 4 + k];
        return n == 32 ? v : v & ((1u << n) - 1u);
    };
    ASSERT_EQ(iWriteBit(out, 1), 0);  // every value starts off a byte boundary
    for (int n = 1; n <= 32; ++n) ASSERT_EQ(iWriteBits(out, value_of(n), n), 0) << n;
    ASSERT_EQ(iCloseOutputBitFile(out), 0);

    std::string bytes = memory_bytes();
    MemoryStreams.in_buffer = (uint8_t*)bytes.data();
    MemoryStreams.in_length = (int32_t)bytes.size();
    BitFile* in = OpenInputBitFile(nullptr);
    EXPECT_EQ(iReadBit(in), 1);
    for (int n = 1; n <= 32; ++n) EXPECT_EQ(lReadBits(in, n), value_of(n)) << n;
    EXPECT_EQ(MemoryStreams.io_error, 0);
    CloseInputBitFile(in);
}

TEST_F(BitFileTest, MemoryOutputGrowsBy1024) {
    memory_output(0);
    BitFile* bf = OpenOutputBitFile(nullptr);
    ASSERT_EQ(iWriteBits(bf, 0x41, 8), 0);
    EXPECT_EQ(MemoryStreams.out_capacity, 1024);
    for (int i = 1; i < 1024; ++i) ASSERT_EQ(iWriteBits(bf, (uint32_t)i, 8), 0);
    EXPECT_EQ(MemoryStreams.out_capacity, 1024);
    ASSERT_EQ(iWriteBits(bf, 0x42, 8), 0);  // byte 1025
    EXPECT_EQ(MemoryStreams.out_capacity, 2048);
    EXPECT_EQ(pf_global_size(MemoryStreams.out_block), 2048u);
    ASSERT_EQ(iCloseOutputBitFile(bf), 0);
    std::string bytes = memory_bytes();
    ASSERT_EQ(bytes.size(), 1025u);
    EXPECT_EQ((uint8_t)bytes[0], 0x41);
    EXPECT_EQ((uint8_t)bytes[1023], 0xFF);
    EXPECT_EQ((uint8_t)bytes[1024], 0x42);
}

TEST_F(BitFileTest, FailedGrowthKeepsTheBlockAndReportsMinusOne) {
    memory_output(2);
    BitFile* bf = OpenOutputBitFile(nullptr);
    ASSERT_EQ(iWriteBits(bf, 0xABCD, 16), 0);
    pf_fault_arm(PF_FAULT_ALLOC, 1);
    EXPECT_EQ(iWriteBits(bf, 0xEF, 8), -1);
    EXPECT_EQ(MemoryStreams.io_error, -1);
    EXPECT_EQ(MemoryStreams.out_buffer, nullptr);
    EXPECT_EQ(MemoryStreams.out_capacity, 0);
    EXPECT_EQ(MemoryStreams.out_pos, 2);
    uint8_t* kept = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
    EXPECT_EQ(kept[0], 0xAB);
    EXPECT_EQ(kept[1], 0xCD);
    pf_global_unlock(MemoryStreams.out_block);
    iCloseOutputBitFile(bf);
}

TEST_F(BitFileTest, FailedFileWriteIsReportedNoLaterThanTheClose) {
    BitFile* bf = OpenOutputBitFile(path("bits").c_str());
    ASSERT_NE(bf, nullptr);
    pf_fault_arm(PF_FAULT_WRITE, 1);
    ASSERT_EQ(iWriteBits(bf, 0x1234, 16), 0);  // still buffered
    EXPECT_EQ(iCloseOutputBitFile(bf), -1);
    EXPECT_EQ(MemoryStreams.io_error, -1);
}

}  // namespace
