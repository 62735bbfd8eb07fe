// The encryption tests' fixture, older records built field by field, files built from parts.
#pragma once
#include <cstdint>
#include <algorithm>
#include <map>
#include <numeric>
#include <tuple>

#include "crypt/veil_stats.h"
#include "fuzz/veil_stream.h"
#include "tests/support/lq_test.h"
class CryptTest : public LqTest {
  protected:
    void SetUp() override { LqTest::SetUp(), lq_crypt_reset(); }
};

// An older record of 774, 390, 287 or 277 bytes, zero-filled with its size in
// its last two bytes.  set() writes a little-endian field of n bytes (text()
// its characters) at the layout's offset; a field the layout lacks is skipped.
struct LegacyRecord {
    explicit LegacyRecord(int16_t size) : bytes(size_t(size), '\0') {
        const bool big = size >= 390;
        const int c = size == 774 ? 653 : big ? 269 : 267, o = big ? 2 : 0;  // checksum, shift
        at = {{"version", o},     {"tag", o + 4},  {"mode", o + 6},      {"status", o + 8},
              {"riddle", o + 10}, {"checksum", c}, {"datalength", c + 4}};
        if (big) at["recordtype"] = 0, at["originalsize"] = c + 18, at["reserved"] = c + 22;
        const char* stamp[] = {"dosdate", "dostime", "dosattr", "readonly", "compression"};
        for (int i = 0; i < 5 && size != 277; ++i) at[stamp[i]] = c + 8 + 2 * i;
        bytes[size_t(size) - 2] = char(size), bytes[size_t(size) - 1] = char(size >> 8);
    }
    LegacyRecord& set(const char* field, uint32_t v, int n = 2) {
        for (int i = 0; i < n && at.count(field); ++i)
            bytes[size_t(at[field] + i)] = char(v >> (8 * i));
        return *this;
    }
    LegacyRecord& set_version(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return set("version", bits, 4);
    }
    LegacyRecord& text(const char* field, const std::string& t) {
        if (at.count(field)) bytes.replace(size_t(at[field]), t.size(), t);
        return *this;
    }
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(bytes.data()); }
    std::string bytes;
    std::map<std::string, int> at;
};

// A record of this version with the given data description.
inline VeilStats current_record(int32_t datalength, uint32_t checksum, int16_t riddlelength) {
    VeilStats r{};
    iDefaultVeilStats(&r);
    r.datalength = datalength, r.checksum = checksum, r.riddlelength = riddlelength;
    return r;
}
inline std::string packed(const VeilStats& r) {
    uint8_t b[VEIL_STATS_SIZE];
    lq_veil_stats_pack(&r, b);
    return std::string(reinterpret_cast<char*>(b), VEIL_STATS_SIZE);
}

inline uint32_t byte_sum(const std::string& s) {
    return std::accumulate(s.begin(), s.end(), 0u,
                           [](uint32_t a, unsigned char c) { return a + c; });
}
// data + Riddle with its zero + record describing them.
inline std::string encrypted_file(const std::string& data, const std::string& riddle) {
    return data + riddle + '\0' +
           packed(current_record(int32_t(data.size()), byte_sum(data), int16_t(riddle.size() + 1)));
}
inline std::string ledger() {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 17) + " of the ledger\r\n";
    return text;
}
