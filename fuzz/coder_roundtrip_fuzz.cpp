// Both compressors on any bytes against the literal reference coders of
// coder_reference.h: the arithmetic coder writes the reference's bytes, the
// LZSS coder the reference's parse (literals and match lengths step by step;
// its finder may name another of equally long occurrences); both streams
// expand back to the input.
#include "fuzz/coder_fuzz_common.h"
#include "fuzz/coder_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 6000) return 0;  // the reference coders are slow
    std::string input((const char*)data, size), ours, back;
    using cz_fuzz::Coder;
    for (Coder coder : {Coder::lzss, Coder::arith}) {
        bool arith = coder == Coder::arith;
        if (cz_fuzz::run_memory(coder, true, data, size, 16, &ours) != 0) std::abort();
        std::string reference =
            arith ? reference_arith_compress(input) : reference_lzss_compress(input);
        long bits;  // the parse of both, up to the end code
        if (arith ? ours != reference
                  : ours.size() != reference.size() ||
                        cz_fuzz::lzss_parse(ours, &bits) != cz_fuzz::lzss_parse(reference, &bits))
            std::abort();
        if (cz_fuzz::run_memory(coder, false, (const uint8_t*)ours.data(), ours.size(), 0, &back) !=
                0 ||
            back != input)
            std::abort();
    }
    return 0;
}
