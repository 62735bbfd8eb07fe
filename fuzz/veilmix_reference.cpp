#include "fuzz/veilmix_reference.h"

#include <cstring>

ReferenceVeilmix::ReferenceVeilmix(const std::string& password1, const std::string& password2,
                                   int mode)
    : mode3(mode > 2) {
    keyLength = int(password1.size());
    uint8_t p1[21] = {}, p2[21] = {};
    std::memcpy(p1, password1.data(), password1.size());
    std::memcpy(p2, password2.data(), password2.size());
    keyIndex = keyLength - 1;
    mix(keyLength, p1, p2, keyE);
    mix(keyLength, p2, keyE, keyB);
    mix(keyLength, keyE, keyB, keyC);
    std::memcpy(keyE, keyB, size_t(keyLength));
    std::memcpy(keyB, keyC, size_t(keyLength));
}

static uint8_t do_enc(uint8_t a, uint8_t b, int subtract) {
    return subtract ? uint8_t(b - a) : uint8_t(b + a);
}

void ReferenceVeilmix::mix(int n, const uint8_t* a, const uint8_t* b, uint8_t* c) {
    for (int i = 0; i < n; ++i) {
        if (mode3) {
            if (ramp1Rising) {
                ramp1 += 1;
                if (ramp1 > 254) ramp1 = 255, ramp1Rising = 0;
            } else {
                ramp1 -= 1;
                if (ramp1 < 1) ramp1 = 0, ramp1Rising = 1;
            }
            if (ramp2Rising) {
                ramp2 += ramp1;
                if (ramp2 > 254) ramp2 = 255, ramp2Rising = 0;
            } else {
                ramp2 -= ramp1;
                if (ramp2 < 1) ramp2 = 0, ramp2Rising = 1;
            }
            uint8_t x = subtract ? uint8_t(ramp2 - b[i]) : uint8_t(ramp2 + b[i]);
            c[i] = do_enc(a[i], x, subtract);
        } else if (alternate) {
            alternate = 0;
            c[i] = do_enc(b[i], a[i], subtract);
        } else {
            alternate = 1;
            c[i] = do_enc(a[i], b[i], subtract);
        }
        subtract = !subtract;
    }
    c[n] = 0;
}

void ReferenceVeilmix::rekey() {
    mix(keyLength, keyE, keyB, keyC);
    std::memcpy(keyE, keyB, size_t(keyLength));
    std::memcpy(keyB, keyC, size_t(keyLength));
}

void ReferenceVeilmix::select_key() {
    if (alternate) {
        alternate = 0;
        keyByte = keyE[keyIndex];
    } else {
        alternate = 1;
        keyByte = keyB[keyIndex];
    }
    subtract = !subtract;
}

void ReferenceVeilmix::step_index() {
    if (ascending && keyIndex < sweepLimit) {
        keyIndex++;
    } else if (!ascending && keyIndex > 0) {
        keyIndex--;
    } else {
        sweepCount++;
        if (mode3) {
            sweepCount = 0;
            rekey();
            if (ascending) {
                ascending = 0, sweepLimit = 0, keyIndex = keyLength - 2;
            } else {
                ascending = 1, sweepLimit = keyLength - 1, keyIndex = 1;
            }
        } else if (keyLength - sweepCount == 1) {
            sweepCount = 0;
            rekey();
        } else if (ascending) {
            ascending = 0, sweepLimit = 0, keyIndex = keyLength - sweepCount - 1;
        } else {
            ascending = 1, sweepLimit = keyLength - sweepCount - 1, keyIndex = 0;
        }
    }
}

uint32_t ReferenceVeilmix::run(uint8_t* data, size_t n, int direction) {
    uint32_t sum = 0;
    if (fresh) {
        fresh = 0;
        keyByte = keyE[keyIndex];
    }
    for (size_t i = 0; i < n; ++i) {
        if (mode3) select_key();
        indices.push_back(char('0' + keyIndex));
        forms.push_back(subtract ? '-' : '+');
        uint8_t d = data[i], r;
        if (direction == 1)
            r = subtract ? uint8_t(keyByte - d) : uint8_t(keyByte + d);
        else
            r = subtract ? uint8_t(keyByte - d) : uint8_t(d - keyByte);
        data[i] = r;
        sum += r;
        step_index();
        if (!mode3) select_key();
    }
    return sum;
}

std::string ReferenceVeilmix::run(std::string data, int direction) {
    run(reinterpret_cast<uint8_t*>(&data[0]), data.size(), direction);
    return data;
}
