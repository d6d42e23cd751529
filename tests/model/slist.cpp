// SPDX-License-Identifier: MIT
// Model check of the intrusive singly linked list: two headers over a pool of
// heap records beside std::vectors of element pointers and model cursors.
// Each record has two link fields; per run the element pointer is either the
// start of the record or a field inside it (negative link distances), and a
// header is made again on either field whenever it has to be.  Records are
// linked with poisoned link fields, so a link the list fails to write shows.
// After each step the side it worked on is walked, every kFullCheck steps and
// at the end both.
#include <libkrc/slist.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

using Elems = std::vector<void *>;
constexpr size_t kMaxLen = 64, kPool = 80, kFullCheck = 16;

struct Side {
    List h;
    Elems m;
    void *cursor = nullptr;
    int field = 0;
};

bool holds(const Elems &m, void *e) { return std::find(m.begin(), m.end(), e) != m.end(); }

class Run : RecordPool<kPool> {
public:
    explicit Run(bool at_key) : RecordPool(at_key) {
        make(sides_[0], 0);
        make(sides_[1], 1);
    }

    // Returns the side it worked on, or -1 for both.
    int step(Bytes &in);
    void check(int side) {
        for (int k = 0; k < 2; ++k)
            if (side < 0 || side == k)
                check(sides_[k]);
    }

private:
    void *&link(int field, void *e) const { return field ? rec(e)->f1 : rec(e)->f0; }
    int32_t key(void *e) const { return rec(e)->key; }

    void make(Side &s, int field) {
        Rec sample;
        List_makeList(&s.h, elem(&sample), &link(field, elem(&sample)), compare_);
        s.m.clear();
        s.cursor = nullptr;
        s.field = field;
    }
    // Where sorted insertion puts e: in front of the first element not below it.
    size_t sorted_pos(const Elems &m, void *e) const {
        return std::find_if(m.begin(), m.end(), [&](void *x) { return key(x) >= key(e); }) - m.begin();
    }
    void check(Side &s);
    void insert_step(Bytes &in, Side &s);
    void remove_step(Bytes &in, Side &s);
    void sort_step(Side &s);
    void join_step(Bytes &in, int side);
    void iterate_step(Side &s);
    void reset_step(Bytes &in, Side &s);

    Side sides_[2];
};

void Run::check(Side &s) {
    const Elems &m = s.m;
    List *h = &s.h;
    void *first = m.empty() ? nullptr : m.front(), *last = m.empty() ? nullptr : m.back();
    MODEL_REQUIRE(List_getCount(h) == int32_t(m.size()));
    MODEL_REQUIRE(List_isEmpty(h) == (m.empty() ? 1 : 0));
    MODEL_REQUIRE(List_getFirst(h) == first);
    MODEL_REQUIRE(List_peek(h) == first);
    MODEL_REQUIRE(List_getLast(h) == last);
    MODEL_REQUIRE(h->compare == compare_);
    MODEL_REQUIRE(h->cursor == s.cursor);
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

// A record in no list, linked into s by one of the four insertions.  Sorted
// insertion at position k costs k + 1 compare calls, appending one per element.
void Run::insert_step(Bytes &in, Side &s) {
    void *e = elem(pool_[in.below(kPool)]);
    if (holds(sides_[0].m, e) || holds(sides_[1].m, e) || s.m.size() >= kMaxLen)
        return;
    rec(e)->key = in.below(8);
    link(s.field, e) = this;  // poison
    size_t p = 0;
    switch (in.below(4)) {
        case 0: List_insertFirst(&s.h, e); break;
        case 1: List_push(&s.h, e); break;
        case 2:
            p = sorted_pos(s.m, e);
            List_insertSorted(&s.h, e);
            MODEL_REQUIRE(calls_ == long(std::min(p + 1, s.m.size())));
            break;
        default:
            p = s.m.size();
            List_insertLast(&s.h, e);
    }
    s.m.insert(s.m.begin() + p, e);
}

// One of the removals; the victim is m[v], none when v is out of range.
void Run::remove_step(Bytes &in, Side &s) {
    Elems &m = s.m;
    size_t n = m.size(), p = in.below(n + 1), v = 0;  // p: removeAfter's predecessor, n for null
    void *got;
    switch (in.below(4)) {
        case 0:
            got = List_removeAfter(&s.h, p == n ? nullptr : m[p]);
            v = p == n ? 0 : p + 1;
            break;
        case 1: got = List_removeFirst(&s.h); break;
        case 2: got = List_pop(&s.h); break;
        default:
            got = List_removeLast(&s.h);
            v = n - 1;
    }
    MODEL_REQUIRE(got == (v < n ? m[v] : nullptr));
    if (got == nullptr)
        return;
    MODEL_REQUIRE(link(s.field, got) == nullptr);
    if (s.cursor == got)
        s.cursor = v + 1 < n ? m[v + 1] : nullptr;
    m.erase(m.begin() + v);
}

// Every element out of order goes in by sorted insertion; sorted input costs
// n - 1 compare calls.
void Run::sort_step(Side &s) {
    Elems out;
    for (void *c : s.m) {  // out.back() is the largest so far
        if (!out.empty() && key(out.back()) > key(c))
            out.insert(out.begin() + sorted_pos(out, c), c);
        else
            out.push_back(c);
    }
    const bool sorted = out == s.m;
    MODEL_REQUIRE(List_sortList(&s.h) == &s.h);
    MODEL_REQUIRE(!sorted || calls_ == long(s.m.empty() ? 0 : s.m.size() - 1));
    s.m = out;
    s.cursor = nullptr;
}

// Merges or appends the other side into s; the other header is made again.
void Run::join_step(Bytes &in, int side) {
    Side &s = sides_[side], &o = sides_[1 - side];
    if (s.m.size() + o.m.size() > kMaxLen)
        return;
    const List before = o.h;
    if (in.byte() & 1) {
        MODEL_REQUIRE(List_mergeLists(&s.h, &o.h) == &o.h);
        for (void *e : o.m)
            s.m.insert(s.m.begin() + sorted_pos(s.m, e), e);
        MODEL_REQUIRE(o.h.cursor == nullptr);
        if (o.field != s.field) {  // its own chain is intact
            o.cursor = nullptr;
            check(o);
        }
    } else {
        if (o.field != s.field)
            return;
        List_appendList(&s.h, &o.h);
        s.m.insert(s.m.end(), o.m.begin(), o.m.end());
        MODEL_REQUIRE(o.h.cursor == before.cursor);
    }
    MODEL_REQUIRE(o.h.first == before.first);
    MODEL_REQUIRE(o.h.last == before.last);
    MODEL_REQUIRE(o.h.count == before.count);
    make(o, in.byte() & 1);
}

// List_getNext hands out the cursor's element and moves it on.
void Run::iterate_step(Side &s) {
    void *want = s.cursor;
    if (want != nullptr) {
        size_t i = std::find(s.m.begin(), s.m.end(), want) - s.m.begin();
        s.cursor = i + 1 < s.m.size() ? s.m[i + 1] : nullptr;
    }
    MODEL_REQUIRE(List_getNext(&s.h) == want);
}

// The header made again (abandoning the elements), or the elements freed;
// records whose element pointer is not their start cannot be freed.
void Run::reset_step(Bytes &in, Side &s) {
    if (elem_at_ != 0 || (in.byte() & 1))
        return make(s, in.byte() & 1);
    for (Rec *&r : pool_) {
        if (holds(s.m, elem(r)))
            r = fresh();
    }
    MODEL_REQUIRE(List_freeElements(&s.h) == &s.h);
    s.m.clear();
    s.cursor = nullptr;
}

int Run::step(Bytes &in) {
    calls_ = 0;
    int side = in.byte() & 1, op = in.below(16);
    Side &s = sides_[side];
    if (op < 7) {
        insert_step(in, s);
    } else if (op < 10) {
        remove_step(in, s);
    } else if (op == 10) {
        List_startIterate(&s.h);
        s.cursor = s.m.empty() ? nullptr : s.m.front();
    } else if (op <= 12) {
        iterate_step(s);
    } else if (op == 13) {
        Rec *a = pool_[in.below(kPool)], *b = pool_[in.below(kPool)];
        MODEL_REQUIRE(List_compareItems(&s.h, elem(a), elem(b)) == a->key - b->key);
    } else if (op == 14) {
        join_step(in, side);
        return -1;
    } else if (in.byte() & 7) {
        sort_step(s);
    } else {
        reset_step(in, s);
    }
    return side;
}

}  // namespace

void run_slist(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    Run run(in.byte() & 1);
    for (uint32_t steps = 1; in.more(); ++steps) {
        const int side = run.step(in);
        run.check(steps % kFullCheck == 0 ? -1 : side);
    }
    run.check(-1);
}

}  // namespace krc_model
