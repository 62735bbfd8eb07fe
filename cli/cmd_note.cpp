// lockquill-cli show [--passwords-fd N] FILE
// lockquill-cli write [--compress=speed|size] [--read-only] [--riddle TEXT]
//                     [--passwords-fd N] FILE
//
// Encrypted text files as the editor's Secure menu opens and saves them, with
// the very code of the editor's encrypted load and save: show decrypts to
// standard output (the Riddle, version and status lines on standard error;
// no plain copy ever reaches the disk), write stores standard input.  The
// passwords follow the rules of encrypt and decrypt; with --passwords-fd 0
// they are the first two lines of standard input, before the text.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cli/binary_stdio.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/passwords.h"
#include "crypt/encrypted_text.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "fileops/file_services.h"

namespace {

const char show_usage[] = "lockquill-cli show [--passwords-fd N] FILE";
const char write_usage[] =
    "lockquill-cli write [--compress=speed|size] [--read-only] [--riddle TEXT] "
    "[--passwords-fd N] FILE";

struct Options {
    int16_t compression = 0;
    bool read_only = false;
    std::string riddle;
    int passwords_fd = -1;
    char path[LQ_MAX_PATH] = {};
};

// False after the usage message (code set).
bool parse(const char* cmd, bool write, int argc, char** argv, Options& o, int& code) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    std::vector<std::string> files;
    std::string problem;
    for (size_t i = 0; i < args.size() && problem.empty(); ++i) {
        const std::string& a = args[i];
        std::string v;
        auto value = [&](const char* name) {
            const std::string eq = std::string(name) + "=";
            if (a == name && i + 1 < args.size())
                v = args[++i];
            else if (a.compare(0, eq.size(), eq) == 0)
                v = a.substr(eq.size());
            else
                return false;
            return true;
        };
        if (write && value("--compress")) {
            o.compression = v == "speed" ? 2 : v == "size" ? 1 : -1;
            if (o.compression < 0) problem = "--compress takes speed or size";
        } else if (write && a == "--read-only") {
            o.read_only = true;
        } else if (write && value("--riddle")) {
            o.riddle = v;
            if (v.size() > VEIL_RIDDLE_SIZE - 1)
                problem = "the Riddle holds at most 1023 characters";
        } else if (value("--passwords-fd")) {
            char* end = nullptr;
            long fd = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || fd < 0 || fd > 1023)
                problem = "--passwords-fd takes a descriptor number";
            o.passwords_fd = int(fd);
        } else if (a.size() > 1 && a[0] == '-') {
            problem = "unknown option '" + a + "'";
        } else {
            files.push_back(a);
        }
    }
    if (problem.empty() && files.size() != 1) problem = "one FILE wanted";
    if (problem.empty() &&
        (!pf_get_full_path(files[0].c_str(), o.path, sizeof o.path) || std::strlen(o.path) > 255))
        problem = "cannot use the path '" + files[0] + "' (longer than 255)";
    if (problem.empty()) return true;
    code = cli_usage_error(cmd, problem + "\nusage: " + (write ? write_usage : show_usage));
    return false;
}

// The decryption dialog's lines, for a terminal: line ends as '\n'.
void print_trailers() {
    std::string riddle;
    for (const char* p = gRiddle; *p; ++p)
        if (*p != '\r') riddle += *p;
    char line[96];
    lq_veil_version_line(&gVeilStats, line, sizeof line);
    std::fprintf(stderr, "Riddle: %s\n%s\n%s\n", riddle.c_str(), line,
                 lq_veil_status_text(gVeilStats.status));
}

// Standard input, whole, into a secret block (length + 1 bytes).
bool read_input(LqSecretBlock* text, uint32_t* length) {
    uint32_t n = 0;
    if (text->get(65536) != 0) return false;
    for (;;) {
        if (n + 1 >= text->size) {
            LqSecretBlock bigger;
            if (text->size > 0x3FFFFFFF || bigger.get(text->size * 2) != 0) return false;
            std::memcpy(bigger.data, text->data, n);
            // The old block is zeroed as it goes.
            std::swap(text->handle, bigger.handle);
            std::swap(text->data, bigger.data);
            std::swap(text->size, bigger.size);
        }
        const int got = int(read(0, text->data + n, text->size - 1 - n));
        if (got < 0) return false;
        if (got == 0) break;
        n += uint32_t(got);
    }
    *length = n;
    return true;
}

}  // namespace

int cli_show(int argc, char** argv) {
    const char* cmd = "show";
    Options o;
    int code = CLI_FAILED;
    if (!parse(cmd, false, argc, argv, o, code)) return code;
    cli_binary_stdio();

    lq_crypt_reset();
    int16_t header_size = 0;
    const int scan = lq_scan_encrypted_text(o.path, &gVeilStats, &header_size, 1, 1);
    if (scan != 0) return cli_exit_code(scan);
    gVeilStats.status = lq_veil_judge(&gVeilStats, gDataLength, gByteSum);
    print_trailers();
    if (!cli_take_passwords(cmd, o.passwords_fd, false)) return CLI_FAILED;

    LqSecretBlock text;
    int32_t expected = 0;
    const int result = lq_read_encrypted_text(o.path, &gVeilStats, &text, &expected);
    lq_veilmix_clear();
    if (result != 0) return CLI_FAILED;
    // What an editor window holds: the text up to its first zero byte.
    const size_t shown = std::strlen(reinterpret_cast<const char*>(text.data));
    const bool written =
        std::fwrite(text.data, 1, shown, stdout) == shown && std::fflush(stdout) == 0;
    if (shown != size_t(expected)) lq_warn_encrypted_text_size();
    if (!written) {
        std::fprintf(stderr, "lockquill-cli show: standard output could not be written\n");
        return CLI_FAILED;
    }
    return CLI_DONE;
}

int cli_write(int argc, char** argv) {
    const char* cmd = "write";
    Options o;
    int code = CLI_FAILED;
    if (!parse(cmd, true, argc, argv, o, code)) return code;
    cli_binary_stdio();

    // As the encryption dialog leaves things on OK.
    lq_crypt_reset();
    if (!cli_take_passwords(cmd, o.passwords_fd, true)) return CLI_FAILED;
    iDefaultVeilStats(&gVeilStats);
    gVeilStats.readonly = o.read_only ? 1 : 0;
    gVeilStats.compression = o.compression;
    std::memcpy(gRiddle, o.riddle.data(), o.riddle.size());
    gVeilStats.riddlelength = int16_t(o.riddle.size() + 1);

    LqSecretBlock text;
    uint32_t length = 0;
    int result = -1;
    if (!read_input(&text, &length))
        std::fprintf(stderr, "lockquill-cli write: standard input could not be read whole\n");
    else
        result = lq_write_encrypted_text(o.path, &gVeilStats, &text, length);
    lq_veilmix_clear();
    return cli_exit_code(result);
}
