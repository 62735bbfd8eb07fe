// Runs the coders directly on memory or on files, for the codec tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class Coder { lzss, arith };

struct CoderRun {
    int result = 0;      // the coder's result
    int close = 0;       // iCloseOutputBitFile's result (compression)
    int io_error = 0;    // MemoryStreams.io_error afterwards
    int32_t in_pos = 0;  // MemoryStreams.in_pos afterwards (expansion: bytes taken)
    std::string bytes;   // what came out
};

// Memory mode: in_buffer = a copy of `in`, a fresh output block of `capacity`
// bytes (-1: the input's length + 1); the destructor frees the block and puts
// every MemoryStreams field back to zero (file mode).
struct CzMemoryMode {
    std::string input;
    CzMemoryMode(const std::string& in, int capacity = -1);
    ~CzMemoryMode();
    std::string output() const;  // out_buffer[0, out_pos)
};

// Memory input, memory output (an output block of `capacity` bytes to start).
CoderRun cz_compress_memory(Coder coder, const std::string& input, int capacity = -1);
CoderRun cz_expand_memory(Coder coder, const std::string& input, int capacity = -1);

// File input and output through the platform layer.
CoderRun cz_compress_file(Coder coder, const std::string& in_path, const std::string& out_path);
CoderRun cz_expand_file(Coder coder, const std::string& in_path, const std::string& out_path);

// Every MemoryStreams field back to zero (file mode).
void cz_reset_memory_streams();

// One LZSS token: a literal (its byte, length 1) or a match (window position,
// length 2 to 17).
struct CzLzssToken {
    bool literal;
    uint32_t value;
    uint32_t length;
    bool same_parse(const CzLzssToken& o) const {
        return literal == o.literal && length == o.length && (!literal || value == o.value);
    }
};

// The tokens of an LZSS stream up to its end code; `bits` receives the bits
// used, end code included, or -1 when the stream is cut before it.
std::vector<CzLzssToken> cz_lzss_tokens(const std::string& stream, long* bits);

// A file of tests/golden/compress, and the names of the sample inputs in its
// reference/ folder (the files without an extension).
std::string cz_golden(const std::string& name);
std::vector<std::string> cz_reference_samples();

// Arithmetic streams must equal `golden` byte for byte; LZSS streams (whose
// match finder may name another of equally long occurrences) must have its
// size, its literals and match lengths step by step, and the same bytes
// after the stream (a record).
void cz_expect_same_coding(Coder coder, const std::string& made, const std::string& golden,
                           const std::string& what);
