// The trailers of encrypted files, as read from disk: iReadVeilStats and
// iScanFileBytes on any bytes, then a decryption of whatever the reader
// accepts (which must either succeed or put the file back).
//
// Input: byte 0 picks the record size word appended to the rest (0: none,
// the rest is the file as it is; 1..5: 135, 774, 390, 287, 277), byte 1 the
// answers to the questions (bit i: the i-th question answered Yes; bit 7 also
// asks for the decryption), the rest is the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "fileops/file_services.h"
#include "platform/ui.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "veil_stats_fuzz: %s\n", what);
    std::abort();
}

unsigned answers;
int asked;

int scripted_box(const char*, const char*, unsigned style) {
    if ((style & 0x0F) != LQ_MB_YESNO) return LQ_IDOK;
    return (answers >> (asked++ & 7)) & 1 ? LQ_IDYES : LQ_IDNO;
}

std::string folder() {
    static std::string dir;
    if (dir.empty()) {
        namespace fs = std::filesystem;
        fs::path d = fs::temp_directory_path() / "lq_veil_stats_fuzz";
        fs::create_directories(d);
        fs::current_path(d);
        dir = d.string();
    }
    return dir;
}

void clear_folder() {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(folder(), ec)) {
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove(e.path(), ec);
    }
}

std::string slurp(const char* name) {
    std::string out;
    FILE* f = std::fopen(name, "rb");
    if (!f) return "<missing>";
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const int16_t sizes[] = {0, 135, 774, 390, 287, 277};
    const int16_t word = sizes[data[0] % 6];
    answers = data[1];
    asked = 0;
    lq_set_message_box(scripted_box);
    folder();
    clear_folder();

    std::string file(reinterpret_cast<const char*>(data + 2), size - 2);
    if (word) {
        file += char(word & 0xFF);
        file += char(word >> 8);
    }
    const char* name = "fuzzed.end";
    {
        FILE* f = std::fopen(name, "wb");
        if (!f) return 0;
        std::fwrite(file.data(), 1, file.size(), f);
        std::fclose(f);
    }

    lq_crypt_reset();
    VeilStats rec{};
    int16_t header = 0;
    const int read = iReadVeilStats(&rec, name, &header, 1, 1);
    // The Riddle always ends inside its buffer.
    if (!std::memchr(gRiddle, 0, sizeof gRiddle)) fail("gRiddle without its zero");
    asked = 0;  // the scan reads the trailers again and gets the same answers
    const int scan = iScanFileBytes(name, &rec, 1, &header, 1, 1);
    if (read == 0 && scan != 0) fail("the scan reads the trailers otherwise");
    // Decrypting wipes files (flushed passes): only for inputs that ask.
    if (scan == 0 && (data[1] & 0x80)) {
        std::strcpy(gPassword1, "Lockquill");
        std::strcpy(gPassword2, "Quillock7");
        const int r = iVeilmixFile(name, &rec, -1);
        // Unless it is decrypted, the encrypted file is not lost: it is under
        // its name (untouched or restored, after a failed expansion too) or
        // in its backup.
        if (r != 0 && slurp(name) != file && slurp("fuzzed.TEF") != file &&
            slurp("fuzzed.BED") != file)
            fail("the encrypted file is lost");
    }
    clear_folder();
    lq_set_message_box(nullptr);
    return 0;
}
