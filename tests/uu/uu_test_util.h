// Helpers of the UU tests.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/lq_test.h"
#include "uu/uu_common.h"

// LF line ends as CR LF.
inline std::string uu_crlf(const std::string& lf) {
    std::string s;
    for (char c : lf) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

// The lines of s, each with its line end.
inline std::vector<std::string> uu_lines(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < s.size()) {
        size_t lf = s.find('\n', start);
        size_t end = lf == std::string::npos ? s.size() : lf + 1;
        out.push_back(s.substr(start, end - start));
        start = end;
    }
    return out;
}

// A reference encoder written bit by bit, independent of the codec: the data
// lines, the grave accent line and "end", with LF line ends.
inline std::string uu_reference_body(const std::string& data) {
    auto ch = [](unsigned v) { return char(v ? v + 0x20 : 0x60); };
    std::string out;
    for (size_t at = 0;; at += 45) {
        size_t n = data.size() - at < 45 ? data.size() - at : 45;
        out += ch(unsigned(n));
        std::vector<int> bits;
        for (size_t i = 0; i < n; ++i)
            for (int b = 7; b >= 0; --b) bits.push_back((data[at + i] >> b) & 1);
        while (bits.size() % 24) bits.push_back(0);
        for (size_t i = 0; i < bits.size(); i += 6) {
            unsigned v = 0;
            for (int b = 0; b < 6; ++b) v = v << 1 | unsigned(bits[i + b]);
            out += ch(v);
        }
        out += '\n';
        if (n == 0) break;
        if (n < 45) {
            out += "`\n";
            break;
        }
    }
    return out + "end\n";
}

// A writable path buffer, as the open dialog's szFileName is.
struct UuPath {
    char p[LQ_MAX_PATH];
    explicit UuPath(const std::string& s) {
        std::strncpy(p, s.c_str(), sizeof p - 1);
        p[sizeof p - 1] = 0;
    }
};

// A name buffer, as szFileTitle is.
struct UuTitle {
    char t[LQ_FILE_TITLE_SIZE];
    explicit UuTitle(const std::string& s) {
        std::strncpy(t, s.c_str(), sizeof t - 1);
        t[sizeof t - 1] = 0;
    }
};

inline uint64_t uu_write_time(const std::string& p) {
    FileInformation i;
    std::memset(&i, 0, sizeof i);
    PfFile f = pf_open(p.c_str(), PF_ACCESS_READ, PF_SHARE_READ | PF_SHARE_WRITE, PF_OPEN_EXISTING);
    if (f != PF_INVALID_FILE) {
        pf_get_file_information(f, &i);
        pf_close(f);
    }
    return (uint64_t(i.ftLastWriteTime.dwHighDateTime) << 32) | i.ftLastWriteTime.dwLowDateTime;
}

// Sets the last-write time of p (a FILETIME value).
inline void uu_set_write_time(const std::string& p, uint64_t t) {
    PfFile f =
        pf_open(p.c_str(), PF_ACCESS_READ | PF_ACCESS_WRITE, PF_SHARE_READ, PF_OPEN_EXISTING);
    ASSERT_NE(f, PF_INVALID_FILE) << p;
    PfFileTime w{uint32_t(t), uint32_t(t >> 32)};
    ASSERT_TRUE(pf_set_file_time(f, nullptr, nullptr, &w));
    pf_close(f);
}

inline bool uu_readonly(const std::string& p) {
    uint32_t a = pf_get_attributes(p.c_str());
    return a != PF_INVALID_ATTRIBUTES && (a & PF_ATTR_READONLY);
}

// 2003-04-05 06:07:08 UTC as a FILETIME, an even number of seconds.
const uint64_t UU_T2003 = 126939964280000000ull;
