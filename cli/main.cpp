// lockquill-cli: the file tools of Lockquill on the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/cli_common.h"
#include "cli/commands.h"

namespace {
struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* usage;
};

const Command commands[] = {
    {"compress", cli_compress, "compress --fast|--max FILE... compress files in place"},
    {"expand", cli_expand, "expand FILE...               expand compressed files in place"},
    {"wipe", cli_wipe, "wipe FILE...                 destroy files beyond recovery"},
    {"uuencode", cli_uuencode, "uuencode [--binary] FILE     UU encode a file beside it"},
    {"uudecode", cli_uudecode, "uudecode FILE                decode a UU file beside it"},
    {"split", cli_split, "split [--max BYTES] UUFILE   split a UU file into parts .U00, .U01, ..."},
    {"rebuild", cli_rebuild, "rebuild FIRSTPART            join split-up parts into the UU file"},
    {"encrypt", cli_encrypt, "encrypt [OPTIONS] FILE       encrypt in place under two passwords"},
    {"decrypt", cli_decrypt, "decrypt [--make-backup] FILE decrypt an encrypted file in place"},
    {"show", cli_show, "show FILE                    decrypt an encrypted text to standard output"},
    {"write", cli_write, "write [OPTIONS] FILE         store standard input as an encrypted text"},
    {"analyze", cli_analyze, "analyze [--encrypted] FILE   byte-value counts and histogram"},
};

const char* version_text = "lockquill-cli 4.0 (LQ32E40L)\n";

void print_help(FILE* out) {
    std::fputs("usage: lockquill-cli COMMAND [OPTIONS] ARGS...\n\ncommands:\n", out);
    for (const Command& c : commands) std::fprintf(out, "  %s\n", c.usage);
    std::fputs(
        "\ncommon options:\n"
        "  --yes     answer every question Yes\n"
        "  --no      answer every question No\n"
        "  --quiet   no progress bar\n"
        "Without --yes or --no questions are asked on the terminal; with no\n"
        "terminal the answer is No.\n\n"
        "exit status: 0 done, 1 declined or not of the expected kind, 2 failed\n",
        out);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print_help(stderr);
        return CLI_FAILED;
    }
    const char* cmd = argv[1];
    if (!std::strcmp(cmd, "--help") || !std::strcmp(cmd, "-h") || !std::strcmp(cmd, "help")) {
        print_help(stdout);
        return CLI_DONE;
    }
    if (!std::strcmp(cmd, "--version")) {
        std::fputs(version_text, stdout);
        return CLI_DONE;
    }
    for (const Command& c : commands)
        if (!std::strcmp(cmd, c.name)) return c.run(argc - 1, argv + 1);
    std::fprintf(stderr, "lockquill-cli: unknown command '%s' (see --help)\n", cmd);
    return CLI_FAILED;
}
