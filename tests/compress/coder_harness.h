// The compress tests' shared pieces (coder runs: the fuzz targets'): fresh records, golden files.
#pragma once

#include "compress/compress_file.h"
#include "fuzz/coder_fuzz_common.h"
#include "tests/support/lq_test.h"

namespace cz = cz_fuzz;
using cz_fuzz::Coder;
using cz_fuzz::MemoryMode;

inline void cz_fresh_state() {
    MemoryStreams = CzMemoryStreams{}, cs_data = {};
    gPreCompressSize = 0, cz_arith_memory_limit = 0, cz_stop_when_larger = true;
    cz_arith_lookahead_from = CZ_ARITH_LOOKAHEAD_FROM;
}
inline const bool cz_fresh_state_registered = (lq_register_reset(cz_fresh_state), true);

// A file of tests/golden/compress (see the README there).
inline std::string cz_golden(const std::string& name) {
    return cz::read_file((lq_source_dir() + "/tests/golden/compress/" + name).c_str());
}
