// Shared pieces of the coder fuzz targets: memory-mode runs of the coders on
// a platform block, and a private folder for file-mode runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "compress/arith.h"
#include "compress/bit_file.h"
#include "compress/byte_stream.h"
#include "compress/lzss.h"
#include "platform/platform.h"

namespace cz_fuzz {

// A folder of this process's own (runs of the same target from other trees
// may go on at the same time), removed when the process ends.
inline void folder(const char* name) {
    namespace fs = std::filesystem;
    static fs::path dir;
    if (!dir.empty()) return;
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir = fs::temp_directory_path() / (std::string(name) + "_" + std::to_string(stamp));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::atexit([] {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(dir, ec);
    });
}

inline void write_file(const char* p, const uint8_t* data, size_t size) {
    if (!std::ofstream(p, std::ios::binary).write((const char*)data, (std::streamsize)size))
        std::abort();
}

inline std::string read_file(const char* p) {
    std::ostringstream os;
    os << std::ifstream(p, std::ios::binary).rdbuf();
    return os.str();
}

// Memory mode over `data` with an output block of `capacity` bytes; at the
// end the written bytes must lie inside the block, which is freed.
struct MemoryMode {
    static inline uint8_t none = 0;
    MemoryMode(const uint8_t* data, size_t size, int32_t capacity) {
        std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
        MemoryStreams.in_buffer = size ? const_cast<uint8_t*>(data) : &none;
        MemoryStreams.in_length = (int32_t)size;
        MemoryStreams.out_block = pf_global_alloc((uint32_t)(capacity > 0 ? capacity : 1));
        MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
        MemoryStreams.out_capacity = capacity;
    }
    ~MemoryMode() {
        if (MemoryStreams.out_buffer && MemoryStreams.out_pos > MemoryStreams.out_capacity)
            std::abort();
        if (MemoryStreams.out_block) {
            pf_global_unlock(MemoryStreams.out_block);
            pf_global_free(MemoryStreams.out_block);
        }
        std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    }
};

enum class Coder { lzss, arith };

// Runs one coder in memory mode; *out receives the output on success.
inline int run_memory(Coder coder, bool compress, const uint8_t* data, size_t size,
                      int32_t capacity, std::string* out) {
    MemoryMode memory(data, size, capacity);
    int result;
    if (compress) {
        BitFile* bf = OpenOutputBitFile(nullptr);
        result = coder == Coder::lzss ? iLzssCompress(nullptr, bf) : iArithCompress(nullptr, bf, 3);
        if (iCloseOutputBitFile(bf) != 0 && result == 0) result = -100;
    } else {
        BitFile* bf = OpenInputBitFile(nullptr);
        result = coder == Coder::lzss ? iLzssExpand(bf, nullptr) : iArithExpand(bf, nullptr, 3);
        CloseInputBitFile(bf);
    }
    if (result == 0)
        out->assign((const char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
    return result;
}

// The literals and match lengths of an LZSS stream up to its end code (not
// the match positions: a finder may name another of equally long
// occurrences); *bits receives the bits used, end code included, or -1 when
// the stream is cut before it.
inline std::string lzss_parse(const std::string& stream, long* bits) {
    std::string parse;
    size_t bit = 0;
    auto take = [&](int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k, ++bit)
            v = (v << 1) | (((uint8_t)stream[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    for (*bits = -1; bit + 13 <= stream.size() * 8;) {
        bool literal = take(1);
        if (!literal && take(12) == 0) return *bits = (long)bit, parse;
        parse += std::string(literal ? " l" : " m") + std::to_string(take(literal ? 8 : 4));
    }
    return parse;
}

// Any input: the expander ends (memory and file mode agree; file mode, the
// slower, for one input in four); what it accepts compresses and expands
// back to itself.
inline void check_expander(Coder coder, const uint8_t* data, size_t size) {
    std::string mem, packed, back;
    int32_t capacity = size ? (int32_t)(data[0] % 64) : 0;  // small blocks: many growths
    int m = run_memory(coder, false, data, size, capacity, &mem);
    if (size && data[size - 1] % 4 == 0) {
        write_file("in.bin", data, size);
        BitFile* bf = OpenInputBitFile("in.bin");
        CzStream* s = cz_stream_open("out.bin", "wb");
        if (!bf || !s) std::abort();
        int f = coder == Coder::lzss ? iLzssExpand(bf, s) : iArithExpand(bf, s, 3);
        if (cz_stream_close(s) != 0 && f == 0) f = -100;
        CloseInputBitFile(bf);
        if (m != f || (m == 0 && mem != read_file("out.bin"))) std::abort();
    }
    if (m != 0) return;
    if (run_memory(coder, true, (const uint8_t*)mem.data(), mem.size(), 16, &packed) != 0 ||
        run_memory(coder, false, (const uint8_t*)packed.data(), packed.size(), 16, &back) != 0 ||
        back != mem)
        std::abort();
}

}  // namespace cz_fuzz
