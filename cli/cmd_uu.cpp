// lockquill-cli uuencode [--binary] FILE
// lockquill-cli uudecode FILE
// lockquill-cli split [--max BYTES] UUFILE
// lockquill-cli rebuild FIRSTPART
//
// Each runs the operation that the UU EnCoding menu runs, with the file's
// folder as the current directory as the open dialog leaves it, and the
// file's final path component as the name buffer.  A UU file that ends
// before its data (the 'Short' message) exits with 2, a failure.
//
// --answers SEQ (uudecode, split, rebuild) answers the next questions in turn
// with the letters of SEQ, y or n, before --yes, --no or the terminal do:
// the unknown-mode questions of a header such as "begin 644" need Yes, No,
// Yes to decode as raw bytes, which no single fixed answer gives.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "platform/platform.h"
#include "platform/ui.h"
#include "uu/uu_common.h"
#include "uu/uu_decode.h"
#include "uu/uu_encode.h"
#include "uu/uu_rebuild.h"
#include "uu/uu_split.h"

namespace {

std::string scripted_answers;
LqMessageBoxFn next_box;

int scripted_box(const char* text, const char* caption, unsigned style) {
    if ((style & 0x0F) == LQ_MB_YESNO && !scripted_answers.empty()) {
        char c = char(scripted_answers[0] | 0x20);
        scripted_answers.erase(0, 1);
        std::fprintf(stderr, "%s: %s\n  -> %s\n", caption, text, c == 'y' ? "yes" : "no");
        return c == 'y' ? LQ_IDYES : LQ_IDNO;
    }
    return next_box(text, caption, style);
}

// The file as the open dialog hands it over: full path, final component, and
// its folder made the current directory.
struct ChosenFile {
    char path[LQ_MAX_PATH];
    char title[LQ_MAX_PATH];
};

bool choose(const char* cmd, const std::string& arg, ChosenFile& f) {
    char full[4096];
    if (!pf_get_full_path(arg.c_str(), full, sizeof full) || std::strlen(full) >= 256) {
        cli_usage_error(cmd, "cannot use the path '" + arg + "' (missing or longer than 255)");
        return false;
    }
    std::strcpy(f.path, full);
    const char* name = uu_final_component(full);
    std::strcpy(f.title, name);
    std::string folder(full, size_t(name - full));
    if (folder.size() > 1) folder.pop_back();  // the separator, but keep a root "/" or "C:\"
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';
    if (!folder.empty() && !pf_set_current_directory(folder.c_str())) {
        cli_usage_error(cmd, "cannot enter the folder of '" + arg + "'");
        return false;
    }
    return true;
}

// Takes the options of one subcommand and the one file argument.
bool parse(const char* cmd, int argc, char** argv, const char* usage,
           std::vector<std::string>& options, std::string& file, int& exit_code) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--binary") {
            options.push_back(a);
        } else if (a == "--answers" && i + 1 < args.size()) {
            options.push_back(a + "=" + args[++i]);
        } else if (a.compare(0, 10, "--answers=") == 0) {
            options.push_back(a);
        } else if (a == "--max" && i + 1 < args.size()) {
            options.push_back(a + "=" + args[++i]);
        } else if (a.compare(0, 6, "--max=") == 0) {
            options.push_back(a);
        } else if (a.size() > 1 && a[0] == '-') {
            exit_code = cli_usage_error(cmd, "unknown option '" + a + "'\nusage: " + usage);
            return false;
        } else {
            files.push_back(a);
        }
    }
    for (const std::string& o : options) {
        bool answers = o.compare(0, 10, "--answers=") == 0;
        bool ok = (o == "--binary" && !std::strcmp(cmd, "uuencode")) ||
                  (o.compare(0, 6, "--max=") == 0 && !std::strcmp(cmd, "split")) ||
                  (answers && std::strcmp(cmd, "uuencode") != 0 &&
                   o.find_first_not_of("ynYN", 10) == std::string::npos);
        if (!ok) {
            exit_code = cli_usage_error(cmd, "unknown option '" + o + "'\nusage: " + usage);
            return false;
        }
        if (answers) scripted_answers = o.substr(10);
    }
    next_box = lq_set_message_box(scripted_box);
    if (files.size() != 1) {
        exit_code = cli_usage_error(cmd, std::string("usage: ") + usage);
        return false;
    }
    file = files[0];
    return true;
}

int finish(int result) {
    if (result == 0 && szTargetFilename[0]) std::printf("%s\n", szTargetFilename);
    return cli_exit_code(result);
}

}  // namespace

int cli_uuencode(int argc, char** argv) {
    std::vector<std::string> options;
    std::string file;
    int code = CLI_FAILED;
    if (!parse("uuencode", argc, argv, "lockquill-cli uuencode [--binary] FILE", options, file,
               code))
        return code;
    bool binary = !options.empty();  // --binary is its only option
    ChosenFile f;
    if (!choose("uuencode", file, f)) return CLI_FAILED;
    szTargetFilename[0] = 0;
    return finish(iUUEncode(f.path, binary ? 0 : 1, 0, 0));
}

int cli_uudecode(int argc, char** argv) {
    std::vector<std::string> options;
    std::string file;
    int code = CLI_FAILED;
    if (!parse("uudecode", argc, argv, "lockquill-cli uudecode [--answers yn...] FILE", options,
               file, code))
        return code;
    ChosenFile f;
    if (!choose("uudecode", file, f)) return CLI_FAILED;
    const int result = iUUDecode(f.path, 1, f.title);
    // A truncated file is a failure, not a declined question.
    return uu_decode_was_short ? CLI_FAILED : finish(result);
}

int cli_split(int argc, char** argv) {
    std::vector<std::string> options;
    std::string file;
    int code = CLI_FAILED;
    if (!parse("split", argc, argv, "lockquill-cli split [--max BYTES] [--answers yn...] UUFILE",
               options, file, code))
        return code;
    // The same reading as the size prompt's: no digits give 0, which the
    // split-up refuses with its own message.
    int32_t max_size = UU_SPLIT_DEFAULT_MAX;
    for (const std::string& o : options)
        if (o.compare(0, 6, "--max=") == 0) max_size = uu_read_decimal(o.c_str() + 6);
    ChosenFile f;
    if (!choose("split", file, f)) return CLI_FAILED;
    return finish(iUUSplitUpFile(f.path, 1, f.title, max_size));
}

int cli_rebuild(int argc, char** argv) {
    std::vector<std::string> options;
    std::string file;
    int code = CLI_FAILED;
    if (!parse("rebuild", argc, argv, "lockquill-cli rebuild [--answers yn...] FIRSTPART", options,
               file, code))
        return code;
    ChosenFile f;
    if (!choose("rebuild", file, f)) return CLI_FAILED;
    return finish(iUURebuildSplitUpFile(f.path, 1, f.title));
}
