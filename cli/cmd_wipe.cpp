// lockquill-cli wipe FILE...
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "fileops/wipe.h"

int cli_wipe(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    if (args.empty()) return cli_usage_error("wipe", "usage: lockquill-cli wipe FILE...");
    int worst = CLI_DONE;
    for (const std::string& file : args) {
        if (!file.empty() && file[0] == '-')
            return cli_usage_error("wipe", "unknown option '" + file + "'");
    }
    for (const std::string& file : args) {
        int code = cli_exit_code(iWipeFile(file.c_str(), 0));
        if (code > worst) worst = code;
    }
    return worst;
}
