// iUUDecode on any file: the header search, the mode questions (answered by
// the first input byte), the name checks, the text-mode reading and the line
// decoder, with the file written beside it in a private folder.  Whatever the
// input, nothing appears outside that folder and no file is named by a
// refused name.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "platform/ui.h"
#include "uu/uu_common.h"
#include "uu/uu_decode.h"

namespace fs = std::filesystem;

namespace {

unsigned answer_bits;

int scripted_box(const char*, const char*, unsigned style) {
    if ((style & 0x0F) != LQ_MB_YESNO) return LQ_IDOK;
    bool yes = answer_bits & 1;
    answer_bits = answer_bits >> 1 | (answer_bits & 1) << 7;
    return yes ? LQ_IDYES : LQ_IDNO;
}

// A folder of this process's own, removed at exit: runs side by side (two
// trees tested at once) must not remove each other's files.
const fs::path& folder() {
    static fs::path base, dir;
    if (!dir.empty()) return dir;
    do {
        base =
            fs::temp_directory_path() / ("lq_uu_decode_" + std::to_string(std::random_device()()));
    } while (fs::exists(base));
    std::atexit([] {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(base, ec);
    });
    fs::create_directories(dir = base / "in");
    fs::current_path(dir);
    lq_set_message_box(scripted_box);
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 1 << 16) return 0;
    const fs::path& dir = folder();
    answer_bits = data[0];
    std::string uu = (dir / "f.uu").make_preferred().string();
    FILE* f = std::fopen(uu.c_str(), "wb");
    if (!f || std::fwrite(data + 1, 1, size - 1, f) != size - 1 || std::fclose(f)) std::abort();
    char title[LQ_FILE_TITLE_SIZE] = "f.uu";
    int r = iUUDecode(uu.c_str(), 1, title);
    if (r != 0 && r != 1 && r != -1 && r != -2 && r != -4) std::abort();
    // Nothing beside the folder.
    for (auto& e : fs::directory_iterator(dir.parent_path()))
        if (e.path().filename() != "in") std::abort();
    std::error_code ec;
    for (auto& e : fs::directory_iterator(dir, ec)) {
        std::string name = e.path().filename().string();
        if (e.is_directory() || (name != "f.uu" && !uu_plain_name(name.c_str()))) std::abort();
        fs::permissions(e.path(), fs::perms::owner_write, fs::perm_options::add, ec);
        fs::remove(e.path(), ec);
    }
    return 0;
}
