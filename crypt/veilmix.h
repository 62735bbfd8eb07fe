// Veilmix: the stream cipher under two passwords.
//
// Every data byte is combined with one key byte by an addition or a
// subtraction modulo 256.  The key bytes are taken, alternately from two key
// buffers, along sweeps of an index over the key; after every sweep the key
// buffers are mixed anew from themselves.  Decryption walks the same schedule
// and applies the inverse operation.
//
// One stream at a time: the state is program-wide.  iResetVeilmix starts a
// stream; iVeilmix then transforms the stream's bytes in order, in buffers of
// any sizes: the output does not depend on how the stream is cut.
//
// The record's mode selects the schedule: above 2 behaves as 3 (this version
// writes 3), 2 or less as 2 (files of earlier versions).
#pragma once

#include <cstddef>
#include <cstdint>

#include "crypt/veil_stats.h"

// Longest password, and room for it with its zero.
const int VEIL_MAX_KEY = 20;
const int VEIL_KEY_ROOM = VEIL_MAX_KEY + 1;

// The two passwords of the current stream (zero-terminated; the dialogs make
// both 7 to 20 characters long).  Only the length of gPassword1 is taken.
extern char gPassword1[VEIL_KEY_ROOM];
extern char gPassword2[VEIL_KEY_ROOM];

// Sum modulo 2^32 of every byte iVeilmix writes; callers set it to 0 before
// a stream.
extern uint32_t gByteSum;

struct VeilmixStateRecord {
    int16_t keyLength;
    // keyE and keyB supply the key bytes, keyC receives each new mix.  Mixed
    // bytes may be 0: copies and mixes always go by keyLength.
    uint8_t keyE[VEIL_KEY_ROOM];
    uint8_t keyB[VEIL_KEY_ROOM];
    uint8_t keyC[VEIL_KEY_ROOM];
    int16_t ramp1;  // 0..255
    int16_t ramp1Rising;
    int16_t ramp2;  // 0..255, moved by ramp1
    int16_t ramp2Rising;
    int16_t subtract;   // sense of the next combination
    int16_t alternate;  // keyE or keyB next
    int16_t keyIndex;
    int16_t sweepLimit;
    int16_t ascending;
    int16_t sweepCount;  // sweeps since the last rekey (modes 1 and 2)
    int16_t fresh;       // set by the reset, consumed by the next iVeilmix
    uint8_t keyByte;     // key byte of the next data byte (modes 1 and 2)
    // Number of ramp steps taken, folded onto the ramps' cycle: the ramps are
    // a function of it alone (see veilmix.cpp).
    int16_t rampStep;
};
extern VeilmixStateRecord VeilmixState;

// (b - a) mod 256 when subtract is set, (b + a) mod 256 otherwise.
uint8_t do_encrypt(uint8_t a, uint8_t b, int16_t subtract);

// One mixing pass over n bytes under the record's mode: c[i] from a[i] and
// b[i]; writes a zero at c[n] and moves the ramps and flags of the state on.
// Returns 0.
int iMixVeilmixKeys(int16_t n, const uint8_t* a, const uint8_t* b, uint8_t* c,
                    const VeilStats* record);

// Copies n bytes and writes a zero after them.
int iCopyVeilmixKey(uint8_t* destination, const uint8_t* source, int16_t n);

// Starts a stream from gPassword1, gPassword2 and the record's mode.  A
// gPassword1 shorter than 2 characters is taken as 2 characters (its zero and
// the zero after it): the schedule needs two key bytes.  Returns 0.
int iResetVeilmix(const VeilStats* record);

// Transforms count bytes of buffer in place; direction 1 encrypts, any other
// value decrypts.  Adds every byte written to gByteSum.  A non-zero
// show_progress opens, updates and closes the progress window itself, with
// file_name as its file line.  Returns 0.
int iVeilmix(uint32_t count, uint8_t* buffer, const VeilStats* record, int16_t direction,
             int16_t show_progress, const char* file_name);

// The transform of iVeilmix without any progress window (the cipher proper).
// Without a stream started since start-up or lq_veilmix_clear it starts one
// from the current passwords first.
void lq_veilmix_transform(uint32_t count, uint8_t* buffer, int16_t mode, int16_t direction);

// Clears the cipher state and the passwords (zeros over the key material).
void lq_veilmix_clear();

// Zeros n bytes of memory that held plain text or key material, in a way
// the compiler can't drop as a store nobody reads.
void lq_secure_zero(void* p, size_t n);
