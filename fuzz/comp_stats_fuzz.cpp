// Compressed files as found on disk: iReadCompStats and iExpandFile on any
// bytes (in place and in memory).  An expansion either succeeds or leaves the
// file exactly as it was, and never leaves a .TCF file behind.  Input: byte 0
// answers (bit 0: Yes to overwriting a backup; bit 1: a stale backup is
// present), the rest is the file.
#include "compress/compress_file.h"
#include "fuzz/coder_fuzz_common.h"
#include "platform/ui.h"

static unsigned answers;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cz_fuzz::folder("lq_comp_stats_fuzz");
    if (size < 1 || size > 4096) return 0;
    lq_set_message_box([](const char*, const char*, unsigned style) -> int {
        return (style & 0x0F) != LQ_MB_YESNO ? LQ_IDOK : answers & 1 ? LQ_IDYES : LQ_IDNO;
    });
    answers = *data++;
    std::string file((const char*)data, --size);
    std::filesystem::remove("file.TCF");
    cz_fuzz::write_file("file.dat", file);
    if (answers & 2) cz_fuzz::write_file("file.TCF", file.substr(0, size / 2));
    MemoryStreams = CzMemoryStreams{};
    CompStats record;
    iReadCompStats(&record, "file.dat");
    if (iExpandFile("file.dat", 1, &cs_data) != 0 && cz_fuzz::read_file("file.dat") != file)
        std::abort();
    if (!(answers & 2) && std::filesystem::exists("file.TCF")) std::abort();
    cz_fuzz::MemoryMode memory(file, 64);  // as an expanded editor text: record checked, data coded
    iExpandFile("file.dat", 1, &cs_data);
    return 0;
}
