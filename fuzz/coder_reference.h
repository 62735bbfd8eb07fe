// Literal, slow transcriptions of the two coders' rules: 32-bit tree arrays
// and bit-by-bit output for LZSS; a totals array rebuilt per table, an
// exclusion array cleared per symbol and one malloc per array growth for the
// arithmetic coder.  The production arithmetic coder must give the same
// bytes; the production LZSS coder the same literals and match lengths step
// by step (its match finder may name another of equally long occurrences).
#pragma once

#include <string>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct BitSink {
    std::string out;
    int mask = 0x80;
    int rack = 0;
    void bit(int b) {
        if (b) rack |= mask;
        mask >>= 1;
        if (!mask) {
            out += (char)rack;
            rack = 0;
            mask = 0x80;
        }
    }
    void bits(uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) bit((v >> i) & 1);
    }
    std::string close() {
        if (mask != 0x80) out += (char)rack;
        return out;
    }
};

// ------------------------------------------------------------------ LZSS

struct Lzss {
    uint8_t window[4096] = {};
    int32_t parent[4097] = {}, smaller[4097] = {}, larger[4097] = {};

    uint8_t at(int p) const { return window[p & 4095]; }

    // Writes the parent field of node c, which is never node 0.
    void set_parent(int c, int p) {
        if (c != 0) parent[c] = p;
    }
    void relink(int old, int with) {
        int up = parent[old];
        if (larger[up] == old)
            larger[up] = with;
        else
            smaller[up] = with;
    }
    void replace(int old, int with) {
        relink(old, with);
        parent[with] = parent[old];
        smaller[with] = smaller[old];
        larger[with] = larger[old];
        set_parent(smaller[with], with);
        set_parent(larger[with], with);
        parent[old] = 0;
    }
    void contract(int old, int child) {
        set_parent(child, parent[old]);
        relink(old, child);
        parent[old] = 0;
    }
    void remove(int p) {
        if (parent[p] == 0) return;
        if (larger[p] == 0) {
            contract(p, smaller[p]);
        } else if (smaller[p] == 0) {
            contract(p, larger[p]);
        } else {
            int q = smaller[p];
            while (larger[q] != 0) q = larger[q];
            contract(q, smaller[q]);
            replace(p, q);
        }
    }
    int insert(int n, int* match) {
        if (n == 0) return 0;
        int p = larger[4096];
        int best = 0;
        for (;;) {
            int i = 0, delta = 0;
            for (; i < 17; ++i) {
                delta = at(n + i) - at(p + i);
                if (delta != 0) break;
            }
            if (i >= best) {
                best = i;
                *match = p;
                if (i == 17) {
                    replace(p, n);
                    return 17;
                }
            }
            int* child = delta >= 0 ? &larger[p] : &smaller[p];
            if (*child == 0) {
                *child = n;
                parent[n] = p;
                smaller[n] = larger[n] = 0;
                return best;
            }
            p = *child;
        }
    }
};

}  // namespace

inline std::string reference_lzss_compress(const std::string& input) {
    auto z = std::make_unique<Lzss>();
    BitSink sink;
    size_t next = 0;
    auto read = [&]() -> int { return next < input.size() ? (uint8_t)input[next++] : -1; };
    int current = 1, ahead = 0;
    for (; ahead < 17; ++ahead) {
        int c = read();
        if (c < 0) break;
        z->window[current + ahead] = (uint8_t)c;
    }
    z->larger[4096] = current;
    z->parent[current] = 4096;
    int length = 0, position = 0;
    while (ahead > 0) {
        if (length > ahead) length = ahead;
        int step;
        if (length <= 1) {
            step = 1;
            sink.bit(1);
            sink.bits(z->window[current], 8);
        } else {
            step = length;
            sink.bit(0);
            sink.bits((uint32_t)position, 12);
            sink.bits((uint32_t)(length - 2), 4);
        }
        for (int i = 0; i < step; ++i) {
            z->remove((current + 17) & 4095);
            int c = read();
            if (c >= 0)
                z->window[(current + 17) & 4095] = (uint8_t)c;
            else
                --ahead;
            current = (current + 1) & 4095;
            if (ahead != 0) length = z->insert(current, &position);
        }
    }
    sink.bit(0);
    sink.bits(0, 12);
    return sink.close();
}

// -------------------------------------------------------------- arithmetic

namespace {

struct Table {
    int last_index = -1;
    std::vector<Table*> children;
    std::vector<std::pair<uint8_t, uint8_t>> entries;
    Table* shorter = nullptr;
};

struct Arith {
    std::vector<std::unique_ptr<Table>> all;
    int max_order = 3;
    int order = 3;
    Table* ctx[10] = {};
    int16_t totals[258] = {};
    uint8_t excluded[256] = {};
    uint16_t low = 0, high = 0xFFFF;
    int32_t pending = 0;
    BitSink sink;

    Table*& slot(int k) { return ctx[k + 2]; }
    Table* make(Table* shorter) {
        all.push_back(std::make_unique<Table>());
        all.back()->shorter = shorter;
        return all.back().get();
    }
    Table* child(Table* t, int s, Table* u) {
        int i = 0;
        for (; i <= t->last_index; ++i)
            if (t->entries[i].first == s) break;
        if (i > t->last_index) {
            ++t->last_index;
            t->children.resize(t->last_index + 1, nullptr);
            t->entries.push_back({(uint8_t)s, 0});
        }
        Table* c = make(u);
        t->children[i] = c;
        return c;
    }
    void setup() {
        order = max_order;
        slot(-1) = make(nullptr);
        for (int k = 0; k <= max_order; ++k) slot(k) = child(slot(k - 1), 0, slot(k - 1));
        Table* m1 = slot(-1);
        m1->entries.clear();
        for (int i = 0; i < 256; ++i) m1->entries.push_back({(uint8_t)i, 1});
        m1->last_index = 255;
        Table* control = make(nullptr);
        control->last_index = 1;
        control->entries = {{2, 1}, {1, 1}};
        slot(-2) = control;
        std::memset(excluded, 0, sizeof excluded);
    }
    static void halve(Table* t) {
        if (t->last_index == -1) return;
        for (auto& e : t->entries) e.second /= 2;
    }
    void totals_of(Table* t) {
        for (;;) {
            int n = t->last_index + 2;
            totals[n] = 0;
            int max = 0;
            for (int i = n; i >= 2; --i) {
                totals[i - 1] = totals[i];
                auto& e = t->entries[i - 2];
                if (e.second != 0 && (order == -2 || !excluded[e.first]))
                    totals[i - 1] = (int16_t)(totals[i - 1] + e.second);
                if (e.second > max) max = e.second;
            }
            if (max == 0) {
                totals[0] = 1;
            } else {
                int16_t e = (int16_t)((256 - t->last_index) * t->last_index);
                e = (int16_t)(e / 256);
                e = (int16_t)(e / max);
                e = (int16_t)(e + 1);
                totals[0] = (int16_t)(e + totals[1]);
            }
            if (totals[0] >= 16383) {
                halve(t);
                continue;
            }
            for (int i = 0; i < t->last_index; ++i)
                if (t->entries[i].second != 0) excluded[t->entries[i].first] = 1;
            return;
        }
    }
    void encode(uint16_t lo, uint16_t hi, uint16_t scale) {
        uint32_t range = (uint32_t)(high - low) + 1;
        uint16_t h = (uint16_t)(low + (range * hi) / scale - 1);
        low = (uint16_t)(low + (range * lo) / scale);
        high = h;
        for (;;) {
            if ((high & 0x8000) == (low & 0x8000)) {
                int b = high >> 15;
                sink.bit(b);
                for (; pending > 0; --pending) sink.bit(!b);
            } else if ((low & 0x4000) && !(high & 0x4000)) {
                ++pending;
                low &= 0x3FFF;
                high |= 0x4000;
            } else {
                return;
            }
            low = (uint16_t)(low << 1);
            high = (uint16_t)((high << 1) | 1);
        }
    }
    // True when coded, false after an escape.
    bool code(int symbol) {
        Table* t = slot(order);
        totals_of(t);
        int s = order == -2 ? -symbol : symbol;
        for (int i = 0; i <= t->last_index; ++i) {
            if (t->entries[i].first == s && t->entries[i].second != 0) {
                encode((uint16_t)totals[i + 2], (uint16_t)totals[i + 1], (uint16_t)totals[0]);
                return true;
            }
        }
        encode((uint16_t)totals[1], (uint16_t)totals[0], (uint16_t)totals[0]);
        --order;
        return false;
    }
    void update_table(Table* t, int s) {
        int i = 0;
        for (; i <= t->last_index; ++i)
            if (t->entries[i].first == s) break;
        if (i > t->last_index) {
            ++t->last_index;
            if (order < max_order) t->children.push_back(nullptr);
            t->entries.push_back({(uint8_t)s, 0});
        }
        int j = i;
        while (j > 0 && t->entries[j - 1].second == t->entries[i].second) --j;
        if (j < i) {
            std::swap(t->entries[i].first, t->entries[j].first);
            if (!t->children.empty()) std::swap(t->children[i], t->children[j]);
        }
        if (++t->entries[j].second == 255) halve(t);
    }
    void update(int s) {
        int k = order < 0 ? 0 : order;
        if (s >= 0)
            for (int o = k; o <= max_order; ++o) update_table(slot(o), s);
        order = max_order;
        std::memset(excluded, 0, sizeof excluded);
    }
    Table* next(Table* t, int s, int k) {
        Table* u = t->shorter;
        if (k == 0) return u->children[0];
        for (int i = 0; i <= u->last_index; ++i)
            if (u->entries[i].first == s && u->children[i]) return u->children[i];
        Table* v = next(u, s, k - 1);
        return child(u, s, v);
    }
    void advance(int s) {
        if (s < 0) return;
        slot(max_order) = next(slot(max_order), s, max_order);
        for (int k = max_order - 1; k >= 1; --k) slot(k) = slot(k + 1)->shorter;
    }
    void flush_tables(Table* t) {
        for (int i = 0; i <= t->last_index && i < (int)t->children.size(); ++i)
            if (t->children[i]) flush_tables(t->children[i]);
        halve(t);
    }
};

}  // namespace

inline std::string reference_arith_compress(const std::string& input, int* flushes = nullptr) {
    auto a = std::make_unique<Arith>();
    a->setup();
    size_t next = 0;
    uint32_t counter = 0;
    bool flush = false;
    int32_t in_mark = 0, out_mark = 0;
    if (flushes) *flushes = 0;
    for (;;) {
        if ((++counter & 0xFF) == 0) {
            int32_t in = (int32_t)next - in_mark;
            int32_t out = (int32_t)a->sink.out.size() - out_mark;
            if (out == 0) out = 1;
            int32_t ratio = out * 100 / in;
            in_mark = (int32_t)next;
            out_mark = (int32_t)a->sink.out.size();
            flush = ratio > 90;
        }
        int symbol = flush ? -2 : next < input.size() ? (uint8_t)input[next++] : -1;
        while (!a->code(symbol)) {
        }
        if (symbol == -1) break;
        if (symbol == -2) {
            a->flush_tables(a->slot(0));
            flush = false;
            if (flushes) ++*flushes;
        }
        a->update(symbol);
        a->advance(symbol);
    }
    int b = (a->low >> 14) & 1;
    a->sink.bit(b);
    for (++a->pending; a->pending > 0; --a->pending) a->sink.bit(!b);
    a->sink.bits(0, 16);
    return a->sink.close();
}
