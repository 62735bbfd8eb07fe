// bench_wipe [MB] [FOLDER]: iWipeFile against a minimal loop that makes the
// same system calls (per 65500-byte chunk four pattern writes, each followed by
// fsync; then truncate, rename, unlink), and against `shred -n 4 -u`, on one
// file system.  Prints MB/s and ratios; the target is ours >= 0.9 x the loop.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fileops/wipe.h"
#include "platform/ui.h"

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void make_file(const std::string& p, size_t bytes) {
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = char(i * 131 + 7);
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) {
        std::perror(p.c_str());
        std::exit(2);
    }
    for (size_t done = 0; done < bytes; done += block.size())
        std::fwrite(block.data(), 1, std::min(block.size(), bytes - done), f);
    std::fclose(f);
    sync();
}

void reference_loop(const std::string& p) {
    int fd = open(p.c_str(), O_RDWR);
    off_t size = lseek(fd, 0, SEEK_END);
    std::vector<unsigned char> buf(65500);
    const unsigned char pats[4] = {0x00, 0x0F, 0xFF, 0x00};
    for (off_t pos = 0; pos < size; pos += (off_t)buf.size()) {
        size_t chunk = (size_t)std::min<off_t>((off_t)buf.size(), size - pos);
        for (unsigned char pat : pats) {
            std::memset(buf.data(), pat, chunk);
            lseek(fd, pos, SEEK_SET);
            if (write(fd, buf.data(), chunk) != (ssize_t)chunk) std::abort();
            fsync(fd);
        }
    }
    lseek(fd, 0, SEEK_SET);
    if (ftruncate(fd, 0) != 0) std::abort();
    close(fd);
    std::string last = p.substr(0, p.rfind('/') + 1) + "\xFF";
    rename(p.c_str(), last.c_str());
    unlink(last.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    size_t mb = argc > 1 ? (size_t)std::atoi(argv[1]) : 100;
    std::string folder = argc > 2 ? argv[2] : ".";
    std::string p = folder + "/bench_wipe.dat";
    size_t bytes = mb << 20;
    const int rounds = 3;
    double ours = 1e9, loop = 1e9, shred = 1e9;
    bool have_shred = std::system("command -v shred >/dev/null 2>&1") == 0;
    for (int r = 0; r < rounds; ++r) {
        make_file(p, bytes);
        double t = now();
        if (iWipeFile(p.c_str(), 0) != 0) return 2;
        ours = std::min(ours, now() - t);

        make_file(p, bytes);
        t = now();
        reference_loop(p);
        loop = std::min(loop, now() - t);

        if (have_shred) {
            make_file(p, bytes);
            t = now();
            std::string cmd = "shred -n 4 -u '" + p + "'";
            if (std::system(cmd.c_str()) != 0) have_shred = false;
            shred = std::min(shred, now() - t);
        }
    }
    double mbs = (double)bytes / (1 << 20);
    std::printf("wipe of %zu MB in %s, best of %d\n", mb, folder.c_str(), rounds);
    std::printf("  iWipeFile          %8.3f s  %8.1f MB/s\n", ours, mbs / ours);
    std::printf("  same-calls loop    %8.3f s  %8.1f MB/s\n", loop, mbs / loop);
    if (have_shred) std::printf("  shred -n 4 -u     %8.3f s  %8.1f MB/s\n", shred, mbs / shred);
    std::printf("ratio iWipeFile / loop speed: %.3f (target >= 0.9)\n", loop / ours);
    if (have_shred) std::printf("ratio iWipeFile / shred speed: %.3f\n", shred / ours);
    return 0;
}
