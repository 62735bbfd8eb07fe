// Helpers of the UU tests.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/lq_test.h"
#include "uu/uu_common.h"

inline std::string uu_crlf(const std::string& lf) {
    std::string s;
    for (char c : lf) s += c == '\n' ? "\r\n" : std::string(1, c);
    return s;
}

// The lines of s, each with its line end.
inline std::vector<std::string> uu_lines(const std::string& s) {
    std::vector<std::string> out;
    for (size_t at = 0, end; at < s.size(); at = end)
        out.push_back(s.substr(at, (end = std::min(s.find('\n', at), s.size() - 1) + 1) - at));
    return out;
}

// A reference encoder independent of the codec: the data lines, the grave
// accent line and "end", with LF line ends.
inline std::string uu_reference_body(const std::string& d) {
    auto ch = [](unsigned v) { return char(v ? v + 0x20 : 0x60); };
    std::string out;
    for (size_t at = 0, n = 45; n == 45; at += n) {
        n = std::min<size_t>(45, d.size() - at);
        out += ch(unsigned(n));
        for (size_t i = 0; i < n; i += 3) {
            uint32_t w = 0;
            for (size_t k = i; k < i + 3; ++k) w = w << 8 | (k < n ? uint8_t(d[at + k]) : 0);
            for (int s = 18; s >= 0; s -= 6) out += ch(w >> s & 63);
        }
        out += n && n < 45 ? "\n`\n" : "\n";
    }
    return out + "end\n";
}

// Writable copies of a path and a name, as the open dialog's szFileName and
// szFileTitle are.
struct UuPath {
    char p[LQ_MAX_PATH];
    explicit UuPath(const std::string& s) { std::snprintf(p, sizeof p, "%s", s.c_str()); }
};
struct UuTitle {
    char t[LQ_FILE_TITLE_SIZE];
    explicit UuTitle(const std::string& s) { std::snprintf(t, sizeof t, "%s", s.c_str()); }
};

inline uint64_t uu_write_time(const std::string& p) {
    PfFindData fd = {};
    pf_find_first(p.c_str(), &fd);
    return (uint64_t(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
}

inline void uu_set_write_time(const std::string& p, uint64_t t) {
    PfFile f =
        pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    PfFileTime w{uint32_t(t), uint32_t(t >> 32)};
    ASSERT_TRUE(f != PF_INVALID_FILE && pf_set_file_time(f, nullptr, nullptr, &w)) << p;
    pf_close(f);
}

inline bool uu_readonly(const std::string& p) {
    uint32_t a = pf_get_attributes(p.c_str());
    return a != PF_INVALID_ATTRIBUTES && (a & PF_ATTR_READONLY);
}

// Deletes every file of folder d (read-only ones too).
inline void uu_clear(const std::string& d) {
    PfFaultPause pause;
    for (const auto& e : std::filesystem::directory_iterator(d)) {
        std::string f = e.path().string();
        pf_set_attributes(f.c_str(), PF_ATTR_ARCHIVE);
        pf_delete(f.c_str());
    }
}

// 2003-04-05 06:07:08 UTC as a FILETIME, an even number of seconds.
const uint64_t UU_T2003 = 126939964280000000ull;
