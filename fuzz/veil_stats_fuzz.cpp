// iReadVeilStats and iScanFileBytes on any file, then a decryption of what the reader accepts:
// it succeeds or leaves the encrypted file under its name or in a backup.  Input: byte 0 picks
// the size word appended (none, 135, 774, 390, 287, 277); byte 1 the answers (bit i: i-th
// question Yes; bit 7 also decrypts); the rest is the file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "platform/ui.h"

namespace fs = std::filesystem;
static unsigned answers, asked;  // the questions' answers, bit by bit; the questions asked
static int scripted_box(const char*, const char*, unsigned style) {
    if ((style & 0x0F) != LQ_MB_YESNO) return LQ_IDOK;
    return (answers >> (asked++ & 7)) & 1 ? LQ_IDYES : LQ_IDNO;
}

// This process's own folder, emptied after each input (read-only files made writable first, for
// Windows), removed at exit.
static struct Folder {
    const fs::path dir = fs::temp_directory_path() /
                         ("lq_veil_stats_fuzz_" + std::to_string(std::random_device{}()));
    void clear() {
        std::error_code ec;
        for (auto& e : fs::directory_iterator(dir, ec))
            fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec),
                fs::remove(e.path(), ec);
    }
    ~Folder() {
        std::error_code ec;
        clear(), fs::current_path(fs::temp_directory_path(), ec), fs::remove(dir, ec);
    }
} folder;

static std::string slurp(const char* name) {
    std::ifstream f(name, std::ios::binary);
    return f ? std::string(std::istreambuf_iterator<char>(f), {}) : "<missing>";
}
static void check(bool ok, const char* what) {
    if (!ok) std::fprintf(stderr, "veil_stats_fuzz: %s\n", what), std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    fs::create_directories(folder.dir);
    fs::current_path(folder.dir);
    static const int16_t sizes[] = {0, 135, 774, 390, 287, 277};
    const int16_t word = sizes[data[0] % 6];
    std::string file(reinterpret_cast<const char*>(data + 2), size - 2);
    if (word) file += std::string{char(word & 0xFF), char(word >> 8)};
    const char* name = "fuzzed.end";
    std::ofstream(name, std::ios::binary) << file;
    answers = data[1], asked = 0;
    lq_set_message_box(scripted_box);
    lq_crypt_reset();
    VeilStats rec{};
    int16_t header = 0;
    const int read = iReadVeilStats(&rec, name, &header, 1, 1);
    check(std::memchr(gRiddle, 0, sizeof gRiddle), "gRiddle without its zero");
    asked = 0;  // the scan reads the trailers again: the same answers
    const int scan = iScanFileBytes(name, &rec, 1, &header, 1, 1);
    check(read != 0 || scan == 0, "the scan reads the trailers otherwise");
    // Decrypting wipes files (flushed passes): only for inputs that ask.
    if (scan == 0 && (data[1] & 0x80)) {
        std::strcpy(gPassword1, "Lockquill"), std::strcpy(gPassword2, "Quillock7");
        check(iVeilmixFile(name, &rec, -1) == 0 || slurp(name) == file ||
                  slurp("fuzzed.TEF") == file || slurp("fuzzed.BED") == file,
              "the encrypted file is lost");
    }
    folder.clear();
    lq_set_message_box(nullptr);
    return 0;
}
