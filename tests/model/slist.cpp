// SPDX-License-Identifier: MIT
// Model check of the intrusive singly linked list: two headers over a pool of
// heap records beside std::vectors of element pointers and model cursors.
// Each record has two link fields; per run the element pointer is either the
// start of the record or a field inside it (negative link distances), and a
// header is made again on either field whenever it has to be.  Records are
// linked with poisoned link fields, so a link the list fails to write shows.
#include <libkrc/slist.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

using Elems = std::vector<void *>;
constexpr size_t kMaxLen = 64, kPool = 80;

struct Rec {
    void *link0;
    int32_t key;
    void *link1;
};

struct Side {
    List h;
    Elems m;
    void *cursor = nullptr;
    int field = 0;
};

struct State {
    Side sides[2];
    Rec *pool[kPool];
    size_t elem_at = 0;  // offset of the element pointer in a record
    long calls = 0;      // compare calls
};
State *g;  // the run in progress: the compare function takes no context

Rec *rec(void *e) { return reinterpret_cast<Rec *>(static_cast<char *>(e) - g->elem_at); }
void *elem(Rec *r) { return reinterpret_cast<char *>(r) + g->elem_at; }
void *&link(int field, void *e) { return field ? rec(e)->link1 : rec(e)->link0; }
int32_t compare(void *a, void *b) { return ++g->calls, rec(a)->key - rec(b)->key; }

void make(Side &s, int field) {
    Rec sample;
    List_makeList(&s.h, elem(&sample), &link(field, elem(&sample)), compare);
    s = Side{s.h, {}, nullptr, field};
}

// Where sorted insertion puts e, and the compare calls that takes.
size_t sorted_pos(const Elems &m, void *e, long *calls) {
    size_t p = 0;
    while (p < m.size() && rec(m[p])->key < rec(e)->key)
        ++p;
    *calls += std::min(p + 1, m.size());
    return p;
}

bool holds(const Elems &m, void *e) { return std::find(m.begin(), m.end(), e) != m.end(); }

void check(Side &s) {
    const Elems &m = s.m;
    List *h = &s.h;
    void *first = m.empty() ? nullptr : m.front(), *last = m.empty() ? nullptr : m.back();
    MODEL_REQUIRE(List_getCount(h) == int32_t(m.size()));
    MODEL_REQUIRE(List_isEmpty(h) == (m.empty() ? 1 : 0));
    MODEL_REQUIRE(List_getFirst(h) == first);
    MODEL_REQUIRE(List_peek(h) == first);
    MODEL_REQUIRE(List_getLast(h) == last);
    MODEL_REQUIRE(h->compare == compare);
    MODEL_REQUIRE(h->cursor == s.cursor);
    MODEL_REQUIRE(h->cursor == nullptr || holds(m, h->cursor));
    MODEL_REQUIRE(List_hasMoreElements(h) == (s.cursor ? 1 : 0));
    MODEL_REQUIRE(List_getNextElem(h, nullptr) == nullptr);
    void *e = first;
    for (size_t i = 0; i < m.size(); ++i) {
        MODEL_REQUIRE(e == m[i]);
        MODEL_REQUIRE(link(s.field, e) == (i + 1 < m.size() ? m[i + 1] : nullptr));  // compared, not followed
        e = List_getNextElem(h, e);
    }
    MODEL_REQUIRE(e == nullptr);
}

// A record in no list, linked into s by one of the four insertions.
void insert_step(Bytes &in, Side &s) {
    void *e = elem(g->pool[in.below(kPool)]);
    if (holds(g->sides[0].m, e) || holds(g->sides[1].m, e) || s.m.size() >= kMaxLen)
        return;
    rec(e)->key = in.below(8);
    link(s.field, e) = g;  // poison
    int kind = in.below(4);
    size_t p = kind == 3 ? s.m.size() : 0;
    long calls = 0;
    switch (kind) {
        case 0: List_insertFirst(&s.h, e); break;
        case 1: List_push(&s.h, e); break;
        case 2: p = sorted_pos(s.m, e, &calls), List_insertSorted(&s.h, e); break;
        default: List_insertLast(&s.h, e);
    }
    MODEL_REQUIRE(g->calls == calls);
    s.m.insert(s.m.begin() + p, e);
}

// One of the removals; the victim is m[v], none when v is out of range.
void remove_step(Bytes &in, Side &s) {
    Elems &m = s.m;
    size_t n = m.size(), p = in.below(n + 1), v = 0;  // p: removeAfter's predecessor, n for null
    void *got;
    switch (in.below(4)) {
        case 0: got = List_removeAfter(&s.h, p == n ? nullptr : m[p]), v = p == n ? 0 : p + 1; break;
        case 1: got = List_removeFirst(&s.h); break;
        case 2: got = List_pop(&s.h); break;
        default: got = List_removeLast(&s.h), v = n - 1;
    }
    MODEL_REQUIRE(got == (v < n ? m[v] : nullptr));
    if (got == nullptr)
        return;
    MODEL_REQUIRE(link(s.field, got) == nullptr);
    if (s.cursor == got)
        s.cursor = v + 1 < n ? m[v + 1] : nullptr;
    m.erase(m.begin() + v);
}

void sort_step(Side &s) {
    Elems out;
    long calls = 0;
    for (void *c : s.m) {  // one insertion-sort pass; out.back() is the running element
        if (!out.empty() && (++calls, rec(out.back())->key > rec(c)->key))
            out.insert(out.begin() + sorted_pos(out, c, &calls), c);
        else
            out.push_back(c);
    }
    MODEL_REQUIRE(List_sortList(&s.h) == &s.h);
    MODEL_REQUIRE(g->calls == calls);
    s.m = out;
    s.cursor = nullptr;
}

// Merges or appends the other side into s; the other header is made again.
void join_step(Bytes &in, int side) {
    Side &s = g->sides[side], &o = g->sides[1 - side];
    if (s.m.size() + o.m.size() > kMaxLen)
        return;
    const List before = o.h;
    long calls = 0;
    if (in.byte() & 1) {
        MODEL_REQUIRE(List_mergeLists(&s.h, &o.h) == &o.h);
        for (void *e : o.m)
            s.m.insert(s.m.begin() + sorted_pos(s.m, e, &calls), e);
        MODEL_REQUIRE(o.h.cursor == nullptr);
        if (o.field != s.field)
            check(o = Side{o.h, o.m, nullptr, o.field});  // its own chain is intact
    } else {
        if (o.field != s.field)
            return;
        List_appendList(&s.h, &o.h);
        s.m.insert(s.m.end(), o.m.begin(), o.m.end());
        MODEL_REQUIRE(o.h.cursor == before.cursor);
    }
    MODEL_REQUIRE(g->calls == calls);
    MODEL_REQUIRE(o.h.first == before.first);
    MODEL_REQUIRE(o.h.last == before.last);
    MODEL_REQUIRE(o.h.count == before.count);
    o.m.clear();
    make(o, in.byte() & 1);
}

void step(Bytes &in) {
    int side = in.byte() & 1, op = in.below(16);
    Side &s = g->sides[side];
    if (op < 7)
        return insert_step(in, s);
    if (op < 10)
        return remove_step(in, s);
    switch (op) {
        case 10:
            List_startIterate(&s.h);
            s.cursor = s.m.empty() ? nullptr : s.m.front();
            return;
        case 11:
        case 12: {
            void *want = s.cursor;
            if (want != nullptr) {
                size_t i = std::find(s.m.begin(), s.m.end(), want) - s.m.begin();
                s.cursor = i + 1 < s.m.size() ? s.m[i + 1] : nullptr;
            }
            return MODEL_REQUIRE(List_getNext(&s.h) == want);
        }
        case 13: {
            Rec *a = g->pool[in.below(kPool)], *b = g->pool[in.below(kPool)];
            MODEL_REQUIRE(List_compareItems(&s.h, elem(a), elem(b)) == a->key - b->key);
            return MODEL_REQUIRE(g->calls == 1);
        }
        case 14: return join_step(in, side);
        default:
            if (in.byte() & 7)
                return sort_step(s);
            if (g->elem_at != 0 || (in.byte() & 1))
                return make(s, in.byte() & 1);  // abandons the elements
            for (Rec *&r : g->pool) {
                if (holds(s.m, elem(r)))
                    r = static_cast<Rec *>(calloc(1, sizeof(Rec)));
            }
            MODEL_REQUIRE(List_freeElements(&s.h) == &s.h);
            s = Side{s.h, {}, nullptr, s.field};
    }
}

}  // namespace

void run_slist(const uint8_t *data, size_t size) {
    State state;
    g = &state;
    Bytes in(data, size);
    state.elem_at = in.byte() & 1 ? offsetof(Rec, key) : 0;
    for (Rec *&r : state.pool)
        r = static_cast<Rec *>(calloc(1, sizeof(Rec)));
    for (int i = 0; i < 2; ++i)
        make(state.sides[i], i);
    while (in.more()) {
        state.calls = 0;
        step(in);
        check(state.sides[0]);
        check(state.sides[1]);
    }
    for (Rec *r : state.pool)
        free(r);
    g = nullptr;
}

}  // namespace krc_model
