// bench_uu [MB] [FOLDER]: UU encoding and decoding of MB megabytes of random
// bytes and of text, whole processes side by side: lockquill-cli uuencode /
// uudecode against GNU sharutils uuencode / uudecode, on FOLDER (default
// /dev/shm, a tmpfs).  Best of several rounds; prints MB/s of the source and
// the speed ratio ours / sharutils (target: 2 or more in each direction), by
// wall time and by processor time.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void write_file(const std::string& p, const std::string& bytes) {
    FILE* f = std::fopen(p.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        std::perror(p.c_str());
        std::exit(2);
    }
    std::fclose(f);
}

std::string random_bytes(size_t n) {
    std::string s(n, '\0');
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (size_t i = 0; i < n; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        s[i] = char(x >> 24);
    }
    return s;
}

std::string text_bytes(size_t n) {
    static const char* words[] = {"the ", "quick ", "brown ", "fox ", "jumps ", "over ",
                                  "a ",   "lazy ",  "dog, ",  "and ", "then ",  "sleeps.\r\n"};
    std::string s;
    s.reserve(n + 16);
    uint32_t x = 12345;
    while (s.size() < n) {
        x = x * 1103515245u + 12345u;
        s += words[(x >> 16) % 12];
    }
    s.resize(n);
    return s;
}

double children_cpu() {
    struct rusage u;
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 1e9;  // best wall time of one run
    double cpu = 1e9;   // best user + system time of one run (shell included)
};

// Best times of `rounds` runs of cmd (after `prep`).  On a shared machine
// the processor time is the steadier figure.
Timing best_of(int rounds, const std::string& prep, const std::string& cmd) {
    Timing best;
    for (int r = 0; r < rounds; ++r) {
        if (!prep.empty() && std::system(prep.c_str()) != 0) std::exit(2);
        double c = children_cpu();
        double t = now();
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", cmd.c_str());
            std::exit(2);
        }
        best.wall = std::min(best.wall, now() - t);
        best.cpu = std::min(best.cpu, children_cpu() - c);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    size_t mb = argc > 1 ? size_t(std::atoi(argv[1])) : 10;
    std::string dir = argc > 2 ? argv[2] : "/dev/shm";
    dir += "/bench_uu." + std::to_string(getpid());
    std::string cli = LQ_CLI_EXE;
    if (std::system("command -v uuencode >/dev/null && command -v uudecode >/dev/null") != 0) {
        std::fprintf(stderr, "bench_uu: GNU sharutils (uuencode, uudecode) not installed\n");
        return 2;
    }
    if (std::system(("mkdir -p " + dir).c_str()) != 0) return 2;
    const int rounds = 7;
    size_t bytes = mb << 20;
    std::printf("bench_uu: %zu MB per input, best of %d whole-process runs, in %s\n", mb, rounds,
                dir.c_str());
    std::printf("%-8s %-22s %10s %10s %7s %9s\n", "input", "direction", "ours MB/s", "GNU MB/s",
                "ratio", "cpu ratio");
    const std::string cd = "cd " + dir + " && ";
    for (int kind = 0; kind < 2; ++kind) {
        const char* label = kind ? "text" : "random";
        write_file(dir + "/src.bin", kind ? text_bytes(bytes) : random_bytes(bytes));
        struct Row {
            const char* what;
            std::string ours_prep, ours, gnu_prep, gnu;
        } rows[] = {
            {"encode (binary mode)", cd + "rm -f src.uub",
             cd + cli + " uuencode --binary --quiet src.bin >/dev/null", "",
             cd + "uuencode src.bin src.bin > gnu.uu"},
            {"decode (binary mode)", cd + "rm -f src.bin",
             cd + cli + " uudecode --quiet src.uub >/dev/null", cd + "rm -f gnu.bin",
             cd + "uudecode -o gnu.bin gnu.uu"},
            {"encode (text mode)", cd + "rm -f src.uut",
             cd + cli + " uuencode --quiet src.bin >/dev/null", "",
             cd + "uuencode src.bin src.bin > gnu.uu"},
            {"decode (text mode)", cd + "rm -f src.bin",
             cd + cli + " uudecode --quiet src.uut >/dev/null", cd + "rm -f gnu.bin",
             cd + "uudecode -o gnu.bin gnu.uu"},
        };
        for (Row& r : rows) {
            Timing ours = best_of(rounds, r.ours_prep, r.ours);
            Timing gnu = best_of(rounds, r.gnu_prep, r.gnu);
            double mbs = double(bytes) / (1 << 20);
            std::printf("%-8s %-22s %10.0f %10.0f %7.2f %9.2f\n", label, r.what, mbs / ours.wall,
                        mbs / gnu.wall, gnu.wall / ours.wall, gnu.cpu / ours.cpu);
            std::fflush(stdout);
        }
        if (std::system((cd + "cmp -s src.bin gnu.bin").c_str()) != 0) {
            std::fprintf(stderr, "bench_uu: decoded bytes differ\n");
            return 2;
        }
    }
    std::system(("rm -rf " + dir).c_str());
    return 0;
}
