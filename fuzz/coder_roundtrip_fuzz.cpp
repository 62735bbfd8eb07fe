// Both compressors on any bytes against the literal reference coders of
// coder_reference.h: the arithmetic coder writes the reference's bytes, the
// LZSS coder the reference's parse (literals and match lengths step by step;
// its finder may name another of equally long occurrences); both streams
// expand back to the input.
#include "fuzz/coder_fuzz_common.h"
#include "fuzz/coder_reference.h"

// Literal flags, literal bytes and match lengths of an LZSS stream, in order.
static std::string lzss_parse(const std::string& s) {
    std::string parse;
    size_t bit = 0;
    auto take = [&](int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k, ++bit)
            v = (v << 1) | (bit / 8 < s.size() ? ((uint8_t)s[bit / 8] >> (7 - bit % 8)) & 1 : 0);
        return v;
    };
    while (bit < s.size() * 8) {
        bool literal = take(1);
        if (!literal && take(12) == 0) break;
        parse += literal ? 'l' : 'm';
        parse += (char)take(literal ? 8 : 4);
    }
    return parse;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 6000) return 0;  // the reference coders are slow
    std::string input((const char*)data, size), ours, back;
    using cz_fuzz::Coder;
    for (Coder coder : {Coder::lzss, Coder::arith}) {
        bool arith = coder == Coder::arith;
        if (cz_fuzz::run_memory(coder, true, data, size, 16, &ours) != 0) std::abort();
        std::string reference =
            arith ? reference_arith_compress(input) : reference_lzss_compress(input);
        if (arith ? ours != reference
                  : ours.size() != reference.size() || lzss_parse(ours) != lzss_parse(reference))
            std::abort();
        if (cz_fuzz::run_memory(coder, false, (const uint8_t*)ours.data(), ours.size(), 0, &back) !=
                0 ||
            back != input)
            std::abort();
    }
    return 0;
}
