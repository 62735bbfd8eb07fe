// The work buffers of the file operations: zero-filled, locked platform
// global memory of at most the wanted size (at least 1 byte).  When the
// allocation or the lock fails the size is halved (integer division) and tried
// again while the half stays above 1024 bytes, so long work goes on in low
// memory with smaller chunks.
#pragma once

#include <cstdint>

#include "platform/platform.h"

struct LqGlobalBuffer {
    PfGlobal block = nullptr;
    uint8_t* data = nullptr;
    uint32_t size = 0;
    // Set when the buffer holds plain text or key material: its bytes are
    // cleared before the block goes back.
    bool secret = false;

    // False when no size above 1024 bytes (or the wanted size itself) can be had.
    bool get(uint32_t want);
    void release();
    ~LqGlobalBuffer() { release(); }
};
