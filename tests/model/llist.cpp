// SPDX-License-Identifier: MIT
// Model check of the generic list: up to three lists (ordinary ones and
// sublists) beside std::vectors of their data, with every allocation made
// through counting hooks that can be told to fail the k-th next allocation.
// Each step predicts which allocation fails, if any, and checks the result,
// the allocations made, the destructor and release order, then the links of
// the lists it changed and that the live blocks are exactly the headers and
// nodes of all lists.  Every kFullCheck steps, and at the end, it walks every
// list, so that a read-only operation that changed a list shows too.
#include <libkrc/llist.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

using Data = std::vector<uintptr_t>;
constexpr uint32_t kLists = 3, kMaxLen = 64, kFullCheck = 16;
constexpr uintptr_t kFree = ~uintptr_t{0}, kSep = kFree - 1, kGrown = 15;  // log markers; appended by a visitor

void *ptr(uintptr_t v) { return reinterpret_cast<void *>(v); }
uintptr_t val(const void *p) { return reinterpret_cast<uintptr_t>(p); }
uintptr_t adapted(uintptr_t v) { return (v * 5 + 1) % 16; }  // 0 (null) for 3

struct Slot {
    list_t *lst = nullptr;
    Data model;
    bool sub = false;
};

class Run;
// The run in progress, for the callbacks that get no context pointer (the
// allocation hooks, the destructor, the adaptor, copier and orders); the
// others are handed the run as their context.
Run *current;

class Run {
public:
    Run() { current = this; }
    ~Run();
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    void step(Bytes &in);
    void check_slots(bool all);

    // Callback state.
    long live = 0, allocs = 0;
    long fail_in = -1;              // allocations let through before one fails, if >= 0
    long calls = 0, stop_at = -1;   // callback calls; the one that returns 0
    Data log;                       // destructor arguments, visited data, kSep, kFree
    uintptr_t div = 1, copy_fails = 0;  // predicate divisor; the item the copier refuses
    list_t *grow = nullptr;         // a visitor appends kGrown to it at its first call

    bool go_on() { return calls++ != stop_at; }

private:
    void check(const Slot &s);
    long failing(long need);
    Slot *free_slot();
    void touch(const Slot &s) { touched_[&s - slots_] = true; }
    template <typename Make>
    long construct(Make make, const Data &want, bool sub, long need, bool refused = false);
    void add_step(Bytes &in, Slot &s, bool add);
    void visit_step(Bytes &in, Slot &s);
    void search_step(Bytes &in, Slot &s);
    void derive_step(Bytes &in, Slot &s);
    void copy_step(Bytes &in, Slot &s);
    void merge_step(Bytes &in, Slot &dest);
    void sort_step(Slot &s);
    void shrink_step(Bytes &in, Slot &s);
    void clear_step(Bytes &in, Slot &s, bool free_list);

    Slot slots_[kLists];
    bool touched_[kLists] = {};
    long need_ = 0;  // allocations the step makes if none fails
};

void *hook_alloc(size_t size) {
    MODEL_REQUIRE(size == sizeof(list_t) || size == sizeof(list_node_t));
    ++current->allocs;
    if (current->fail_in-- == 0)
        return nullptr;
    ++current->live;
    // Fresh blocks hold garbage, so a field the library forgets to set shows.
    void *block = malloc(size);
    MODEL_REQUIRE(block != nullptr);
    return memset(block, 0xA5, size);
}
void hook_free(void *block) {
    --current->live;
    current->log.push_back(kFree);
    free(block);
}
void dtor(void *data) { current->log.push_back(val(data)); }

// The run a context pointer must be: the library hands back what it was given.
Run *run_of(void *ctx) {
    MODEL_REQUIRE(ctx == current);
    return current;
}

unsigned visit(void *ctx, void *data) {
    Run *run = run_of(ctx);
    if (run->calls == 0 && run->grow != nullptr)
        list_add(run->grow, ptr(kGrown));
    run->log.push_back(val(data));
    return run->go_on();
}
unsigned dual(void *ctx1, void *ctx2, void *data) {
    MODEL_REQUIRE(ctx2 == &run_of(ctx1)->log);
    return visit(ctx1, data);
}
unsigned sep(void *ctx) {
    Run *run = run_of(ctx);
    run->log.push_back(kSep);
    return run->go_on();
}
unsigned divisible(void *data, void *ctx) {
    Run *run = run_of(ctx);
    ++run->calls;
    return val(data) % run->div == 0;
}
// Asymmetric on purpose, so that swapped arguments show.
int at_least(void *key, void *data) {
    ++current->calls;
    return val(data) >= val(key) ? 0 : 1;
}
void *adapt(void *data) {
    ++current->calls;
    return ptr(adapted(val(data)));
}
void *copier(void *data) { return val(data) == current->copy_fails ? nullptr : ptr(val(data) + 100); }
int by_quarter(void *a, void *b) {
    ++current->calls;
    return int(val(a) / 4) - int(val(b) / 4);
}

std::vector<list_node_t *> nodes(const Slot &s) {
    std::vector<list_node_t *> out;
    for (list_node_t *n = s.lst->first; n != nullptr && out.size() <= s.model.size(); n = n->next)
        out.push_back(n);
    return out;
}

Run::~Run() {
    for (Slot &s : slots_)
        list_free(s.lst, nullptr);
    MODEL_REQUIRE(live == 0);
    current = nullptr;
}

// Hooks and flag, then the links both ways, from first and from last.
void Run::check(const Slot &s) {
    list_t *l = s.lst;
    size_t n = s.model.size();
    MODEL_REQUIRE(l->alloc_fn == hook_alloc);
    MODEL_REQUIRE(l->free_fn == hook_free);
    MODEL_REQUIRE(l->is_sublist == (s.sub ? 1 : 0));
    MODEL_REQUIRE(list_empty(l) == (n == 0 ? 1 : 0));
    MODEL_REQUIRE(list_size(l) == n);
    size_t k = 0;  // each walk stops one step past the model's length
    for (list_iter_t i = list_first(l); !list_end(i) && k <= n; i = list_next(i)) {
        MODEL_REQUIRE(k < n && val(list_get(i)) == s.model[k]);
        ++k;
    }
    MODEL_REQUIRE(k == n);
    k = 0;
    for (list_iter_t i = list_last(l); !list_end(i) && k <= n; i = list_prev(i)) {
        MODEL_REQUIRE(k < n && val(list_get(i)) == s.model[n - 1 - k]);
        ++k;
    }
    MODEL_REQUIRE(k == n);
}

// The lists changed since the last check, or all; and the live blocks of all.
void Run::check_slots(bool all) {
    long blocks = 0;
    for (uint32_t k = 0; k < kLists; ++k) {
        const Slot &s = slots_[k];
        if (s.lst == nullptr)
            continue;
        if (all || touched_[k])
            check(s);
        blocks += 1 + s.model.size();
        touched_[k] = false;
    }
    MODEL_REQUIRE(live == blocks);
}

// The index of the allocation that fails among the next `need`; negative
// when none does.
long Run::failing(long need) {
    need_ = need;
    return fail_in < need ? fail_in : -1;
}

Slot *Run::free_slot() {
    for (Slot &s : slots_)
        if (s.lst == nullptr)
            return &s;
    return nullptr;
}

// Runs a constructor that needs `need` allocations and stores `want` in a
// free slot when it succeeds; returns the index of the failed allocation.
template <typename Make>
long Run::construct(Make make, const Data &want, bool sub, long need, bool refused) {
    Slot *out = free_slot();
    long f = failing(need);
    list_t *made = make();
    MODEL_REQUIRE((made == nullptr) == (f >= 0 || refused));
    if (made != nullptr) {
        *out = Slot{made, want, sub};
        touch(*out);
    }
    return f;
}

void Run::add_step(Bytes &in, Slot &s, bool add) {
    if (s.sub || s.model.size() >= kMaxLen)
        return;
    touch(s);
    uintptr_t v = in.below(16);
    long f = failing(1);
    list_t *got = add ? list_add(s.lst, ptr(v)) : list_insert(s.lst, ptr(v));
    MODEL_REQUIRE(got == (f < 0 ? s.lst : nullptr));
    if (f < 0)
        s.model.insert(add ? s.model.end() : s.model.begin(), v);
}

// One of the four walks with a visitor that may stop it early and, on a
// forward walk of an ordinary list, may append to the list at its first call.
void Run::visit_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    int kind = in.below(4);
    stop_at = in.below(2 * kMaxLen + 1);
    grow = kind != 2 && !s.sub && m.size() < kMaxLen && (in.byte() & 1) ? s.lst : nullptr;
    if (grow != nullptr)
        touch(s);
    Data seen = m;
    if (grow != nullptr && !m.empty() && failing(1) < 0)
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
    if (static_cast<size_t>(stop_at) < want.size()) {
        want.resize(stop_at + 1);
        result = 0;
    }
    int got;
    switch (kind) {
        case 0: got = list_foreach(s.lst, this, visit); break;
        case 1: got = list_dual_foreach(s.lst, this, &log, dual); break;
        case 2: got = list_foreach_reversed(s.lst, this, visit); break;
        default: got = list_foreach_sep(s.lst, this, visit, sep);
    }
    MODEL_REQUIRE(got == result);
    MODEL_REQUIRE(log == want);
    grow = nullptr;
}

// Look-ups: each callback runs once per node up to the match, or per node.
void Run::search_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    uintptr_t v = in.below(20);
    std::vector<list_node_t *> ns = nodes(s);
    size_t k = std::find(m.begin(), m.end(), v) - m.begin();
    MODEL_REQUIRE(list_find_data(s.lst, ptr(v)) == (k < m.size() ? ns[k] : nullptr));
    k = std::find_if(m.begin(), m.end(), [&](uintptr_t d) { return d >= v; }) - m.begin();
    MODEL_REQUIRE(list_find(s.lst, ptr(v), at_least) == (k < m.size() ? ns[k] : nullptr));
    MODEL_REQUIRE(calls == static_cast<long>(std::min(k + 1, m.size())));
    div = 1 + in.below(4);
    calls = 0;
    const uintptr_t d = div;
    auto hit = [d](uintptr_t x) { return x % d == 0; };
    MODEL_REQUIRE(list_count(s.lst, divisible, this) == size_t(std::count_if(m.begin(), m.end(), hit)));
    MODEL_REQUIRE(calls == long(m.size()));  // no early stop
    MODEL_REQUIRE(list_count(s.lst, nullptr, nullptr) == m.size());
    if (!m.empty()) {
        uint32_t i = in.below(m.size());
        MODEL_REQUIRE(val(list_at(s.lst, i)) == m[i]);
        MODEL_REQUIRE(val(list_get_item(s.lst, i)) == m[i]);
    }
}

// A sublist (selected, rejected, adapted or copied) into a free slot; the
// selecting and adapting callbacks run once per item.
void Run::derive_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    int kind = in.below(5);
    if (kind == 4)
        return copy_step(in, s);
    Data want;
    div = 1 + in.below(4);
    for (uintptr_t d : m) {
        if (kind == 2)
            want.push_back(adapted(d));
        else if (kind == 3 || (d % div == 0) == (kind == 0))
            want.push_back(d);
    }
    auto make = [&] {
        switch (kind) {
            case 0: return sublist_create(s.lst, divisible, this);
            case 1: return sublist_create_neg(s.lst, divisible, this);
            case 2: return sublist_adaptor(s.lst, adapt);
            default: return sublist_copy(s.lst);
        }
    };
    long f = construct(make, want, true, 1 + want.size());
    MODEL_REQUIRE(log == Data(f < 0 ? 0 : f, kFree));
    MODEL_REQUIRE(f >= 0 || calls == (kind == 3 ? 0 : long(m.size())));
}

// list_copy: the copier refuses item j, or none when j == size; on failure
// the copies made are destroyed and every block released.
void Run::copy_step(Bytes &in, Slot &s) {
    const Data &m = s.model;
    Data want;
    for (uintptr_t d : m)
        want.push_back(d + 100);
    copy_fails = in.below(20);
    size_t j = std::find(m.begin(), m.end(), copy_fails) - m.begin();
    list_destructor_fn d = in.byte() & 1 ? dtor : nullptr;
    long f = construct([&] { return list_copy(s.lst, copier, d); }, want, false, 1 + j, j < m.size());
    if (f < 0 && j == m.size()) {
        MODEL_REQUIRE(log.empty());
        return;
    }
    long built = f < 0 ? 1 + j : f;  // header and nodes to release
    Data expected(want.begin(), d && built > 1 ? want.begin() + built - 1 : want.begin());
    expected.resize(expected.size() + built, kFree);
    if (d && f > 0)
        expected.push_back(want[f - 1]);  // the copy whose node failed, after the others
    MODEL_REQUIRE(log == expected);
}

void Run::merge_step(Bytes &in, Slot &dest) {
    Slot &src = slots_[in.below(kLists)];
    if (src.lst == nullptr || &src == &dest || dest.model.size() + src.model.size() > kMaxLen ||
        (dest.sub && !src.model.empty()))
        return;
    touch(dest);
    touch(src);
    long f = failing(src.model.size());
    list_t *got = list_merge(dest.lst, src.lst);
    MODEL_REQUIRE(got == (f < 0 ? dest.lst : nullptr));
    dest.model.insert(dest.model.end(), src.model.begin(), f < 0 ? src.model.end() : src.model.begin() + f);
    MODEL_REQUIRE(log == Data(f < 0 ? src.model.size() + 1 : 0, kFree));
    if (f < 0)
        src = Slot{};
}

// A stable sort that moves data, not nodes, within at most n(n - 1) calls;
// sorted input costs n - 1.
void Run::sort_step(Slot &s) {
    Data &m = s.model;
    std::vector<list_node_t *> before = nodes(s);
    auto less = [](uintptr_t a, uintptr_t b) { return a / 4 < b / 4; };
    const bool sorted = std::is_sorted(m.begin(), m.end(), less);
    const long n = long(m.size());
    touch(s);
    list_sort(s.lst, by_quarter);
    std::stable_sort(m.begin(), m.end(), less);
    MODEL_REQUIRE(nodes(s) == before);  // data moved, nodes stayed
    MODEL_REQUIRE(calls <= n * (n - 1));
    MODEL_REQUIRE(!sorted || calls == (n < 2 ? 0 : n - 1));
}

// Removes or deletes one node; every release is logged after the data handed
// to the destructor.
void Run::shrink_step(Bytes &in, Slot &s) {
    Data &m = s.model;
    bool remove = in.below(2) == 0;
    list_destructor_fn d = in.byte() & 1 ? dtor : nullptr;
    if (m.empty() || (!remove && s.sub))
        return;
    touch(s);
    size_t i = in.below(m.size());
    std::vector<list_node_t *> ns = nodes(s);
    list_node_t *next = i + 1 < ns.size() ? ns[i + 1] : nullptr;
    list_node_t *got = remove ? list_remove_node(s.lst, ns[i]) : list_delete(s.lst, ns[i], d);
    MODEL_REQUIRE(got == next);
    MODEL_REQUIRE(log == (!remove && d ? Data{m[i], kFree} : Data{kFree}));
    m.erase(m.begin() + i);
}

// Clears or frees the list: the destructor sees the data of an ordinary list
// first to last, then every node and (when freed) the header is released.
void Run::clear_step(Bytes &in, Slot &s, bool free_list) {
    Data &m = s.model;
    list_destructor_fn d = in.byte() & 1 ? dtor : nullptr;
    touch(s);
    Data expected = d && !s.sub ? m : Data{};
    expected.resize(expected.size() + m.size() + free_list, kFree);
    if (free_list)
        list_free(s.lst, d);
    else
        list_clear(s.lst, d);
    MODEL_REQUIRE(log == expected);
    m.clear();
    if (free_list)
        s = Slot{};
}

void Run::step(Bytes &in) {
    log.clear();
    calls = need_ = 0;
    const long allocs_before = allocs, fail_before = fail_in;
    int op = in.below(16);
    uint32_t k = in.below(kLists);
    Slot &s = slots_[k];
    if (op == 0) {  // arm a failure, or create a list in an empty slot
        if (s.lst != nullptr)
            fail_in = in.below(8);
        else
            construct([] { return list_new(hook_alloc, hook_free); }, {}, false, 1);
    } else if (s.lst == nullptr) {
        list_free(nullptr, dtor);
        MODEL_REQUIRE(log.empty());
    } else if (op <= 6) {
        add_step(in, s, op & 1);
    } else if (op <= 8) {
        shrink_step(in, s);
    } else if (op == 9) {
        if (in.below(4) == 0)
            clear_step(in, s, in.below(2) == 1);
        else
            shrink_step(in, s);
    } else if (op <= 11) {
        visit_step(in, s);
    } else if (op == 12) {
        search_step(in, s);
    } else if (op == 13) {
        if (free_slot() != nullptr)
            derive_step(in, s);
    } else if (op == 14) {
        merge_step(in, s);
    } else {
        sort_step(s);
    }
    // The step made the allocations it needed, up to the failing one.
    const bool failed = fail_before >= 0 && fail_before < need_;
    MODEL_REQUIRE(allocs - allocs_before == (failed ? fail_before + 1 : need_));
}

}  // namespace

void run_llist(const uint8_t *data, size_t size) {
    Run run;
    Bytes in(data, size);
    for (uint32_t steps = 1; in.more(); ++steps) {
        run.step(in);
        run.check_slots(steps % kFullCheck == 0);
    }
    run.check_slots(true);
}

}  // namespace krc_model
