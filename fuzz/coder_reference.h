// Literal, slow transcriptions of the two coders' rules: 32-bit tree arrays
// and bit-by-bit output for LZSS; a totals array rebuilt per table, an
// exclusion array cleared per symbol and one allocation per table for the
// arithmetic coder (order 3 unless told).  See cz_fuzz::form for what the
// production coders must share with them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

struct BitSink {
    std::string out;
    int mask = 0x80, rack = 0;
    void bit(int b) {
        if (b) rack |= mask;
        if (!(mask >>= 1)) out += (char)rack, rack = 0, mask = 0x80;
    }
    void bits(uint32_t v, int n) {
        while (n--) bit((v >> n) & 1);
    }
    std::string close() { return mask != 0x80 ? out + (char)rack : out; }
};

// LZSS: a binary tree over the 4096-byte window, node 4096 its root.
struct Lzss {
    uint8_t window[4096] = {};
    int32_t parent[4097] = {}, smaller[4097] = {}, larger[4097] = {};

    void set_parent(int c, int p) { parent[c] = c ? p : 0; }  // node 0 is never written
    void relink(int old, int with) {
        (larger[parent[old]] == old ? larger : smaller)[parent[old]] = with;
    }
    void replace(int old, int with) {
        relink(old, with);
        parent[with] = parent[old], smaller[with] = smaller[old], larger[with] = larger[old];
        set_parent(smaller[with], with), set_parent(larger[with], with), parent[old] = 0;
    }
    void contract(int old, int child) {
        set_parent(child, parent[old]), relink(old, child), parent[old] = 0;
    }
    void remove(int p) {
        if (parent[p] == 0) return;
        if (larger[p] == 0) return contract(p, smaller[p]);
        if (smaller[p] == 0) return contract(p, larger[p]);
        int q = smaller[p];
        while (larger[q] != 0) q = larger[q];
        contract(q, smaller[q]), replace(p, q);
    }
    int insert(int n, int* match) {
        if (n == 0) return 0;
        for (int p = larger[4096], best = 0;;) {
            int i = 0, delta = 0;
            while (i < 17 && (delta = window[(n + i) & 4095] - window[(p + i) & 4095]) == 0) ++i;
            if (i >= best) {
                best = i, *match = p;
                if (i == 17) return replace(p, n), 17;
            }
            int* child = delta >= 0 ? &larger[p] : &smaller[p];
            if (*child == 0) {
                *child = n, parent[n] = p, smaller[n] = larger[n] = 0;
                return best;
            }
            p = *child;
        }
    }
};

// Arithmetic, order 3: tables of (symbol, count) with a child table per entry.
struct Table {
    int last_index = -1;
    std::vector<Table*> children;
    std::vector<std::pair<uint8_t, uint8_t>> entries;
    Table* shorter = nullptr;
};

struct Arith {
    std::vector<std::unique_ptr<Table>> all;
    int max_order = 3, order = 3;
    Table* ctx[10] = {};
    int16_t totals[258] = {};
    uint8_t excluded[256] = {};
    uint16_t low = 0, high = 0xFFFF;
    int32_t pending = 0;
    BitSink sink;

    Table*& slot(int k) { return ctx[k + 2]; }
    Table* make(Table* shorter) { return all.emplace_back(new Table{-1, {}, {}, shorter}).get(); }
    static int find(Table* t, int s) {
        int i = 0;
        while (i <= t->last_index && t->entries[i].first != s) ++i;
        return i;
    }
    Table* child(Table* t, int s, Table* u) {
        int i = find(t, s);
        if (i > t->last_index) {
            t->children.resize(++t->last_index + 1, nullptr);
            t->entries.push_back({(uint8_t)s, 0});
        }
        return t->children[i] = make(u);
    }
    void setup() {
        slot(-1) = make(nullptr);
        for (int k = 0; k <= max_order; ++k) slot(k) = child(slot(k - 1), 0, slot(k - 1));
        slot(-1)->entries.clear(), slot(-1)->last_index = 255;
        for (int i = 0; i < 256; ++i) slot(-1)->entries.push_back({(uint8_t)i, 1});
        slot(-2) = all.emplace_back(new Table{1, {}, {{2, 1}, {1, 1}}, nullptr}).get();
    }
    static void halve(Table* t) {
        for (auto& e : t->entries) e.second /= 2;  // last_index + 1 entries
    }
    void totals_of(Table* t) {
        for (;; halve(t)) {
            int n = t->last_index + 2, max = 0;
            totals[n] = 0;
            for (int i = n; i >= 2; --i) {
                auto& e = t->entries[i - 2];
                bool counted = e.second != 0 && (order == -2 || !excluded[e.first]);
                totals[i - 1] = (int16_t)(totals[i] + (counted ? e.second : 0));
                max = std::max(max, (int)e.second);
            }
            // The escape's count; every term stays below 2^15.
            int escape = (256 - t->last_index) * t->last_index / 256;
            totals[0] = max == 0 ? 1 : (int16_t)(escape / max + 1 + totals[1]);
            if (totals[0] < 16383) break;
        }
        for (int i = 0; i < t->last_index; ++i)
            if (t->entries[i].second != 0) excluded[t->entries[i].first] = 1;
    }
    void encode(uint16_t lo, uint16_t hi, uint16_t scale) {
        uint32_t range = (uint32_t)(high - low) + 1;
        uint16_t h = (uint16_t)(low + (range * hi) / scale - 1);
        low = (uint16_t)(low + (range * lo) / scale);
        high = h;
        for (;; low = (uint16_t)(low << 1), high = (uint16_t)((high << 1) | 1)) {
            if ((high & 0x8000) == (low & 0x8000)) {
                int b = high >> 15;
                sink.bit(b);
                for (; pending > 0; --pending) sink.bit(!b);
            } else if ((low & 0x4000) && !(high & 0x4000)) {
                ++pending, low &= 0x3FFF, high |= 0x4000;
            } else {
                return;
            }
        }
    }
    // True when coded, false after an escape.
    bool code(int symbol) {
        Table* t = slot(order);
        totals_of(t);
        int s = order == -2 ? -symbol : symbol;
        int i = 0;
        while (i <= t->last_index && (t->entries[i].first != s || t->entries[i].second == 0)) ++i;
        bool coded = i <= t->last_index;
        encode((uint16_t)(coded ? totals[i + 2] : totals[1]),
               (uint16_t)(coded ? totals[i + 1] : totals[0]), (uint16_t)totals[0]);
        if (!coded) --order;
        return coded;
    }
    void update_table(Table* t, int s) {
        int i = find(t, s), j = i;
        if (i > t->last_index) {
            ++t->last_index;
            if (order < max_order) t->children.push_back(nullptr);
            t->entries.push_back({(uint8_t)s, 0});
        }
        while (j > 0 && t->entries[j - 1].second == t->entries[i].second) --j;
        if (j < i) {
            std::swap(t->entries[i].first, t->entries[j].first);
            if (!t->children.empty()) std::swap(t->children[i], t->children[j]);
        }
        if (++t->entries[j].second == 255) halve(t);
    }
    void update(int s) {
        if (s >= 0)
            for (int o = std::max(order, 0); o <= max_order; ++o) update_table(slot(o), s);
        order = max_order;
        std::memset(excluded, 0, sizeof excluded);
    }
    Table* next(Table* t, int s, int k) {
        Table* u = t->shorter;
        if (k == 0) return u->children[0];
        for (int i = 0; i <= u->last_index; ++i)
            if (u->entries[i].first == s && u->children[i]) return u->children[i];
        return child(u, s, next(u, s, k - 1));
    }
    void flush_tables(Table* t) {
        for (int i = 0; i <= t->last_index && i < (int)t->children.size(); ++i)
            if (t->children[i]) flush_tables(t->children[i]);
        halve(t);
    }
};

}  // namespace

inline std::string reference_lzss_compress(const std::string& input) {
    auto z = std::make_unique<Lzss>();
    BitSink sink;
    size_t next = 0;
    int current = 1, ahead = 0, length = 0, position = 0;
    for (; ahead < 17 && next < input.size(); ++ahead)
        z->window[current + ahead] = (uint8_t)input[next++];
    z->larger[4096] = current, z->parent[current] = 4096;
    while (ahead > 0) {
        length = std::min(length, ahead);
        int step = length <= 1 ? 1 : length;
        if (length <= 1)
            sink.bit(1), sink.bits(z->window[current], 8);
        else
            sink.bit(0), sink.bits((uint32_t)position, 12), sink.bits((uint32_t)(length - 2), 4);
        for (int i = 0; i < step; ++i) {
            z->remove((current + 17) & 4095);
            if (next < input.size())
                z->window[(current + 17) & 4095] = (uint8_t)input[next++];
            else
                --ahead;
            current = (current + 1) & 4095;
            if (ahead != 0) length = z->insert(current, &position);
        }
    }
    sink.bits(0, 13);  // a match at position 0: the end
    return sink.close();
}

inline std::string reference_arith_compress(const std::string& input, int order = 3) {
    auto a = std::make_unique<Arith>();
    a->max_order = a->order = order;
    a->setup();
    size_t next = 0;
    uint32_t counter = 0;
    bool flush = false;
    int32_t in_mark = 0, out_mark = 0;
    for (;;) {
        if ((++counter & 0xFF) == 0) {  // every 256 symbols: flush when coding poorly
            int32_t out = std::max((int32_t)a->sink.out.size() - out_mark, 1);
            flush = out * 100 / ((int32_t)next - in_mark) > 90;
            in_mark = (int32_t)next, out_mark = (int32_t)a->sink.out.size();
        }
        int symbol = flush ? -2 : next < input.size() ? (uint8_t)input[next++] : -1;
        for (bool coded = false; !coded;) coded = a->code(symbol);
        if (symbol == -1) break;
        if (symbol == -2) a->flush_tables(a->slot(0)), flush = false;
        a->update(symbol);
        if (symbol >= 0) {
            a->slot(order) = a->next(a->slot(order), symbol, order);
            for (int k = order - 1; k >= 1; --k) a->slot(k) = a->slot(k + 1)->shorter;
        }
    }
    int b = (a->low >> 14) & 1;
    a->sink.bit(b);
    for (++a->pending; a->pending > 0; --a->pending) a->sink.bit(!b);
    a->sink.bits(0, 16);
    return a->sink.close();
}
