// Runs the coders directly on memory or on files, for the codec tests.
#pragma once

#include <string>

enum class Coder { lzss, arith };

struct CoderRun {
    int result = 0;     // the coder's result
    int close = 0;      // iCloseOutputBitFile's result (compression)
    int io_error = 0;   // MemoryStreams.io_error afterwards
    std::string bytes;  // what came out
};

// Memory input, memory output (an output block of `capacity` bytes to start).
CoderRun cz_compress_memory(Coder coder, const std::string& input, int capacity = -1);
CoderRun cz_expand_memory(Coder coder, const std::string& input, int capacity = -1);

// File input and output through the platform layer.
CoderRun cz_compress_file(Coder coder, const std::string& in_path, const std::string& out_path);
CoderRun cz_expand_file(Coder coder, const std::string& in_path, const std::string& out_path);

// Every MemoryStreams field back to zero (file mode).
void cz_reset_memory_streams();
