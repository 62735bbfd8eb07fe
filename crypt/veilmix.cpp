// The Veilmix cipher proper: key schedule, mixing passes and the transform.
//
// Two paths compute the same stream.  The serial path follows the schedule
// one byte at a time and serves modes 1 and 2, the first sweep after a reset
// and the pieces of a sweep at the ends of a call.  The sweep path serves
// mode 3 from the start of a sweep on: a whole sweep's key bytes, its
// add-or-subtract pattern and the rekey after it depend only on the key
// buffers and the ramps, never on the data, so it computes one sweep with a
// handful of vector operations into a key-stream block and then combines
// that block with the data in one pass.
#include "crypt/veilmix.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

char gPassword1[VEIL_KEY_ROOM];
char gPassword2[VEIL_KEY_ROOM];
uint32_t gByteSum;
VeilmixStateRecord VeilmixState;

namespace {

// ------------------------------------------------------------------ ramps
// The ramps (ramp1, its direction, ramp2, its direction) move only in mode-3
// mixing steps and depend on nothing but the number of steps since a reset.
// From the start state they run 128 steps before they enter a cycle of 510
// states (the 128th state recurs after step 638).  rampStep counts steps
// folded onto that cycle, so the ramps are a table lookup.
constexpr int RAMP_LEAD = 128;
constexpr int RAMP_CYCLE = 510;
constexpr int RAMP_STATES = RAMP_LEAD + RAMP_CYCLE;

struct RampState {
    int16_t ramp1, ramp1_rising, ramp2, ramp2_rising;
};

constexpr RampState ramp_step(RampState r) {
    if (r.ramp1_rising) {
        r.ramp1 = int16_t(r.ramp1 + 1);
        if (r.ramp1 > 254) {
            r.ramp1 = 255;
            r.ramp1_rising = 0;
        }
    } else {
        r.ramp1 = int16_t(r.ramp1 - 1);
        if (r.ramp1 < 1) {
            r.ramp1 = 0;
            r.ramp1_rising = 1;
        }
    }
    if (r.ramp2_rising) {
        r.ramp2 = int16_t(r.ramp2 + r.ramp1);
        if (r.ramp2 > 254) {
            r.ramp2 = 255;
            r.ramp2_rising = 0;
        }
    } else {
        r.ramp2 = int16_t(r.ramp2 - r.ramp1);
        if (r.ramp2 < 1) {
            r.ramp2 = 0;
            r.ramp2_rising = 1;
        }
    }
    return r;
}

constexpr bool same_ramp(RampState a, RampState b) {
    return a.ramp1 == b.ramp1 && a.ramp1_rising == b.ramp1_rising && a.ramp2 == b.ramp2 &&
           a.ramp2_rising == b.ramp2_rising;
}

// Vector loads of ramp values reach this far beyond a pass.
constexpr int VEC = 32;  // widest ramp load of a pass
constexpr int PAD = VEC;
constexpr int FWD_SIZE = PAD + RAMP_STATES + 2 * VEC;

struct RampTables {
    RampState state[RAMP_STATES];  // state after s steps (s folded)
    bool cycle_closes;             // state RAMP_STATES equals state RAMP_LEAD
    // fwd[PAD + t]: ramp2 as the mixing step taken from step count t leaves
    // it, for t from 0 to RAMP_STATES + 2 VEC (unfolded); zeros before.
    uint8_t fwd[FWD_SIZE];
    // rev[k] = fwd[FWD_SIZE - 1 - k]: the same values backwards, for passes
    // computed over the reversed key buffers.
    uint8_t rev[FWD_SIZE];
};

constexpr int fold_step(int t) {
    return t < RAMP_STATES ? t : RAMP_LEAD + (t - RAMP_LEAD) % RAMP_CYCLE;
}

constexpr RampTables make_ramp_tables() {
    RampTables t{};
    RampState r{0, 1, 0, 1};
    for (int s = 0; s < RAMP_STATES; ++s) {
        t.state[s] = r;
        r = ramp_step(r);
    }
    t.cycle_closes = same_ramp(r, t.state[RAMP_LEAD]);
    for (int s = 0; s < RAMP_STATES + 2 * VEC; ++s)
        t.fwd[PAD + s] = uint8_t(t.state[fold_step(s + 1)].ramp2);
    for (int k = 0; k < FWD_SIZE; ++k) t.rev[k] = t.fwd[FWD_SIZE - 1 - k];
    return t;
}

constexpr RampTables ramps = make_ramp_tables();
static_assert(ramps.cycle_closes, "the ramps enter their cycle at step 128");

inline int16_t next_step(int16_t s) { return int16_t(s + 1 == RAMP_STATES ? RAMP_LEAD : s + 1); }

inline void set_ramps(VeilmixStateRecord& st, int16_t s) {
    st.rampStep = s;
    st.ramp1 = ramps.state[s].ramp1;
    st.ramp1Rising = ramps.state[s].ramp1_rising;
    st.ramp2 = ramps.state[s].ramp2;
    st.ramp2Rising = ramps.state[s].ramp2_rising;
}

// ------------------------------------------------------------ serial path
void mix_keys(int16_t n, const uint8_t* a, const uint8_t* b, uint8_t* c, bool mode3) {
    VeilmixStateRecord& st = VeilmixState;
    for (int i = 0; i < n; ++i) {
        if (mode3) {
            set_ramps(st, next_step(st.rampStep));
            uint8_t x = st.subtract ? uint8_t(st.ramp2 - b[i]) : uint8_t(st.ramp2 + b[i]);
            c[i] = do_encrypt(a[i], x, st.subtract);
        } else if (st.alternate) {
            st.alternate = 0;
            c[i] = do_encrypt(b[i], a[i], st.subtract);
        } else {
            st.alternate = 1;
            c[i] = do_encrypt(a[i], b[i], st.subtract);
        }
        st.subtract = !st.subtract;
    }
    c[n] = 0;
}

void rekey(bool mode3) {
    VeilmixStateRecord& st = VeilmixState;
    mix_keys(st.keyLength, st.keyE, st.keyB, st.keyC, mode3);
    iCopyVeilmixKey(st.keyE, st.keyB, st.keyLength);
    iCopyVeilmixKey(st.keyB, st.keyC, st.keyLength);
}

inline void select_key() {
    VeilmixStateRecord& st = VeilmixState;
    if (st.alternate) {
        st.alternate = 0;
        st.keyByte = st.keyE[st.keyIndex];
    } else {
        st.alternate = 1;
        st.keyByte = st.keyB[st.keyIndex];
    }
    st.subtract = !st.subtract;
}

void step_index(bool mode3) {
    VeilmixStateRecord& st = VeilmixState;
    if (st.ascending && st.keyIndex < st.sweepLimit) {
        ++st.keyIndex;
        return;
    }
    if (!st.ascending && st.keyIndex > 0) {
        --st.keyIndex;
        return;
    }
    ++st.sweepCount;
    const int16_t len = st.keyLength;
    if (mode3) {
        st.sweepCount = 0;
        rekey(true);
        if (st.ascending) {
            st.ascending = 0;
            st.sweepLimit = 0;
            st.keyIndex = int16_t(len - 2);
        } else {
            st.ascending = 1;
            st.sweepLimit = int16_t(len - 1);
            st.keyIndex = 1;
        }
    } else if (len - st.sweepCount == 1) {
        // The rekey takes the place of a turn: index and direction stay.
        st.sweepCount = 0;
        rekey(false);
    } else if (st.ascending) {
        st.ascending = 0;
        st.sweepLimit = 0;
        st.keyIndex = int16_t(len - st.sweepCount - 1);
    } else {
        st.ascending = 1;
        st.sweepLimit = int16_t(len - st.sweepCount - 1);
        st.keyIndex = 0;
    }
}

// Encryption: keyByte - d with subtract, keyByte + d without.  Decryption:
// keyByte - d with subtract (its own inverse), d - keyByte without.
inline uint8_t combine(uint8_t key, uint8_t d, bool subtract, bool encrypt) {
    if (subtract) return uint8_t(key - d);
    return encrypt ? uint8_t(key + d) : uint8_t(d - key);
}

void serial_bytes(uint8_t* buf, uint32_t n, bool mode3, bool encrypt) {
    VeilmixStateRecord& st = VeilmixState;
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (mode3) select_key();
        uint8_t r = combine(st.keyByte, buf[i], st.subtract != 0, encrypt);
        buf[i] = r;
        sum += r;
        step_index(mode3);
        if (!mode3) select_key();
    }
    gByteSum += sum;
}

// True where a mode-3 sweep starts (right after a rekey, or where the rest of
// the first sweep is as long as a whole one): the sweep path takes over.
inline bool at_sweep_start() {
    const VeilmixStateRecord& st = VeilmixState;
    const int16_t len = st.keyLength;
    if (st.ascending) return st.keyIndex == 1 && st.sweepLimit == len - 1;
    return st.keyIndex == len - 2 && st.sweepLimit == 0;
}

// ------------------------------------------------------------- sweep path
// After a rekey every mode-3 sweep is keyLength - 1 bytes long: ascending it
// reads key positions 1 .. L-1, descending L-2 .. 0.  Both are contiguous
// slices of length L-1 starting at lane 0 of one of two shifted copies of
// each key buffer:
//   fwd[q] = key[q + 1]        (an ascending sweep reads fwd[0 .. L-2])
//   rev[q] = key[L - 2 - q]    (a descending sweep reads rev[0 .. L-2])
// A rekey is element-wise, so it is carried out on both copies; lanes from
// L-1 on hold values of no meaning and are never read.  How the copies are
// laid out in vectors depends on the key length (Layout below).
//
// The flags follow a fixed rhythm: a sweep and its rekey toggle subtract
// (L-1) + L times, an odd number, so subtract flips once per sweep;
// alternate flips per sweep when L-1 is odd; the direction flips every
// sweep.  Two sweeps in a row therefore use masks that are fixed for the whole
// run, and sweeps are taken in pairs.
typedef uint8_t v16 __attribute__((vector_size(16)));

inline void load16(v16& v, const uint8_t* p) { std::memcpy(&v, p, sizeof v); }
inline void store16(uint8_t* p, const v16& v) { std::memcpy(p, &v, sizeof v); }

// alt_bytes[c][q] is 0xFF when c ^ (q & 1) is 1: alt_bytes[1] marks the even
// lanes, alt_bytes[0] the odd ones.  Both halves of a long key have the same
// parity pattern (16 is even).
struct AltMasks {
    uint8_t m[2][16];
};
constexpr AltMasks make_alt() {
    AltMasks a{};
    for (int c = 0; c < 2; ++c)
        for (int q = 0; q < 16; ++q) a.m[c][q] = uint8_t(((q & 1) ^ c) ? 0xFF : 0x00);
    return a;
}
constexpr AltMasks alt_bytes = make_alt();

// Key-stream block: per byte the additive key K and the mask M of the
// combination out = K + (d ^ M), see sweep_pairs.
constexpr uint32_t BLOCK = 4096;

// out[i] = K[i] + (d[i] ^ M[i]); returns the sum of the bytes written.
uint32_t apply_block(uint8_t* buf, const uint8_t* K, const uint8_t* M, uint32_t n) {
    uint32_t sum = 0;
    uint32_t i = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + i));
        __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(K + i));
        __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(M + i));
        __m128i r = _mm_add_epi8(k, _mm_xor_si128(d, m));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buf + i), r);
        acc = _mm_add_epi64(acc, _mm_sad_epu8(r, zero));
    }
    sum = uint32_t(_mm_cvtsi128_si32(acc)) + uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(acc, 8)));
#endif
    for (; i < n; ++i) {
        uint8_t r = uint8_t(K[i] + (buf[i] ^ M[i]));
        buf[i] = r;
        sum += r;
    }
    return sum;
}

// Where the copies live: NV vectors of 16 lanes.
//   NV 1 (L-1 <= 8):  vector 0 = fwd 0..7 | rev 0..7
//   NV 2 (L-1 <= 16): vector 0 = fwd 0..15, vector 1 = rev 0..15
//   NV 3 (L-1 <= 24): as NV 2, and vector 2 = fwd 16..23 | rev 16..23
// A short key thus takes one vector operation per rekey step for both
// copies, and lanes are wasted on neither.
template <int NV>
struct Layout {
    // Byte offset, in the NV * 16 bytes, of lane q of copy c (0 fwd, 1 rev).
    static constexpr int at(int c, int q) {
        return NV == 1 ? 8 * c + q : q < 16 ? 16 * c + q : 32 + 8 * c + (q - 16);
    }
    static constexpr int lanes = NV == 1 ? 8 : NV == 2 ? 16 : 24;  // per copy
};

// Ramp values of a rekey in the lanes of a layout, for every step count:
// the mixing step of fwd lane q is q + 1, of rev lane q L - 2 - q.  Rows of
// NV * 16 bytes, so that a short key's table stays in the first-level cache.
// Built once per key length and kept (ramps are no secret).
struct RampLayoutTable {
    int key_length = 0;
    int nv = 0;
    alignas(16) uint8_t v[RAMP_STATES * 64];
};
RampLayoutTable ramp_layout;

template <int NV>
const RampLayoutTable& ramp_layout_for(int L) {
    if (ramp_layout.key_length == L && ramp_layout.nv == NV) return ramp_layout;
    const uint8_t* f = ramps.fwd + PAD;  // f[t]: ramp2 of the step taken from count t
    std::memset(ramp_layout.v, 0, sizeof ramp_layout.v);
    for (int p = 0; p < RAMP_STATES; ++p) {
        uint8_t* row = ramp_layout.v + p * NV * 16;
        for (int q = 0; q < L - 1; ++q) {
            row[Layout<NV>::at(0, q)] = f[p + 1 + q];
            row[Layout<NV>::at(1, q)] = f[p + L - 2 - q];
        }
    }
    ramp_layout.key_length = L;
    ramp_layout.nv = NV;
    return ramp_layout;
}

#if defined(__SSE2__)
inline v16 shift_down_8(const v16& v) {
    __m128i x;
    std::memcpy(&x, &v, 16);
    x = _mm_srli_si128(x, 8);
    v16 r;
    std::memcpy(&r, &x, 16);
    return r;
}
#else
inline v16 shift_down_8(const v16& v) {
    v16 r{};
    for (int q = 0; q < 8; ++q) r[q] = v[q + 8];
    return r;
}
#endif

// Pairs of whole mode-3 sweeps from a sweep start while at least two sweeps
// of data are left; leaves the state exactly as the serial path would.
//
// Per sweep: the key bytes raw = keyE where alternate is set, keyB where
// clear (one blend of the copy read in the sweep's direction), stored as
// K = raw + 1 where the byte is subtracted, raw where added (encryption),
// or raw + 1 and -raw (decryption):
//   encryption: k - d = (k + 1) + ~d,  k + d = k + d
//   decryption: k - d = (k + 1) + ~d,  d - k = -k + d
// so that out = K + (d ^ M) with M 0xFF where subtracted.  Then the rekey:
// c = ramp2 - (e + b) on subtracting steps, ramp2 + (e + b) on adding ones,
// both copies at once.
template <bool ENC, int NV, bool ASC>
void sweep_pairs(uint8_t*& buf, uint32_t& count) {
    typedef Layout<NV> Lay;
    VeilmixStateRecord& st = VeilmixState;
    const int L = st.keyLength;
    const uint32_t n = uint32_t(L - 1);
    const uint32_t pair = 2 * n;
    const int n_odd = int(n & 1);
    const RampLayoutTable& table = ramp_layout_for<NV>(L);

    alignas(16) uint8_t tmp[64] = {};
    v16 e[NV], b[NV];
    for (int q = 0; q < L - 1; ++q) {
        tmp[Lay::at(0, q)] = st.keyE[q + 1];
        tmp[Lay::at(1, q)] = st.keyE[L - 2 - q];
    }
    for (int v = 0; v < NV; ++v) load16(e[v], tmp + 16 * v);
    for (int q = 0; q < L - 1; ++q) {
        tmp[Lay::at(0, q)] = st.keyB[q + 1];
        tmp[Lay::at(1, q)] = st.keyB[L - 2 - q];
    }
    for (int v = 0; v < NV; ++v) load16(b[v], tmp + 16 * v);

    v16 alt[2];
    load16(alt[0], alt_bytes.m[0]);
    load16(alt[1], alt_bytes.m[1]);
    // Subtract is s at the first sweep of a pair and s ^ 1 at the second;
    // alternate is a, then a ^ n_odd.
    const int s = st.subtract ? 1 : 0;
    const int a = st.alternate ? 1 : 0;
    const v16 pick0 = alt[a], pick1 = alt[a ^ n_odd];
    const v16 m0 = alt[s ^ 1], m1 = alt[s];
    // Rekey masks: subtract entering the rekey after sweep j is
    // r = s ^ j ^ n_odd; fwd lane q subtracts when r ^ ((q + 1) & 1), rev
    // lane q when r ^ ((L - 2 - q) & 1).
    v16 mk[2][NV];
    for (int j = 0; j < 2; ++j) {
        const int r = s ^ j ^ n_odd;
        std::memset(tmp, 0, sizeof tmp);
        for (int q = 0; q < Lay::lanes; ++q) {
            tmp[Lay::at(0, q)] = uint8_t((r ^ ((q + 1) & 1)) ? 0xFF : 0);
            tmp[Lay::at(1, q)] = uint8_t((r ^ ((L - 2 - q) & 1)) ? 0xFF : 0);
        }
        for (int v = 0; v < NV; ++v) load16(mk[j][v], tmp + 16 * v);
    }
    // -2 mk: 2 on subtracting lanes (-2 * 0xFF mod 256), 0 elsewhere.
    v16 two[2][NV];
    for (int j = 0; j < 2; ++j)
        for (int v = 0; v < NV; ++v) two[j][v] = mk[j][v] & 2;

    // The mask block repeats with every pair.
    alignas(16) uint8_t K[BLOCK + 64];
    alignas(16) uint8_t M[BLOCK + 64];
    for (uint32_t pos = 0; pos + pair <= BLOCK; pos += pair) {
        store16(M + pos, m0);
        if (n > 16) store16(M + pos + 16, m0);
        store16(M + pos + n, m1);
        if (n > 16) store16(M + pos + n + 16, m1);
    }

    // The ramp row of the next rekey; rows past the cycle's end wrap back.
    const size_t row_size = NV * 16;
    const uint8_t* row = table.v + st.rampStep * row_size;
    const uint8_t* const rows_end = table.v + RAMP_STATES * row_size;
    v16 raw[2];
    for (v16& r : raw) r = v16{};

    // Sweep j of a pair: the copy in direction `asc`, then the rekey.
    auto sweep = [&](int j, bool asc, const v16& pick, const v16& m, uint8_t* k_out)
        __attribute__((always_inline)) {
        const v16* mkj = mk[j];
        // The sweep's key bytes, lanes 0 .. n-1 of the copy in its direction,
        // stored contiguously (a half-vector moved down where needed).
        auto emit = [&](int h, int v, bool high_half) __attribute__((always_inline)) {
            v16 x = (e[v] & pick) | (b[v] & ~pick);
            if (high_half) x = shift_down_8(x);
            raw[h] = x;
            store16(k_out + 16 * h, ENC ? v16(x - m) : v16((x ^ ~m) + 1));
        };
        if (NV == 1) {
            emit(0, 0, !asc);
        } else {
            emit(0, asc ? 0 : 1, false);
            if (NV == 3) emit(1, 2, !asc);
        }
#pragma GCC unroll 4
        for (int v = 0; v < NV; ++v) {
            v16 r;
            load16(r, row + 16 * v);
            // c = r + sign e + sign b, where sign x = (x ^ mk) - mk is -x
            // on subtracting lanes; so c = (r - 2 mk) + (e ^ mk) + (b ^ mk).
            // The previous rekey's result b passes through two operations
            // only, the rest is ready before it.
            const v16 w = (r + two[j][v]) + (e[v] ^ mkj[v]);
            const v16 c = w + (b[v] ^ mkj[v]);
            e[v] = b[v];
            b[v] = c;
        }
        row += L * row_size;
        if (row >= rows_end) row -= RAMP_CYCLE * row_size;
    };

    while (count >= pair) {
        const uint32_t pairs = std::min(BLOCK / pair, count / pair);
        uint8_t* k = K;
        for (uint32_t i = 0; i < pairs; ++i) {
            sweep(0, ASC, pick0, m0, k);
            sweep(1, !ASC, pick1, m1, k + n);
            k += pair;
        }
        const uint32_t pos = pairs * pair;
        gByteSum += apply_block(buf, K, M, pos);
        buf += pos;
        count -= pos;
    }

    // Back into the record, as the serial path leaves it after an even number
    // of sweeps: same direction and flags, new keys and ramps.
    auto store_key = [&](uint8_t* key, const v16* x) {
        for (int v = 0; v < NV; ++v) store16(tmp + 16 * v, x[v]);
        for (int q = 0; q < L - 1; ++q) key[q + 1] = tmp[Lay::at(0, q)];
        key[0] = tmp[Lay::at(1, L - 2)];
        key[L] = 0;
    };
    store_key(st.keyE, e);
    store_key(st.keyB, b);
    iCopyVeilmixKey(st.keyC, st.keyB, int16_t(L));
    for (int h = 0; h < 2; ++h) store16(tmp + 16 * h, raw[h]);
    st.keyByte = tmp[n - 1];
    set_ramps(st, int16_t((row - table.v) / row_size));

    // The keys live on in e, b and raw (and the key stream in K) until the
    // frame is reused.  Plain assignments of zero here were dead stores that
    // the optimiser dropped; lq_secure_zero's stores stay (checked once in the
    // -O2 assembly: zero movaps into e, b and raw after the rep stos of K).
    lq_secure_zero(tmp, sizeof tmp);
    lq_secure_zero(K, sizeof K);
    lq_secure_zero(e, sizeof e);
    lq_secure_zero(b, sizeof b);
    lq_secure_zero(raw, sizeof raw);
}

template <bool ENC, int NV>
void sweep_pairs_from_start(uint8_t*& buf, uint32_t& count) {
    if (VeilmixState.ascending)
        sweep_pairs<ENC, NV, true>(buf, count);
    else
        sweep_pairs<ENC, NV, false>(buf, count);
}

template <bool ENC>
void sweep_layout(uint8_t*& buf, uint32_t& count) {
    const int n = VeilmixState.keyLength - 1;
    if (n <= 8)
        sweep_pairs_from_start<ENC, 1>(buf, count);
    else if (n <= 16)
        sweep_pairs_from_start<ENC, 2>(buf, count);
    else
        sweep_pairs_from_start<ENC, 3>(buf, count);
}

// Whole sweeps, in pairs, from a sweep start.
void sweep_bytes(uint8_t*& buf, uint32_t& count, bool encrypt) {
    const int L = VeilmixState.keyLength;
    if (count < 2 * uint32_t(L - 1)) return;
    if (encrypt)
        sweep_layout<true>(buf, count);
    else
        sweep_layout<false>(buf, count);
}

}  // namespace

uint8_t do_encrypt(uint8_t a, uint8_t b, int16_t subtract) {
    return subtract ? uint8_t(b - a) : uint8_t(b + a);
}

int iMixVeilmixKeys(int16_t n, const uint8_t* a, const uint8_t* b, uint8_t* c,
                    const VeilStats* record) {
    mix_keys(n, a, b, c, record->mode > 2);
    return 0;
}

int iCopyVeilmixKey(uint8_t* destination, const uint8_t* source, int16_t n) {
    std::memmove(destination, source, size_t(n));
    destination[n] = 0;
    return 0;
}

int iResetVeilmix(const VeilStats* record) {
    VeilmixStateRecord& st = VeilmixState;
    const bool mode3 = record->mode > 2;
    std::memset(&st, 0, sizeof st);
    set_ramps(st, 0);
    int16_t len = 0;
    while (len < VEIL_MAX_KEY && gPassword1[len]) ++len;
    // Fewer than two key bytes would send the index out of the key.  The
    // passwords' zero bytes stand in (the buffers are zero-filled).
    if (len < 2) len = 2;
    st.keyLength = len;
    uint8_t p1[VEIL_KEY_ROOM] = {};
    uint8_t p2[VEIL_KEY_ROOM] = {};
    std::memcpy(p1, gPassword1, VEIL_MAX_KEY);
    std::memcpy(p2, gPassword2, VEIL_MAX_KEY);
    st.ascending = 0;
    st.subtract = 1;
    st.alternate = 1;
    st.sweepCount = 0;
    st.sweepLimit = 0;
    st.keyIndex = int16_t(len - 1);
    mix_keys(len, p1, p2, st.keyE, mode3);
    mix_keys(len, p2, st.keyE, st.keyB, mode3);
    mix_keys(len, st.keyE, st.keyB, st.keyC, mode3);
    iCopyVeilmixKey(st.keyE, st.keyB, len);
    iCopyVeilmixKey(st.keyB, st.keyC, len);
    lq_secure_zero(p1, sizeof p1);
    lq_secure_zero(p2, sizeof p2);
    st.fresh = 1;
    return 0;
}

void lq_veilmix_transform(uint32_t count, uint8_t* buffer, int16_t mode, int16_t direction) {
    VeilmixStateRecord& st = VeilmixState;
    if (st.keyLength < 2) {
        // No stream was started (start-up or lq_veilmix_clear): an index
        // over an empty key would leave the key buffers.  Start one.
        VeilStats r{};
        r.mode = mode;
        iResetVeilmix(&r);
    }
    if (st.fresh) {
        st.fresh = 0;
        st.keyByte = st.keyE[st.keyIndex];
    }
    const bool mode3 = mode > 2;
    const bool encrypt = direction == 1;
    if (!mode3) {
        serial_bytes(buffer, count, false, encrypt);
        return;
    }
    // Serial up to the next sweep start, whole sweeps, serial to the end.
    while (count > 0 && !at_sweep_start()) {
        serial_bytes(buffer, 1, true, encrypt);
        ++buffer;
        --count;
    }
    sweep_bytes(buffer, count, encrypt);
    serial_bytes(buffer, count, true, encrypt);
}

void lq_veilmix_clear() {
    lq_secure_zero(&VeilmixState, sizeof VeilmixState);
    lq_secure_zero(gPassword1, sizeof gPassword1);
    lq_secure_zero(gPassword2, sizeof gPassword2);
}

void lq_secure_zero(void* p, size_t n) {
    std::memset(p, 0, n);
    // The memory is "used" afterwards: the stores stay.
    __asm__ __volatile__("" : : "r"(p) : "memory");
}
