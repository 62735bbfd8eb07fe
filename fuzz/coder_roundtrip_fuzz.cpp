// Both compressors on any bytes against the literal reference coders of
// coder_reference.h (see form); both streams expand back to the input.
#include "fuzz/coder_fuzz_common.h"
#include "fuzz/coder_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using cz_fuzz::Coder;
    if (size > 6000) return 0;  // the reference coders are slow
    std::string input((const char*)data, size);
    // Odd sizes: the compressor loads ahead from the start (hints that must
    // change nothing).
    cz_arith_lookahead_from = size & 1 ? 0 : CZ_ARITH_LOOKAHEAD_FROM;
    for (Coder coder : {Coder::lzss, Coder::arith}) {
        cz_fuzz::Run ours = cz_fuzz::run(coder, true, input, 16);
        cz_fuzz::Run back = cz_fuzz::run(coder, false, ours.bytes, 0);
        std::string reference = coder == Coder::arith ? reference_arith_compress(input)
                                                      : reference_lzss_compress(input);
        if (ours.result != 0 || back.result != 0 || back.bytes != input ||
            cz_fuzz::form(coder, ours.bytes) != cz_fuzz::form(coder, reference))
            std::abort();
    }
    return 0;
}
