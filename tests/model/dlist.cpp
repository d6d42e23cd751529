// SPDX-License-Identifier: MIT
// Model check of the intrusive doubly linked list: one header over a pool of
// heap records beside a std::vector of element pointers and a model cursor.
// Per run the element pointer is the start of the record or a field inside it
// (a negative distance), and next and prev may trade places.  Records are
// linked with poisoned fields, so a field the list fails to write shows.
#include <libkrc/dlist.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

using Elems = std::vector<void *>;
constexpr size_t kMaxLen = 64, kPool = 72;

struct Rec {
    void *f0;
    int32_t key;
    void *f1;
};

struct State {
    DList h;
    Elems m;
    void *cursor = nullptr;  // may be an element removed since getNext reached it
    Rec *pool[kPool];
    size_t elem_at = 0;  // offset of the element pointer in a record
    bool swapped = false;  // next in f1, prev in f0
    long calls = 0;        // compare calls
};
State *g;  // the run in progress: the compare function takes no context

Rec *rec(void *e) { return reinterpret_cast<Rec *>(static_cast<char *>(e) - g->elem_at); }
void *elem(Rec *r) { return reinterpret_cast<char *>(r) + g->elem_at; }
void *&next(void *e) { return g->swapped ? rec(e)->f1 : rec(e)->f0; }
void *&prev(void *e) { return g->swapped ? rec(e)->f0 : rec(e)->f1; }
int32_t compare(void *a, void *b) { return ++g->calls, rec(a)->key - rec(b)->key; }

void make() {
    Rec sample;
    DList_makeDList(&g->h, elem(&sample), &next(elem(&sample)), &prev(elem(&sample)), compare);
    g->m.clear();
    g->cursor = nullptr;
}

bool linked(void *e) { return std::count(g->m.begin(), g->m.end(), e) == 1; }

void check() {
    const Elems &m = g->m;
    DList *h = &g->h;
    void *first = m.empty() ? nullptr : m.front(), *last = m.empty() ? nullptr : m.back();
    MODEL_REQUIRE(DList_getCount(h) == m.size());
    MODEL_REQUIRE(DList_isEmpty(h) == (m.empty() ? 1 : 0));
    MODEL_REQUIRE(DList_getFirst(h) == first);
    MODEL_REQUIRE(DList_getLast(h) == last);
    MODEL_REQUIRE(h->compare == compare);
    MODEL_REQUIRE(h->cursor == g->cursor);
    MODEL_REQUIRE(DList_hasMoreElements(h) == (g->cursor ? 1 : 0));
    MODEL_REQUIRE(g->cursor == nullptr || linked(g->cursor) || next(g->cursor) == nullptr);
    for (size_t i = 0; i < m.size(); ++i) {  // compared, not followed
        MODEL_REQUIRE(next(m[i]) == (i + 1 < m.size() ? m[i + 1] : nullptr));
        MODEL_REQUIRE(prev(m[i]) == (i > 0 ? m[i - 1] : nullptr));
    }
}

void insert_step(Bytes &in) {
    Rec *r = g->pool[in.below(kPool)];
    void *e = elem(r);
    if (linked(e) || g->m.size() >= kMaxLen)
        return;
    r->key = in.below(8);
    next(e) = prev(e) = g;  // poison
    Elems &m = g->m;
    size_t n = m.size(), p = in.below(n + 1);  // position; insertAfter's predecessor is m[p - 1]
    long calls = 0;
    switch (in.below(4)) {
        case 0: DList_insertAfter(&g->h, p ? m[p - 1] : nullptr, e); break;
        case 1: DList_insertFirst(&g->h, e), p = 0; break;
        case 2: DList_insertLast(&g->h, e), p = n; break;
        default:
            p = std::find_if(m.begin(), m.end(), [&](void *x) { return rec(x)->key >= r->key; }) - m.begin();
            calls = std::min(p + 1, n);
            DList_insertSorted(&g->h, e);
    }
    MODEL_REQUIRE(g->calls == calls);
    m.insert(m.begin() + p, e);
}

void remove_step(Bytes &in) {
    Elems &m = g->m;
    size_t n = m.size(), v = in.below(n + 1);  // DList_remove's victim, none when n
    void *got;
    switch (in.below(4)) {
        case 0: got = DList_remove(&g->h, v < n ? m[v] : nullptr); break;
        case 1: got = DList_removeFirst(&g->h), v = 0; break;
        case 2: got = DList_pop(&g->h), v = 0; break;
        default: got = DList_removeLast(&g->h), v = n - 1;
    }
    MODEL_REQUIRE(got == (v < n ? m[v] : nullptr));
    if (got == nullptr)
        return;
    MODEL_REQUIRE(next(got) == nullptr);
    MODEL_REQUIRE(prev(got) == nullptr);
    m.erase(m.begin() + v);
}

void step(Bytes &in) {
    int op = in.below(16);
    if (op < 7)
        return insert_step(in);
    if (op < 10)
        return remove_step(in);
    switch (op) {
        case 10:
            DList_startIterate(&g->h);
            g->cursor = g->m.empty() ? nullptr : g->m.front();
            return;
        case 11:
        case 12: {  // a removed cursor element has no successor
            void *want = g->cursor;
            if (want != nullptr) {
                size_t i = std::find(g->m.begin(), g->m.end(), want) - g->m.begin();
                g->cursor = i + 1 < g->m.size() ? g->m[i + 1] : nullptr;
            }
            return MODEL_REQUIRE(DList_getNext(&g->h) == want);
        }
        case 13: {
            Rec *a = g->pool[in.below(kPool)], *b = g->pool[in.below(kPool)];
            MODEL_REQUIRE(DList_compareItems(&g->h, elem(a), elem(b)) == a->key - b->key);
            return MODEL_REQUIRE(g->calls == 1);
        }
        default:
            if (in.byte() & 7)
                return insert_step(in);
            if (g->elem_at != 0 || (in.byte() & 1))
                return make();  // abandons the elements
            for (Rec *&r : g->pool) {
                if (linked(elem(r)))
                    r = static_cast<Rec *>(calloc(1, sizeof(Rec)));
            }
            MODEL_REQUIRE(DList_freeElements(&g->h) == &g->h);
            g->m.clear();
            g->cursor = nullptr;
    }
}

}  // namespace

void run_dlist(const uint8_t *data, size_t size) {
    State state;
    g = &state;
    Bytes in(data, size);
    uint8_t layout = in.byte();
    state.elem_at = layout & 1 ? offsetof(Rec, key) : 0;
    state.swapped = layout & 2;
    for (Rec *&r : state.pool)
        r = static_cast<Rec *>(calloc(1, sizeof(Rec)));
    make();
    while (in.more()) {
        state.calls = 0;
        step(in);
        check();
    }
    for (Rec *r : state.pool)
        free(r);
    g = nullptr;
}

}  // namespace krc_model
