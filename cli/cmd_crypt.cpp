// lockquill-cli encrypt [--compress=speed|size] [--read-only] [--riddle TEXT]
//                       [--passwords-fd N] FILE
// lockquill-cli decrypt [--make-backup] [--passwords-fd N] FILE
//
// The Secure menu's Encrypt a File and Decrypt a File: the same checks and
// the same operation, so the same files on disk.  Passwords follow the rules
// of the encryption dialogs (7 to 20 characters, both equally long, different
// from each other, no NUL byte).  They are asked on the terminal without echo,
// each twice, or read as two lines from descriptor N; never taken from the
// command line.  The Riddle is printed with its control bytes escaped.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/secret_fd.h"
#include "crypt/veil_reader.h"
#include "crypt/veilmix.h"
#include "crypt/veilmix_file.h"
#include "fileops/file_services.h"
#include "platform/platform.h"
#include "platform/ui.h"

namespace {

const char encrypt_usage[] =
    "lockquill-cli encrypt [--compress=speed|size] [--read-only] [--riddle TEXT] "
    "[--passwords-fd N] FILE";
const char decrypt_usage[] = "lockquill-cli decrypt [--make-backup] [--passwords-fd N] FILE";

struct Options {
    int16_t compression = 0;
    bool read_only = false;
    bool make_backup = false;
    bool riddle_given = false;
    std::string riddle;
    int passwords_fd = -1;
    std::string file;
};

// Zeroes a string's characters before it goes.
void scrub(std::string& s) {
    if (!s.empty()) lq_secure_zero(&s[0], s.size());
    s.clear();
}

struct Secrets {
    std::string p1, p2, c1, c2;
    ~Secrets() {
        scrub(p1);
        scrub(p2);
        scrub(c1);
        scrub(c2);
    }
};

bool parse(const char* cmd, bool encrypt, int argc, char** argv, Options& o, int& code) {
    const char* usage = encrypt ? encrypt_usage : decrypt_usage;
    std::vector<std::string> args(argv + 1, argv + argc);
    CliCommon common;
    cli_take_common(args, common);
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* name, std::string& out) {
            const size_t n = std::strlen(name);
            if (a == name && i + 1 < args.size()) {
                out = args[++i];
                return true;
            }
            if (a.compare(0, n + 1, std::string(name) + "=") == 0) {
                out = a.substr(n + 1);
                return true;
            }
            return false;
        };
        std::string v;
        if (encrypt && value("--compress", v)) {
            if (v == "speed") {
                o.compression = 2;
            } else if (v == "size") {
                o.compression = 1;
            } else {
                code = cli_usage_error(cmd, "--compress takes speed or size");
                return false;
            }
        } else if (encrypt && a == "--read-only") {
            o.read_only = true;
        } else if (encrypt && value("--riddle", v)) {
            o.riddle = v;
            o.riddle_given = true;
        } else if (!encrypt && a == "--make-backup") {
            o.make_backup = true;
        } else if (value("--passwords-fd", v)) {
            char* end = nullptr;
            long fd = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || fd < 0 || fd > 1023) {
                code = cli_usage_error(cmd, "--passwords-fd takes a descriptor number");
                return false;
            }
            o.passwords_fd = int(fd);
        } else if (a.size() > 1 && a[0] == '-') {
            code = cli_usage_error(cmd, "unknown option '" + a + "'\nusage: " + usage);
            return false;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 1) {
        code = cli_usage_error(cmd, std::string("usage: ") + usage);
        return false;
    }
    o.file = files[0];
    if (o.riddle.size() > VEIL_RIDDLE_SIZE - 1) {
        code = cli_usage_error(cmd, "the Riddle holds at most 1023 characters");
        return false;
    }
    return true;
}

// The file as the open dialog hands it over: its full path, and its folder
// made the current directory (free space is measured there, and the wipe
// leaves its last name there).
bool choose(const char* cmd, const std::string& arg, char* path) {
    char full[4096];
    if (!pf_get_full_path(arg.c_str(), full, sizeof full) || std::strlen(full) >= 256) {
        cli_usage_error(cmd, "cannot use the path '" + arg + "' (missing or longer than 255)");
        return false;
    }
    std::strcpy(path, full);
    std::string folder(full);
    const size_t cut = folder.find_last_of("\\/");
    if (cut == std::string::npos) return true;
    folder.erase(cut);
    if (folder.empty() || (folder.size() == 2 && folder[1] == ':')) folder += full[cut];
    if (!pf_set_current_directory(folder.c_str())) {
        cli_usage_error(cmd, "cannot enter the folder of '" + arg + "'");
        return false;
    }
    return true;
}

bool ask_secret(const char* cmd, const char* prompt, std::string& out) {
    if (cli_read_secret(prompt, out)) return true;
    cli_usage_error(cmd, "no password given (the input ended)");
    return false;
}

// Fills Secrets from the descriptor (two lines) or the terminal; with
// `confirm` each password is asked twice on the terminal.
bool get_passwords(const char* cmd, const Options& o, bool confirm, Secrets& s) {
    if (o.passwords_fd >= 0) {
        if (!cli_read_fd_line(o.passwords_fd, s.p1) || !cli_read_fd_line(o.passwords_fd, s.p2)) {
            cli_usage_error(cmd, "--passwords-fd " + std::to_string(o.passwords_fd) +
                                     ": two lines wanted, the 1st and the 2nd password");
            return false;
        }
        s.c1 = s.p1;
        s.c2 = s.p2;
        return true;
    }
    if (!cli_stdin_is_terminal()) {
        cli_usage_error(cmd,
                        "passwords are asked on a terminal, or read from --passwords-fd N; "
                        "they are never taken from the command line");
        return false;
    }
    if (!ask_secret(cmd, "1st password: ", s.p1)) return false;
    if (confirm && !ask_secret(cmd, "1st password again: ", s.c1)) return false;
    if (!ask_secret(cmd, "2nd password: ", s.p2)) return false;
    if (confirm && !ask_secret(cmd, "2nd password again: ", s.c2)) return false;
    if (!confirm) {
        s.c1 = s.p1;
        s.c2 = s.p2;
    }
    return true;
}

// The dialogs' rules, with a message for each way of breaking them.
bool check_passwords(const char* cmd, const Secrets& s) {
    // The cipher takes each password up to its first NUL: "abc\0defg" would
    // lock the file under "abc" alone.
    for (const std::string* p : {&s.p1, &s.p2, &s.c1, &s.c2}) {
        if (p->find('\0') != std::string::npos) {
            cli_usage_error(cmd, "a password must not hold a NUL byte");
            return false;
        }
    }
    if (s.p1.size() < 7 || s.p1.size() > size_t(VEIL_MAX_KEY)) {
        cli_usage_error(cmd, "the 1st password must have 7 to 20 characters (it has " +
                                 std::to_string(s.p1.size()) + ")");
        return false;
    }
    if (s.p2.size() != s.p1.size()) {
        cli_usage_error(cmd, "the 2nd password must be as long as the 1st (" +
                                 std::to_string(s.p1.size()) + " characters; it has " +
                                 std::to_string(s.p2.size()) + ")");
        return false;
    }
    if (s.p1 == s.p2) {
        cli_usage_error(cmd, "the two passwords must differ");
        return false;
    }
    if (s.c1 != s.p1) {
        cli_usage_error(cmd, "the 1st password and its confirmation differ");
        return false;
    }
    if (s.c2 != s.p2) {
        cli_usage_error(cmd, "the 2nd password and its confirmation differ");
        return false;
    }
    return true;
}

void set_passwords(const Secrets& s) {
    std::memset(gPassword1, 0, sizeof gPassword1);
    std::memset(gPassword2, 0, sizeof gPassword2);
    std::memcpy(gPassword1, s.p1.data(), s.p1.size());
    std::memcpy(gPassword2, s.p2.data(), s.p2.size());
}

// Prints a text read from a file (untrusted) for a terminal: CR LF as '\n',
// every other control byte as \xNN, so that escape sequences in a Riddle
// cannot drive the terminal.
void print_escaped(const char* label, const char* text) {
    std::string s;
    for (const char* p = text; *p; ++p) {
        const unsigned char c = (unsigned char)*p;
        if (c == '\r' && p[1] == '\n') continue;
        if ((c < 0x20 && c != '\n') || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            s += hex;
        } else {
            s += char(c);
        }
    }
    std::printf("%s%s\n", label, s.c_str());
}

}  // namespace

int cli_encrypt(int argc, char** argv) {
    const char* cmd = "encrypt";
    Options o;
    int code = CLI_FAILED;
    if (!parse(cmd, true, argc, argv, o, code)) return code;
    char path[LQ_MAX_PATH] = {};
    if (!choose(cmd, o.file, path)) return CLI_FAILED;
    Secrets s;
    if (!get_passwords(cmd, o, true, s) || !check_passwords(cmd, s)) return CLI_FAILED;

    // As the encryption dialog leaves things on OK.
    lq_crypt_reset();
    iDefaultVeilStats(&gVeilStats);
    gVeilStats.readonly = o.read_only ? 1 : 0;
    gVeilStats.compression = o.compression;
    std::memset(gRiddle, 0, sizeof gRiddle);
    std::memcpy(gRiddle, o.riddle.data(), o.riddle.size());
    gVeilStats.riddlelength = int16_t(std::strlen(gRiddle) + 1);
    set_passwords(s);

    const int result = iVeilmixFile(path, &gVeilStats, 1);
    lq_veilmix_clear();
    return cli_exit_code(result);
}

int cli_decrypt(int argc, char** argv) {
    const char* cmd = "decrypt";
    Options o;
    int code = CLI_FAILED;
    if (!parse(cmd, false, argc, argv, o, code)) return code;
    char path[LQ_MAX_PATH] = {};
    if (!choose(cmd, o.file, path)) return CLI_FAILED;

    lq_crypt_reset();
    // A decryption killed midway left the encrypted file as its backup.
    const int left = lq_veil_remnant(path, -1);
    if (left < 0) return cli_exit_code(left);
    int16_t header = 0;
    const int scan = iScanFileBytes(path, &gVeilStats, 1, &header, 1, 1);
    if (scan != 0) return cli_exit_code(scan);

    // What the decryption dialog shows before the passwords.
    gVeilStats.status = lq_veil_judge(&gVeilStats, gDataLength, gByteSum);
    char line[128];
    lq_veil_version_line(&gVeilStats, line, sizeof line);
    print_escaped("Riddle: ", gRiddle);
    std::printf("%s\n%s\n", line, lq_veil_status_text(gVeilStats.status));
    std::fflush(stdout);
    if (gVeilStats.status != 0) {
        const std::string q = std::string("The data part does not match its record (") +
                              lq_veil_status_text(gVeilStats.status) +
                              "): the decrypted file will be wrong.  Decrypt anyway ?";
        if (iMessageBox(q.c_str(), "lockquill-cli decrypt", LQ_MB_YESNO | LQ_MB_ICONQUESTION) !=
            LQ_IDYES)
            return CLI_DECLINED;
    }

    // Asked twice on a terminal: a typo would decrypt to garbage, and an
    // uncompressed file cannot tell wrong passwords from right ones.
    Secrets s;
    if (!get_passwords(cmd, o, true, s) || !check_passwords(cmd, s)) return CLI_FAILED;
    set_passwords(s);
    if (o.make_backup) gMakeBackup = 1;

    const int result = iVeilmixFile(path, &gVeilStats, -1);
    lq_veilmix_clear();
    return cli_exit_code(result);
}
