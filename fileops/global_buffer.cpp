#include "fileops/global_buffer.h"

bool LqGlobalBuffer::get(uint32_t want) {
    uint32_t n = want ? want : 1;
    for (;;) {
        block = pf_global_alloc(n);
        data = static_cast<uint8_t*>(pf_global_lock(block));
        if (data) {
            size = n;
            return true;
        }
        if (block) pf_global_free(block);
        block = nullptr;
        n /= 2;
        if (n <= 1024) return false;
    }
}

void LqGlobalBuffer::release() {
    if (!block) return;
    if (secret) {
        // Through a volatile pointer: a plain memset before the free may be
        // optimised away.
        volatile uint8_t* p = data;
        for (uint32_t i = 0; i < size; ++i) p[i] = 0;
    }
    pf_global_unlock(block);
    pf_global_free(block);
    block = nullptr;
    data = nullptr;
    size = 0;
}
