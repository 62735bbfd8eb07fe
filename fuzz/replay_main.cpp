// Corpus replay for the fuzz targets, without libFuzzer: runs every file of the
// folders and files named on the command line, then seeded random inputs and
// mutations of the corpus (byte flips, cuts, splices), so that the targets are
// exercised in every build, under Wine and with the sanitizers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static uint32_t next_random() {
    static uint64_t state = 0x2545F4914F6CDD1Dull;
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    return (uint32_t)(state >> 16);
}

static void run(const std::string& s) {
    // A copy in its own allocation lets AddressSanitizer see every overread.
    std::vector<uint8_t> buf(s.begin(), s.end());
    LLVMFuzzerTestOneInput(buf.empty() ? nullptr : buf.data(), buf.size());
}

int main(int argc, char** argv) {
    std::vector<std::string> corpus;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        std::vector<fs::path> files{argv[i]};
        if (fs::is_directory(argv[i], ec))
            files.assign(fs::recursive_directory_iterator(argv[i], ec), {});
        for (const fs::path& p : files) {
            std::ifstream f(p, std::ios::binary);
            if (fs::is_regular_file(p, ec))
                run(corpus.emplace_back(std::istreambuf_iterator<char>(f),
                                        std::istreambuf_iterator<char>()));
        }
    }
    const char* env = std::getenv("LQ_FUZZ_ROUNDS");
    int rounds = env ? std::atoi(env) : 3000;
    run("");
    for (int r = 0; r < rounds; ++r) {
        std::string s;
        if (corpus.empty() || r % 4 == 0) {
            s.resize(next_random() % 2048);
            for (char& c : s) c = (char)next_random();
        } else {
            s = corpus[next_random() % corpus.size()];
            for (int e = 1 + (int)(next_random() % 8); e > 0 && !s.empty(); --e) {
                const std::string& o = corpus[next_random() % corpus.size()];
                switch (next_random() % 4) {
                    case 0: s[next_random() % s.size()] ^= (char)(1u << (next_random() % 8)); break;
                    case 1: s[next_random() % s.size()] = (char)next_random(); break;
                    case 2: s.resize(next_random() % s.size()); break;
                    case 3: s += o.empty() ? o : o.substr(next_random() % o.size()); break;
                }
            }
        }
        run(s);
    }
    std::printf("replayed %zu corpus inputs and %d generated inputs\n", corpus.size(), rounds);
    return 0;
}
