// Shared pieces of lockquill-cli subcommands.
#pragma once

#include <string>
#include <vector>

// Exit codes.
enum { CLI_DONE = 0, CLI_DECLINED = 1, CLI_FAILED = 2 };

// Options every subcommand accepts.
struct CliCommon {
    int answer = 0;  // 0: ask on the terminal (No without one); LQ_IDYES / LQ_IDNO
    bool quiet = false;
};

// Takes --yes, --no and --quiet out of args (in place) and applies them:
// installs the terminal message box and the terminal progress bar.
void cli_take_common(std::vector<std::string>& args, CliCommon& common);

// Maps an operation result to an exit code: 0 -> 0, 1 or 5 -> 1, negative -> 2.
int cli_exit_code(int result);

// Prints "lockquill-cli <cmd>: <msg>" to standard error; returns CLI_FAILED.
int cli_usage_error(const char* cmd, const std::string& msg);

// out = buf[0, len) without leaving copies behind (out's old content is
// zeroed, its capacity reserved once); buf is zeroed.
void cli_keep_secret(std::string& out, char* buf, size_t len);

// Reads a line from the terminal without echo (false when there is no
// terminal or input ended).
bool cli_read_secret(const char* prompt, std::string& out);
bool cli_stdin_is_terminal();
bool cli_stderr_is_terminal();
