// Bit streams over files and memory.
#include "compress/bit_file.h"

#include <cstdlib>

#include "compress/bit_io.h"

static BitFile* new_bit_file() {
    BitFile* bf = static_cast<BitFile*>(std::calloc(1, sizeof(BitFile)));
    if (bf) bf->mask = 0x80;
    return bf;
}

BitFile* OpenOutputBitFile(const char* name) {
    MemoryStreams.out_pos = 0;
    BitFile* bf = new_bit_file();
    if (!bf || MemoryStreams.out_buffer) return bf;
    bf->stream = cz_stream_open(name, "wb");
    if (!bf->stream) {
        std::free(bf);
        return nullptr;
    }
    return bf;
}

BitFile* OpenInputBitFile(const char* name) {
    MemoryStreams.in_pos = 0;
    BitFile* bf = new_bit_file();
    if (!bf || MemoryStreams.in_buffer) return bf;
    bf->stream = cz_stream_open(name, "rb");
    if (!bf->stream) {
        std::free(bf);
        return nullptr;
    }
    return bf;
}

int cz_emit_byte(BitFile* bit_file, int byte) { return cz_put_byte(bit_file, byte); }

int iWriteBit(BitFile* bit_file, int bit) { return cz_put_bits(bit_file, bit ? 1u : 0u, 1); }

int iWriteBits(BitFile* bit_file, uint32_t value, int count) {
    if (count < 1 || count > 32) return 0;
    return cz_put_bits(bit_file, value, count);
}

int iCloseOutputBitFile(BitFile* bit_file) {
    if (!bit_file) return -1;
    int result = 0;
    // Pending bits sit in the high end of the rack; the rest are zero.
    if (bit_file->mask != 0x80 && cz_put_byte(bit_file, bit_file->rack & 0xFF) != 0) result = -1;
    // The file is closed and the record freed even after a failed last byte,
    // so that the caller can still remove the file.
    if (bit_file->stream && cz_stream_close(bit_file->stream) != 0) {
        MemoryStreams.io_error = -1;
        result = -1;
    }
    std::free(bit_file);
    return result;
}

int iReadBit(BitFile* bit_file) {
    if (bit_file->mask == 0x80 && !cz_fetch_byte(bit_file)) {
        MemoryStreams.io_error = -1;
        return -1;
    }
    int bit = bit_file->rack & bit_file->mask;
    bit_file->mask = bit_file->mask == 1 ? 0x80 : (uint8_t)(bit_file->mask >> 1);
    return bit ? 1 : 0;
}

uint32_t lReadBits(BitFile* bit_file, int count) {
    if (count < 1 || count > 32) return 0;
    uint32_t value;
    if (!cz_get_bits(bit_file, count, &value)) {
        MemoryStreams.io_error = 1;
        return 0;
    }
    return value;
}

void CloseInputBitFile(BitFile* bit_file) {
    if (!bit_file) return;
    if (bit_file->stream) cz_stream_close(bit_file->stream);
    std::free(bit_file);
}
