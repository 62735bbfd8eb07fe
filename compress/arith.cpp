// Order-N arithmetic coder.
//
// Every rule here shapes the stream: the compressor and the expander must
// build the same model in the same order.
//
// Totals.  For a table with n = last_index + 2, totals[n] = 0 and
// totals[i-1] = totals[i] + count(entry i-2) for included entries (non-zero
// count, and not excluded unless the order is -2), all in signed 16-bit
// arithmetic; totals[0] = escape + totals[1].  Entry i owns
// [totals[i+2], totals[i+1]) and the escape [totals[1], totals[0]).  The
// array is never built: totals[c] is the included sum of entries c-1 and up,
// which is the included sum of the table minus the included sum of the
// entries before c-1, kept to 16 bits (modular sums agree with the step-wise
// 16-bit ones).  Each table caches the plain sum and the largest count of its
// entries, so a table in which nothing is excluded costs no pass to scale.
//
// Exclusion.  Building the totals of a table excludes the symbols of its
// entries 0 to last_index-1 with non-zero counts (not the last entry).  The
// flags are read only by the next, shorter table of the same symbol, so they
// are set only when the coder escapes out of a table; the list of excluded
// symbols clears them again.  The order -1 table reads them as a set of 256
// bits instead (see below0_count), and the control table reads none.
//
// Model flush.  A flush halves every table of order 0 and above, which would
// cost a pass over the whole model each time (on data that does not compress,
// every 256 bytes).  Instead the model counts its flushes and each table the
// ones it has taken in; a table catches up (count >> missed flushes, the same
// as halving that many times) before its counts are read or changed.
//
// Memory.  Tables and their blocks come from an arena owned by the call and
// released with it, and name each other by 32-bit arena indexes (4 bytes a
// link instead of 8).  A table is a 20-byte header and one block of symbols,
// counts and links (6 bytes an entry); a new table's first block of two
// entries shares its 32 bytes.  Blocks grow by about a fifth and give their
// old block back to a free list of its size class; new tables and blocks are
// cut from large freed blocks before fresh memory is taken.
#include "compress/arith.h"

#include <cstdlib>
#include <cstring>

#include <emmintrin.h>

#include "compress/bit_io.h"
#include "compress/coder_progress.h"

CzArithStats cz_arith_stats;
uint64_t cz_arith_memory_limit;
uint64_t cz_arith_lookahead_from = CZ_ARITH_LOOKAHEAD_FROM;

namespace {

// One context, in the model's arena (links are 32-bit arena indexes, 0 for
// none).  Entry i is (symbol, count); its link leads to the context extended
// by that symbol (a single link may be none); `shorter` is the same context
// one byte shorter; in a table of the maximum order, whose context is never
// extended, the link caches the next context instead.  The block holds the
// symbols, the counts and the links, for as many entries as its capacity
// (see block_classes).  A new table carries a two-entry block right
// behind itself in 32 bytes, so a small context costs one allocation.
struct ContextTable {
    uint32_t block;        // the symbols, counts and links
    uint32_t shorter;      // the table of the context one byte shorter
    uint32_t flush_epoch;  // model flushes already applied to the counts
    uint16_t sum;          // sum of all counts (at most 256 x 254)
    int16_t last_index;    // -1 when empty
    uint8_t max_count;     // largest count
    int8_t order;          // -2 to the maximum order
    int16_t escape;        // the escape count for last_index and max_count; 0 stale
};

// A symbol occupies [low_total, high_total) of scale.
struct SymbolRange {
    uint16_t low_total;
    uint16_t high_total;
    uint16_t scale;
};

const int end_of_data = -1;
const int model_flush = -2;
const int escape = 256;  // the expander's value for a decoded escape
const int16_t scale_limit = 16383;

// --------------------------------------------------------------------- arena

// Tables and blocks live in chunks of up to 64 KB and are named by 32-bit
// arena indexes: the chunk number above the low 14 bits, the offset in
// 4-byte units below them.  Chunks never move, so a table's address stays
// valid while the model grows.  Index 0 names nothing (chunk 0 starts its
// allocations one unit in).
const int unit_shift = 2;
const int offset_bits = 14;
const size_t chunk_size = (size_t)1 << (offset_bits + unit_shift);
const uint32_t max_chunks = 1u << (32 - offset_bits);
// A 16-byte load that starts inside a chunk stays inside its allocation, so
// the vector scans may read up to 15 bytes past the entries they need (and
// mask them off).
const size_t chunk_slack = 16;

// The chunks of the one model in use (one call at a time): chunk k's start
// less k << (offset_bits + unit_shift), so that adding the whole index in
// bytes, chunk bits and all, lands on the offset (unsigned, so the bias may
// wrap).
uintptr_t* chunk_base;

inline uint8_t* at(uint32_t index) {
    return reinterpret_cast<uint8_t*>(chunk_base[index >> offset_bits] +
                                      ((uintptr_t)index << unit_shift));
}

// Every allocation is a whole number of 16-byte grains and chunks start on a
// 64-byte boundary.  A table (a 20-byte header and its first block) takes 32
// bytes.
const size_t grain_bytes = 16;
const size_t table_bytes = 32;
const int size_classes = 20;  // of blocks (see block_classes)

struct Arena {
    uintptr_t* chunks = nullptr;  // 64-byte aligned starts, biased (see at)
    void** raw = nullptr;         // what malloc returned, for free
    uint32_t chunk_count = 0;
    uint32_t chunk_room = 0;
    size_t used = 0;                          // bytes used in the last chunk
    size_t size = 0;                          // its size
    uint32_t free_blocks[size_classes] = {};  // freed blocks by class (see take_block)
    uint32_t nonempty = 0;                    // bit c: free_blocks[c] holds one
    uint64_t bytes = 0;
    bool refused = false;

    // Arena index of n fresh bytes (a multiple of 16), 0 on failure.
    uint32_t take(size_t n) {
        if (used + n > size) {
            // The very first chunk keeps its first grain unused: index 0
            // names nothing.
            size_t first = chunk_count == 0 ? grain_bytes : 0;
            size_t want = chunk_size;
            const size_t extra = chunk_slack + 63;
            if (cz_arith_memory_limit) {
                // Under a limit, a chunk takes at most what is left of it.
                uint64_t left = cz_arith_memory_limit > bytes + extra
                                    ? cz_arith_memory_limit - bytes - extra
                                    : 0;
                if (left < want) want = (size_t)left & ~(grain_bytes - 1);
                if (want < first + n) return refuse();
            }
            if (chunk_count == max_chunks) return refuse();
            if (chunk_count == chunk_room) {
                uint32_t room = chunk_room ? chunk_room * 2 : 64;
                void* grown = std::realloc(chunks, room * sizeof *chunks);
                if (!grown) return refuse();
                chunks = static_cast<uintptr_t*>(grown);
                chunk_base = chunks;
                grown = std::realloc(raw, room * sizeof *raw);
                if (!grown) return refuse();
                raw = static_cast<void**>(grown);
                chunk_room = room;
            }
            void* p = std::malloc(want + extra);
            if (!p) return refuse();
            raw[chunk_count] = p;
            chunks[chunk_count] =
                ((reinterpret_cast<uintptr_t>(p) + 63) & ~static_cast<uintptr_t>(63)) -
                ((uintptr_t)chunk_count << (offset_bits + unit_shift));
            ++chunk_count;
            used = first;
            size = want;
            bytes += want + extra;
        }
        uint32_t index = ((chunk_count - 1) << offset_bits) | (uint32_t)(used >> unit_shift);
        used += n;
        return index;
    }

    uint32_t refuse() {
        refused = true;
        return 0;
    }

    void release() {
        for (uint32_t i = 0; i < chunk_count; ++i) std::free(raw[i]);
        std::free(chunks);
        std::free(raw);
        chunks = nullptr;
        raw = nullptr;
        chunk_base = nullptr;
        chunk_count = chunk_room = 0;
        used = size = 0;
        std::memset(free_blocks, 0, sizeof free_blocks);
        nonempty = 0;
        bytes = 0;
    }
};

// A table's block holds `capacity` entries: the symbols, then the counts,
// then (from the next multiple of 4 bytes) the child links (arena indexes, 0
// for none).  A visit reads the symbols and counts; the links it follows or
// swaps are mostly the first ones, which then share the counts' last line.
// Class 0 is the two-entry block behind a new table; the others are runs of
// grains growing by about a fifth (2, 3, 4, 5, 6, 8 ... 96 grains),
// filled with as many 6-byte entries as fit, so a block wastes little of
// itself (doubling would waste up to half).  The capacity follows from the
// number of entries, so the table need not store it: a block is replaced
// only when an entry is added beyond it.
const uint8_t class_units[size_classes] = {0,  2,  3,  4,  5,  6,  8,  10, 12, 15,
                                           18, 22, 27, 33, 40, 48, 58, 70, 85, 96};

inline size_t class_bytes(int c) { return class_units[c] * grain_bytes; }
// Where the links of a block of `capacity` entries start.
inline size_t links_offset(int capacity) { return (2 * (size_t)capacity + 3) & ~(size_t)3; }

struct BlockClasses {
    uint16_t capacity[size_classes];
    uint8_t of_entries[257];  // the smallest class that holds this many entries
    uint16_t capacity_of_entries[257];
    BlockClasses() {
        capacity[0] = 2;
        for (int c = 1; c < size_classes; ++c) {
            int fit = 0;
            while (fit < 256 && links_offset(fit + 1) + 4 * (fit + 1) <= class_bytes(c)) ++fit;
            capacity[c] = (uint16_t)fit;
        }
        for (int n = 0, c = 0; n <= 256; ++n) {
            while (capacity[c] < n) ++c;
            of_entries[n] = (uint8_t)c;
            capacity_of_entries[n] = capacity[c];
        }
    }
};
const BlockClasses block_classes;

inline int capacity_for(int entries) { return block_classes.capacity_of_entries[entries]; }
inline int class_of(int capacity) { return block_classes.of_entries[capacity]; }
const uint32_t grain_units = grain_bytes >> unit_shift;  // arena index units in a grain

// A freed block of class c (1 or more) goes to the list of its class; its
// first 4 bytes link the list.
inline void push_block(Arena& a, uint32_t block, int c) {
    std::memcpy(at(block), &a.free_blocks[c], 4);
    a.free_blocks[c] = block;
    a.nonempty |= 1u << c;
}

inline uint32_t pop_block(Arena& a, int c) {
    uint32_t block = a.free_blocks[c];
    std::memcpy(&a.free_blocks[c], at(block), 4);
    if (!a.free_blocks[c]) a.nonempty &= ~(1u << c);
    return block;
}

// A block of class c: a freed one of its class, else the front of a freed
// block of class split_from (12 grains) or more, else fresh arena bytes.
// The rest of a split block goes back to the lists as more blocks of class
// c, then as the largest blocks that fit without leaving a lone grain
// (classes 1 and 2 are 2 and 3 grains, so any rest of 2 or more is used up,
// and no class from split_from on is one grain above another).  Without the
// split, large blocks freed as tables grow would lie unused once no table
// grows through their class any more: on data that does not compress, the
// tables of order 2 all grow together.  Small blocks are not split: tables
// growing through their class soon take them again.  0 on failure.
const int split_from = 8;

uint32_t take_block(Arena& a, int c) {
    if (a.free_blocks[c]) return pop_block(a, c);
    int from = c < split_from ? split_from : c + 1;
    uint32_t larger = a.nonempty >> from;
    if (!larger) return a.take(class_bytes(c));
    int d = from + __builtin_ctz(larger);
    int units = class_units[d] - class_units[c];
    uint32_t block = pop_block(a, d);
    uint32_t rest = block + class_units[c] * grain_units;
    auto give_back = [&](int k) {
        for (; units >= class_units[k] && units - class_units[k] != 1; units -= class_units[k]) {
            push_block(a, rest, k);
            rest += class_units[k] * grain_units;
        }
    };
    give_back(c);
    for (int k = d - 1; k >= 1 && units > 0; --k) give_back(k);
    return block;
}

// ----------------------------------------------------------------- the model

inline ContextTable* table_at(uint32_t index) { return reinterpret_cast<ContextTable*>(at(index)); }

struct Model {
    Arena arena;
    int max_order = 0;
    int order = 0;                  // the table in which the next symbol is tried
    uint32_t slots[10];             // tables of the orders -2 to 7 at index order + 2
    ContextTable* slot_tables[10];  // and their addresses (tables never move)
    uint8_t excluded[256];          // 0xFF: excluded for the current symbol, else 0
    int excluded_count = 0;         // distinct symbols excluded for the current symbol
    uint8_t excluded_list[257];     // those symbols (one spare slot for exclude_entries)
    int found[10];                  // entry of the symbol per order while coding it, or -1
    int next_index = -1;    // entry of the last byte in the table below the top, when updated
    int top_index = 0;      // entry of the last byte in the maximum-order table
    uint32_t top_link = 0;  // and its link, when the update found the entry there
    uint32_t tables = 0;
    uint32_t flushes = 0;  // also the flush epoch tables catch up to
    // The bytes the order-0 table holds with a count above 0 (bit s of word
    // s / 64), kept as its counts change, and the bytes excluded for the
    // order -1 table (see exclude_below_order0).
    uint64_t order0_coded[4] = {};
    uint64_t below0[4] = {};
    // Where each byte sits in the order-0 table (kept as entries are added
    // and swapped; valid only for the bytes it holds, see find_order0).
    uint8_t order0_index[256] = {};

    Model() {
        std::memset(slots, 0, sizeof slots);
        std::memset(slot_tables, 0, sizeof slot_tables);
        std::memset(excluded, 0, sizeof excluded);
    }
    ~Model() { arena.release(); }

    ContextTable* slot(int k) const { return slot_tables[k + 2]; }
    uint32_t slot_index(int k) const { return slots[k + 2]; }
    void set_slot(int k, uint32_t table) {
        slots[k + 2] = table;
        slot_tables[k + 2] = table_at(table);
    }

    void clear_exclusions() {
        for (int k = 0; k < excluded_count; ++k) excluded[excluded_list[k]] = 0;
        excluded_count = 0;
    }
};

inline int capacity_of(const ContextTable* t) { return capacity_for(t->last_index + 1); }

// Every table has links (the control table's are never used, but its two
// entries fit its first block with them).
inline uint32_t* links_of(ContextTable* t) {
    return reinterpret_cast<uint32_t*>(at(t->block) + links_offset(capacity_of(t)));
}

// A table's arrays, found once per visit (valid until its block moves or
// its entry count changes).
struct Entries {
    uint32_t* links;
    uint8_t* symbols;
    uint8_t* counts;
    int n;  // entries in use
    explicit Entries(ContextTable* t) {
        int capacity = capacity_of(t);
        symbols = at(t->block);
        counts = symbols + capacity;
        links = reinterpret_cast<uint32_t*>(symbols + links_offset(capacity));
        n = t->last_index + 1;
    }
};
const uint32_t header_units = sizeof(ContextTable) >> unit_shift;
static_assert(sizeof(ContextTable) % 4 == 0, "tables are whole arena units");

// A new empty table (shorter u) with a two-entry block right behind it.
// Its arena index, 0 on failure.
uint32_t new_table(Model& m, uint32_t shorter, int order) {
    static_assert(sizeof(ContextTable) + 2 * 6 == table_bytes, "a table and two entries");
    static_assert(table_bytes == 2 * grain_bytes, "a table takes a block of class 1");
    size_t bytes = table_bytes;
    uint32_t index = take_block(m.arena, 1);
    if (!index) {
        MemoryStreams.io_error = -1;
        return 0;
    }
    ContextTable* t = table_at(index);
    std::memset(t, 0, bytes);
    t->block = index + header_units;
    t->last_index = -1;
    t->shorter = shorter;
    t->order = (int8_t)order;
    t->flush_epoch = m.flushes;
    ++m.tables;
    return index;
}

// Makes room for `entries` entries and their links.  False on failure.
bool grow_table(Model& m, ContextTable* t, int entries) {
    int old_capacity = capacity_of(t);
    int capacity = capacity_for(entries);
    if (capacity <= old_capacity) return true;
    uint32_t block = take_block(m.arena, class_of(capacity));
    if (!block) {
        MemoryStreams.io_error = -1;
        return false;
    }
    uint8_t* to = at(block);
    std::memset(to, 0, class_bytes(class_of(capacity)));
    const Entries from(t);
    if (from.n) {
        std::memcpy(to, from.symbols, (size_t)from.n);
        std::memcpy(to + capacity, from.counts, (size_t)from.n);
        std::memcpy(to + links_offset(capacity), from.links, (size_t)from.n * 4);
    }
    // The old block serves a later one of its size (the one behind the
    // table, of class 0, serves nothing).
    int old_class = class_of(old_capacity);
    if (old_class > 0) push_block(m.arena, t->block, old_class);
    t->block = block;
    return true;
}

// Byte b in all sixteen lanes (one shuffle fewer than _mm_set1_epi8).
inline __m128i splat(uint8_t b) { return _mm_set1_epi32((int)(0x01010101u * b)); }

inline int find_symbol(const Entries& e, int s) {
    if (s < 0 || s > 255) return -1;  // control symbols outside the control table
    const uint8_t* sym = e.symbols;
    int n = e.n;
    if (n > 8) {
        // Whole 16-byte groups (inside the arena: see chunk_slack); bits
        // past the last entry are masked off.
        __m128i key = splat(s);
        for (int i = 0; i < n; i += 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sym + i));
            unsigned hits = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(v, key));
            if (n - i < 16) hits &= (1u << (n - i)) - 1u;
            if (hits) return i + __builtin_ctz(hits);
        }
        return -1;
    }
    for (int i = 0; i < n; ++i)
        if (sym[i] == s) return i;
    return -1;
}
inline int find_symbol(ContextTable* t, int s) { return find_symbol(Entries(t), s); }

// Appends (s, count 0) with no child link.  The index, or -1 on failure.
int append_entry(Model& m, ContextTable* t, int s) {
    int i = t->last_index + 1;
    if (!grow_table(m, t, i + 1)) return -1;
    t->last_index = (int16_t)i;
    const Entries e(t);
    e.symbols[i] = (uint8_t)s;
    e.counts[i] = 0;
    e.links[i] = 0;
    t->escape = 0;
    if (t->order == 0) m.order0_index[s] = (uint8_t)i;
    return i;
}

// find_symbol in the order-0 table, which every byte visits: its index
// says where a byte it holds sits; a byte it lacks is not at the place the
// index names (each byte is held once).
inline int find_order0(const Model& m, const Entries& e, int s) {
    if (s < 0 || s > 255) return -1;
    int i = m.order0_index[s];
    return i < e.n && e.symbols[i] == s ? i : -1;
}

void note_order0_counts(Model& m, ContextTable* t);

// Shifts every count of t right by `shift` (1 to 8: halving that many
// times, since counts are below 255) and recomputes its sum and largest
// count.
void shift_counts(Model& m, ContextTable* t, int shift) {
    int n = t->last_index + 1, i = 0;
    uint8_t* counts = Entries(t).counts;
    int sum = 0, max = 0;
    if ((t->max_count >> shift) == 0) {
        // Every count ends at 0; counts that are all 0 already (largest 0)
        // are left unwritten.
        if (t->max_count != 0) std::memset(counts, 0, (size_t)n);
    } else {
        __m128i sums = _mm_setzero_si128(), maxes = _mm_setzero_si128();
        // Sixteen counts at a time: shift the 16-bit lanes, drop the bits
        // that crossed from the neighbouring byte.
        const __m128i keep = _mm_set1_epi8((char)(0xFF >> shift));
        const __m128i by = _mm_cvtsi32_si128(shift);
        for (; i + 16 <= n; i += 16) {
            __m128i* at = reinterpret_cast<__m128i*>(counts + i);
            __m128i v = _mm_and_si128(_mm_srl_epi16(_mm_loadu_si128(at), by), keep);
            _mm_storeu_si128(at, v);
            sums = _mm_add_epi64(sums, _mm_sad_epu8(v, _mm_setzero_si128()));
            maxes = _mm_max_epu8(maxes, v);
        }
        sum = _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
        maxes = _mm_max_epu8(maxes, _mm_srli_si128(maxes, 8));
        maxes = _mm_max_epu8(maxes, _mm_srli_si128(maxes, 4));
        maxes = _mm_max_epu8(maxes, _mm_srli_si128(maxes, 2));
        maxes = _mm_max_epu8(maxes, _mm_srli_si128(maxes, 1));
        max = _mm_cvtsi128_si32(maxes) & 0xFF;
        for (; i < n; ++i) {
            int c = counts[i] >> shift;
            counts[i] = (uint8_t)c;
            sum += c;
            if (c > max) max = c;
        }
    }
    t->sum = (uint16_t)sum;
    t->max_count = (uint8_t)max;
    t->escape = 0;
    note_order0_counts(m, t);
}

void halve_table(Model& m, ContextTable* t) {
    if (t->last_index >= 0) shift_counts(m, t, 1);
}

// Rebuilds the set of bytes the order-0 table codes (after its counts were
// halved; an update sets a byte's bit itself).
void note_order0_counts(Model& m, ContextTable* t) {
    if (t->order != 0) return;
    std::memset(m.order0_coded, 0, sizeof m.order0_coded);
    const Entries e(t);
    for (int i = 0; i < e.n; ++i)
        if (e.counts[i]) m.order0_coded[e.symbols[i] >> 6] |= 1ull << (e.symbols[i] & 63);
}

// Applies the model flushes the table has missed.
__attribute__((noinline)) void apply_flushes(Model& m, ContextTable* t) {
    uint32_t missed = m.flushes - t->flush_epoch;
    t->flush_epoch = m.flushes;
    if (t->order < 0 || t->last_index < 0) return;
    shift_counts(m, t, missed < 8 ? (int)missed : 8);
}

inline void catch_up(Model& m, ContextTable* t) {
    if (t->flush_epoch != m.flushes) apply_flushes(m, t);
}

// A new empty table (shorter u) linked from t's entry for s (added with
// count 0 when missing).  Its arena index, 0 on failure.
uint32_t create_child(Model& m, ContextTable* t, int s, uint32_t u) {
    int i = find_symbol(t, s);
    if (i < 0 && (i = append_entry(m, t, s)) < 0) return 0;
    uint32_t child = new_table(m, u, t->order + 1);
    if (child) links_of(t)[i] = child;
    return child;
}

bool set_up_model(Model& m, int max_order) {
    m.max_order = max_order;
    m.order = max_order;
    std::memset(m.slots, 0, sizeof m.slots);
    std::memset(m.slot_tables, 0, sizeof m.slot_tables);
    uint32_t minus1 = new_table(m, 0, -1);
    if (!minus1) return false;
    m.set_slot(-1, minus1);
    // The starting context is a run of zero bytes.
    for (int k = 0; k <= max_order; ++k) {
        uint32_t below = m.slot_index(k - 1);
        uint32_t child = create_child(m, table_at(below), 0, below);
        if (!child) return false;
        m.set_slot(k, child);
    }
    // Every byte value with count 1; the single link (to order 0) stays.
    ContextTable* t = table_at(minus1);
    if (!grow_table(m, t, 256)) return false;
    t->last_index = 255;
    const Entries bytes(t);
    for (int i = 0; i < 256; ++i) {
        bytes.symbols[i] = (uint8_t)i;
        bytes.counts[i] = 1;
    }
    t->sum = 256;
    t->max_count = 1;
    t->escape = 0;
    uint32_t control = new_table(m, 0, -2);
    if (!control) return false;
    t = table_at(control);
    t->last_index = 1;  // the two entries of a new table's first block
    const Entries controls(t);
    controls.symbols[0] = 2;  // model flush
    controls.counts[0] = 1;
    controls.symbols[1] = 1;  // end of data
    controls.counts[1] = 1;
    t->sum = 2;
    t->max_count = 1;
    m.set_slot(-2, control);
    m.clear_exclusions();
    return true;
}

// Sum of the bytes p[0, n), in whole 16-byte loads (inside the arena: see
// chunk_slack); the bytes past n are masked off.
inline int32_t sum_bytes(const uint8_t* p, int n) {
    if (n <= 0) return 0;
    __m128i total = _mm_setzero_si128();
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= n; i += 16)
        total = _mm_add_epi64(
            total, _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), zero));
    if (i < n) {
        alignas(16) static const uint8_t ones[32] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                     0,    0,    0,    0,    0,    0,    0,    0,
                                                     0,    0,    0,    0,    0,    0,    0,    0};
        __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ones + 16 - (n - i)));
        __m128i v = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), keep);
        total = _mm_add_epi64(total, _mm_sad_epu8(v, zero));
    }
    return (int32_t)(_mm_cvtsi128_si32(total) + _mm_cvtsi128_si32(_mm_srli_si128(total, 8)));
}

// Sum of the counts of the excluded symbols among entries 0 to n-1.  A
// table holds each symbol once, so when few symbols are excluded, looking
// each of them up is cheaper than a pass over the entries; both give the
// same sum.
inline int32_t excluded_sum(const Model& m, const Entries& e, int n) {
    const uint8_t* counts = e.counts;
    int32_t sum = 0;
    if (n > 8 && m.excluded_count * ((e.n - 1) / 16 + 3) < n) {
        for (int k = 0; k < m.excluded_count; ++k) {
            int i = find_symbol(e, m.excluded_list[k]);
            if (i >= 0 && i < n) sum += counts[i];
        }
        return sum;
    }
    const uint8_t* symbols = e.symbols;
    for (int i = 0; i < n; ++i) sum += counts[i] & m.excluded[symbols[i]];
    return sum;
}

inline int popcount64(uint64_t x) {
#ifdef __POPCNT__
    return __builtin_popcountll(x);
#else
    // Without the instruction the builtin is a library call.
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return (int)((x * 0x0101010101010101ull) >> 56);
#endif
}

// The order -1 table holds every byte once, with count 1, in byte order, and
// never changes (updates start at order 0; halving would need a scale of
// 16383).  So entry s is byte s, and its included sums count the bytes that
// are not excluded: the set below0, built when the coder escapes out of
// order 0 from the bytes of the order-0 table with counts above 0 but its
// last entry (which the exclusion rule spares) and the bytes excluded above.
inline int below0_count(const Model& m) {
    return popcount64(m.below0[0]) + popcount64(m.below0[1]) + popcount64(m.below0[2]) +
           popcount64(m.below0[3]);
}

// Excluded bytes below s.
inline int below0_before(const Model& m, int s) {
    int n = 0;
    for (int w = 0; w < s >> 6; ++w) n += popcount64(m.below0[w]);
    if (s & 63) n += popcount64(m.below0[s >> 6] & ((1ull << (s & 63)) - 1));
    return n;
}

// The k-th byte (from 1) that is not excluded, or -1 when there are fewer.
inline int below0_select(const Model& m, int k) {
    for (int w = 0; w < 4; ++w) {
        uint64_t free = ~m.below0[w];
        int n = popcount64(free);
        if (k > n) {
            k -= n;
            continue;
        }
        for (; k > 1; --k) free &= free - 1;
        return w * 64 + __builtin_ctzll(free);
    }
    return -1;
}

inline void exclude_below_order0(Model& m, const Entries& e) {
    std::memcpy(m.below0, m.order0_coded, sizeof m.below0);
    if (e.n > 0) m.below0[e.symbols[e.n - 1] >> 6] &= ~(1ull << (e.symbols[e.n - 1] & 63));
    for (int k = 0; k < m.excluded_count; ++k)
        m.below0[m.excluded_list[k] >> 6] |= 1ull << (m.excluded_list[k] & 63);
}

// ceil(65536 / d) for d = 1 to 254.
struct Reciprocals {
    uint32_t of[255];
    Reciprocals() {
        for (uint32_t d = 1; d < 255; ++d) of[d] = (65536 + d - 1) / d;
    }
};
const Reciprocals reciprocals;

// The escape count of a table: in signed 16-bit arithmetic,
// ((256 - last_index) * last_index / 256) / max_count + 1, both divisions
// truncating.  For last_index 0 to 255 the product lies in [0, 16384], so it
// fits 16 bits, is never negative (the first division is a shift) and leaves
// e <= 64.  Then e * ceil(65536/d) / 65536 = e/d + an error below
// e * d / 65536 / d < 1/d, which cannot reach the next integer: the same
// quotient as the division, for every max_count d of 1 to 254.
inline int16_t escape_count(int last_index, int max_count) {
    uint32_t e = (uint32_t)((256 - last_index) * last_index) >> 8;
    return (int16_t)(((e * reciprocals.of[max_count]) >> 16) + 1);
}

// Builds the scale of table t for the current order: *included is the
// included sum (totals[1] before its 16-bit cut), *scale is totals[0].
// Halves the table while totals[0] is 16383 or more.
__attribute__((always_inline)) inline void build_totals(Model& m, ContextTable* t,
                                                        int32_t* included, int16_t* scale) {
    catch_up(m, t);
    if (t->max_count == 0) {
        // Every count is 0 (never so below order 0): only the escape, over a
        // scale of 1, and no counts to read.
        *included = 0;
        *scale = 1;
        return;
    }
    for (;;) {
        int32_t sum;
        if (m.order == -1) {
            sum = 256 - below0_count(m);
        } else if (m.order == -2 || m.excluded_count == 0) {
            sum = t->sum;
        } else {
            sum = t->sum - excluded_sum(m, Entries(t), t->last_index + 1);
        }
        // The cached escape count (never 0 when valid) is cleared whenever
        // last_index or max_count changes.  max_count is never 255 here (a
        // count of 255 halves its table), nor 0 after a halving here (which
        // takes a sum near 16383, so a largest count of 64 or more).
        if (t->escape == 0) t->escape = escape_count(t->last_index, t->max_count);
        int16_t t0 = (int16_t)(t->escape + (int16_t)sum);
        if (t0 >= scale_limit) {
            halve_table(m, t);
            continue;
        }
        *included = sum;
        *scale = t0;
        return;
    }
}

// Excludes the symbols of entries 0 to last_index-1 with non-zero counts.
void exclude_entries(Model& m, const Entries& e) {
    const uint8_t* symbols = e.symbols;
    const uint8_t* counts = e.counts;
    int n = e.n - 1;  // the last entry is not excluded
    int listed = m.excluded_count;
    auto exclude = [&](int i) {
        // The symbol is always written past the list and kept (the count
        // grows) only when it is newly excluded.
        int s = symbols[i];
        m.excluded_list[listed] = (uint8_t)s;
        listed += m.excluded[s] == 0;
        m.excluded[s] = 0xFF;
    };
    if (n > 8) {
        // Sixteen counts at a time (inside the arena: see chunk_slack);
        // only non-zero ones are visited, which skips the runs of zeros
        // that flushes leave.
        for (int i = 0; i < n; i += 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts + i));
            unsigned nonzero =
                ~(unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())) & 0xFFFFu;
            if (n - i < 16) nonzero &= (1u << (n - i)) - 1u;
            for (; nonzero; nonzero &= nonzero - 1) exclude(i + __builtin_ctz(nonzero));
        }
    } else {
        for (int i = 0; i < n; ++i)
            if (counts[i] != 0) exclude(i);
    }
    m.excluded_count = listed;
}

// Excludes what an escape out of table t rules out for the next table.  The
// control table below order -1 reads no exclusions.
inline void exclude_for_shorter(Model& m, ContextTable* t, const Entries& e) {
    if (t->order > 0) {
        if (t->max_count != 0) exclude_entries(m, e);  // else every count is 0
    } else if (t->order == 0) {
        exclude_below_order0(m, e);
    }
}

// Included sum of entries 0 to i-1 (i.e. totals[1] - totals[i+1]).
inline int32_t included_before(const Model& m, const Entries& e, int i) {
    if (m.order == -1) return i - below0_before(m, i);
    int32_t sum = sum_bytes(e.counts, i);
    if (m.order == -2 || m.excluded_count == 0) return sum;
    return sum - excluded_sum(m, e, i);
}

// ------------------------------------------------------------ model update

// The first of the entries before i whose counts all equal c, or i.
inline int run_start(const uint8_t* counts, int i, uint8_t c) {
    // Sixteen at a time while a whole group agrees.
    int j = i;
    const __m128i key = splat(c);
    for (; j >= 16; j -= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(counts + j - 16));
        unsigned equal = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi8(v, key));
        if (equal != 0xFFFF) return j - __builtin_clz(~(equal << 16));  // equal lanes at the top
    }
    while (j > 0 && counts[j - 1] == c) --j;
    return j;
}

// Updates table t with byte s, whose entry (when known) is at `index`;
// order0: t is the order-0 table, whose byte index and set of coded bytes
// follow its entries.  Returns the entry's index afterwards, or -1 on
// failure.
template <bool order0>
__attribute__((always_inline)) inline int update_table(Model& m, ContextTable* t, int s,
                                                       int index) {
    catch_up(m, t);
    int i = index >= 0 ? index : find_symbol(t, s);
    if (i < 0 && (i = append_entry(m, t, s)) < 0) return -1;
    Entries e(t);
    uint8_t* symbols = e.symbols;
    uint8_t* counts = e.counts;
    // Back past the entries of equal count: in a table whose counts are all
    // 0 (largest 0) to the first entry.
    uint8_t c = 0;
    int j = t->max_count == 0 ? 0 : run_start(counts, i, c = counts[i]);
    if (j < i) {
        // Counts are equal: swapping the symbols (and links) moves s forward.
        symbols[i] = symbols[j];
        symbols[j] = (uint8_t)s;
        uint32_t* links = e.links;
        uint32_t link = links[i];
        links[i] = links[j];
        links[j] = link;
        if (order0) {
            m.order0_index[symbols[i]] = (uint8_t)i;
            m.order0_index[s] = (uint8_t)j;
        }
    }
    int n = c + 1;
    counts[j] = (uint8_t)n;
    ++t->sum;
    if (n > t->max_count) {
        t->max_count = (uint8_t)n;
        t->escape = 0;
    }
    if (order0 && c == 0) m.order0_coded[s >> 6] |= 1ull << (s & 63);
    if (n == 255) halve_table(m, t);
    return j;
}

// Keeps the entry the update left in the table of `order` (i < 0: the
// update failed).
inline bool note_update(Model& m, int order, int i) {
    if (i < 0) return false;
    if (order == m.max_order - 1) m.next_index = i;
    m.top_index = i;  // the last one is the table of the maximum order
    return true;
}

__attribute__((always_inline)) inline bool update_model(Model& m, int symbol) {
    int k = m.order < 0 ? 0 : m.order;
    if (symbol >= 0) {
        // The context advance that follows reads the table that the top
        // table's link for the symbol names, when it has one: start loading
        // it now (a hint only; the update does not depend on it).
        int top = m.found[m.max_order + 2];
        if (top >= 0) {
            uint32_t next = links_of(m.slot(m.max_order))[top];
            if (next) __builtin_prefetch(at(next));
            m.top_link = next;
        }
        m.next_index = -1;
        // The order-0 table first, the one update with its bookkeeping.
        int order = k;
        if (order == 0) {
            if (!note_update(m, 0, update_table<true>(m, m.slot(0), symbol, m.found[2])))
                return false;
            order = 1;
        }
        for (; order <= m.max_order; ++order)
            if (!note_update(m, order,
                             update_table<false>(m, m.slot(order), symbol, m.found[order + 2])))
                return false;
    }
    m.order = m.max_order;
    m.clear_exclusions();
    return true;
}

// next(t, s, k): the table of the context t extended by s, made when
// missing.  Its arena index, 0 on failure.
uint32_t next_context(Model& m, ContextTable* t, int s, int k) {
    ContextTable* u = table_at(t->shorter);
    if (k == 0) return links_of(u)[0];
    int i = find_symbol(u, s);
    if (i >= 0 && links_of(u)[i]) return links_of(u)[i];
    uint32_t v = next_context(m, u, s, k - 1);
    if (!v) return 0;
    return create_child(m, u, s, v);
}

__attribute__((always_inline)) inline bool advance_context(Model& m, int symbol) {
    if (symbol < 0) return true;
    // next(top, s): the link for s in the table one order below the top,
    // whose entry for s the update has just left at next_index when it
    // updated that table.
    ContextTable* top = m.slot(m.max_order);
    // A found entry keeps its link through the update (a swap moves both).
    uint32_t t = m.found[m.max_order + 2] >= 0 ? m.top_link : links_of(top)[m.top_index];
    if (!t) {
        if (m.max_order > 0) {
            ContextTable* u = table_at(top->shorter);
            int i = m.next_index >= 0 ? m.next_index : find_symbol(u, symbol);
            if (i >= 0) t = links_of(u)[i];
        }
        if (!t) t = next_context(m, top, symbol, m.max_order);
        if (!t) return false;
        links_of(top)[m.top_index] = t;  // the top table's block has not moved
    }
    m.set_slot(m.max_order, t);
    // An escape out of the new top table goes to its shorter table: start
    // loading that one too (a hint only).
    if (m.max_order > 0) __builtin_prefetch(at(table_at(t)->shorter));
    return true;
}

// Moves the current order one down after an escape out of table t (the
// table of that order).  The slots of orders 1 to max_order - 1 are filled
// here rather than on every context advance: slot k is the `shorter` of slot
// k+1, links that never change once made, and the coder reaches order k only
// by escaping out of order k+1, so each slot is set from the table just used
// before it is read (the update reads only orders it has coded through).
inline void escape_to_shorter(Model& m, ContextTable* t) {
    --m.order;
    if (m.order >= 1) m.set_slot(m.order, t->shorter);
}

// Halves every table reachable from the order-0 table: all tables of order 0
// and above (each is linked from exactly one entry of a shorter context).
// Each table takes the halving in when it is next used (catch_up).
void flush_model(Model& m) { ++m.flushes; }

void finish_stats(const Model& m) {
    cz_arith_stats.tables = m.tables;
    cz_arith_stats.model_bytes = m.arena.bytes;
    cz_arith_stats.flushes = m.flushes;
    cz_arith_stats.out_of_memory = m.arena.refused;
}

// ------------------------------------------------------------------ encoder

struct Encoder {
    uint16_t low = 0;
    uint16_t high = 0xFFFF;
    int32_t pending = 0;
};

// Writes `bit` followed by `pending` inverse bits.
inline bool put_bit_plus_pending(BitFile* out, int bit, int32_t pending) {
    if (pending < 24)
        return cz_put_bits(out, ((uint32_t)bit << pending) | (bit ? 0 : (1u << pending) - 1),
                           pending + 1) == 0;
    if (cz_put_bits(out, (uint32_t)bit, 1) != 0) return false;
    uint32_t inverse = bit ? 0u : 0xFFFFFFu;
    for (; pending > 0; pending -= 24) {
        int n = pending < 24 ? pending : 24;
        if (cz_put_bits(out, inverse, n) != 0) return false;
    }
    return true;
}

// Renormalising one bit at a time shifts out the leading bits that low and
// high share (each sent, the first after the pending ones), then, while low
// is 01... and high 10..., drops the second bit and counts one more pending
// bit.  Both runs are taken whole here: after the first, the top bits of low
// and high differ (low <= high, so low's is 0 and high's 1), and the second
// keeps them so, so neither run can follow the other again.
inline int shared_bits(uint32_t low, uint32_t high) {
    return __builtin_clz(((low ^ high) << 16) | 0x8000);  // 16 when equal
}
inline int underflow_bits(uint32_t low, uint32_t high) {
    return __builtin_clz(~((low & ~high) << 17));  // ones from bit 14 down
}
inline uint32_t shift_low(uint32_t low, int n) { return (low << n) & 0xFFFF; }
inline uint32_t shift_high(uint32_t high, int n) {
    return ((high << n) | ((1u << n) - 1u)) & 0xFFFF;
}

inline bool encode_range(Encoder& e, BitFile* out, const SymbolRange& r) {
    // A scale of 1 (a table whose included counts are all 0) leaves only the
    // escape, the whole range: low and high stay as they are, no bit is sent.
    if (r.scale == 1) return true;
    if (r.scale == 0) return false;
    uint32_t range = (uint32_t)(e.high - e.low) + 1;
    uint32_t high = (uint16_t)(e.low + (range * r.high_total) / r.scale - 1);
    uint32_t low = (uint16_t)(e.low + (range * r.low_total) / r.scale);
    if (int n = shared_bits(low, high)) {
        uint32_t bits = low >> (16 - n);
        uint32_t first = bits >> (n - 1), rest = bits & ((1u << (n - 1)) - 1u);
        int32_t p = e.pending;
        if (p + n <= 32) {
            uint32_t inverse = first ? 0 : (1u << p) - 1u;
            if (cz_put_bits(out, (first << (p + n - 1)) | (inverse << (n - 1)) | rest, p + n) != 0)
                return false;
        } else if (!put_bit_plus_pending(out, (int)first, p) ||
                   (n > 1 && cz_put_bits(out, rest, n - 1) != 0)) {
            return false;
        }
        e.pending = 0;
        low = shift_low(low, n);
        high = shift_high(high, n);
    }
    if (int m = underflow_bits(low, high)) {
        e.pending += m;
        low = shift_low(low, m) & 0x7FFF;
        high = shift_high(high, m) | 0x8000;
    }
    e.low = (uint16_t)low;
    e.high = (uint16_t)high;
    return true;
}

bool flush_encoder(Encoder& e, BitFile* out) {
    int bit = (e.low >> 14) & 1;
    if (!put_bit_plus_pending(out, bit, e.pending + 1)) return false;
    return cz_put_bits(out, 0, 16) == 0;
}

// Converts symbol to its range in the current table; true when it was coded
// there, false when the range is the escape (the order then drops by one).
inline bool symbol_to_range(Model& m, int symbol, SymbolRange* r) {
    ContextTable* t = m.slot(m.order);
    int32_t included;
    int16_t t0;
    build_totals(m, t, &included, &t0);
    r->scale = (uint16_t)t0;
    const Entries e(t);
    int s = m.order == -2 ? -symbol : symbol;
    int i = m.order == 0 ? find_order0(m, e, s) : find_symbol(e, s);
    m.found[m.order + 2] = i;
    if (i >= 0 && t->max_count != 0 && e.counts[i] != 0) {
        int32_t above = included - included_before(m, e, i);  // totals[i+1]
        r->high_total = (uint16_t)above;
        r->low_total = (uint16_t)(above - e.counts[i]);
        return true;
    }
    r->low_total = (uint16_t)included;
    r->high_total = (uint16_t)t0;
    exclude_for_shorter(m, t, e);
    escape_to_shorter(m, t);
    return false;
}

int fail(int code) {
    MemoryStreams.io_error = -1;
    return code;
}

// Loads ahead of the compressor.  Once the model has outgrown the caches, a
// byte spends much of its time waiting for its tables.  The compressor knows
// the bytes to come, so it asks for the tables they will be coded in a few
// bytes early, one step of each chain of loads per byte: for the order-2
// table of a byte, its header seven bytes before (from a map of the order-2
// tables met so far; tables never move), its symbols and counts (and the
// links its update may swap or add) four bytes before, the entry of the
// byte that follows it two bytes before, and that entry's link (the order-3
// table of the byte after) one byte before; then that order-3 table's own
// block, and the order-1 table of each byte two bytes before.  Hints only: nothing read here
// decides anything, so a stale map entry or a moved block costs time, not bytes. Only for the
// maximum order 3, from a model of 8 MB on (below that the tables stay in the caches and the work
// would be lost); the map counts as model memory.

// The symbols and counts of a table (a macro, not a function: the compiler
// dropped the call of a function that did nothing but prefetch).
#define CZ_FETCH_ENTRIES(e)                          \
    do {                                             \
        for (int i_ = 0; i_ < (e).n; i_ += 64) {     \
            __builtin_prefetch((e).symbols + i_);    \
            __builtin_prefetch((e).counts + i_);     \
        }                                            \
        __builtin_prefetch((e).symbols + (e).n - 1); \
        __builtin_prefetch((e).counts + (e).n - 1);  \
    } while (0)

struct Lookahead {
    uint32_t* order2 = nullptr;  // table of context (x, y) at x * 256 + y, 0 unknown
    uint32_t order1[256] = {};   // table of context x
    uint32_t link_table = 0;     // an order-2 table and the entry whose link
    int link_entry = -1;         // names the order-3 table two bytes on
    uint32_t next3 = 0;          // the order-3 table of the next byte, when known
    ~Lookahead() { std::free(order2); }

    bool on() const { return order2 != nullptr; }

    void start(Model& m) {
        const size_t bytes = 65536 * sizeof *order2;
        if (m.max_order != 3 || m.arena.bytes < cz_arith_lookahead_from) return;
        if (cz_arith_memory_limit && m.arena.bytes + 4 * bytes > cz_arith_memory_limit) return;
        order2 = static_cast<uint32_t*>(std::calloc(65536, sizeof *order2));
        if (order2) m.arena.bytes += bytes;
    }

    // After the context advance for byte b0 (b1 before it).
    void note(const Model& m, int b1, int b0) {
        uint32_t t2 = m.slot(3)->shorter;
        order2[b1 << 8 | b0] = t2;
        order1[b0] = table_at(t2)->shorter;
    }

    // Byte i (b0) is about to be coded; ahead: the `avail` bytes after it
    // that the input has at hand.
    void run(int b0, const uint8_t* ahead, int64_t avail) {
        // The block of the order-3 table of byte i+1 (its header was asked
        // for a byte ago).
        if (next3) {
            ContextTable* t = table_at(next3);
            if (t->block != next3 + header_units) {
                const Entries e(t);
                CZ_FETCH_ENTRIES(e);
            }
            next3 = 0;
        }
        // The order-3 table of byte i+2.
        if (link_entry >= 0) {
            const Entries e(table_at(link_table));
            if (link_entry < e.n && (next3 = e.links[link_entry]) != 0) {
                uint8_t* t3 = at(next3);
                __builtin_prefetch(t3);
                __builtin_prefetch(t3 + table_bytes - 1);
            }
            link_entry = -1;
        }
        if (avail < 2) return;
        // The entry of byte i+2 in the order-2 table of its context (bytes i
        // and i+1): its link names the order-3 table of byte i+3.
        if (uint32_t t2 = order2[b0 << 8 | ahead[0]]) {
            const Entries e(table_at(t2));
            int k = find_symbol(e, ahead[1]);
            if (k >= 0) {
                __builtin_prefetch(e.links + k);
                link_table = t2;
                link_entry = k;
            }
        }
        // The order-1 table of byte i+2 (the caches hold these, but not the
        // nearest one).
        if (uint32_t t1 = order1[ahead[0]]) {
            const Entries e(table_at(t1));
            CZ_FETCH_ENTRIES(e);
        }
        if (avail < 3) return;
        // The symbols and counts of the order-2 table of byte i+4, and the
        // links its update may swap or add (the first and the next free).
        if (uint32_t t2 = order2[ahead[1] << 8 | ahead[2]]) {
            const Entries e(table_at(t2));
            CZ_FETCH_ENTRIES(e);
            __builtin_prefetch(e.links);
            __builtin_prefetch(e.links + e.n);
        }
        if (avail < 6) return;
        // The header of the order-2 table of byte i+7.
        if (uint32_t t2 = order2[ahead[4] << 8 | ahead[5]]) __builtin_prefetch(at(t2));
    }
};
#undef CZ_FETCH_ENTRIES

}  // namespace

int iArithCompress(CzStream* input, BitFile* output, int max_order) {
    cz_arith_stats = CzArithStats{};
    if (max_order < 0 || max_order > CZ_ARITH_MAX_ORDER) return fail(-1);
    Model m;
    bool ready = set_up_model(m, max_order);
    finish_stats(m);
    if (!ready) return fail(-1);
    cz_progress_start();
    Encoder e;
    uint32_t passes = 0;
    bool flush_requested = false;
    int32_t in_mark = 0, out_mark = 0;
    CzMemoryStreams& ms = MemoryStreams;
    Lookahead ahead;
    int last_byte = 0;  // the context starts as a run of zero bytes
    for (;;) {
        if ((++passes & 0xFF) == 0) {
            // Ratio check: flush the model when the output since the last
            // check ran above 90 percent of the input.
            int32_t in = ms.in_pos - in_mark;
            int32_t out = ms.out_pos - out_mark;
            if (out == 0) out = 1;
            if (in == 0) in = 1;
            int32_t ratio = out * 100 / in;
            in_mark = ms.in_pos;
            out_mark = ms.out_pos;
            flush_requested = ratio > 90;
            if (!ahead.on()) ahead.start(m);
        }
        int symbol;
        if (flush_requested) {
            symbol = model_flush;
        } else {
            symbol = cz_read_raw(input);
            if (symbol < 0) symbol = end_of_data;
            if (ahead.on() && symbol >= 0) {
                const uint8_t* next;
                int64_t avail;
                if (ms.in_buffer) {
                    next = ms.in_buffer + ms.in_pos;
                    avail = ms.in_length - ms.in_pos;
                } else {
                    next = input->next;
                    avail = input->limit - input->next;
                }
                ahead.run(symbol, next, avail);
            }
        }
        for (;;) {
            SymbolRange r;
            bool coded = symbol_to_range(m, symbol, &r);
            if (!encode_range(e, output, r)) {
                finish_stats(m);
                return fail(-3);
            }
            if (coded) break;
            if (m.order < -2) {
                finish_stats(m);
                return fail(-3);
            }
        }
        if (symbol == end_of_data) break;
        if (symbol == model_flush) {
            flush_model(m);
            flush_requested = false;
        }
        if (!update_model(m, symbol)) {
            finish_stats(m);
            return fail(-5);
        }
        if (!advance_context(m, symbol)) {
            finish_stats(m);
            return fail(-6);
        }
        if (symbol >= 0) {
            if (ahead.on()) ahead.note(m, last_byte, symbol);
            last_byte = symbol;
        }
        cz_progress((uint32_t)ms.in_pos);
        if (ms.out_pos > cz_output_limit) {
            finish_stats(m);
            return CZ_OVER_LIMIT;
        }
    }
    finish_stats(m);
    if (!flush_encoder(e, output)) return fail(-7);
    return 0;
}

namespace {

struct Decoder {
    uint16_t low = 0;
    uint16_t high = 0xFFFF;
    uint16_t code = 0;
};

// After an escape decoded in table t: the symbol is not known yet (the
// update looks it up), the next table excludes what t ruled out.
inline int decoded_escape(Model& m, ContextTable* t) {
    m.found[m.order + 2] = -1;
    exclude_for_shorter(m, t, Entries(t));
    escape_to_shorter(m, t);
    return escape;
}

// Decodes one symbol in the current table: a byte, a control symbol or
// `escape`.  False when the input ran out or the stream is corrupt.
inline bool decode_symbol(Model& m, Decoder& d, CzBitReader& in, int* symbol) {
    ContextTable* t = m.slot(m.order);
    int32_t included;
    int16_t t0;
    build_totals(m, t, &included, &t0);
    uint16_t scale = (uint16_t)t0;
    if (scale == 0) return false;
    if (scale == 1 && d.code >= d.low && d.code <= d.high && m.order != -2) {
        // The escape over the whole range (see encode_range): the count is 0,
        // low and high stay, no bit is read.  (A corrupt stream whose code
        // lies outside [low, high] takes the general path.)
        *symbol = decoded_escape(m, t);
        return true;
    }
    uint32_t range = (uint32_t)(d.high - d.low) + 1;
    int16_t count;
    if (d.code >= d.low) {
        // The valid case: (code - low + 1) * scale fits 32 bits unsigned.
        count = (int16_t)((((uint32_t)(d.code - d.low) + 1) * scale - 1) / range);
    } else {
        // Only a corrupt stream gets here; the same formula, signed and wide.
        int64_t wide = ((int64_t)d.code - d.low + 1) * scale - 1;
        count = (int16_t)(int32_t)(wide / (int64_t)range);
    }
    // totals[c] for c = 0, 1, 2 ...; a valid stream always lands in one
    // range, a corrupt one may not (then it ends here).
    if (t0 <= count) return false;
    SymbolRange r;
    r.scale = scale;
    int16_t above = (int16_t)included;  // totals[1]
    int sym;
    if (above <= count) {
        r.low_total = (uint16_t)above;
        r.high_total = (uint16_t)t0;
        sym = escape;
    } else if (m.order == -1) {
        // Byte s is entry s (see below0_count); the scan below would stop at
        // the (included - count)-th byte not excluded.
        int s = below0_select(m, included - count);
        if (s < 0) return false;
        m.found[1] = s;
        r.low_total = (uint16_t)(included - (s + 1 - below0_before(m, s)));
        r.high_total = (uint16_t)(r.low_total + 1);
        sym = s;
    } else {
        const Entries e(t);
        const uint8_t* sym_array = e.symbols;
        const uint8_t* cnt_array = e.counts;
        bool all = m.order == -2 || m.excluded_count == 0;
        int32_t before = 0;
        int i = 0;
        int c = 0;
        int16_t low_total = 0;
        for (;; ++i) {
            if (i > t->last_index) return false;
            c = cnt_array[i];
            if (!all) c &= ~m.excluded[sym_array[i]];
            before += c;
            low_total = (int16_t)(included - before);  // totals[i+2]
            if (low_total <= count) break;
        }
        m.found[m.order + 2] = i;
        r.low_total = (uint16_t)low_total;
        r.high_total = (uint16_t)(low_total + c);
        sym = sym_array[i];
        if (m.order == -2) sym = -sym;
    }
    uint32_t high = (uint16_t)(d.low + (range * r.high_total) / r.scale - 1);
    uint32_t low = (uint16_t)(d.low + (range * r.low_total) / r.scale);
    uint32_t code = d.code, bits;
    // As the encoder's renormalisation, a run at a time; an underflow step
    // also flips bit 14 of the code before the shift.
    if (int n = shared_bits(low, high)) {
        if (!in.get(n, &bits)) return false;
        low = shift_low(low, n);
        high = shift_high(high, n);
        code = ((code << n) | bits) & 0xFFFF;
    }
    if (int k = underflow_bits(low, high)) {
        if (!in.get(k, &bits)) return false;
        low = shift_low(low, k) & 0x7FFF;
        high = shift_high(high, k) | 0x8000;
        code = (((code ^ (((1u << k) - 1u) << (15 - k))) << k) | bits) & 0xFFFF;
    }
    d.low = (uint16_t)low;
    d.high = (uint16_t)high;
    d.code = (uint16_t)code;
    if (sym == escape) {
        // The control table's escape is never sent: a corrupt stream.
        if (m.order == -2) return false;
        decoded_escape(m, t);
    }
    *symbol = sym;
    return true;
}

}  // namespace

int iArithExpand(BitFile* input, CzStream* output, int max_order) {
    cz_arith_stats = CzArithStats{};
    if (max_order < 0 || max_order > CZ_ARITH_MAX_ORDER) return fail(-1);
    Model m;
    bool ready = set_up_model(m, max_order);
    finish_stats(m);
    if (!ready) return fail(-1);
    cz_progress_start();
    Decoder d;
    CzBitReader in(input);
    uint32_t first;
    if (!in.get(16, &first)) return fail(-2);
    d.code = (uint16_t)first;
    CzMemoryStreams& ms = MemoryStreams;
    for (;;) {
        int symbol;
        // (Each order the symbol passes leaves its entry or -1 in found.)
        do {
            if (!decode_symbol(m, d, in, &symbol)) {
                finish_stats(m);
                return fail(-4);
            }
        } while (symbol == escape);
        if (symbol == end_of_data) break;
        if (symbol == model_flush) {
            flush_model(m);
        } else {
            if (cz_write_raw(output, symbol) != 0) {
                finish_stats(m);
                return fail(-1);
            }
            cz_progress((uint32_t)ms.out_pos);
        }
        if (!update_model(m, symbol)) {
            finish_stats(m);
            return fail(-6);
        }
        if (!advance_context(m, symbol)) {
            finish_stats(m);
            return fail(-7);
        }
    }
    finish_stats(m);
    return 0;
}
