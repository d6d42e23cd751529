// SPDX-License-Identifier: MIT
// Model check of the generic list: up to three lists (ordinary ones and
// sublists) beside std::vectors of their data, with every allocation made
// through counting hooks that can be told to fail the k-th next allocation.
// Each step predicts which allocation fails, if any, and checks the result,
// the allocations made, the destructor and release order, and then the links
// of every list and that the live blocks are exactly their headers and nodes.
#include <libkrc/llist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

using Data = std::vector<uintptr_t>;
constexpr uint32_t kLists = 3, kMaxLen = 64;
constexpr uintptr_t kFree = ~uintptr_t{0}, kSep = kFree - 1, kGrown = 15;  // log markers; appended by a visitor

void *ptr(uintptr_t v) { return reinterpret_cast<void *>(v); }
uintptr_t val(const void *p) { return reinterpret_cast<uintptr_t>(p); }

struct Slot {
    list_t *lst = nullptr;
    Data model;
    bool sub = false;
};

struct State {
    Slot slots[kLists];
    long live = 0, allocs = 0, need = 0;      // need: allocations the step makes if none fails
    long fail_in = -1;                        // allocations let through before one fails, if >= 0
    long calls = 0, stop_at = -1;             // callback calls; the one that returns 0
    Data log;                                 // destructor arguments, visited data, kSep, kFree
    uintptr_t div = 1, copy_fails = 0;        // predicate divisor; the item the copier refuses
    list_t *grow = nullptr;                   // a visitor appends kGrown to it at its first call
};
State *g;  // the run in progress: hooks and callbacks take no context of their own

void *hook_alloc(size_t size) {
    MODEL_REQUIRE(size == sizeof(list_t) || size == sizeof(list_node_t));
    ++g->allocs;
    if (g->fail_in-- == 0)
        return nullptr;
    ++g->live;
    // Fresh blocks hold garbage, so a field the library forgets to set shows.
    void *block = malloc(size);
    MODEL_REQUIRE(block != nullptr);
    return memset(block, 0xA5, size);
}
void hook_free(void *block) {
    --g->live;
    g->log.push_back(kFree);
    free(block);
}
void dtor(void *data) { g->log.push_back(val(data)); }

bool go_on() { return g->calls++ != g->stop_at; }
unsigned visit(void *ctx, void *data) {
    MODEL_REQUIRE(ctx == g);
    if (g->calls == 0 && g->grow != nullptr)
        list_add(g->grow, ptr(kGrown));
    g->log.push_back(val(data));
    return go_on();
}
unsigned dual(void *ctx1, void *ctx2, void *data) {
    MODEL_REQUIRE(ctx2 == &g->log);
    return visit(ctx1, data);
}
unsigned sep(void *ctx) {
    MODEL_REQUIRE(ctx == g);
    g->log.push_back(kSep);
    return go_on();
}
// Asymmetric on purpose, so that swapped arguments show.
int at_least(void *key, void *data) { return ++g->calls, val(data) >= val(key) ? 0 : 1; }
unsigned divisible(void *data, void *ctx) {
    MODEL_REQUIRE(ctx == g);
    return ++g->calls, val(data) % g->div == 0;
}
uintptr_t adapted(uintptr_t v) { return (v * 5 + 1) % 16; }  // 0 (null) for 3
void *adapt(void *data) { return ++g->calls, ptr(adapted(val(data))); }
void *copier(void *data) { return val(data) == g->copy_fails ? nullptr : ptr(val(data) + 100); }
int by_quarter(void *a, void *b) { return ++g->calls, int(val(a) / 4) - int(val(b) / 4); }

std::vector<list_node_t *> nodes(const Slot &s) {
    std::vector<list_node_t *> out;
    for (list_node_t *n = s.lst->first; n != nullptr && out.size() <= s.model.size(); n = n->next)
        out.push_back(n);
    return out;
}

// Hooks and flag, then the links both ways, from first and from last.
void check(const Slot &s) {
    list_t *l = s.lst;
    size_t n = s.model.size();
    MODEL_REQUIRE(l->alloc_fn == hook_alloc);
    MODEL_REQUIRE(l->free_fn == hook_free);
    MODEL_REQUIRE(l->is_sublist == (s.sub ? 1 : 0));
    MODEL_REQUIRE(list_empty(l) == (n == 0 ? 1 : 0));
    Data fwd, back;  // each walk stops one step past the model's length
    for (list_iter_t i = list_first(l); !list_end(i) && fwd.size() <= n; i = list_next(i))
        fwd.push_back(val(list_get(i)));
    for (list_iter_t i = list_last(l); !list_end(i) && back.size() <= n; i = list_prev(i))
        back.push_back(val(list_get(i)));
    std::reverse(back.begin(), back.end());
    MODEL_REQUIRE(list_size(l) == n);
    MODEL_REQUIRE(fwd == s.model);
    MODEL_REQUIRE(back == s.model);
}

// The index of the allocation that fails among the next `need`; negative
// when none does.
long failing(long need) {
    g->need = need;
    return g->fail_in < need ? g->fail_in : -1;
}

Slot *free_slot() {
    for (Slot &s : g->slots)
        if (s.lst == nullptr)
            return &s;
    return nullptr;
}

// Runs a constructor that needs `need` allocations and stores `want` in a
// free slot when it succeeds; returns the index of the failed allocation.
template <typename Make>
long construct(Make make, const Data &want, bool sub, long need, bool refused = false) {
    Slot *out = free_slot();
    long f = failing(need);
    list_t *made = make();
    MODEL_REQUIRE((made == nullptr) == (f >= 0 || refused));
    if (made != nullptr)
        *out = Slot{made, want, sub};
    return f;
}

void visit_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    int kind = in.below(4);
    g->stop_at = in.below(2 * kMaxLen + 1);
    g->grow = kind != 2 && !s.sub && m.size() < kMaxLen && (in.byte() & 1) ? s.lst : nullptr;
    Data seen = m;
    if (g->grow != nullptr && !m.empty() && failing(1) < 0)
        s.model.push_back(kGrown);
    if (kind != 2)
        seen = s.model;  // forward walks reach the appended item
    else
        std::reverse(seen.begin(), seen.end());
    Data want;
    for (uintptr_t v : seen) {
        if (kind == 3 && !want.empty())
            want.push_back(kSep);
        want.push_back(v);
    }
    int result = 1;
    if (static_cast<size_t>(g->stop_at) < want.size()) {
        want.resize(g->stop_at + 1);
        result = 0;
    }
    int got = kind == 0   ? list_foreach(s.lst, g, visit)
              : kind == 1 ? list_dual_foreach(s.lst, g, &g->log, dual)
              : kind == 2 ? list_foreach_reversed(s.lst, g, visit)
                          : list_foreach_sep(s.lst, g, visit, sep);
    MODEL_REQUIRE(got == result);
    MODEL_REQUIRE(g->log == want);
    g->grow = nullptr;
}

void search_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    uintptr_t v = in.below(20);
    std::vector<list_node_t *> ns = nodes(s);
    size_t k = std::find(m.begin(), m.end(), v) - m.begin();
    MODEL_REQUIRE(list_find_data(s.lst, ptr(v)) == (k < m.size() ? ns[k] : nullptr));
    k = std::find_if(m.begin(), m.end(), [&](uintptr_t d) { return d >= v; }) - m.begin();
    MODEL_REQUIRE(list_find(s.lst, ptr(v), at_least) == (k < m.size() ? ns[k] : nullptr));
    MODEL_REQUIRE(g->calls == static_cast<long>(std::min(k + 1, m.size())));
    g->div = 1 + in.below(4);
    g->calls = 0;
    auto hit = [](uintptr_t d) { return d % g->div == 0; };
    MODEL_REQUIRE(list_count(s.lst, divisible, g) == size_t(std::count_if(m.begin(), m.end(), hit)));
    MODEL_REQUIRE(g->calls == long(m.size()));  // no early stop
    MODEL_REQUIRE(list_count(s.lst, nullptr, nullptr) == m.size());
    if (!m.empty()) {
        uint32_t i = in.below(m.size());
        MODEL_REQUIRE(val(list_at(s.lst, i)) == m[i]);
        MODEL_REQUIRE(val(list_get_item(s.lst, i)) == m[i]);
    }
}

void derive_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    int kind = in.below(5);
    Data want;
    g->div = 1 + in.below(4);
    for (uintptr_t d : m) {
        if (kind == 2)
            want.push_back(adapted(d));
        else if (kind == 3 || kind == 4 || (d % g->div == 0) == (kind == 0))
            want.push_back(kind == 4 ? d + 100 : d);
    }
    if (kind < 4) {
        long f = construct(
            [&] {
                return kind == 0   ? sublist_create(s.lst, divisible, g)
                       : kind == 1 ? sublist_create_neg(s.lst, divisible, g)
                       : kind == 2 ? sublist_adaptor(s.lst, adapt)
                                   : sublist_copy(s.lst);
            },
            want, true, 1 + want.size());
        MODEL_REQUIRE(g->log == Data(f < 0 ? 0 : f, kFree));
        return MODEL_REQUIRE(f >= 0 || g->calls == (kind == 3 ? 0 : long(m.size())));  // once per item
    }
    // list_copy: the copier refuses item j, or none when j == size.
    g->copy_fails = in.below(20);
    size_t j = std::find(m.begin(), m.end(), g->copy_fails) - m.begin();
    list_destructor_fn d = in.byte() & 1 ? dtor : nullptr;
    long f = construct([&] { return list_copy(s.lst, copier, d); }, want, false, 1 + j, j < m.size());
    if (f < 0 && j == m.size())
        return MODEL_REQUIRE(g->log.empty());
    long built = f < 0 ? 1 + j : f;  // header and nodes to release
    Data log(want.begin(), d && built > 1 ? want.begin() + built - 1 : want.begin());
    log.resize(log.size() + built, kFree);
    if (d && f > 0)
        log.push_back(want[f - 1]);  // the copy whose node failed, after the others
    MODEL_REQUIRE(g->log == log);
}

void merge_step(Bytes &in, Slot &dest) {
    Slot &src = g->slots[in.below(kLists)];
    if (src.lst == nullptr || &src == &dest || dest.model.size() + src.model.size() > kMaxLen ||
        (dest.sub && !src.model.empty()))
        return;
    long f = failing(src.model.size());
    list_t *got = list_merge(dest.lst, src.lst);
    MODEL_REQUIRE(got == (f < 0 ? dest.lst : nullptr));
    dest.model.insert(dest.model.end(), src.model.begin(), f < 0 ? src.model.end() : src.model.begin() + f);
    MODEL_REQUIRE(g->log == Data(f < 0 ? src.model.size() + 1 : 0, kFree));
    if (f < 0)
        src = Slot{};
}

void sort_step(Slot &s) {
    Data &m = s.model;
    std::vector<list_node_t *> before = nodes(s);
    auto less = [](uintptr_t a, uintptr_t b) { return a / 4 < b / 4; };
    bool sorted = std::is_sorted(m.begin(), m.end(), less);
    list_sort(s.lst, by_quarter);
    std::stable_sort(m.begin(), m.end(), less);
    MODEL_REQUIRE(nodes(s) == before);  // data moved, nodes stayed
    long pairs = m.size() < 2 ? 0 : m.size() - 1;
    MODEL_REQUIRE(pairs == 0 ? g->calls == 0 : g->calls % pairs == 0 && g->calls / pairs <= long(m.size()));
    MODEL_REQUIRE(!sorted || g->calls == pairs);
}

// Removes or deletes one node, or clears or frees the list; every release
// is logged after the data handed to the destructor.
void shrink_step(Bytes &in, Slot &s, bool all) {
    Data &m = s.model;
    int kind = in.below(2) + (all ? 2 : 0);
    list_destructor_fn d = in.byte() & 1 ? dtor : nullptr;
    if (!all) {
        if (m.empty() || (kind == 1 && s.sub))
            return;
        size_t i = in.below(m.size());
        std::vector<list_node_t *> ns = nodes(s);
        list_node_t *next = i + 1 < ns.size() ? ns[i + 1] : nullptr;
        Data log = kind == 1 && d ? Data{m[i], kFree} : Data{kFree};
        MODEL_REQUIRE((kind == 0 ? list_remove_node(s.lst, ns[i]) : list_delete(s.lst, ns[i], d)) == next);
        MODEL_REQUIRE(g->log == log);
        m.erase(m.begin() + i);
        return;
    }
    Data log = d && !s.sub ? m : Data{};
    log.resize(log.size() + m.size() + (kind == 3), kFree);
    if (kind == 2)
        list_clear(s.lst, d);
    else
        list_free(s.lst, d);
    MODEL_REQUIRE(g->log == log);
    m.clear();
    if (kind == 3)
        s = Slot{};
}

void step(Bytes &in) {
    int op = in.below(16);
    Slot &s = g->slots[in.below(kLists)];
    if (op == 0) {  // arm a failure, or create a list in an empty slot
        if (s.lst != nullptr)
            g->fail_in = in.below(8);
        else
            construct([] { return list_new(hook_alloc, hook_free); }, {}, false, 1);
        return;
    }
    if (s.lst == nullptr) {
        list_free(nullptr, dtor);
        return MODEL_REQUIRE(g->log.empty());
    }
    if (op <= 6) {  // add or insert
        if (s.sub || s.model.size() >= kMaxLen)
            return;
        uintptr_t v = in.below(16);
        bool add = op & 1;
        long f = failing(1);
        MODEL_REQUIRE((add ? list_add(s.lst, ptr(v)) : list_insert(s.lst, ptr(v))) == (f < 0 ? s.lst : nullptr));
        if (f < 0)
            s.model.insert(add ? s.model.end() : s.model.begin(), v);
        return;
    }
    switch (op) {
        case 7:
        case 8: return shrink_step(in, s, false);
        case 9: return shrink_step(in, s, in.below(4) == 0);
        case 10: case 11: return visit_step(in, s);
        case 12: return search_step(in, s);
        case 13: return free_slot() ? derive_step(in, s) : void();
        case 14: return merge_step(in, s);
        default: return sort_step(s);
    }
}

}  // namespace

void run_llist(const uint8_t *data, size_t size) {
    State state;
    g = &state;
    Bytes in(data, size);
    while (in.more()) {
        state.log.clear();
        state.calls = state.need = 0;
        long allocs = state.allocs, fail_in = state.fail_in;
        step(in);  // made the allocations it needed, up to the failing one
        MODEL_REQUIRE(state.allocs - allocs == (fail_in >= 0 && fail_in < state.need ? fail_in + 1 : state.need));
        long live = 0;
        for (const Slot &s : state.slots) {
            if (s.lst != nullptr) {
                check(s);
                live += 1 + s.model.size();
            }
        }
        MODEL_REQUIRE(state.live == live);
    }
    for (Slot &s : state.slots)
        list_free(s.lst, nullptr);
    MODEL_REQUIRE(state.live == 0);
    g = nullptr;
}

}  // namespace krc_model
