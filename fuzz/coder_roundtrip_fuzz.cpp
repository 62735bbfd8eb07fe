// Both compressors on any bytes against the literal reference coders of
// coder_reference.h (see coding_difference); both streams expand back to the
// input.
#include "fuzz/coder_fuzz_common.h"
#include "fuzz/coder_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 6000) return 0;  // the reference coders are slow
    std::string input((const char*)data, size);
    for (cz_fuzz::Coder coder : {cz_fuzz::Coder::lzss, cz_fuzz::Coder::arith}) {
        bool arith = coder == cz_fuzz::Coder::arith;
        cz_fuzz::Run ours = cz_fuzz::memory(coder, true, input, 16);
        std::string reference =
            arith ? reference_arith_compress(input) : reference_lzss_compress(input);
        cz_fuzz::Run back = cz_fuzz::memory(coder, false, ours.bytes, 0);
        if (ours.result != 0 || back.result != 0 || back.bytes != input ||
            !cz_fuzz::coding_difference(coder, ours.bytes, reference).empty())
            std::abort();
    }
    return 0;
}
