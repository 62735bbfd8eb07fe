// LZSS coder.
//
// Window positions run modulo 4096.  The window array carries a copy of its
// first 17 bytes behind position 4095, so the 17-byte string of any position
// is contiguous; the copy is written whenever one of those bytes is.
//
// Tree: node p (1 to 4095) is the string at window position p; node 4096 is
// the root, whose larger child is the top of the tree.  Node number 0 means
// "no node", so node 0 itself must never be written: a node whose parent is 0
// is not in the tree, and position 0 (never inserted) is removed once per trip
// round the window.  Every link update below skips a child that is 0.
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
const int no_node = 0;
const int root = window_size;

struct Node {
    uint16_t parent;
    uint16_t child[2];  // [0] smaller, [1] larger
};

// The window (with the mirrored head and slack for 8-byte loads) and the tree.
uint8_t window[window_size + look_ahead + 8];
Node tree[window_size + 1];

inline void put_window(int pos, uint8_t c) {
    window[pos] = c;
    if (pos < look_ahead) window[pos + window_size] = c;
}

inline uint64_t load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Bytes in which the strings at a and b agree before the first difference
// (17 when all agree), and that difference (new minus node) through *sign.
inline int match_length(int a, int b, int* sign) {
    const uint8_t* x = window + a;
    const uint8_t* y = window + b;
    uint64_t d = load64(x) ^ load64(y);
    int i;
    if (d) {
        i = __builtin_ctzll(d) >> 3;  // little-endian: the lowest differing byte is the first
    } else {
        d = load64(x + 8) ^ load64(y + 8);
        if (d) {
            i = 8 + (__builtin_ctzll(d) >> 3);
        } else {
            if (x[16] == y[16]) return look_ahead;
            i = 16;
        }
    }
    *sign = (int)x[i] - (int)y[i];
    return i;
}

// Points the link that leads to `old` from its parent at `with`.
inline void relink_parent(int old, int with) {
    Node& up = tree[tree[old].parent];
    if (up.child[1] == old)
        up.child[1] = (uint16_t)with;
    else
        up.child[0] = (uint16_t)with;
}

// `with` takes `old`'s place: old's parent and both children, all links.
void replace_node(int old, int with) {
    relink_parent(old, with);
    tree[with] = tree[old];
    for (int side = 0; side < 2; ++side)
        if (tree[with].child[side] != no_node) tree[tree[with].child[side]].parent = (uint16_t)with;
    tree[old].parent = no_node;
}

// `child` (possibly none) takes `old`'s place under old's parent.
void contract_node(int old, int child) {
    if (child != no_node) tree[child].parent = tree[old].parent;
    relink_parent(old, child);
    tree[old].parent = no_node;
}

void remove_node(int p) {
    if (tree[p].parent == no_node) return;
    if (tree[p].child[1] == no_node) {
        contract_node(p, tree[p].child[0]);
    } else if (tree[p].child[0] == no_node) {
        contract_node(p, tree[p].child[1]);
    } else {
        int q = tree[p].child[0];
        while (tree[q].child[1] != no_node) q = tree[q].child[1];
        contract_node(q, tree[q].child[0]);
        replace_node(p, q);
    }
}

// Inserts position n; returns the match length (0 to 17) and, when it is not
// 0, the match position: among candidates of equal length the last one met
// on the path.
inline int insert_node(int n, int* match_position) {
    if (n == no_node) return 0;
    int p = tree[root].child[1];
    int best = 0;
    int best_position = *match_position;  // kept in a register while descending
    for (;;) {
        int sign;
        int length = match_length(n, p, &sign);
        if (length >= best) {
            best = length;
            best_position = p;
            if (length == look_ahead) {
                replace_node(p, n);
                break;
            }
        }
        int side = sign >= 0;
        int next = tree[p].child[side];
        if (next == no_node) {
            tree[p].child[side] = (uint16_t)n;
            tree[n].parent = (uint16_t)p;
            tree[n].child[0] = tree[n].child[1] = no_node;
            break;
        }
        p = next;
    }
    *match_position = best_position;
    return best;
}

// The next raw input byte (memory or file), counting in_pos; -1 at the end.
inline int read_raw(CzStream* input) {
    CzMemoryStreams& ms = MemoryStreams;
    int c;
    if (ms.in_buffer) {
        if (ms.in_pos >= ms.in_length) return -1;
        c = ms.in_buffer[ms.in_pos];
    } else {
        c = input ? cz_getc(input) : -1;
        if (c < 0) return -1;
    }
    ++ms.in_pos;
    return c;
}

// Puts one expanded byte out (memory or file), counting out_pos.
inline int write_raw(CzStream* output, int c) {
    CzMemoryStreams& ms = MemoryStreams;
    if (ms.out_buffer) {
        if (ms.out_pos >= ms.out_capacity && cz_grow_output() != 0) return -1;
        ms.out_buffer[ms.out_pos] = (uint8_t)c;
    } else if (!output || cz_putc(c, output) < 0) {
        ms.io_error = -1;
        return -1;
    }
    ++ms.out_pos;
    return 0;
}

void clear_state() {
    std::memset(window, 0, sizeof window);
    std::memset(tree, 0, sizeof tree);
}

}  // namespace

int iLzssCompress(CzStream* input, BitFile* output) {
    clear_state();
    cz_progress_start();
    int current = 1;
    int ahead = 0;
    for (; ahead < look_ahead; ++ahead) {
        int c = read_raw(input);
        if (c < 0) break;
        put_window(current + ahead, (uint8_t)c);
    }
    tree[root].child[1] = (uint16_t)current;
    tree[current].parent = root;
    int match_len = 0;
    int match_pos = 0;
    while (ahead > 0) {
        if (match_len > ahead) match_len = ahead;
        int step;
        if (match_len <= break_even) {
            step = 1;
            if (cz_put_bits(output, 0x100u | window[current], 9) != 0) return -1;
        } else {
            step = match_len;
            uint32_t code =
                ((uint32_t)match_pos << length_bits) | (uint32_t)(match_len - break_even - 1);
            if (cz_put_bits(output, code, 1 + window_bits + length_bits) != 0) return -1;
        }
        for (int i = 0; i < step; ++i) {
            int incoming = (current + look_ahead) & window_mask;
            remove_node(incoming);
            int c = read_raw(input);
            if (c >= 0)
                put_window(incoming, (uint8_t)c);
            else
                --ahead;
            current = (current + 1) & window_mask;
            if (ahead != 0) match_len = insert_node(current, &match_pos);
        }
        cz_progress((uint32_t)MemoryStreams.in_pos);
    }
    // End of stream: a match flag and position 0.
    if (cz_put_bits(output, 0, 1 + window_bits) != 0) return -1;
    return 0;
}

namespace {

// Puts `n` bytes of the window out, starting at window position `from`, and
// appends them to the window at `*current`.  Copies one byte at a time: the
// source may overlap what this copy writes (a run).
inline int put_run(CzStream* output, uint32_t from, uint32_t n, int* current) {
    CzMemoryStreams& ms = MemoryStreams;
    uint8_t* direct = nullptr;
    if (ms.out_buffer) {
        if ((int64_t)ms.out_pos + n <= ms.out_capacity) direct = ms.out_buffer + ms.out_pos;
    } else if (output && output->limit - output->next >= (std::ptrdiff_t)n) {
        direct = output->next;
        output->next += n;
    }
    int cur = *current;
    uint32_t start = (uint32_t)ms.out_pos;
    if (direct) {
        for (uint32_t k = 0; k < n; ++k) {
            uint8_t c = window[(from + k) & window_mask];
            direct[k] = c;
            window[cur] = c;
            cur = (cur + 1) & window_mask;
        }
        ms.out_pos += (int32_t)n;
    } else {
        for (uint32_t k = 0; k < n; ++k) {
            uint8_t c = window[(from + k) & window_mask];
            if (write_raw(output, c) != 0) return -1;
            window[cur] = c;
            cur = (cur + 1) & window_mask;
        }
    }
    *current = cur;
    // Progress after every byte: only a position at or past the due one can
    // repaint, so the bytes of this run are visited only then.
    if ((uint32_t)ms.out_pos >= cz_progress_due)
        for (uint32_t p = start + 1; p <= (uint32_t)ms.out_pos; ++p) cz_progress(p);
    return 0;
}

}  // namespace

int iLzssExpand(BitFile* input, CzStream* output) {
    clear_state();
    cz_progress_start();
    CzBitReader in(input);
    int current = 1;
    for (;;) {
        uint32_t flag;
        if (!in.get(1, &flag)) {
            MemoryStreams.io_error = -1;
            return -1;
        }
        if (flag) {
            uint32_t c;
            if (!in.get(8, &c)) {
                MemoryStreams.io_error = 1;
                return -1;
            }
            window[current] = (uint8_t)c;
            CzMemoryStreams& ms = MemoryStreams;
            if (ms.out_buffer ? ms.out_pos < ms.out_capacity
                              : (output && output->next < output->limit)) {
                // The common case: room for the byte where it goes.
                if (ms.out_buffer)
                    ms.out_buffer[ms.out_pos] = (uint8_t)c;
                else
                    *output->next++ = (uint8_t)c;
                ++ms.out_pos;
                current = (current + 1) & window_mask;
                cz_progress((uint32_t)ms.out_pos);
            } else if (put_run(output, (uint32_t)current, 1, &current) != 0) {
                // A literal is a run of one byte from where it is about to land.
                return -1;
            }
        } else {
            uint32_t position;
            if (!in.get(window_bits, &position)) {
                MemoryStreams.io_error = 1;
                return -1;
            }
            if (position == 0) return 0;
            uint32_t length;
            if (!in.get(length_bits, &length)) {
                MemoryStreams.io_error = 1;
                return -1;
            }
            if (put_run(output, position, length + break_even + 1, &current) != 0) return -1;
        }
    }
}
