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
// L-1 on hold values of no meaning and are never read.  A copy is one 16-lane
// vector for keys of up to 17 bytes, two for longer ones (H).
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

// The shifted copies of keyE and keyB, H vectors each.
template <int H>
struct SweepKeys {
    v16 e[H], b[H], er[H], br[H];
};

// One sweep of n key bytes into K and M at pos, from the copy (x, y) =
// (keyE, keyB) read in the sweep's direction: keyE where alternate is set
// (pick), keyB where clear; m is 0xFF where the byte is subtracted.
//   encryption: k - d = (k + 1) + ~d,  k + d = k + d
//   decryption: k - d = (k + 1) + ~d,  d - k = -k + d
template <bool ENC, int H>
inline void emit_sweep(const v16* x, const v16* y, const v16& pick, const v16& m, uint8_t* K,
                       uint8_t* M, v16* raw) {
    for (int h = 0; h < H; ++h) {
        raw[h] = (x[h] & pick) | (y[h] & ~pick);
        const v16 k = ENC ? v16(raw[h] - m) : v16((raw[h] ^ ~m) + 1);
        store16(K + 16 * h, k);
        store16(M + 16 * h, m);
    }
}

// The rekey on both copies: c[i] = ramp2 - (e[i] + b[i]) where mixing step i
// subtracts, ramp2 + (e[i] + b[i]) where it adds.  Lane q of the forward copy
// is mixing step q + 1, lane q of the reversed copy step L - 2 - q; mf and mr
// mark their subtracting lanes.
template <int H>
inline void rekey_sweep(SweepKeys<H>& k, const uint8_t* ramp_fwd, const uint8_t* ramp_rev,
                        const v16& mf, const v16& mr) {
    for (int h = 0; h < H; ++h) {
        v16 rf, rr;
        load16(rf, ramp_fwd + 16 * h);
        load16(rr, ramp_rev + 16 * h);
        const v16 cf = rf + (((k.e[h] + k.b[h]) ^ mf) - mf);
        const v16 cr = rr + (((k.er[h] + k.br[h]) ^ mr) - mr);
        k.e[h] = k.b[h];
        k.b[h] = cf;
        k.er[h] = k.br[h];
        k.br[h] = cr;
    }
}

// Pairs of whole mode-3 sweeps from a sweep start while at least two sweeps of
// data are left; leaves the state exactly as the serial path would.
template <bool ENC, int H, bool ASC>
void sweep_pairs(uint8_t*& buf, uint32_t& count) {
    VeilmixStateRecord& st = VeilmixState;
    const int L = st.keyLength;
    const uint32_t n = uint32_t(L - 1);
    const int n_odd = int(n & 1);

    uint8_t tmp[32] = {};
    SweepKeys<H> k;
    auto load_copy = [&](v16* dst, const uint8_t* key, bool reversed) {
        for (int q = 0; q < L - 1; ++q) tmp[q] = reversed ? key[L - 2 - q] : key[q + 1];
        for (int h = 0; h < H; ++h) load16(dst[h], tmp + 16 * h);
    };
    load_copy(k.e, st.keyE, false);
    load_copy(k.b, st.keyB, false);
    load_copy(k.er, st.keyE, true);
    load_copy(k.br, st.keyB, true);

    v16 alt[2];
    load16(alt[0], alt_bytes.m[0]);
    load16(alt[1], alt_bytes.m[1]);
    // Subtract is s at the start of the pair and s ^ 1 at the second sweep.
    const int s = st.subtract ? 1 : 0;
    const int a = st.alternate ? 1 : 0;
    const v16 pick0 = alt[a], pick1 = alt[a ^ n_odd];
    const v16 m0 = alt[s ^ 1], m1 = alt[s];
    // Rekey masks: subtract entering the rekey after sweep j is s ^ j ^ n_odd;
    // forward lane q is step q + 1, reversed lane q step L - 2 - q.
    const v16 mf0 = alt[s ^ n_odd ^ 1], mr0 = alt[s ^ n_odd ^ (L & 1)];
    const v16 mf1 = alt[s ^ n_odd], mr1 = alt[s ^ n_odd ^ (L & 1) ^ 1];

    int step = st.rampStep;
    const int rev_base = FWD_SIZE - 1 - PAD - L + 2;

    // Room for one vector store beyond the last sweep of a block.
    alignas(16) uint8_t K[BLOCK + 32];
    alignas(16) uint8_t M[BLOCK + 32];
    v16 raw[H];
    for (int h = 0; h < H; ++h) raw[h] = v16{};
    const uint32_t pair = 2 * n;

    while (count >= pair) {
        uint32_t pos = 0;
        while (pos + pair <= BLOCK && count - pos >= pair) {
            // First sweep in direction ASC, second in the other.
            if (ASC)
                emit_sweep<ENC, H>(k.e, k.b, pick0, m0, K + pos, M + pos, raw);
            else
                emit_sweep<ENC, H>(k.er, k.br, pick0, m0, K + pos, M + pos, raw);
            pos += n;
            rekey_sweep<H>(k, ramps.fwd + PAD + step + 1, ramps.rev + rev_base - step, mf0, mr0);
            step += L;
            if (step >= RAMP_STATES) step -= RAMP_CYCLE;

            if (ASC)
                emit_sweep<ENC, H>(k.er, k.br, pick1, m1, K + pos, M + pos, raw);
            else
                emit_sweep<ENC, H>(k.e, k.b, pick1, m1, K + pos, M + pos, raw);
            pos += n;
            rekey_sweep<H>(k, ramps.fwd + PAD + step + 1, ramps.rev + rev_base - step, mf1, mr1);
            step += L;
            if (step >= RAMP_STATES) step -= RAMP_CYCLE;
        }
        gByteSum += apply_block(buf, K, M, pos);
        buf += pos;
        count -= pos;
    }

    // Back into the record, as the serial path leaves it after an even number
    // of sweeps: same direction, flags as they were, new keys and ramps.
    auto store_copy = [&](uint8_t* key, const v16* fwd, const v16* rev) {
        for (int h = 0; h < H; ++h) store16(tmp + 16 * h, fwd[h]);
        for (int q = 0; q < L - 1; ++q) key[q + 1] = tmp[q];
        for (int h = 0; h < H; ++h) store16(tmp + 16 * h, rev[h]);
        key[0] = tmp[L - 2];
        key[L] = 0;
    };
    store_copy(st.keyE, k.e, k.er);
    store_copy(st.keyB, k.b, k.br);
    iCopyVeilmixKey(st.keyC, st.keyB, int16_t(L));
    for (int h = 0; h < H; ++h) store16(tmp + 16 * h, raw[h]);
    st.keyByte = tmp[n - 1];
    set_ramps(st, int16_t(step));

    std::memset(tmp, 0, sizeof tmp);
    std::memset(K, 0, sizeof K);
    std::memset(M, 0, sizeof M);
    k = SweepKeys<H>{};
    for (int h = 0; h < H; ++h) raw[h] = v16{};
}

template <bool ENC, int H>
void sweep_pairs_from_start(uint8_t*& buf, uint32_t& count) {
    if (VeilmixState.ascending)
        sweep_pairs<ENC, H, true>(buf, count);
    else
        sweep_pairs<ENC, H, false>(buf, count);
}

// Whole sweeps, in pairs, from a sweep start.
void sweep_bytes(uint8_t*& buf, uint32_t& count, bool encrypt) {
    const int L = VeilmixState.keyLength;
    if (count < 2 * uint32_t(L - 1)) return;
    if (L - 1 <= 16) {
        if (encrypt)
            sweep_pairs_from_start<true, 1>(buf, count);
        else
            sweep_pairs_from_start<false, 1>(buf, count);
    } else {
        if (encrypt)
            sweep_pairs_from_start<true, 2>(buf, count);
        else
            sweep_pairs_from_start<false, 2>(buf, count);
    }
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
    std::memset(p1, 0, sizeof p1);
    std::memset(p2, 0, sizeof p2);
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
    std::memset(&VeilmixState, 0, sizeof VeilmixState);
    std::memset(gPassword1, 0, sizeof gPassword1);
    std::memset(gPassword2, 0, sizeof gPassword2);
}
