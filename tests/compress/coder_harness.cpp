#include "tests/compress/coder_harness.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "compress/arith.h"
#include "compress/bit_file.h"
#include "compress/compress_file.h"
#include "compress/lzss.h"
#include "platform/platform.h"
#include "tests/support/lq_test.h"

void cz_reset_memory_streams() { std::memset(&MemoryStreams, 0, sizeof MemoryStreams); }

namespace {
// Every test starts in file mode with fresh records.
struct ResetRegistration {
    ResetRegistration() {
        lq_register_reset([] {
            cz_reset_memory_streams();
            std::memset(&cs_data, 0, sizeof cs_data);
            gPreCompressSize = 0;
            cz_arith_memory_limit = 0;
            cz_stop_when_larger = true;
        });
    }
} registration;

std::string slurp(const std::string& p) {
    PfFaultPause pause;
    std::ifstream f(p, std::ios::binary);
    std::ostringstream os;
    os << f.rdbuf();
    return os.str();
}

}  // namespace

CzMemoryMode::CzMemoryMode(const std::string& in, int capacity) : input(in) {
    cz_reset_memory_streams();
    if (capacity < 0) capacity = (int)input.size() + 1;
    MemoryStreams.in_buffer = (uint8_t*)input.data();
    MemoryStreams.in_length = (int32_t)input.size();
    MemoryStreams.out_block = pf_global_alloc((uint32_t)(capacity > 0 ? capacity : 1));
    MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(MemoryStreams.out_block);
    MemoryStreams.out_capacity = capacity;
}

std::string CzMemoryMode::output() const {
    if (!MemoryStreams.out_buffer) return {};
    return std::string((const char*)MemoryStreams.out_buffer, (size_t)MemoryStreams.out_pos);
}

CzMemoryMode::~CzMemoryMode() {
    if (MemoryStreams.out_block) {
        pf_global_unlock(MemoryStreams.out_block);
        pf_global_free(MemoryStreams.out_block);
    }
    cz_reset_memory_streams();
}

CoderRun cz_compress_memory(Coder coder, const std::string& input, int capacity) {
    CzMemoryMode setup(input, capacity);
    CoderRun run;
    BitFile* bf = OpenOutputBitFile(nullptr);
    MemoryStreams.in_pos = 0;
    run.result = coder == Coder::lzss ? iLzssCompress(nullptr, bf) : iArithCompress(nullptr, bf, 3);
    run.close = iCloseOutputBitFile(bf);
    run.io_error = MemoryStreams.io_error;
    run.bytes = setup.output();
    return run;
}

CoderRun cz_expand_memory(Coder coder, const std::string& input, int capacity) {
    CzMemoryMode setup(input, capacity);
    CoderRun run;
    BitFile* bf = OpenInputBitFile(nullptr);
    MemoryStreams.out_pos = 0;
    run.result = coder == Coder::lzss ? iLzssExpand(bf, nullptr) : iArithExpand(bf, nullptr, 3);
    run.in_pos = MemoryStreams.in_pos;
    CloseInputBitFile(bf);
    run.io_error = MemoryStreams.io_error;
    run.bytes = setup.output();
    return run;
}

CoderRun cz_compress_file(Coder coder, const std::string& in_path, const std::string& out_path) {
    cz_reset_memory_streams();
    CoderRun run;
    CzStream* in = cz_stream_open(in_path.c_str(), "rb");
    BitFile* bf = OpenOutputBitFile(out_path.c_str());
    if (!in || !bf) {
        run.result = -100;
    } else {
        MemoryStreams.in_pos = 0;
        run.result = coder == Coder::lzss ? iLzssCompress(in, bf) : iArithCompress(in, bf, 3);
    }
    if (bf) run.close = iCloseOutputBitFile(bf);
    if (in) cz_stream_close(in);
    run.io_error = MemoryStreams.io_error;
    run.bytes = slurp(out_path);
    return run;
}

CoderRun cz_expand_file(Coder coder, const std::string& in_path, const std::string& out_path) {
    cz_reset_memory_streams();
    CoderRun run;
    BitFile* bf = OpenInputBitFile(in_path.c_str());
    CzStream* out = cz_stream_open(out_path.c_str(), "wb");
    if (!bf || !out) {
        run.result = -100;
    } else {
        MemoryStreams.out_pos = 0;
        run.result = coder == Coder::lzss ? iLzssExpand(bf, out) : iArithExpand(bf, out, 3);
    }
    run.in_pos = MemoryStreams.in_pos;
    if (out) run.close = cz_stream_close(out);
    if (bf) CloseInputBitFile(bf);
    run.io_error = MemoryStreams.io_error;
    run.bytes = slurp(out_path);
    return run;
}

std::vector<CzLzssToken> cz_lzss_tokens(const std::string& stream, long* bits) {
    std::vector<CzLzssToken> out;
    size_t bit = 0;
    auto take = [&](int n) {
        uint32_t v = 0;
        for (int k = 0; k < n; ++k, ++bit)
            v = (v << 1) | (((uint8_t)stream[bit / 8] >> (7 - bit % 8)) & 1);
        return v;
    };
    for (;;) {
        if (bit + 13 > stream.size() * 8) {
            *bits = -1;
            return out;
        }
        if (take(1)) {
            out.push_back({true, take(8), 1});
        } else {
            uint32_t position = take(12);
            if (position == 0) break;
            uint32_t length = take(4) + 2;
            out.push_back({false, position, length});
        }
    }
    *bits = (long)bit;
    return out;
}

std::string cz_golden(const std::string& name) {
    return slurp(lq_source_dir() + "/tests/golden/compress/" + name);
}

std::vector<std::string> cz_reference_samples() {
    std::vector<std::string> names;
    for (auto& e :
         std::filesystem::directory_iterator(lq_source_dir() + "/tests/golden/compress/reference"))
        if (!e.path().has_extension()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void cz_expect_same_coding(Coder coder, const std::string& made, const std::string& golden,
                           const std::string& what) {
    if (coder == Coder::arith) {
        EXPECT_TRUE(made == golden) << what << " is not written as the reference writes it";
        return;
    }
    ASSERT_EQ(made.size(), golden.size()) << what;
    long made_bits = 0, golden_bits = 0;
    std::vector<CzLzssToken> a = cz_lzss_tokens(made, &made_bits);
    std::vector<CzLzssToken> b = cz_lzss_tokens(golden, &golden_bits);
    ASSERT_GT(golden_bits, 0) << what;
    EXPECT_EQ(made_bits, golden_bits) << what;
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_TRUE(a[i].same_parse(b[i])) << what << ": token " << i;
    size_t stream_bytes = (size_t)(golden_bits + 7) / 8;
    EXPECT_TRUE(made.substr(stream_bytes) == golden.substr(stream_bytes)) << what << " record";
}
