// Compression benchmark: our two coders beside their peers on one corpus.
//
//   bench_compress [CORPUS_DIR] [MEGABYTES] [ONLY]
//   bench_compress --run lzss|arith compress|expand IN OUT
//
// The second form runs one coder once, file to file (for profiling and for
// comparing the outputs of two builds).
// ONLY (text, exe or random) runs one file of the corpus.
// The corpus is built once in CORPUS_DIR (default ./compress-corpus) and
// reused: text.bin (the plain-text documentation of this system, files in
// sorted path order, .gz files expanded), exe.bin (the start of the C++
// compiler's executable), random.bin (fixed-seed pseudo-random bytes), each
// MEGABYTES (default 10) long.  Every coder runs file to file; a peer whose
// tool is missing is skipped.  Times are CPU time (user + system, the peers'
// measured as finished children, which includes their shell), best of three.
// Peak memory: the arithmetic model's peak bytes for ours (LZSS: its fixed
// arrays), a peer's peak resident set while compressing (one more run under
// GNU time, not counted in the times).
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "compress/arith.h"
#include "compress/bit_file.h"
#include "compress/byte_stream.h"
#include "compress/compress_file.h"
#include "compress/memory_streams.h"
#include "compress/lzss.h"

namespace fs = std::filesystem;

namespace {

size_t corpus_bytes = 10u << 20;
bool stop_when_larger = false;  // compress as the file operation does (see our_compress)
int64_t stopped_at = 0;         // input bytes read by the last compression

// CPU seconds of this process and of its finished children: the machine is
// shared, so wall time would measure the neighbours too.
double now() {
    struct rusage self, children;
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    auto secs = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return secs(self.ru_utime) + secs(self.ru_stime) + secs(children.ru_utime) +
           secs(children.ru_stime);
}

bool run_shell(const std::string& cmd) { return std::system(cmd.c_str()) == 0; }

bool have_tool(const char* tool) {
    return run_shell(std::string("command -v ") + tool + " >/dev/null 2>&1");
}

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

long file_size(const std::string& p) {
    std::error_code ec;
    auto n = fs::file_size(p, ec);
    return ec ? -1 : (long)n;
}

void write_all(const std::string& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), (std::streamsize)bytes.size());
}

std::string read_all(const std::string& p) {
    std::ifstream f(p, std::ios::binary);
    std::ostringstream os;
    os << f.rdbuf();
    return os.str();
}

void build_text(const std::string& out) {
    std::vector<std::string> files;
    for (auto& e : fs::recursive_directory_iterator("/usr/share/doc",
                                                    fs::directory_options::skip_permission_denied))
        if (e.is_regular_file()) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    std::string text;
    for (const std::string& f : files) {
        if (text.size() >= corpus_bytes) break;
        std::string body;
        if (f.size() > 3 && f.compare(f.size() - 3, 3, ".gz") == 0) {
            std::string tmp = out + ".part";
            if (!run_shell("gzip -dc " + shell_quote(f) + " > " + shell_quote(tmp) +
                           " 2>/dev/null"))
                continue;
            body = read_all(tmp);
            fs::remove(tmp);
        } else {
            body = read_all(f);
        }
        // Plain text only: no NUL bytes in the first kilobyte.
        if (body.empty() || body.substr(0, 1024).find('\0') != std::string::npos) continue;
        text += body;
    }
    text.resize(std::min(text.size(), corpus_bytes));
    write_all(out, text);
}

void build_exe(const std::string& out) {
    const char* candidates[] = {"/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus",
                                "/usr/lib/gcc/x86_64-linux-gnu/13/cc1plus", "/usr/bin/cmake"};
    std::string body;
    for (const char* c : candidates) {
        body = read_all(c);
        if (body.size() >= corpus_bytes) break;
    }
    body.resize(std::min(body.size(), corpus_bytes));
    write_all(out, body);
}

void build_random(const std::string& out) {
    std::string s(corpus_bytes, '\0');
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (size_t i = 0; i < s.size(); ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        s[i] = (char)(x >> 24);
    }
    write_all(out, s);
}

double best_of_three(const std::function<bool()>& f) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        double t0 = now();
        if (!f()) return -1;
        best = std::min(best, now() - t0);
    }
    return best;
}

enum class Coder { lzss, arith };

bool our_compress(Coder c, const std::string& in, const std::string& out) {
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    CzStream* s = cz_stream_open(in.c_str(), "rb");
    BitFile* bf = OpenOutputBitFile(out.c_str());
    if (!s || !bf) return false;
    // As the compress operation does: a coder whose output alone already
    // makes the result larger than the original stops (a refusal follows).
    if (stop_when_larger) cz_output_limit = file_size(in) - CZ_COMP_STATS_SIZE;
    int r = c == Coder::lzss ? iLzssCompress(s, bf) : iArithCompress(s, bf, 3);
    cz_output_limit = INT64_MAX;
    stopped_at = MemoryStreams.in_pos;
    int closed = iCloseOutputBitFile(bf);
    cz_stream_close(s);
    return (r == 0 || (stop_when_larger && r == CZ_OVER_LIMIT)) && closed == 0;
}

bool our_expand(Coder c, const std::string& in, const std::string& out) {
    std::memset(&MemoryStreams, 0, sizeof MemoryStreams);
    BitFile* bf = OpenInputBitFile(in.c_str());
    CzStream* s = cz_stream_open(out.c_str(), "wb");
    if (!s || !bf) return false;
    int r = c == Coder::lzss ? iLzssExpand(bf, s) : iArithExpand(bf, s, 3);
    int closed = cz_stream_close(s);
    CloseInputBitFile(bf);
    return r == 0 && closed == 0;
}

struct Result {
    std::string name;
    double compress_s = -1, expand_s = -1;
    long size = -1;
    double peak_mb = -1;  // peak memory of the run (model, or the peer's resident set)
};

double mbps(double seconds) { return seconds > 0 ? corpus_bytes / 1e6 / seconds : 0; }

void print_row(const Result& r, long original) {
    std::printf("  %-22s %8.1f MB/s  %8.1f MB/s  %6.1f%%  %8.1f MB\n", r.name.c_str(),
                mbps(r.compress_s), mbps(r.expand_s), r.size > 0 ? 100.0 * r.size / original : 0.0,
                r.peak_mb);
}

// A peer's peak resident set while compressing, by GNU time when it is
// there (-1 otherwise).
double peer_peak_mb(const std::string& cmd, const std::string& dir) {
    if (!have_tool("/usr/bin/time")) return -1;
    std::string out = dir + "/peak";
    if (!run_shell("/usr/bin/time -f %M -o " + shell_quote(out) + " sh -c " + shell_quote(cmd)))
        return -1;
    return std::atof(read_all(out).c_str()) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[1], "--run") == 0) {
        Coder c = std::strcmp(argv[2], "lzss") == 0 ? Coder::lzss : Coder::arith;
        stop_when_larger = std::strcmp(argv[3], "compress-stop") == 0;
        bool ok = std::strcmp(argv[3], "expand") == 0 ? our_expand(c, argv[4], argv[5])
                                                      : our_compress(c, argv[4], argv[5]);
        if (c == Coder::arith)
            std::fprintf(stderr, "arith model: %u contexts, %llu bytes, %.1f bytes per context\n",
                         cz_arith_stats.tables, (unsigned long long)cz_arith_stats.model_bytes,
                         cz_arith_stats.tables
                             ? (double)cz_arith_stats.model_bytes / cz_arith_stats.tables
                             : 0.0);
        if (stop_when_larger)
            std::fprintf(stderr, "stopped after %lld input bytes\n", (long long)stopped_at);
        return ok ? 0 : 1;
    }
    std::string dir = argc > 1 ? argv[1] : "compress-corpus";
    if (argc > 2) corpus_bytes = (size_t)std::atol(argv[2]) << 20;
    fs::create_directories(dir);
    std::string text = dir + "/text.bin", exe = dir + "/exe.bin", rnd = dir + "/random.bin";
    if (file_size(text) != (long)corpus_bytes) build_text(text);
    if (file_size(exe) != (long)corpus_bytes) build_exe(exe);
    if (file_size(rnd) != (long)corpus_bytes) build_random(rnd);

    bool have_gzip = have_tool("gzip"), have_bzip2 = have_tool("bzip2"), have_7z = have_tool("7z"),
         have_xz = have_tool("xz");
    std::printf("corpus: %s, %zu bytes per file; CPU time, best of 3 runs, file to file\n",
                dir.c_str(), corpus_bytes);
    std::string only = argc > 3 ? argv[3] : "";
    for (const std::string& in : {text, exe, rnd}) {
        if (!only.empty() && fs::path(in).stem().string() != only) continue;
        long original = file_size(in);
        std::printf("\n%s (%ld bytes)          compress       expand      size   peak mem\n",
                    fs::path(in).filename().c_str(), original);
        std::string tmp = dir + "/tmp", back = dir + "/back";
        std::vector<Result> rows;
        for (Coder c : {Coder::lzss, Coder::arith}) {
            Result r;
            r.name = c == Coder::lzss ? "ours LZSS" : "ours arith order 3";
            r.compress_s = best_of_three([&] { return our_compress(c, in, tmp); });
            r.size = file_size(tmp);
            r.expand_s = best_of_three([&] { return our_expand(c, tmp, back); });
            if (read_all(back) != read_all(in))
                std::printf("  !! %s round trip FAILED\n", r.name.c_str());
            if (c == Coder::arith) r.peak_mb = cz_arith_stats.model_bytes / 1e6;
            if (c == Coder::lzss) r.peak_mb = 0.4;  // fixed arrays
            if (c == Coder::arith)
                std::printf(
                    "  arith model: %u contexts, %.1f MB peak, %.1f bytes per context, %u "
                    "flushes\n",
                    cz_arith_stats.tables, cz_arith_stats.model_bytes / 1e6,
                    cz_arith_stats.tables
                        ? (double)cz_arith_stats.model_bytes / cz_arith_stats.tables
                        : 0.0,
                    cz_arith_stats.flushes);
            rows.push_back(r);
        }
        // What a person waits for: the compress operation stops the coder
        // once its output already makes the result larger than the original
        // (on data that does not compress) and refuses; otherwise it codes
        // it all, as above, and there is nothing more to time.
        double stopping_s = -1;
        int64_t stopped_at_bytes = original;
        if (rows.back().size + CZ_COMP_STATS_SIZE > original) {
            stop_when_larger = true;
            stopping_s = best_of_three([&] { return our_compress(Coder::arith, in, tmp); });
            stopped_at_bytes = stopped_at;
            stop_when_larger = false;
        }
        auto peer = [&](const char* name, const std::string& comp, const std::string& exp) {
            Result r;
            r.name = name;
            r.compress_s = best_of_three([&] { return run_shell(comp); });
            r.size = file_size(tmp);
            r.expand_s = best_of_three([&] { return run_shell(exp); });
            r.peak_mb = peer_peak_mb(comp, dir);
            rows.push_back(r);
        };
        std::string qi = shell_quote(in), qt = shell_quote(tmp), qb = shell_quote(back);
        if (have_gzip) {
            peer("gzip -1", "gzip -1 -c " + qi + " > " + qt, "gzip -dc " + qt + " > " + qb);
            peer("gzip -6", "gzip -6 -c " + qi + " > " + qt, "gzip -dc " + qt + " > " + qb);
        }
        if (have_bzip2)
            peer("bzip2 -9", "bzip2 -9 -c " + qi + " > " + qt, "bzip2 -dc " + qt + " > " + qb);
        if (have_xz) peer("xz -1", "xz -1 -T1 -c " + qi + " > " + qt, "xz -dc " + qt + " > " + qb);
        if (have_7z) {
            std::string arc = dir + "/tmp.7z";
            std::string qa = shell_quote(arc);
            Result r;
            r.name = "7z PPMd order 3";
            r.compress_s = best_of_three([&] {
                fs::remove(arc);
                return run_shell("7z a -bd -bso0 -bsp0 -m0=PPMd:o=3 " + qa + " " + qi);
            });
            r.size = file_size(arc);
            r.expand_s = best_of_three(
                [&] { return run_shell("7z e -bd -bso0 -bsp0 -so " + qa + " > " + qb); });
            fs::remove(arc);
            r.peak_mb = peer_peak_mb("7z a -bd -bso0 -bsp0 -m0=PPMd:o=3 " + qa + " " + qi, dir);
            rows.push_back(r);
            fs::remove(arc);
        }
        for (const Result& r : rows) print_row(r, original);
        auto find = [&](const char* n) -> const Result* {
            for (const Result& r : rows)
                if (r.name == n) return &r;
            return nullptr;
        };
        const Result* lz = find("ours LZSS");
        const Result* ar = find("ours arith order 3");
        std::printf("  ratios (ours / peer throughput):\n");
        if (const Result* g = find("gzip -1")) {
            std::printf("    LZSS compress / gzip -1 compress     %5.2f (target >= 1)\n",
                        g->compress_s / lz->compress_s);
            std::printf("    LZSS expand   / gzip -d              %5.2f (target >= 2)\n",
                        g->expand_s / lz->expand_s);
        }
        if (const Result* b = find("bzip2 -9")) {
            std::printf("    arith compress / bzip2 -9 compress   %5.2f (target >= 1)\n",
                        b->compress_s / ar->compress_s);
            std::printf("    arith expand   / bzip2 -9 compress   %5.2f (target >= 1)\n",
                        b->compress_s / ar->expand_s);
            if (stopping_s > 0 && stopped_at_bytes < original)
                std::printf(
                    "    arith compress as the operation runs / bzip2 -9 compress   %5.2f "
                    "(stops after %.0f%% of the input: the result would be larger)\n",
                    b->compress_s / stopping_s, 100.0 * stopped_at_bytes / original);
        }
        if (const Result* x = find("xz -1")) {
            std::printf("    arith compress / xz -1 compress      %5.2f (context)\n",
                        x->compress_s / ar->compress_s);
            std::printf("    arith expand   / xz -d               %5.2f (context)\n",
                        x->expand_s / ar->expand_s);
        }
        if (const Result* p = find("7z PPMd order 3")) {
            std::printf("    arith compress / PPMd o3 compress    %5.2f\n",
                        p->compress_s / ar->compress_s);
            std::printf("    arith expand   / PPMd o3 expand      %5.2f\n",
                        p->expand_s / ar->expand_s);
        }
        fs::remove(tmp);
        fs::remove(back);
    }
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("\npeak resident set of this process: %.1f MB\n", ru.ru_maxrss / 1024.0);
    return 0;
}
