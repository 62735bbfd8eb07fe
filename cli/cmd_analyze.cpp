// lockquill-cli analyze [--encrypted] FILE
//
// The file analysis: how the byte values 0 to 255 are spread over the file
// (or, with --encrypted, over the data part of an encrypted file), as the
// four lines of the analysis and a text histogram.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "crypt/veil_reader.h"
#include "platform/platform.h"

namespace {

const char usage[] = "lockquill-cli analyze [--encrypted] FILE";

// Histogram of 64 columns (four byte values each, the tallest of the four)
// and ROWS rows, scaled to the most common count; any value that occurs at
// all shows at least one mark.
const int ROWS = 8;
const int COLUMNS = 64;

void print_histogram(uint32_t most) {
    int height[COLUMNS] = {};
    for (int c = 0; c < COLUMNS; ++c) {
        uint32_t top = 0;
        for (int v = 4 * c; v < 4 * c + 4; ++v)
            if (gByteCounts[v] > top) top = gByteCounts[v];
        if (top) height[c] = int((uint64_t(top) * ROWS + most - 1) / most);
    }
    for (int r = ROWS; r >= 1; --r) {
        std::string line = "  |";
        for (int c = 0; c < COLUMNS; ++c) line += height[c] >= r ? '#' : ' ';
        std::printf("%s|\n", line.c_str());
    }
    std::printf("  +%s+\n", std::string(COLUMNS, '-').c_str());
    std::printf("   0               64              128             192          255\n");
}

}  // namespace

int cli_analyze(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    bool encrypted = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--encrypted")
            encrypted = true;
        else if (a.size() > 1 && a[0] == '-')
            return cli_usage_error("analyze", "unknown option '" + a + "'\nusage: " + usage);
        else
            files.push_back(a);
    }
    if (files.size() != 1) return cli_usage_error("analyze", std::string("usage: ") + usage);

    VeilStats record{};
    int16_t header = 0;
    const int r =
        iScanFileBytes(files[0].c_str(), &record, encrypted ? 1 : 0, &header, 0, encrypted ? 1 : 0);
    if (r < 0) {
        std::fprintf(stderr, "lockquill-cli analyze: cannot read %s (code %d)\n", files[0].c_str(),
                     r);
        return CLI_FAILED;
    }
    if (r > 0) return CLI_DECLINED;

    uint32_t total = 0, most = 0;
    int most_value = 0;
    for (int v = 0; v < 256; ++v) {
        total += gByteCounts[v];
        if (gByteCounts[v] > most) {
            most = gByteCounts[v];
            most_value = v;
        }
    }
    std::printf("Most Common Byte Value: %hi\n", short(most_value));
    std::printf("Number of Most Common: %lu\n", (unsigned long)most);
    std::printf("Average occurance: %lu\n", (unsigned long)(total / 256));
    std::printf("Total Bytes: %lu\n", (unsigned long)total);
    if (most) print_histogram(most);
    return CLI_DONE;
}
