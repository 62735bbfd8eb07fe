// Runs the coders directly on memory or on files, for the codec tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "compress/arith.h"
#include "compress/bit_file.h"
#include "compress/compress_file.h"
#include "compress/lzss.h"
#include "fuzz/coder_fuzz_common.h"
#include "platform/platform.h"
#include "tests/support/lq_test.h"

enum class Coder { lzss, arith };

struct CzFiles : LqTest {
    using LqTest::read_file;
};

inline void cz_reset_memory_streams() { std::memset(&MemoryStreams, 0, sizeof MemoryStreams); }

// Every test starts in file mode with fresh records.
inline void cz_fresh_state() {
    cz_reset_memory_streams();
    std::memset(&cs_data, 0, sizeof cs_data);
    gPreCompressSize = 0, cz_arith_memory_limit = 0, cz_stop_when_larger = true;
}
inline const bool cz_fresh_state_registered = (lq_register_reset(cz_fresh_state), true);

// Memory mode: in_buffer = a copy of `in`, a fresh output block of `capacity`
// bytes (-1: the input's length + 1); the destructor frees the block and puts
// every MemoryStreams field back to zero (file mode).
struct CzMemoryMode {
    std::string input;
    CzMemoryMode(const std::string& in, int capacity = -1) : input(in) {
        cz_reset_memory_streams();
        if (capacity < 0) capacity = (int)input.size() + 1;
        MemoryStreams.in_buffer = (uint8_t*)input.data();
        MemoryStreams.in_length = (int32_t)input.size();
        MemoryStreams.out_block = pf_global_alloc((uint32_t)std::max(capacity, 1));
        MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
        MemoryStreams.out_capacity = capacity;
    }
    ~CzMemoryMode() {
        if (MemoryStreams.out_block) {
            pf_global_unlock(MemoryStreams.out_block);
            pf_global_free(MemoryStreams.out_block);
        }
        cz_reset_memory_streams();
    }
    std::string output() const {  // out_buffer[0, out_pos)
        if (!MemoryStreams.out_buffer) return {};
        return std::string((const char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
    }
};

struct CoderRun {
    int result = -100;   // the coder's result (-100: a file did not open)
    int io_error = 0;    // MemoryStreams.io_error afterwards
    int32_t in_pos = 0;  // MemoryStreams.in_pos afterwards (expansion: bytes taken)
    std::string bytes;   // what came out
};

// One coder, compressing or expanding: from in_path to out_path through the
// platform layer, or (no paths) in the memory mode set up by the caller.
inline CoderRun cz_code(Coder coder, bool compress, const char* in_path, const char* out_path) {
    CoderRun run;
    bool lzss = coder == Coder::lzss, files = in_path != nullptr;
    BitFile* bf = compress ? OpenOutputBitFile(out_path) : OpenInputBitFile(in_path);
    CzStream* s =
        files ? cz_stream_open(compress ? in_path : out_path, compress ? "rb" : "wb") : nullptr;
    if (bf && (s || !files))
        run.result = compress ? (lzss ? iLzssCompress(s, bf) : iArithCompress(s, bf, 3))
                              : (lzss ? iLzssExpand(bf, s) : iArithExpand(bf, s, 3));
    run.in_pos = MemoryStreams.in_pos;
    if (bf) compress ? (void)iCloseOutputBitFile(bf) : CloseInputBitFile(bf);
    if (s) cz_stream_close(s);
    run.io_error = MemoryStreams.io_error;
    if (files) run.bytes = CzFiles::read_file(out_path);
    return run;
}
inline CoderRun cz_memory(Coder coder, bool compress, const std::string& input, int capacity = -1) {
    CzMemoryMode memory(input, capacity);
    CoderRun run = cz_code(coder, compress, nullptr, nullptr);
    run.bytes = memory.output();
    return run;
}
inline CoderRun cz_file(Coder coder, bool compress, const std::string& in, const std::string& out) {
    cz_reset_memory_streams();
    return cz_code(coder, compress, in.c_str(), out.c_str());
}

// A file of tests/golden/compress.
inline std::string cz_golden(const std::string& name) {
    return CzFiles::read_file(lq_source_dir() + "/tests/golden/compress/" + name);
}
// Arithmetic streams must equal `golden` byte for byte; LZSS streams (whose
// match finder may name another of equally long occurrences) must have its
// size, its literals and match lengths step by step, and the same bytes
// after the stream (a record).
inline void cz_expect_same_coding(Coder coder, const std::string& made, const std::string& golden,
                                  const std::string& what) {
    if (coder == Coder::arith) {
        EXPECT_TRUE(made == golden) << what << " is not written as the reference writes it";
        return;
    }
    ASSERT_EQ(made.size(), golden.size()) << what;
    long made_bits = 0, golden_bits = 0;
    std::string a = cz_fuzz::lzss_parse(made, &made_bits),
                b = cz_fuzz::lzss_parse(golden, &golden_bits);
    ASSERT_GT(golden_bits, 0) << what;
    EXPECT_EQ(made_bits, golden_bits) << what;
    EXPECT_TRUE(a == b) << what << ": another parse";
    size_t stream_bytes = (size_t)(golden_bits + 7) / 8;
    EXPECT_TRUE(made.substr(stream_bytes) == golden.substr(stream_bytes)) << what << " record";
}
