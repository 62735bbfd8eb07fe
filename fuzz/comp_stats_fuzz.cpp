// Compressed files as found on disk: iReadCompStats and iExpandFile on any
// bytes (in place and in memory).  An expansion either succeeds or leaves the
// file exactly as it was, and never leaves a .TCF file behind.
//
// Input: byte 0 answers the questions (bit 0: Yes to overwriting a backup,
// bit 1: a stale backup is present), the rest is the file.
#include <cstring>

#include "compress/compress_file.h"
#include "fileops/file_services.h"
#include "fuzz/coder_fuzz_common.h"
#include "platform/ui.h"

namespace {
unsigned answers;
int quiet_box(const char*, const char*, unsigned style) {
    if ((style & 0x0F) != LQ_MB_YESNO) return LQ_IDOK;
    return answers & 1 ? LQ_IDYES : LQ_IDNO;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cz_fuzz::folder("lq_comp_stats_fuzz");
    if (size < 1 || size > 4096) return 0;
    lq_set_message_box(quiet_box);
    answers = data[0];
    ++data;
    --size;
    std::remove("file.dat");
    std::remove("file.TCF");
    cz_fuzz::write_file("file.dat", data, size);
    if (answers & 2) cz_fuzz::write_file("file.TCF", data, size / 2);
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    CompStats record;
    iReadCompStats(&record, "file.dat");
    int result = iExpandFile("file.dat", 1, &cs_data);
    if (result != 0) {
        std::string after = cz_fuzz::read_file("file.dat");
        if (after.size() != size || (size && std::memcmp(after.data(), data, size) != 0))
            std::abort();
    }
    if (!(answers & 2) && std::filesystem::exists("file.TCF")) std::abort();

    // The same bytes as an expanded editor text: record checked, data coded.
    PfGlobal block = pf_global_alloc(64);
    std::string copy((const char*)data, size);
    MemoryStreams.in_buffer = (uint8_t*)copy.data();
    MemoryStreams.in_length = (int32_t)size;
    MemoryStreams.out_block = block;
    MemoryStreams.out_buffer = (uint8_t*)pf_global_lock(block);
    MemoryStreams.out_capacity = 64;
    iExpandFile("file.dat", 1, &cs_data);
    if (MemoryStreams.out_buffer && MemoryStreams.out_pos > MemoryStreams.out_capacity)
        std::abort();
    if (MemoryStreams.out_block) {
        pf_global_unlock(MemoryStreams.out_block);
        pf_global_free(MemoryStreams.out_block);
    }
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    return 0;
}
