// Bit streams and the two coders: stream vectors, the literal reference
// coders' output on the golden samples, golden compressed files, round trips
// in memory and on files, cut and failing streams.
#include "tests/compress/coder_harness.h"

namespace {

class CoderTest : public LqTest {};

// Most significant bit first at every width, off byte boundaries; the last
// byte padded with zeros and counted.  Written to a file, read in memory.
TEST_F(CoderTest, BitStreams) {
    auto value_of = [](int n) { return (uint32_t)(n * 2654435761u) >> (32 - n); };
    BitFile* bf = OpenOutputBitFile(path("bits").c_str());
    for (int bit : {1, 0, 1, 1, 0, 0, 1, 0x40}) ASSERT_EQ(iWriteBit(bf, bit), 0);
    EXPECT_EQ(MemoryStreams.out_pos, 1);
    for (int n = 0; n <= 32; ++n)
        ASSERT_EQ(iWriteBits(bf, n ? value_of(n) : 0xDEADBEEF, n ? n : 32), 0);
    ASSERT_EQ(iWriteBits(bf, 0x5, 3), 0);
    ASSERT_EQ(iCloseOutputBitFile(bf), 0);
    std::string bytes = read_file(path("bits"));
    EXPECT_EQ(MemoryStreams.out_pos, (int32_t)bytes.size());
    EXPECT_EQ(lq_hex(bytes.substr(0, 5) + bytes.substr(bytes.size() - 1)), "b3 de ad be ef a0");
    // Files that do not open, a failed flush.
    EXPECT_TRUE(!OpenInputBitFile(path("missing").c_str()) &&
                !OpenOutputBitFile(path("a/b").c_str()));
    bf = OpenOutputBitFile(path("bits").c_str());
    pf_fault_arm(PF_FAULT_WRITE, 1);
    ASSERT_EQ(iWriteBits(bf, 0x1234, 16), 0);  // still buffered
    EXPECT_TRUE(iCloseOutputBitFile(bf) == -1 && MemoryStreams.io_error == -1);
    MemoryMode memory_in(bytes);
    BitFile* in = OpenInputBitFile(nullptr);
    EXPECT_EQ(lReadBits(in, 4), 0xBu);
    EXPECT_EQ(iReadBit(in), 0);
    EXPECT_EQ(lReadBits(in, 6), 0x1Eu);  // 011 then 110
    EXPECT_EQ(MemoryStreams.in_pos, 2);
    EXPECT_EQ(lReadBits(in, 29), 0x1EADBEEFu);
    for (int n = 1; n <= 32; ++n) EXPECT_EQ(lReadBits(in, n), value_of(n)) << n;
    EXPECT_TRUE(lReadBits(in, 3) == 5 && MemoryStreams.io_error == 0);
    CloseInputBitFile(in);
    // The end of the input; the memory block grows by 1024 at byte 1 and
    // byte 1025, and a failed growth keeps what was written.
    {
        MemoryMode empty("");
        bf = OpenInputBitFile(nullptr);
        EXPECT_TRUE(iReadBit(bf) == -1 && MemoryStreams.io_error == -1);
        EXPECT_TRUE(lReadBits(bf, 5) == 0 && MemoryStreams.io_error == 1 &&
                    MemoryStreams.in_pos == 0);
        CloseInputBitFile(bf);
    }
    MemoryMode memory("", 0);
    bf = OpenOutputBitFile(nullptr);
    for (int i = 0; i < 2048; ++i) {
        ASSERT_EQ(iWriteBits(bf, i == 1024 ? 0x42 : i < 1024 ? (i + 0x41) & 0xFF : 0xAB, 8), 0);
        if (i == 0 || i == 1023 || i == 1024)
            EXPECT_EQ(MemoryStreams.out_capacity, i < 1024 ? 1024 : 2048) << i;
    }
    EXPECT_EQ(pf_global_size(MemoryStreams.out_block), 2048u);
    bytes = memory.output();
    EXPECT_EQ(lq_hex(bytes.substr(0, 2) + bytes.substr(1023, 2)), "41 42 40 42");
    pf_fault_arm(PF_FAULT_ALLOC, 1);
    EXPECT_TRUE(iWriteBits(bf, 0xEF, 8) == -1 && MemoryStreams.io_error == -1);
    EXPECT_TRUE(!MemoryStreams.out_buffer && !MemoryStreams.out_capacity &&
                MemoryStreams.out_pos == 2048);
    uint8_t* kept = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
    EXPECT_EQ(kept[1024] + kept[2047], 0x42 + 0xAB);
    pf_global_unlock(MemoryStreams.out_block);
    iCloseOutputBitFile(bf);
}

// Streams made by the reference coders (orders other than 3: by this coder,
// checked against the reference run at that order once); an order outside
// 0 to 7 is refused.
TEST_F(CoderTest, StreamVectors) {
    const std::tuple<Coder, int, std::string, const char*> vectors[] = {
        // stream null: refused
        {Coder::lzss, 3, "", "00 00"},
        {Coder::lzss, 3, "A", "a0 80 00"},
        {Coder::lzss, 3, std::string(20, 'a'), "b0 80 07 c0 24 00 00"},
        {Coder::lzss, 3, "abcabcabcabc", "b0 d8 ac 60 01 70 00 00"},
        {Coder::arith, 3, "", "ff 20 00 00"},
        {Coder::arith, 3, "A", "be 40 90 00 00"},
        {Coder::arith, 0, "abababab", "9e 2f 92 65 85 00 00"},
        {Coder::arith, 7, "abababab", "9e 2f d1 ff ff 90 00 00"},
        {Coder::arith, 8, "A", nullptr},
        {Coder::arith, -1, "A", nullptr}};
    for (auto& [coder, order, input, stream] : vectors) {
        SCOPED_TRACE(input + " at order " + std::to_string(order));
        cz::Run made = cz::run(coder, true, input, -1, order);
        cz::Run back = cz::run(coder, false, lq_unhex(stream ? stream : "00 00 00"), -1, order);
        if (stream) EXPECT_EQ(lq_hex(made.bytes), stream);
        EXPECT_TRUE(stream ? back.result == 0 && back.bytes == input
                           : made.result == -1 && back.result == -1 && made.io_error == -1);
    }
    // A long stream of every kind of token (golden, see the README there)
    // expands as the rules say: in memory with room and grown from nothing,
    // from a file with bytes after it (not taken).
    std::string stream = cz_golden("reference/tokens.lzss"),
                want = cz_golden("reference/tokens.lzss.out");
    for (cz::Run r : {cz::run(Coder::lzss, false, stream, (int)want.size()),
                      cz::run(Coder::lzss, false, stream, 0),
                      cz::run(Coder::lzss, false, stream + "trailing bytes", cz::on_files)})
        EXPECT_TRUE(r.result == 0 && r.bytes == want && r.in_pos == (int32_t)stream.size());
}

// Every sample: this coder writes the reference's stream (see cz::form),
// also with its finder's count near the top; both streams expand back.  The
// golden compressed files are read and written again.
TEST_F(CoderTest, SamplesAndGoldenFiles) {
    for (auto& e : std::filesystem::directory_iterator(lq_source_dir() +
                                                       "/tests/golden/compress/reference")) {
        if (e.path().has_extension()) continue;
        std::string name = "reference/" + e.path().filename().string(), input = cz_golden(name);
        for (Coder coder : {Coder::lzss, Coder::arith}) {
            std::string what = name + (coder == Coder::arith ? ".max" : ".fast");
            std::string reference = cz_golden(what);
            cz::Run ours = cz::run(coder, true, input);
            EXPECT_TRUE(ours.result == 0 &&
                        cz::form(coder, ours.bytes) == cz::form(coder, reference))
                << what;
            if (coder == Coder::arith) {
                // Loading ahead from the start (in memory and on files)
                // changes no bit.
                cz_arith_lookahead_from = 0;
                for (int capacity : {-1, cz::on_files})
                    EXPECT_EQ(cz::run(coder, true, input, capacity).bytes, ours.bytes) << what;
                cz_arith_lookahead_from = CZ_ARITH_LOOKAHEAD_FROM;
            }
            for (const std::string* stream : {&ours.bytes, &reference})
                EXPECT_EQ(cz::run(coder, false, *stream).bytes, input) << what;
        }
    }
    // The finder's running position count, started near its top (inside a
    // long call, and at the start of empty calls), never wraps.
    for (uint32_t start : {0xF0000000u - 20000u, 0xFFFFE000u, 0xF0000000u}) {
        cz_lzss_set_next_start(start);
        for (int round = 0; round < 3; ++round)
            for (std::string name : {"reference/empty", "reference/text", "reference/runs"}) {
                std::string made = cz::run(Coder::lzss, true, cz_golden(name)).bytes;
                EXPECT_EQ(cz::form(Coder::lzss, made),
                          cz::form(Coder::lzss, cz_golden(name + ".fast")))
                    << name << " from " << start;
            }
    }
    cz_lzss_set_next_start(0);
    // Golden compressed files, made in memory mode as the encrypted editor
    // text uses it: every build writes them again and reads them back in
    // place (compressing on files: the sweep's round trips).
    for (std::string name : {"sample.txt", "sample.bin"}) {
        std::string input = cz_golden(name), made;
        for (uint16_t algorithm : {1, 2}) {
            Coder coder = algorithm == 1 ? Coder::arith : Coder::lzss;
            std::string what = name + (algorithm == 1 ? ".max" : ".fast"), golden = cz_golden(what);
            {
                MemoryMode memory(input);
                ASSERT_EQ(iCompressFile(name.c_str(), 1, algorithm, 0, &cs_data), 0) << what;
                made = memory.output();
            }
            EXPECT_TRUE(cz::form(coder, made) == cz::form(coder, golden)) << what;
            for (const std::string* packed : {&made, &golden}) {
                write_file(path(name), *packed);
                ASSERT_EQ(iExpandFile(path(name).c_str(), 1, &cs_data), 0) << lq_boxes_dump();
                EXPECT_TRUE(read_file(path(name)) == input && cs_data.algorithm == algorithm);
            }
        }
    }
    EXPECT_TRUE(lq_boxes().empty()) << lq_boxes_dump();
}

// Cut at every length, a stream fails (arithmetic: -2 within the first 16
// bits, else -4) having taken every byte and put out a prefix of the data
// that grows with the cut (the same on a file); growth, writes and a model
// that fail end either coder.
TEST_F(CoderTest, CutAndFailingStreams) {
    std::string input = lq_random_bytes(200000, 5), text = cz_golden("reference/text");
    for (Coder coder : {Coder::lzss, Coder::arith}) {
        bool arith = coder == Coder::arith;
        std::string stream = cz::run(coder, true, text).bytes;
        size_t last = 0;
        for (size_t n = 0, end = stream.size() - (arith ? 2 : 0); n < end;
             n += n < 800 ? 1 : std::max<size_t>(1, std::min<size_t>(997, end - 1 - n))) {
            cz::Run r = cz::run(coder, false, stream.substr(0, n), 0);
            int failure = !arith ? -1 : n < 2 ? -2 : -4;
            EXPECT_TRUE(r.result == failure && r.io_error != 0 && r.in_pos == (int32_t)n &&
                        text.compare(0, r.bytes.size(), r.bytes) == 0 && r.bytes.size() >= last)
                << n;
            last = r.bytes.size();
            if (n >= 800 || n % 100 == 3)
                EXPECT_EQ(cz::run(coder, false, stream.substr(0, n), cz::on_files).bytes, r.bytes);
        }
        EXPECT_GT(last + 100, text.size());
        stream = cz::run(coder, true, std::string(5000, 'q')).bytes;
        pf_fault_arm(PF_FAULT_ALLOC, 2);  // the first is the block itself
        cz::Run grown = cz::run(coder, false, stream, 0);
        EXPECT_TRUE(grown.result == -1 && grown.io_error == -1);
        pf_fault_arm(PF_FAULT_WRITE, 2);
        cz::Run c = cz::run(coder, true, input, cz::on_files);
        EXPECT_TRUE(c.result == (arith ? -3 : -1) && c.io_error == -1);
        stream = cz::run(coder, true, input).bytes;  // (round trips on files: the sweep)
        pf_fault_arm(PF_FAULT_WRITE, 1);
        EXPECT_EQ(cz::run(coder, false, stream, cz::on_files).result, -1);
    }
    // An arithmetic model that cannot grow fails with the step's code.
    std::string stream = cz::run(Coder::arith, true, text).bytes;
    cz_arith_memory_limit = 1;  // not even the set-up fits
    EXPECT_TRUE(cz::run(Coder::arith, true, text).result == -1 &&
                cz::run(Coder::arith, false, stream).result == -1 && cz_arith_stats.out_of_memory);
    // Room for the set-up but not for the text's contexts: the first failing
    // step is an update (the new entry) or a context advance (a new table).
    cz_arith_memory_limit = 6000;
    cz::Run c = cz::run(Coder::arith, true, text), e = cz::run(Coder::arith, false, stream);
    EXPECT_TRUE((c.result == -5 || c.result == -6) && c.io_error == -1) << c.result;
    EXPECT_TRUE(e.result == -6 || e.result == -7) << e.result;
}

}  // namespace
