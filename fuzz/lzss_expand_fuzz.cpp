// The LZSS expander on any bytes (see check_expander).
#include "fuzz/coder_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cz_fuzz::folder("lq_lzss_expand_fuzz");
    if (size <= 8192) cz_fuzz::check_expander(cz_fuzz::Coder::lzss, data, size);
    return 0;
}
