// bench_encrypt [MB] [FOLDER]: the Veilmix cipher and file encryption beside
// their peers, on MB megabytes (default 100) in FOLDER (default .):
//
//   cipher in memory  lq_veilmix_transform over a buffer in pieces of 65500
//                     bytes, keys of 7 (the most rekeys) and 20 characters
//   openssl           `openssl enc -aes-256-ctr` file to file, same data
//   copy              a read/write loop through a 65500-byte buffer, file to
//                     file on the same file system (the I/O floor of an
//                     in-place transform)
//   iVeilmixFile      encryption, and decryption keeping the backup (no
//                     wipe); the encryption's final wipe of its backup is
//                     timed apart (the wipe's flushes belong to bench_wipe)
//
// Targets: cipher in memory >= openssl; iVeilmixFile less its final wipe
// <= 1.25 x copy.  Times are the best of three rounds.
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

#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "platform/fault.h"
#include "platform/ui.h"

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int quiet_box(const char* text, const char* caption, unsigned style) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return lq_default_answer(style);
}

void make_file(const std::string& p, size_t bytes) {
    std::vector<unsigned char> block(1 << 20);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f) {
        std::perror(p.c_str());
        std::exit(2);
    }
    for (size_t done = 0; done < bytes; done += block.size()) {
        for (auto& c : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            c = (unsigned char)(x >> 24);
        }
        std::fwrite(block.data(), 1, std::min(block.size(), bytes - done), f);
    }
    std::fclose(f);
}

double copy_loop(const std::string& from, const std::string& to) {
    double t = now();
    int in = open(from.c_str(), O_RDONLY);
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0) std::exit(2);
    std::vector<char> buf(65500);
    ssize_t n;
    while ((n = read(in, buf.data(), buf.size())) > 0)
        if (write(out, buf.data(), (size_t)n) != n) std::exit(2);
    close(in);
    close(out);
    return now() - t;
}

// Writes seen during an iVeilmixFile call: the record (135 bytes) is the
// last write of the encryption proper; the next write starts the wipe.
std::vector<std::pair<double, uint32_t>> writes;
void observe(PfFile, int64_t, const void*, uint32_t n) { writes.push_back({now(), n}); }

double wipe_start() {
    for (size_t i = 0; i + 1 < writes.size(); ++i)
        if (writes[i].second == 135) return writes[i + 1].first;
    return writes.empty() ? now() : writes.back().first;
}

void set_passwords(const char* p1, const char* p2) {
    std::memset(gPassword1, 0, sizeof gPassword1);
    std::memset(gPassword2, 0, sizeof gPassword2);
    std::strcpy(gPassword1, p1);
    std::strcpy(gPassword2, p2);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t mb = argc > 1 ? (size_t)std::atoi(argv[1]) : 100;
    const std::string folder = argc > 2 ? argv[2] : ".";
    const size_t bytes = mb << 20;
    const std::string plain = folder + "/bench_encrypt.dat";
    const std::string copy = folder + "/bench_encrypt.copy";
    const std::string aes = folder + "/bench_encrypt.aes";
    const int rounds = 3;
    lq_set_message_box(quiet_box);
    make_file(plain, bytes);

    // Cipher in memory.
    double cipher[2] = {1e9, 1e9};
    const char* keys[2][2] = {{"Lockqui", "Quillok"},
                              {"twentycharacterspass", "PASSWORDOFTWENTYCHRS"}};
    {
        std::vector<uint8_t> buf(bytes);
        FILE* f = std::fopen(plain.c_str(), "rb");
        if (!f || std::fread(buf.data(), 1, bytes, f) != bytes) return 2;
        std::fclose(f);
        for (int k = 0; k < 2; ++k) {
            set_passwords(keys[k][0], keys[k][1]);
            for (int r = 0; r < rounds; ++r) {
                VeilStats rec{};
                rec.mode = 3;
                iResetVeilmix(&rec);
                double t = now();
                for (size_t off = 0; off < bytes; off += 65500)
                    lq_veilmix_transform((uint32_t)std::min<size_t>(65500, bytes - off),
                                         buf.data() + off, 3, 1);
                cipher[k] = std::min(cipher[k], now() - t);
            }
        }
    }

    // openssl enc -aes-256-ctr.
    double openssl = -1;
    if (std::system("command -v openssl >/dev/null 2>&1") == 0) {
        const std::string cmd = "openssl enc -aes-256-ctr -K " + std::string(64, '7') + " -iv " +
                                std::string(32, '3') + " -in '" + plain + "' -out '" + aes + "'";
        openssl = 1e9;
        for (int r = 0; r < rounds; ++r) {
            unlink(aes.c_str());
            double t = now();
            if (std::system(cmd.c_str()) != 0) {
                openssl = -1;
                break;
            }
            openssl = std::min(openssl, now() - t);
        }
        unlink(aes.c_str());
    }

    // Plain copy.
    double copied = 1e9;
    for (int r = 0; r < rounds; ++r) {
        unlink(copy.c_str());
        copied = std::min(copied, copy_loop(plain, copy));
    }
    unlink(copy.c_str());

    // iVeilmixFile, encryption then decryption, on the same file, for both
    // key lengths.
    if (chdir(folder.c_str()) != 0) return 2;
    const std::string name = "bench_encrypt.dat";
    double enc_total[2] = {1e9, 1e9}, enc_less_wipe[2] = {1e9, 1e9}, dec[2] = {1e9, 1e9};
    pf_set_write_observer(observe);
    for (int k = 0; k < 2; ++k) {
        for (int r = 0; r < rounds; ++r) {
            lq_crypt_reset();
            set_passwords(keys[k][0], keys[k][1]);
            iDefaultVeilStats(&gVeilStats);
            std::strcpy(gRiddle, "benchmark");
            gVeilStats.riddlelength = 10;
            writes.clear();
            double t = now();
            if (iVeilmixFile(name.c_str(), &gVeilStats, 1) != 0) return 2;
            double end = now();
            enc_total[k] = std::min(enc_total[k], end - t);
            enc_less_wipe[k] = std::min(enc_less_wipe[k], wipe_start() - t);

            int16_t header = 0;
            if (iScanFileBytes(name.c_str(), &gVeilStats, 1, &header, 0, 1) != 0) return 2;
            gMakeBackup = 1;  // keep the backup: no wipe in the timing
            t = now();
            if (iVeilmixFile(name.c_str(), &gVeilStats, -1) != 0) return 2;
            dec[k] = std::min(dec[k], now() - t);
            chmod("bench_encrypt.BED", 0644);
            unlink("bench_encrypt.BED");
        }
    }
    pf_set_write_observer(nullptr);
    unlink(name.c_str());

    const double m = (double)bytes / 1e6;
    std::printf("bench_encrypt: %zu MB in %s (best of %d)\n\n", mb, folder.c_str(), rounds);
    std::printf("  cipher in memory, key of 7     %7.3f s  %7.0f MB/s\n", cipher[0], m / cipher[0]);
    std::printf("  cipher in memory, key of 20    %7.3f s  %7.0f MB/s\n", cipher[1], m / cipher[1]);
    if (openssl > 0)
        std::printf("  openssl enc -aes-256-ctr       %7.3f s  %7.0f MB/s\n", openssl, m / openssl);
    else
        std::printf("  openssl enc -aes-256-ctr       (not available)\n");
    std::printf("  copy (read/write loop)         %7.3f s  %7.0f MB/s\n", copied, m / copied);
    for (int k = 0; k < 2; ++k) {
        const int len = k ? 20 : 7;
        std::printf("  iVeilmixFile encrypt, key %-2d   %7.3f s  (with its final wipe)\n", len,
                    enc_total[k]);
        std::printf("    less the wipe                %7.3f s  %7.0f MB/s\n", enc_less_wipe[k],
                    m / enc_less_wipe[k]);
        std::printf(
            "  iVeilmixFile decrypt, key %-2d   %7.3f s  %7.0f MB/s  (backup kept, no wipe)\n", len,
            dec[k], m / dec[k]);
    }
    std::printf("\n");
    if (openssl > 0) {
        std::printf("  ratio cipher / openssl speed, key 7 and 20    %5.2f  %5.2f  (target >= 1)\n",
                    openssl / cipher[0], openssl / cipher[1]);
    }
    std::printf("  ratio encrypt less wipe / copy, key 7 and 20  %5.2f  %5.2f  (target <= 1.25)\n",
                enc_less_wipe[0] / copied, enc_less_wipe[1] / copied);
    std::printf("  ratio decrypt / copy, key 7 and 20            %5.2f  %5.2f\n", dec[0] / copied,
                dec[1] / copied);
    return 0;
}
