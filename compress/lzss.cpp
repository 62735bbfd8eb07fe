// LZSS coder.
//
// Window positions run modulo 4096.  The compressor's window array carries a
// copy of its first 24 bytes behind position 4095, so the string of any position is
// contiguous for 8-byte loads; the copy is written whenever one of those
// bytes is.
//
// Match finder.  The parse needs, at each literal and at the last byte of
// each match, the length of the longest earlier occurrence (up to 17 bytes)
// of the string at the current position.  Candidates are the positions
// entered during the last 4079 steps: entering position n happens after
// position n+16 has been retired for its new byte, so the oldest position
// still standing is n+17 (4079 behind), and the bytes of every standing
// position's 17-byte string are still the ones it was entered with.
// Position 0 is the end code: it is never entered and never searched (a
// search there finds nothing).  Lengths compare ring bytes, so bytes left
// over past the end of the input count as they lie; the parse cuts the
// length to what is left.
//
// Positions are kept as a running count (`abs`, congruent to the window
// position modulo 4096) so that age is a subtraction and 0 means "none".
// Three indexes over the standing positions:
//   - chains of positions sharing a hash of their first 4 bytes, newest first
//     (head4 / prev4): every standing position that agrees on 4 or more bytes
//     is on one chain, so walking it all gives the longest match when that is
//     4 or more;
//   - chains over a hash of the first 3 bytes (head3 / prev3): when no 4-byte
//     agreement stands, the newest exact 3-byte agreement is a longest match;
//   - the newest position of every 2-byte prefix (head2): failing both, a
//     standing one is a match of exactly 2.
// Among equally long matches the newest wins.

#include "compress/lzss.h"

#include <cstddef>
#include <cstring>

#include "compress/bit_io.h"
#include "compress/coder_progress.h"

namespace {

const int window_bits = 12;
const int window_size = 1 << window_bits;  // 4096
const int window_mask = window_size - 1;
const int length_bits = 4;
const int break_even = 1;
const int look_ahead = (1 << length_bits) + break_even;  // 17
const int mirror = 24;                                   // bytes copied behind the window
const uint32_t max_age = window_size - look_ahead;       // 4079

const int hash4_bits = 15;
const int hash3_bits = 16;

uint8_t window[window_size + mirror + 8];

// The match finder's indexes (see above): running positions, 0 for none.
uint32_t head4[1 << hash4_bits];
uint32_t head3[1 << hash3_bits];
uint32_t head2[1 << 16];
uint32_t prev4[window_size];
uint32_t prev3[window_size];

// Where the running count of the next compression starts: every call begins
// at least a window beyond the last, so what earlier calls entered is too old
// to stand and the indexes need no clearing.  Past shift_above the count and
// the indexes are moved down together (inside a long call), or the count
// starts again low with emptied heads (at the start of a call, which may be
// an empty one that never enters the loop), so the count never wraps.  A
// running position is never below 8193, so 0 in an index always means none
// and no walk can mistake it for a standing position.
uint32_t next_start = 2 * window_size;
const uint32_t shift_above = 0xF0000000u;

inline void put_window(int pos, uint8_t c) {
    window[pos] = c;
    if (pos < mirror) window[pos + window_size] = c;
}

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

inline uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint32_t hash4(uint32_t v) { return (v * 2654435761u) >> (32 - hash4_bits); }
inline uint32_t hash3(uint32_t v) { return ((v << 8) * 2654435761u) >> (32 - hash3_bits); }

// Bytes in which the strings at a and b agree before the first difference,
// 17 when all agree.
inline int match_length(const uint8_t* x, const uint8_t* y) {
    uint64_t d = load64(x) ^ load64(y);
    if (d) return __builtin_ctzll(d) >> 3;  // little-endian: the lowest byte is the first
    d = load64(x + 8) ^ load64(y + 8);
    if (d) return 8 + (__builtin_ctzll(d) >> 3);
    return x[16] == y[16] ? look_ahead : 16;
}

// Enters running position `abs` (window position abs & 4095, not 0).
inline void enter(uint32_t abs) {
    int r = (int)(abs & window_mask);
    uint32_t v = load32(window + r);
    uint32_t h = hash4(v);
    prev4[r] = head4[h];
    head4[h] = abs;
    h = hash3(v);
    prev3[r] = head3[h];
    head3[h] = abs;
    head2[v & 0xFFFF] = abs;
}

// The longest match for running position `abs` (not yet entered; window
// position not 0): its length (0 when none of 2 or more) and position.
inline int find_match(uint32_t abs, int* match_position) {
    const int r = (int)(abs & window_mask);
    const uint8_t* s = window + r;
    const uint32_t v = load32(s);
    int best = 3;  // only 4 bytes or more count on the 4-byte chains
    int best_r = -1;
    uint32_t p = head4[hash4(v)];
    while (p != 0 && abs - p <= max_age) {
        int q = (int)(p & window_mask);
        // A candidate can only win if it also agrees at the byte that the
        // best so far does not reach.
        if (window[q + best] == s[best]) {
            int length = match_length(s, window + q);
            if (length > best) {
                best = length;
                best_r = q;
                if (length == look_ahead) break;
            }
        }
        p = prev4[q];
    }
    if (best_r >= 0) {
        *match_position = best_r;
        return best;
    }
    for (p = head3[hash3(v)]; p != 0 && abs - p <= max_age; p = prev3[p & window_mask]) {
        int q = (int)(p & window_mask);
        if (((load32(window + q) ^ v) & 0xFFFFFF) == 0) {
            *match_position = q;
            return 3;
        }
    }
    p = head2[v & 0xFFFF];
    if (p != 0 && abs - p <= max_age) {
        *match_position = (int)(p & window_mask);
        return 2;
    }
    return 0;
}

// Moves every index entry down by `by` (a multiple of 4096, at most `now`
// - 8192); entries older than a window become 0.
void shift_indexes(uint32_t by, uint32_t now) {
    auto shift = [&](uint32_t* a, size_t n) {
        for (size_t i = 0; i < n; ++i) a[i] = now - a[i] <= max_age ? a[i] - by : 0;
    };
    shift(head4, sizeof head4 / 4);
    shift(head3, sizeof head3 / 4);
    shift(head2, sizeof head2 / 4);
    shift(prev4, window_size);
    shift(prev3, window_size);
}

}  // namespace

void cz_lzss_set_next_start(uint32_t start) {
    start &= ~(uint32_t)window_mask;
    next_start = start < 2 * window_size ? 2 * window_size : start;
    std::memset(head4, 0, sizeof head4);
    std::memset(head3, 0, sizeof head3);
    std::memset(head2, 0, sizeof head2);
}

int iLzssCompress(CzStream* input, BitFile* output) {
    // Every prev link reached from a head is then one this call entered.
    if (next_start > shift_above) cz_lzss_set_next_start(0);
    std::memset(window, 0, sizeof window);
    cz_progress_start();
    int current = 1;
    uint32_t abs = next_start + 1;  // running position of `current`
    int ahead = 0;
    for (; ahead < look_ahead; ++ahead) {
        int c = cz_read_raw(input);
        if (c < 0) break;
        put_window(current + ahead, (uint8_t)c);
    }
    enter(abs);
    int match_len = 0;
    int match_pos = 0;
    int result = 0;
    while (ahead > 0) {
        if (match_len > ahead) match_len = ahead;
        int step;
        if (match_len <= break_even) {
            step = 1;
            if (cz_put_bits(output, 0x100u | window[current], 9) != 0) {
                result = -1;
                break;
            }
        } else {
            step = match_len;
            uint32_t code =
                ((uint32_t)match_pos << length_bits) | (uint32_t)(match_len - break_even - 1);
            if (cz_put_bits(output, code, 1 + window_bits + length_bits) != 0) {
                result = -1;
                break;
            }
        }
        for (int i = 0; i < step; ++i) {
            int c = cz_read_raw(input);
            if (c >= 0)
                put_window((current + look_ahead) & window_mask, (uint8_t)c);
            else
                --ahead;
            current = (current + 1) & window_mask;
            ++abs;
            if (ahead == 0 || current == 0) {
                match_len = 0;  // nothing left, or the end code's position
                continue;
            }
            if (i == step - 1) match_len = find_match(abs, &match_pos);
            enter(abs);
        }
        if (abs > shift_above) {
            uint32_t by = (abs & ~(uint32_t)window_mask) - 2 * window_size;
            shift_indexes(by, abs);
            abs -= by;
        }
        cz_progress((uint32_t)MemoryStreams.in_pos);
        if (MemoryStreams.out_pos > cz_output_limit) {
            result = CZ_OVER_LIMIT;
            break;
        }
    }
    next_start = (abs & ~(uint32_t)window_mask) + 2 * window_size;
    if (result != 0) return result;
    // End of stream: a match flag and position 0.
    if (cz_put_bits(output, 0, 1 + window_bits) != 0) return -1;
    return 0;
}

namespace {

// Expansion writes each byte at a pointer `o` that has the 4096 bytes before
// it as its window: `o[-d]` is the byte d steps back (d = 1 to 4096).  A match
// at window position p, taken at window position `current`, copies from d =
// ((current - p - 1) mod 4096) + 1, so that p = current means a whole window
// back.  Two places can hold the window:
//   - the history below, a straight run whose first 4096 bytes start out as
//     the cleared window; when it is full its last window is moved to the
//     front.  Bytes decoded here are then put out to the output;
//   - the output file stream's own buffer, once at least 4096 bytes of this
//     expansion lie in it before its next free byte (decoding straight into
//     the output).  Leaving it (the buffer is nearly full, or the input needs
//     the careful tail) copies the window into the history.
const int history_room = 1 << 16;
uint8_t history[window_size + history_room + 32];  // slack for 24-byte copies

// Room a token needs at `o`: 17 bytes and the up to 7 that a copy in 8- or
// 16-byte moves writes beyond them.
const int token_room = 32;

// The expander's input bits: the bytes of the BitFile's backing are taken
// straight from its buffer (the memory input or the file stream's buffer)
// while it has some, and through cz_fetch_byte at its end.  While 8 or more
// direct bytes are left, whole bytes are taken ahead (up to 63 bits held);
// `unget` gives the whole bytes that no field has reached back, so that
// in_pos and the BitFile end where bit-by-bit reads would leave them.
struct LzssBits {
    BitFile* bf;
    const uint8_t* next = nullptr;  // direct bytes [next, end)
    const uint8_t* end = nullptr;
    const uint8_t* taken_from = nullptr;  // in_pos has counted up to here
    uint64_t acc = 0;                     // the low `bits` bits are unread
    int bits = 0;
    bool ran_out = false;  // a get failed: every byte held was needed

    explicit LzssBits(BitFile* b) : bf(b) {
        if (bf->mask != 0x80) {
            bits = cz_mask_bits(bf->mask);
            acc = (uint64_t)bf->rack & ((1u << bits) - 1u);
        }
        attach();
    }
    // Points at the backing's unread bytes.
    void attach() {
        CzMemoryStreams& ms = MemoryStreams;
        if (bf->stream) {
            next = bf->stream->next;
            end = bf->stream->limit;
        } else if (ms.in_buffer && ms.in_pos < ms.in_length) {
            next = ms.in_buffer + ms.in_pos;
            end = ms.in_buffer + ms.in_length;
        } else {
            next = end = nullptr;
        }
        taken_from = next;
    }
    // True when the next token (at most 17 bits) is held, taking 5 to 7 whole
    // bytes ahead when needed and 8 or more direct bytes are left.
    bool ready() {
        if (bits >= 17) return true;
        if (end - next < 8) return false;
        uint64_t v;
        std::memcpy(&v, next, 8);
        v = __builtin_bswap64(v);  // first byte on top
        int take = (63 - bits) >> 3;
        acc = (acc << (8 * take)) | (v >> (64 - 8 * take));
        next += take;
        bits += 8 * take;
        return true;
    }
    // The next 17 bits, first bit on top (after ready()).
    uint32_t peek17() const { return (uint32_t)(acc >> (bits - 17)) & 0x1FFFF; }
    // Gives back the whole bytes taken ahead.  They all came from the direct
    // bytes since the last attach: ready() takes bytes ahead only from there,
    // and careful reads leave fewer than 8 bits unread.
    void unget() {
        int whole = bits >> 3;
        next -= whole;
        acc >>= 8 * whole;
        bits &= 7;
    }
    // Accounts for the bytes taken directly (in_pos, the stream's position).
    void settle() {
        MemoryStreams.in_pos += (int32_t)(next - taken_from);
        if (bf->stream) bf->stream->next = const_cast<uint8_t*>(next);
        taken_from = next;
    }
    bool fetch() {
        if (next < end) {
            acc = (acc << 8) | *next++;
        } else {
            settle();
            if (!cz_fetch_byte(bf)) return false;
            acc = (acc << 8) | (uint32_t)(bf->rack & 0xFF);
            attach();
        }
        bits += 8;
        return true;
    }
    // `n` bits (1 to 16), taking only the bytes they reach (after unget()).
    bool get(int n, uint32_t* value) {
        while (bits < n) {
            if (!fetch()) {
                ran_out = true;
                return false;
            }
        }
        bits -= n;
        *value = (uint32_t)(acc >> bits) & ((1u << n) - 1u);
        return true;
    }
    // Hands the unread bits (fewer than 8) and the last byte back to the BitFile.
    ~LzssBits() {
        if (!ran_out) unget();
        settle();
        bf->mask = bits ? (uint8_t)(1u << (bits - 1)) : 0x80;
        bf->rack = (int32_t)(acc & 0xFF);
    }
};

template <typename Word>
inline void move_word(uint8_t* to, const uint8_t* from) {
    Word word;
    std::memcpy(&word, from, sizeof word);
    std::memcpy(to, &word, sizeof word);
}

// Copies 1 to 17 bytes that do not overlap, without a call.
inline void copy_short(uint8_t* to, const uint8_t* from, uint32_t n) {
    if (n >= 8) {
        move_word<uint64_t>(to, from);
        move_word<uint64_t>(to + n - 8, from + n - 8);
        if (n > 16) move_word<uint64_t>(to + 8, from + 8);
    } else if (n >= 4) {
        move_word<uint32_t>(to, from);
        move_word<uint32_t>(to + n - 4, from + n - 4);
    } else if (n >= 2) {
        move_word<uint16_t>(to, from);
        move_word<uint16_t>(to + n - 2, from + n - 2);
    } else {
        *to = *from;
    }
}

// Copies a match of `length` (2 to 17) bytes from `back` (1 to 4096) bytes
// behind `o`, as the byte-by-byte copy would, writing up to 24 bytes.  Each
// move reads only bytes that lie wholly behind the bytes it writes, or that
// an earlier move has written.
inline void copy_match(uint8_t* o, uint32_t back, uint32_t length) {
    const uint8_t* from = o - back;
    if (back >= 16) {
        move_word<__uint128_t>(o, from);
        move_word<uint64_t>(o + 16, from + 16);
    } else if (back >= 8) {
        move_word<uint64_t>(o, from);
        move_word<uint64_t>(o + 8, from + 8);
        move_word<uint64_t>(o + 16, from + 16);
    } else {
        for (uint32_t k = 0; k < length; ++k) o[k] = from[k];  // a run
    }
}

// Where expanded bytes go: the room left in the memory block or in the file
// stream's buffer, held here while bytes fit and settled into out_pos and
// the stream before anything else looks at them.
struct LzssOut {
    CzStream* stream;
    uint8_t* next = nullptr;
    uint8_t* limit = nullptr;
    uint8_t* counted = nullptr;  // out_pos has counted up to here
    uint32_t first;              // out_pos at the start of the expansion

    explicit LzssOut(CzStream* s) : stream(s) {
        attach();
        first = (uint32_t)MemoryStreams.out_pos;
    }
    ~LzssOut() { settle(); }
    void attach() {
        CzMemoryStreams& ms = MemoryStreams;
        if (ms.out_buffer) {
            next = ms.out_buffer + ms.out_pos;
            limit = ms.out_buffer + (ms.out_capacity > ms.out_pos ? ms.out_capacity : ms.out_pos);
        } else if (stream) {
            next = stream->next;
            limit = stream->limit;
        } else {
            next = limit = nullptr;
        }
        counted = next;
    }
    void settle() {
        MemoryStreams.out_pos += (int32_t)(next - counted);
        if (!MemoryStreams.out_buffer && stream) stream->next = next;
        counted = next;
    }
    uint32_t position() const {
        return (uint32_t)MemoryStreams.out_pos + (uint32_t)(next - counted);
    }
    // Whether the stream's buffer can be the window (see above): only a
    // file stream's buffer, whose bytes past `next` are scratch until
    // written (a memory block's bytes past out_pos are the caller's), with
    // room for a token and this expansion's last 4096 bytes before `next`.
    bool window_here() const {
        return !MemoryStreams.out_buffer && stream && limit - next >= token_room &&
               next - stream->buffer >= window_size && position() - first >= (uint32_t)window_size;
    }
    // Where the position reaches cz_progress_due, or `limit` when only
    // beyond the buffer.
    uint8_t* due_at() const {
        int64_t ahead = (int64_t)cz_progress_due - (int64_t)position();
        if (ahead < 0) ahead = 0;
        return ahead <= limit - next ? next + ahead : limit;
    }
    // Reports each position from `start` + 1 up to the current one, as if
    // the bytes had gone out one by one.
    void report_from(uint32_t start) {
        settle();
        for (uint32_t p = start + 1, end = position(); p <= end; ++p) cz_progress(p);
    }

    // Puts the `n` bytes (1 to 17) at `src` out as many single bytes, with
    // progress after each.
    int put(const uint8_t* src, uint32_t n) {
        uint32_t start = position();
        if (limit - next >= (std::ptrdiff_t)n) {
            copy_short(next, src, n);
            next += n;
        } else {
            settle();
            for (uint32_t k = 0; k < n; ++k) {
                if (cz_write_raw(stream, src[k]) != 0) {
                    attach();
                    return -1;
                }
            }
            attach();
        }
        // Only a position at or past the due one can repaint, so the bytes
        // of a run are visited only then.
        if (position() >= cz_progress_due) report_from(start);
        return 0;
    }
};

enum Token { literal_token, match_token, end_token };

// Takes the next token from the held bits (after ready()): a literal (its
// byte in *value), a match (window position in *value, length field in
// *length) or the end code.
inline Token take_token(LzssBits& in, uint32_t* value, uint32_t* length) {
    uint32_t t = in.peek17();
    if (t >> 16) {
        *value = (t >> 8) & 0xFF;
        in.bits -= 9;
        return literal_token;
    }
    *value = (t >> 4) & window_mask;
    if (*value == 0) {
        in.bits -= 1 + window_bits;
        return end_token;
    }
    *length = t & 0xF;
    in.bits -= 1 + window_bits + length_bits;
    return match_token;
}

// Expands straight into the output stream's buffer (window_here() holds)
// while a token fits there and its bits are held.  Returns 1 at the end
// code, else 0 with the window's last 4096 bytes before out.next.
int expand_in_place(LzssBits& in, LzssOut& out, uint32_t* current) {
    uint8_t* o = out.next;
    const uint8_t* const stop = out.limit - token_room;
    uint8_t* due = out.due_at();
    // `current` is this plus the low bits of o's address.
    const uint32_t bias = *current - (uint32_t)(uintptr_t)o;
    int result = 0;
    while (o <= stop && in.ready()) {
        uint8_t* start = o;
        uint32_t value, length;
        Token token = take_token(in, &value, &length);
        if (token == literal_token) {
            *o++ = (uint8_t)value;
        } else if (token == end_token) {
            result = 1;
            break;
        } else {
            length += break_even + 1;
            uint32_t back = ((bias + (uint32_t)(uintptr_t)o - value - 1) & window_mask) + 1;
            copy_match(o, back, length);
            o += length;
        }
        if (o >= due) {
            uint32_t at = out.position() + (uint32_t)(start - out.next);
            out.next = o;
            out.report_from(at);
            due = out.due_at();
        }
    }
    out.next = o;
    *current = (bias + (uint32_t)(uintptr_t)o) & window_mask;
    return result;
}

}  // namespace

int iLzssExpand(BitFile* input, CzStream* output) {
    std::memset(history, 0, window_size);
    cz_progress_start();
    LzssBits in(input);
    LzssOut out(output);
    uint32_t current = 1;
    uint8_t* w = history + window_size;
    for (;;) {
        if (out.window_here() && in.ready()) {
            if (expand_in_place(in, out, &current)) return 0;
            std::memcpy(history, out.next - window_size, window_size);
            w = history + window_size;
        }
        if (w >= history + window_size + history_room) {
            std::memmove(history, w - window_size, window_size);
            w = history + window_size;
        }
        bool literal;
        uint32_t value, length = 0;
        if (in.ready()) {
            Token token = take_token(in, &value, &length);
            if (token == end_token) return 0;
            literal = token == literal_token;
        } else {
            in.unget();
            uint32_t flag;
            if (!in.get(1, &flag)) {
                MemoryStreams.io_error = -1;
                return -1;
            }
            literal = flag != 0;
            if (!in.get(literal ? 8 : window_bits, &value)) {
                MemoryStreams.io_error = 1;
                return -1;
            }
            if (!literal) {
                if (value == 0) return 0;
                if (!in.get(length_bits, &length)) {
                    MemoryStreams.io_error = 1;
                    return -1;
                }
            }
        }
        if (literal) {
            *w = (uint8_t)value;
            if (out.next < out.limit) {
                *out.next++ = (uint8_t)value;
                uint32_t at = out.position();
                if (at >= cz_progress_due) {
                    out.settle();
                    cz_progress_report(at);
                }
            } else if (out.put(w, 1) != 0) {
                return -1;
            }
            ++w;
            current = (current + 1) & window_mask;
        } else {
            length += break_even + 1;
            uint32_t back = ((current - value - 1) & window_mask) + 1;
            copy_match(w, back, length);
            if (out.put(w, length) != 0) return -1;
            w += length;
            current = (current + length) & window_mask;
        }
    }
}
