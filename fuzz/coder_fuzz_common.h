// Shared by the coder fuzz targets and the compress tests: the coders run in
// memory mode on a platform block or on files, the LZSS parse, the comparison
// with a stream written by another coder, and the expander check.
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

inline void write_file(const char* p, const std::string& bytes) {
    if (!std::ofstream(p, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size()))
        std::abort();
}
inline std::string read_file(const char* p) {
    std::ostringstream os;
    os << std::ifstream(p, std::ios::binary).rdbuf();
    return os.str();
}

// Memory mode: in_buffer = a copy of `in`, a fresh output block of `capacity`
// bytes (-1: the input's length + 1).  At the end the written bytes must lie
// inside the block, which is freed, and the fields are as they were before
// (modes nest).
struct MemoryMode {
    std::string input;
    CzMemoryStreams saved = MemoryStreams;
    MemoryMode(const std::string& in, int capacity = -1) : input(in) {
        std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
        if (capacity < 0) capacity = (int)input.size() + 1;
        MemoryStreams.in_buffer = (uint8_t*)input.data();
        MemoryStreams.in_length = (int32_t)input.size();
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
        MemoryStreams = saved;
    }
    std::string output() const {
        const char* out = (const char*)MemoryStreams.out_buffer;
        return out ? std::string(out, (size_t)MemoryStreams.out_pos) : "";
    }
};

enum class Coder { lzss, arith };

struct Run {
    int result = -99;  // the coder's (-99: a file did not open; -100: a close failed)
    int io_error = 0;  // and MemoryStreams.in_pos afterwards (expansion: bytes taken)
    int32_t in_pos = 0;
    std::string bytes;  // what came out
};

// One coder (the arithmetic one with contexts up to `order`), compressing or
// expanding: from in_path to out_path, or (no paths) in the memory mode set
// up by the caller.
inline Run code(Coder coder, bool compress, const char* in_path, const char* out_path,
                int order = 3) {
    Run run;
    bool lzss = coder == Coder::lzss, files = in_path != nullptr;
    if (files) std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    BitFile* bf = compress ? OpenOutputBitFile(out_path) : OpenInputBitFile(in_path);
    CzStream* s =
        files ? cz_stream_open(compress ? in_path : out_path, compress ? "rb" : "wb") : nullptr;
    if (bf && (s || !files))
        run.result = compress ? (lzss ? iLzssCompress(s, bf) : iArithCompress(s, bf, order))
                              : (lzss ? iLzssExpand(bf, s) : iArithExpand(bf, s, order));
    run.in_pos = MemoryStreams.in_pos;
    bool closed = !bf || (compress ? iCloseOutputBitFile(bf) == 0 : (CloseInputBitFile(bf), true));
    if (s && cz_stream_close(s) != 0) closed = false;
    if (!closed && run.result == 0) run.result = -100;
    run.io_error = MemoryStreams.io_error;
    if (files) run.bytes = read_file(out_path);
    return run;
}
inline Run memory(Coder coder, bool compress, const std::string& input, int capacity = -1,
                  int order = 3) {
    MemoryMode mode(input, capacity);
    Run run = code(coder, compress, nullptr, nullptr, order);
    run.bytes = mode.output();
    return run;
}

// The literals and match lengths of an LZSS stream up to its end code (not
// the match positions); *bits receives the bits used, end code included, or
// -1 when the stream is cut before it.
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

// "" when `made` codes as `model` does, else what differs.  Arithmetic
// streams byte for byte; LZSS streams (whose finder may name another of
// equally long occurrences) with the same size, literals and match lengths
// step by step, and the same bytes after the stream (a record).
inline std::string coding_difference(Coder coder, const std::string& made,
                                     const std::string& model) {
    if (coder == Coder::arith) return made == model ? "" : "other bytes";
    long made_bits = 0, model_bits = 0;
    if (made.size() != model.size()) return "another size";
    if (lzss_parse(made, &made_bits) != lzss_parse(model, &model_bits) || model_bits < 0 ||
        made_bits != model_bits)
        return "another parse";
    size_t end = (size_t)(model_bits + 7) / 8;
    return made.compare(end, std::string::npos, model, end) == 0 ? "" : "another record";
}

// Any input: the expander ends (memory and file mode agree; file mode, the
// slower, for one input in four); what it accepts compresses and expands
// back to itself.
inline void check_expander(Coder coder, const uint8_t* data, size_t size) {
    std::string in((const char*)data, size);
    Run mem = memory(coder, false, in, size ? data[0] % 64 : 0);  // small blocks: many growths
    if (size && data[size - 1] % 4 == 0) {
        write_file("in.bin", in);
        Run file = code(coder, false, "in.bin", "out.bin");
        if (file.result != mem.result || (mem.result == 0 && file.bytes != mem.bytes)) std::abort();
    }
    if (mem.result != 0) return;
    Run packed = memory(coder, true, mem.bytes, 16);
    Run back = memory(coder, false, packed.bytes, 16);
    if (packed.result != 0 || back.result != 0 || back.bytes != mem.bytes) std::abort();
}

}  // namespace cz_fuzz
