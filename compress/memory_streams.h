// The record that selects memory or file mode for the coders.
//
// Input comes from memory exactly when in_buffer is not null; output goes to
// memory exactly when out_buffer is not null.  The caller of iCompressFile /
// iExpandFile fills the memory fields before the call and reads out_buffer and
// out_pos afterwards: out_buffer may have moved, because the output block is
// resized (in steps of 1024 bytes, new bytes zeroed) while the coder writes.
// The fields keep their values between operations; a caller that releases its
// blocks sets them back to zero/null so that the next operation runs on files.
#pragma once

#include <cstdint>

struct CzMemoryStreams {
    uint8_t* in_buffer;    // raw or compressed input in memory; null: file input
    int32_t in_length;     // valid bytes at in_buffer
    int32_t in_pos;        // input bytes consumed (counted in file mode too)
    void* out_block;       // the growable platform global memory block (PfGlobal)
    uint8_t* out_buffer;   // locked address of out_block; null: file output
    int32_t out_capacity;  // bytes available at out_buffer
    int32_t out_pos;       // output bytes written (counted in file mode too)
    // 0 none; -1 a write, growth or read failure (or a coder failure);
    // 1 the input ran out inside lReadBits.
    int32_t io_error;
};

// The one program-wide instance, zero at program start.
extern CzMemoryStreams MemoryStreams;

// Makes room for one more byte at out_buffer[out_pos] when out_pos has reached
// out_capacity: unlocks out_block, resizes it to out_pos + 1024 (zero-filled,
// possibly moving), locks it into out_buffer and adds 1024 to out_capacity.
// Returns 0, or -1 with out_buffer null, out_capacity 0 and io_error -1 when
// the block cannot be resized or locked.
int cz_grow_output();

// Resizes out_block to exactly `size` bytes (unlock, zero-filled resize, lock
// into out_buffer, out_capacity = size).  0, or -1 with out_buffer null and
// out_capacity 0.
int cz_resize_output(int32_t size);

// A compressor stops with CZ_OVER_LIMIT as soon as out_pos is above this
// (its output only grows, so the result could only be refused as larger than
// the original); the compress operation sets it for its call.  Default: none.
extern int64_t cz_output_limit;
const int CZ_OVER_LIMIT = -100;
