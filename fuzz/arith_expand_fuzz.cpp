// The arithmetic expander on any bytes (see check_expander).  Inputs are kept
// short: a stream can code long runs in very few bits.
#include "fuzz/coder_fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cz_fuzz::folder("lq_arith_expand_fuzz");
    if (size <= 2048) cz_fuzz::check_expander(cz_fuzz::Coder::arith, data, size);
    return 0;
}
