// Builders for the encryption tests: older records field by field, and
// encrypted files from their parts.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "crypt/veil_stats.h"
#include "tests/support/lq_test.h"

// Every test of the subsystem starts from the start-up state of its records.
class CryptTest : public LqTest {
  protected:
    void SetUp() override {
        LqTest::SetUp();
        lq_crypt_reset();
    }
};

// An older record of 774, 390, 287 or 277 bytes, zero-filled with its size in
// its last two bytes.  Setting a field the layout lacks does nothing.
class LegacyRecord {
  public:
    explicit LegacyRecord(int16_t size) : bytes_(size_t(size), 0) {
        const bool big = size == 774 || size == 390;
        const int r = size == 774 ? 641 : 257;  // Riddle field
        if (big) {
            at_ = {{"recordtype", 0}, {"version", 2}, {"tag", 6},          {"mode", 8},
                   {"status", 10},    {"riddle", 12}, {"checksum", 12 + r}};
        } else {
            at_ = {{"version", 0}, {"tag", 4},     {"mode", 6},
                   {"status", 8},  {"riddle", 10}, {"checksum", 267}};
        }
        const int c = at_["checksum"];
        at_["datalength"] = c + 4;
        if (size != 277) {
            const char* names[] = {"dosdate", "dostime", "dosattr", "readonly", "compression"};
            for (int i = 0; i < 5; ++i) at_[names[i]] = c + 8 + 2 * i;
        }
        if (big) {
            at_["originalsize"] = c + 18;
            at_["reserved"] = c + 22;
        }
        riddle_size_ = size_t(r);
        set16_at(size_t(size) - 2, uint16_t(size));
    }
    LegacyRecord& set16(const char* field, uint16_t v) {
        if (at_.count(field)) set16_at(size_t(at_[field]), v);
        return *this;
    }
    LegacyRecord& set32(const char* field, uint32_t v) {
        if (at_.count(field))
            for (int i = 0; i < 4; ++i) bytes_[size_t(at_[field] + i)] = uint8_t(v >> (8 * i));
        return *this;
    }
    LegacyRecord& set_version(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int i = 0; i < 4; ++i) bytes_[size_t(at_["version"] + i)] = uint8_t(bits >> (8 * i));
        return *this;
    }
    LegacyRecord& set_tag(const std::string& t) {
        std::memcpy(&bytes_[size_t(at_["tag"])], t.data(), t.size() < 2 ? t.size() : 2);
        return *this;
    }
    LegacyRecord& set_riddle(const std::string& t) {
        std::memcpy(&bytes_[size_t(at_["riddle"])], t.data(),
                    t.size() < riddle_size_ ? t.size() : riddle_size_);
        return *this;
    }
    LegacyRecord& fill_reserved(uint8_t v) {
        if (at_.count("reserved")) std::memset(&bytes_[size_t(at_["reserved"])], v, 97);
        return *this;
    }
    const uint8_t* data() const { return bytes_.data(); }
    std::string bytes() const { return std::string(bytes_.begin(), bytes_.end()); }

  private:
    void set16_at(size_t off, uint16_t v) {
        bytes_[off] = uint8_t(v);
        bytes_[off + 1] = uint8_t(v >> 8);
    }
    std::vector<uint8_t> bytes_;
    std::map<std::string, int> at_;
    size_t riddle_size_;
};

// A record of this version with the given data description.
inline VeilStats current_record(int32_t datalength, uint32_t checksum, int16_t riddlelength) {
    VeilStats r;
    std::memset(&r, 0, sizeof r);
    iDefaultVeilStats(&r);
    r.datalength = datalength;
    r.checksum = checksum;
    r.riddlelength = riddlelength;
    return r;
}

inline std::string packed(const VeilStats& r) {
    uint8_t b[VEIL_STATS_SIZE];
    lq_veil_stats_pack(&r, b);
    return std::string(reinterpret_cast<char*>(b), VEIL_STATS_SIZE);
}

inline uint32_t byte_sum(const std::string& s) {
    uint32_t sum = 0;
    for (unsigned char c : s) sum += c;
    return sum;
}

// data + Riddle with its zero + record describing them.
inline std::string encrypted_file(const std::string& data, const std::string& riddle) {
    VeilStats r = current_record(int32_t(data.size()), byte_sum(data), int16_t(riddle.size() + 1));
    return data + riddle + std::string(1, '\0') + packed(r);
}
