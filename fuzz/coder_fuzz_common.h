// Shared pieces of the coder fuzz targets: memory-mode runs of the coders on
// a platform block, and a private folder for file-mode runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "compress/arith.h"
#include "compress/bit_file.h"
#include "compress/byte_stream.h"
#include "compress/lzss.h"
#include "platform/platform.h"

namespace cz_fuzz {

// A folder of this process's own (runs of the same target from other trees
// may go on at the same time), removed when the process ends.
inline std::string folder(const char* name) {
    static std::string dir;
    if (dir.empty()) {
        namespace fs = std::filesystem;
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        fs::path d = fs::temp_directory_path() / (std::string(name) + "_" + std::to_string(stamp));
        fs::create_directories(d);
        fs::current_path(d);
        dir = d.string();
        std::atexit([] {
            std::error_code ec;
            fs::current_path(fs::temp_directory_path(), ec);
            fs::remove_all(dir, ec);
        });
    }
    return dir;
}

inline void write_file(const std::string& p, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) std::abort();
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

inline std::string read_file(const std::string& p) {
    std::string s;
    FILE* f = std::fopen(p.c_str(), "rb");
    if (!f) return s;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

enum class Coder { lzss, arith };

// Runs one coder in memory mode; *out receives the output on success.
inline int run_memory(Coder coder, bool compress, const uint8_t* data, size_t size,
                      int32_t capacity, std::string* out) {
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    PfGlobal block = pf_global_alloc((uint32_t)(capacity > 0 ? capacity : 1));
    static const uint8_t none = 0;
    MemoryStreams.in_buffer = const_cast<uint8_t*>(size ? data : &none);
    MemoryStreams.in_length = (int32_t)size;
    MemoryStreams.out_block = block;
    MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(block);
    MemoryStreams.out_capacity = capacity;
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
    // Whatever happened, the written bytes lie inside the block.
    if (MemoryStreams.out_buffer && MemoryStreams.out_pos > MemoryStreams.out_capacity)
        std::abort();
    if (result == 0 && out)
        out->assign((const char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
    if (MemoryStreams.out_block) {
        pf_global_unlock(MemoryStreams.out_block);
        pf_global_free(MemoryStreams.out_block);
    }
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    return result;
}

// Expands `data` file to file; *out receives the output on success.
inline int run_file_expand(Coder coder, const uint8_t* data, size_t size, std::string* out) {
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    write_file("in.bin", data, size);
    BitFile* bf = OpenInputBitFile("in.bin");
    CzStream* s = cz_stream_open("out.bin", "wb");
    if (!bf || !s) std::abort();
    int result = coder == Coder::lzss ? iLzssExpand(bf, s) : iArithExpand(bf, s, 3);
    if (cz_stream_close(s) != 0 && result == 0) result = -100;
    CloseInputBitFile(bf);
    if (result == 0 && out) *out = read_file("out.bin");
    return result;
}

// Any input: the expander ends (memory and file mode agree; file mode, the
// slower, for one input in four); what it accepts compresses and expands
// back to itself.
inline void check_expander(Coder coder, const uint8_t* data, size_t size) {
    std::string mem, file;
    int32_t capacity = size ? (int32_t)(data[0] % 64) : 0;  // small blocks: many growths
    int m = run_memory(coder, false, data, size, capacity, &mem);
    if (size && data[size - 1] % 4 == 0) {
        int f = run_file_expand(coder, data, size, &file);
        if (m != f || (m == 0 && mem != file)) std::abort();
    }
    if (m != 0) return;
    std::string packed, back;
    if (run_memory(coder, true, (const uint8_t*)mem.data(), mem.size(), 16, &packed) != 0)
        std::abort();
    if (run_memory(coder, false, (const uint8_t*)packed.data(), packed.size(), 16, &back) != 0 ||
        back != mem)
        std::abort();
}

}  // namespace cz_fuzz
