// A literal, byte-at-a-time transcription of the Veilmix schedule, kept
// apart from the cipher under test (its own state, its own ramps, no tables,
// no vector path).  The veilmix fuzz target checks the cipher against it, and
// it made the golden streams of tests/crypt/golden.
#pragma once

#include <cstdint>
#include <string>

struct ReferenceVeilmix {
    ReferenceVeilmix(const std::string& password1, const std::string& password2, int mode);
    // Transforms the bytes in place; direction 1 encrypts.  Returns the sum of
    // the bytes written.
    uint32_t run(uint8_t* data, size_t n, int direction);
    std::string run(std::string data, int direction);

    // Key indices and subtract flags of the bytes run so far (for tests on
    // the shape of the schedule).
    std::string indices, forms;

  private:
    void mix(int n, const uint8_t* a, const uint8_t* b, uint8_t* c);
    void rekey();
    void select_key();
    void step_index();

    bool mode3;
    int keyLength;
    uint8_t keyE[21] = {}, keyB[21] = {}, keyC[21] = {};
    int ramp1 = 0, ramp1Rising = 1, ramp2 = 0, ramp2Rising = 1;
    int subtract = 1, alternate = 1, keyIndex = 0, sweepLimit = 0, ascending = 0, sweepCount = 0;
    int fresh = 1;
    uint8_t keyByte = 0;
};
