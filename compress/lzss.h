// LZSS coder: a 4096-byte sliding window, matches of 2 to 17 bytes; every
// match is a longest one (the newest of equally long ones).
//
// Stream (most significant bit first): literal = 1, byte (8 bits); match = 0,
// window position (12 bits), length - 2 (4 bits); end = 0 followed by 12 zero
// bits (position 0 never starts a match).  No header, length or checksum.
// The first input byte goes to window position 1.
#pragma once

#include "compress/bit_file.h"
#include "compress/byte_stream.h"

// Reads the raw input (from `input`, or from MemoryStreams.in_buffer when that
// is set; in_pos counts the bytes read and must be 0 on entry) and writes the
// coded stream to `output`, end code included.  Neither stream is closed.
// Returns:
//   0  done
//  -1  a bit write failed (io_error -1)
int iLzssCompress(CzStream* input, BitFile* output);

// Decodes `input` up to its end code and puts the bytes out to `output`, or to
// MemoryStreams.out_buffer when that is set (out_pos counts them and must be 0
// on entry).  Neither stream is closed.
// Returns:
//   0  done
//  -1  the input ended before the end code, the output block cannot grow or
//      an output write failed (io_error set)
int iLzssExpand(BitFile* input, CzStream* output);

// Where the compressor's running position count starts on its next call
// (rounded down to a multiple of 4096, at least 8192); its match indexes are
// emptied.  Lets tests reach the count's shift near 2^32 with small inputs.
void cz_lzss_set_next_start(uint32_t start);
