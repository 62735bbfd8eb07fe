// Inline bit and raw byte I/O shared by the bit stream functions and the coders.
//
// A BitFile's mask names the next bit of the current byte, so the number of
// bits still free (output) or unread (input) in that byte is the position of
// the mask's bit plus one: 0x80 -> 8 ... 0x01 -> 1.  Multi-bit transfers move
// as many bits at once as that byte holds instead of one bit per step; the
// bytes produced and consumed are exactly those of the bit-by-bit rules.
#pragma once

#include <cstdint>

#include "compress/bit_file.h"

inline int cz_mask_bits(uint8_t mask) { return 32 - __builtin_clz((unsigned)mask); }

// Emits one whole byte (file or memory), counting out_pos.
inline int cz_put_byte(BitFile* bf, int byte) {
    CzMemoryStreams& ms = MemoryStreams;
    if (bf->stream) {
        if (cz_putc(byte, bf->stream) < 0) {
            ms.io_error = -1;
            return -1;
        }
    } else {
        if (ms.out_pos >= ms.out_capacity && cz_grow_output() != 0) return -1;
        ms.out_buffer[ms.out_pos] = (uint8_t)byte;
    }
    ++ms.out_pos;
    return 0;
}

// The low `count` bits of value (0 to 32), first bit first.
inline int cz_put_bits(BitFile* bf, uint32_t value, int count) {
    int room = cz_mask_bits(bf->mask);
    if (count < room) {
        // The current byte keeps room to spare.
        bf->rack |= (int32_t)((value & ((1u << count) - 1u)) << (room - count));
        bf->mask = (uint8_t)(bf->mask >> count);
        return 0;
    }
    // The bits already in the byte, then value: whole bytes go out, the
    // rest (under 8 bits) starts the next byte.
    uint64_t bits = ((uint64_t)((uint32_t)bf->rack >> room) << count) |
                    (value & (uint32_t)((1ull << count) - 1u));
    int total = 8 - room + count;
    for (; total >= 8; total -= 8)
        if (cz_put_byte(bf, (int)(bits >> (total - 8)) & 0xFF) != 0) return -1;
    bf->rack = (int32_t)((bits << (8 - total)) & 0xFF);
    bf->mask = (uint8_t)(0x80u >> total);
    return 0;
}

// Fetches the next input byte into the rack; false when none is left.
inline bool cz_fetch_byte(BitFile* bf) {
    CzMemoryStreams& ms = MemoryStreams;
    int c;
    if (bf->stream) {
        c = cz_getc(bf->stream);
        if (c < 0) return false;
    } else {
        if (ms.in_pos >= ms.in_length || !ms.in_buffer) return false;
        c = ms.in_buffer[ms.in_pos];
    }
    ++ms.in_pos;
    bf->rack = c;
    return true;
}

// `count` bits (1 to 32); false when the input ran out (value then 0).
inline bool cz_get_bits(BitFile* bf, int count, uint32_t* value) {
    uint32_t v = 0;
    while (count > 0) {
        if (bf->mask == 0x80 && !cz_fetch_byte(bf)) {
            *value = 0;
            return false;
        }
        int avail = cz_mask_bits(bf->mask);
        int take = count < avail ? count : avail;
        uint32_t chunk = ((uint32_t)bf->rack >> (avail - take)) & ((1u << take) - 1u);
        v = (v << take) | chunk;
        count -= take;
        bf->mask = take == avail ? 0x80 : (uint8_t)(bf->mask >> take);
    }
    *value = v;
    return true;
}

// An expander's view of its input bit stream: up to 64 bits taken from the
// BitFile's pending byte and then whole bytes, fetched only when the next
// field needs them, so that in_pos and the BitFile end exactly where the
// bit-by-bit reads would leave them.
struct CzBitReader {
    BitFile* bf;
    uint64_t acc = 0;  // the low `bits` bits are unread, most significant first
    int bits = 0;

    explicit CzBitReader(BitFile* b) : bf(b) {
        if (bf->mask != 0x80) {
            bits = cz_mask_bits(bf->mask);
            acc = (uint64_t)bf->rack & ((1u << bits) - 1u);
        }
    }
    // Hands the unread bits (fewer than 8) back to the BitFile.
    ~CzBitReader() {
        bf->mask = bits ? (uint8_t)(1u << (bits - 1)) : 0x80;
        bf->rack = (int32_t)(acc & 0xFF);
    }
    bool get(int n, uint32_t* value) {
        while (bits < n) {
            if (!cz_fetch_byte(bf)) return false;
            acc = (acc << 8) | (uint32_t)bf->rack;
            bits += 8;
        }
        bits -= n;
        *value = (uint32_t)(acc >> bits) & ((1u << n) - 1u);
        return true;
    }
};

// The next raw input byte of a coder (memory or file), counting in_pos; -1 at
// the end.
inline int cz_read_raw(CzStream* input) {
    CzMemoryStreams& ms = MemoryStreams;
    int c;
    if (ms.in_buffer) {
        if (ms.in_pos >= ms.in_length) return -1;
        c = ms.in_buffer[ms.in_pos];
    } else {
        c = input ? cz_getc(input) : -1;
        if (c < 0) return -1;
    }
    ++ms.in_pos;
    return c;
}

// Puts one expanded byte out (memory or file), counting out_pos.
inline int cz_write_raw(CzStream* output, int c) {
    CzMemoryStreams& ms = MemoryStreams;
    if (ms.out_buffer) {
        if (ms.out_pos >= ms.out_capacity && cz_grow_output() != 0) return -1;
        ms.out_buffer[ms.out_pos] = (uint8_t)c;
    } else if (!output || cz_putc(c, output) < 0) {
        ms.io_error = -1;
        return -1;
    }
    ++ms.out_pos;
    return 0;
}
