// Shared by the coder fuzz targets and the compress tests: a coder run in
// memory mode or on files, what two streams must share to code alike, the
// expander check.
#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
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
    dir = fs::temp_directory_path() /
          (name + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::atexit([] {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(dir, ec);
    });
}

inline void write_file(const char* p, const std::string& bytes) {
    if (!std::ofstream(p, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size()))
        std::abort();
}
inline std::string read_file(const char* p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// Memory mode on a copy of `in` and a fresh block of `capacity` bytes (-1:
// the input's length + 1).  The output must end inside the block; the fields
// found are restored at the end (modes nest).
struct MemoryMode {
    std::string input;
    CzMemoryStreams saved = MemoryStreams;
    MemoryMode(const std::string& in, int capacity = -1) : input(in) {
        if (capacity < 0) capacity = (int)input.size() + 1;
        MemoryStreams = CzMemoryStreams{};
        MemoryStreams.in_buffer = (uint8_t*)input.data();
        MemoryStreams.in_length = (int32_t)input.size();
        MemoryStreams.out_block = pf_global_alloc((uint32_t)(capacity > 0 ? capacity : 1));
        MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
        MemoryStreams.out_capacity = capacity;
    }
    ~MemoryMode() {
        if (MemoryStreams.out_buffer && MemoryStreams.out_pos > MemoryStreams.out_capacity)
            std::abort();
        if (MemoryStreams.out_block)
            pf_global_unlock(MemoryStreams.out_block), pf_global_free(MemoryStreams.out_block);
        MemoryStreams = saved;
    }
    std::string output() const {
        const char* out = (const char*)MemoryStreams.out_buffer;
        return out ? std::string(out, (size_t)MemoryStreams.out_pos) : "";
    }
};

enum class Coder { lzss, arith };
const int on_files = -2;  // a capacity: run from file cz.in to cz.out in the current folder

struct Run {
    int result = -99;  // the coder's (-99: a file did not open; -100: a close failed)
    int io_error = 0;  // MemoryStreams' afterwards, with in_pos (expansion: bytes taken)
    int32_t in_pos = 0;
    std::string bytes;  // what came out
};

// One coder (the arithmetic one with contexts up to `order`) compressing or
// expanding `input` in memory mode (see MemoryMode) or on files.
inline Run run(Coder coder, bool compress, const std::string& input, int capacity = -1,
               int order = 3) {
    Run r;
    bool lzss = coder == Coder::lzss, files = capacity == on_files;
    std::optional<MemoryMode> mode;
    if (!files) mode.emplace(input, capacity);
    if (files) write_file("cz.in", input), MemoryStreams = CzMemoryStreams{};
    BitFile* bf = compress ? OpenOutputBitFile(files ? "cz.out" : nullptr)
                           : OpenInputBitFile(files ? "cz.in" : nullptr);
    CzStream* s =
        files ? cz_stream_open(compress ? "cz.in" : "cz.out", compress ? "rb" : "wb") : nullptr;
    if (bf && (s || !files))
        r.result = compress ? (lzss ? iLzssCompress(s, bf) : iArithCompress(s, bf, order))
                            : (lzss ? iLzssExpand(bf, s) : iArithExpand(bf, s, order));
    r.in_pos = MemoryStreams.in_pos;
    bool closed = !bf || (compress ? iCloseOutputBitFile(bf) == 0 : (CloseInputBitFile(bf), true));
    if (s && cz_stream_close(s) != 0) closed = false;
    if (!closed && r.result == 0) r.result = -100;
    r.io_error = MemoryStreams.io_error;
    r.bytes = files ? read_file("cz.out") : mode->output();
    return r;
}

// What a stream must share with another to code alike: an arithmetic stream
// all its bytes; an LZSS stream (whose finder may name another of equally
// long occurrences) its literals and match lengths step by step, and the
// bytes after its end code (a record).
inline std::string form(Coder coder, const std::string& stream) {
    if (coder == Coder::arith) return stream;
    std::string parse;
    size_t bit = 0;
    auto take = [&](int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k, ++bit)
            v = (v << 1) | (((uint8_t)stream[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    while (bit + 13 <= stream.size() * 8) {
        bool literal = take(1);
        if (!literal && take(12) == 0) return parse + " end " + stream.substr((bit + 7) / 8);
        parse += std::string(literal ? " l" : " m") + std::to_string(take(literal ? 8 : 4));
    }
    return parse + " cut";
}

// Any input: the expander ends (in memory and, for one input in four, on
// files, alike); what it accepts compresses and expands back to itself.
inline void check_expander(Coder coder, const uint8_t* data, size_t size) {
    std::string in((const char*)data, size);
    Run mem = run(coder, false, in, size ? data[0] % 64 : 0);  // small blocks: many growths
    if (size && data[size - 1] % 4 == 0) {
        Run file = run(coder, false, in, on_files);
        if (file.result != mem.result || (mem.result == 0 && file.bytes != mem.bytes)) std::abort();
    }
    if (mem.result != 0) return;
    Run packed = run(coder, true, mem.bytes, 16), back = run(coder, false, packed.bytes, 16);
    if (packed.result != 0 || back.result != 0 || back.bytes != mem.bytes) std::abort();
}

}  // namespace cz_fuzz
