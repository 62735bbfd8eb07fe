// Order-N arithmetic coder: adaptive counts per context of up to N bytes, a
// 16-bit binary arithmetic coder, escapes to shorter contexts with exclusion,
// an order -1 table of every byte value and an order -2 control table that
// holds end of data and model flush.  Compressor and expander build the same
// model in the same order; every rule in arith.cpp must hold on both sides.
//
// The stream carries no header: the code of the input bytes, a model flush
// wherever the ratio check asked for one, end of data, the encoder's flush
// bits, 16 zero bits and the bit stream's zero padding.
#pragma once

#include <cstdint>

#include "compress/bit_file.h"
#include "compress/byte_stream.h"

// Highest supported maximum order.
const int CZ_ARITH_MAX_ORDER = 7;

// Compresses the raw input (from `input`, or MemoryStreams.in_buffer when set;
// in_pos must be 0 on entry) into `output` with contexts of up to max_order
// (0 to 7; the program uses 3).  Neither stream is closed.
// Returns:
//   0  done
//  -1  model set-up failed
//  -3  a bit write failed while coding a symbol
//  -5  model update failed
//  -6  context advance failed
//  -7  a bit write failed while flushing the coder
// Every failure also sets io_error to -1.
int iArithCompress(CzStream* input, BitFile* output, int max_order);

// Expands `input` into `output`, or MemoryStreams.out_buffer when set (out_pos
// must be 0 on entry).  Neither stream is closed.
// Returns:
//   0  done
//  -1  model set-up failed, the output block cannot grow or an output write
//      failed
//  -2  the input ended within its first 16 bits
//  -4  the input ended while decoding a symbol, or the stream decoded an
//      escape out of the control table (a corrupt stream)
//  -6  model update failed
//  -7  context advance failed
// Every failure also sets io_error to -1.
int iArithExpand(BitFile* input, CzStream* output, int max_order);

// Statistics of the last call (for measurements): tables created and the
// bytes the model held at its peak.
struct CzArithStats {
    uint32_t tables;
    uint64_t model_bytes;
    uint32_t flushes;
    bool out_of_memory;  // the model failed for want of memory (limit or system)
};
extern CzArithStats cz_arith_stats;

// Bytes the model of one call may hold; 0 means no limit.  A model that would
// grow beyond it fails as an allocation failure does.
extern uint64_t cz_arith_memory_limit;

// Model bytes from which the compressor loads the tables of the bytes to come
// ahead of coding them (hints only: the stream is the same either way).
const uint64_t CZ_ARITH_LOOKAHEAD_FROM = 8u << 20;
extern uint64_t cz_arith_lookahead_from;
