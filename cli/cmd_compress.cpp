// lockquill-cli compress --fast|--max FILE...   and   expand FILE...
//
// Each file is compressed or expanded in place exactly as the Compression
// menu does it (the same call with the same arguments), so the files left on
// disk are the same; the result box goes to standard error.
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "compress/compress_file.h"
#include "platform/platform.h"

// The full path, as the open dialog hands it to the menu commands (the
// record keeps the name).
static std::string full_path(const std::string& file) {
    char buffer[1024];
    return pf_get_full_path(file.c_str(), buffer, sizeof buffer) ? std::string(buffer) : file;
}

int cli_compress(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    uint16_t algorithm = 0;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--fast")
            algorithm = CZ_ALGORITHM_LZSS;
        else if (a == "--max")
            algorithm = CZ_ALGORITHM_ARITH;
        else if (!a.empty() && a[0] == '-')
            return cli_usage_error("compress", "unknown option '" + a + "'");
        else
            files.push_back(a);
    }
    if (!algorithm || files.empty())
        return cli_usage_error("compress", "usage: lockquill-cli compress --fast|--max FILE...");
    int worst = CLI_DONE;
    for (const std::string& file : files) {
        int code = cli_exit_code(iCompressFile(full_path(file).c_str(), 1, algorithm, 1, &cs_data));
        if (code > worst) worst = code;
    }
    return worst;
}

int cli_expand(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    for (const std::string& a : args)
        if (!a.empty() && a[0] == '-')
            return cli_usage_error("expand", "unknown option '" + a + "'");
    if (args.empty()) return cli_usage_error("expand", "usage: lockquill-cli expand FILE...");
    int worst = CLI_DONE;
    for (const std::string& file : args) {
        int code = cli_exit_code(iExpandFile(full_path(file).c_str(), 1, &cs_data));
        if (code > worst) worst = code;
    }
    return worst;
}
