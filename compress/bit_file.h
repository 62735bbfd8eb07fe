// Bit streams over a buffered file or over the memory of MemoryStreams.
//
// Bits are packed most significant first: the first bit written to a byte is
// its bit 7, the eighth its bit 0; a multi-bit value goes from its most
// significant bit down.  A record with a stream works on that file; a record
// without one works on MemoryStreams (input from in_buffer[in_pos] up to
// in_length, output to out_buffer[out_pos], growing out_block by 1024 bytes).
// Both modes count in_pos / out_pos.
#pragma once

#include <cstdint>

#include "compress/byte_stream.h"
#include "compress/memory_streams.h"

struct BitFile {
    CzStream* stream;  // the open file, or null in memory mode
    uint8_t mask;      // bit of the current byte handled next; 0x80: no bit pending
    int32_t rack;      // the byte being assembled (output) or the last fetched (input)
};

// Memory mode when MemoryStreams.out_buffer (output) / in_buffer (input) is
// set, the name then being ignored; otherwise the named file is opened "wb" /
// "rb".  Sets out_pos / in_pos to 0.  Null when the record cannot be
// allocated or the file cannot be opened.
BitFile* OpenOutputBitFile(const char* name);
BitFile* OpenInputBitFile(const char* name);

// 0 done; -1 failed (io_error -1): a file write failed or the block cannot grow.
int iWriteBit(BitFile* bit_file, int bit);
// The low `count` bits of value (1 to 32), most significant first.  0, or -1
// at the first failed byte.
int iWriteBits(BitFile* bit_file, uint32_t value, int count);
// Emits a partly filled last byte (its unwritten bits zero), closes the file
// and frees the record.  0, or -1 when that byte cannot be written; the
// record is freed (and the file closed) either way.
int iCloseOutputBitFile(BitFile* bit_file);

// 1 or 0; -1 (io_error -1) when the input has run out.
int iReadBit(BitFile* bit_file);
// `count` bits (1 to 32), most significant first; 0 with io_error 1 when the
// input runs out.
uint32_t lReadBits(BitFile* bit_file, int count);
// Closes the file (file mode) and frees the record.
void CloseInputBitFile(BitFile* bit_file);

// Emits one whole byte to the bit file's backing (file or memory), counting
// out_pos.  0, or -1 with io_error -1.  Used by the bit writers above.
int cz_emit_byte(BitFile* bit_file, int byte);
