// One Veilmix stream under two passwords, in pieces then the rest; its byte sum left in gByteSum.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "crypt/veilmix.h"
inline std::string veil(const std::string& p1, const std::string& p2, int mode, std::string data,
                        int direction, const std::vector<size_t>& cuts = {}) {
    std::memcpy(gPassword1, (p1 + std::string(sizeof gPassword1, '\0')).data(), sizeof gPassword1);
    std::memcpy(gPassword2, (p2 + std::string(sizeof gPassword2, '\0')).data(), sizeof gPassword2);
    VeilStats r{};
    r.mode = int16_t(mode);
    iResetVeilmix(&r);
    gByteSum = 0;
    uint8_t* p = reinterpret_cast<uint8_t*>(&data[0]);
    size_t pos = 0;
    for (size_t c : cuts)
        iVeilmix(uint32_t(c), p + pos, &r, int16_t(direction), 0, nullptr), pos += c;
    iVeilmix(uint32_t(data.size() - pos), p + pos, &r, int16_t(direction), 0, nullptr);
    return data;
}
