// MemoryStreams and the growth of its output block.
#include "compress/memory_streams.h"

int64_t cz_output_limit = INT64_MAX;

#include "platform/platform.h"

CzMemoryStreams MemoryStreams;

int cz_resize_output(int32_t size) {
    CzMemoryStreams& ms = MemoryStreams;
    if (ms.out_block) pf_global_unlock(ms.out_block);
    PfGlobal block =
        size > 0 && ms.out_block ? pf_global_realloc(ms.out_block, (uint32_t)size) : nullptr;
    void* address = block ? pf_global_lock(block) : nullptr;
    if (!address) {
        // The old block (when the resize failed) stays the caller's to free;
        // its contents up to out_pos are intact.
        if (block) ms.out_block = block;
        ms.out_buffer = nullptr;
        ms.out_capacity = 0;
        ms.io_error = -1;
        return -1;
    }
    ms.out_block = block;
    ms.out_buffer = static_cast<uint8_t*>(address);
    ms.out_capacity = size;
    return 0;
}

int cz_grow_output() {
    CzMemoryStreams& ms = MemoryStreams;
    if (ms.out_pos < ms.out_capacity) return 0;
    if (ms.out_pos > INT32_MAX - 1024) {
        ms.out_buffer = nullptr;
        ms.out_capacity = 0;
        ms.io_error = -1;
        return -1;
    }
    return cz_resize_output(ms.out_pos + 1024);
}
