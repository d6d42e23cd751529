// SPDX-License-Identifier: MIT
// Model check of the intrusive doubly linked list: one header over a pool of
// heap records beside a std::vector of element pointers and a model cursor.
// Per run the element pointer is the start of the record or a field inside it
// (a negative distance), and next and prev may trade places.  Records are
// linked with poisoned fields, so a field the list fails to write shows.
#include <libkrc/dlist.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "model.h"

namespace krc_model {
namespace {

using Elems = std::vector<void *>;
constexpr size_t kMaxLen = 64, kPool = 72;

class Run : RecordPool<kPool> {
public:
    // layout bit 0: the element pointer at the key; bit 1: next in f1, prev in f0.
    explicit Run(uint8_t layout) : RecordPool(layout & 1), swapped_(layout & 2) { make(); }

    void step(Bytes &in);
    void check();

private:
    void *&next(void *e) const { return swapped_ ? rec(e)->f1 : rec(e)->f0; }
    void *&prev(void *e) const { return swapped_ ? rec(e)->f0 : rec(e)->f1; }
    bool linked(void *e) const { return std::count(m_.begin(), m_.end(), e) == 1; }

    void make() {
        Rec sample;
        DList_makeDList(&h_, elem(&sample), &next(elem(&sample)), &prev(elem(&sample)), compare_);
        m_.clear();
        cursor_ = nullptr;
    }
    void insert_step(Bytes &in);
    void remove_step(Bytes &in);
    void iterate_step();
    void reset_step(Bytes &in);

    bool swapped_;
    DList h_;
    Elems m_;
    void *cursor_ = nullptr;  // may be an element removed since getNext reached it
};

void Run::check() {
    const Elems &m = m_;
    DList *h = &h_;
    void *first = m.empty() ? nullptr : m.front(), *last = m.empty() ? nullptr : m.back();
    MODEL_REQUIRE(DList_getCount(h) == m.size());
    MODEL_REQUIRE(DList_isEmpty(h) == (m.empty() ? 1 : 0));
    MODEL_REQUIRE(DList_getFirst(h) == first);
    MODEL_REQUIRE(DList_getLast(h) == last);
    MODEL_REQUIRE(h->compare == compare_);
    MODEL_REQUIRE(h->cursor == cursor_);
    MODEL_REQUIRE(DList_hasMoreElements(h) == (cursor_ ? 1 : 0));
    MODEL_REQUIRE(cursor_ == nullptr || linked(cursor_) || next(cursor_) == nullptr);
    for (size_t i = 0; i < m.size(); ++i) {  // compared, not followed
        MODEL_REQUIRE(next(m[i]) == (i + 1 < m.size() ? m[i + 1] : nullptr));
        MODEL_REQUIRE(prev(m[i]) == (i > 0 ? m[i - 1] : nullptr));
    }
}

// A record in no list, linked in by one of the four insertions.  Sorted
// insertion at position k costs k + 1 compare calls, appending one per element.
void Run::insert_step(Bytes &in) {
    Rec *r = pool_[in.below(kPool)];
    void *e = elem(r);
    if (linked(e) || m_.size() >= kMaxLen)
        return;
    r->key = in.below(8);
    next(e) = prev(e) = this;  // poison
    size_t n = m_.size(), p = in.below(n + 1);  // position; insertAfter's predecessor is m[p - 1]
    switch (in.below(4)) {
        case 0: DList_insertAfter(&h_, p ? m_[p - 1] : nullptr, e); break;
        case 1:
            DList_insertFirst(&h_, e);
            p = 0;
            break;
        case 2:
            DList_insertLast(&h_, e);
            p = n;
            break;
        default:
            p = std::find_if(m_.begin(), m_.end(), [&](void *x) { return rec(x)->key >= r->key; }) - m_.begin();
            DList_insertSorted(&h_, e);
            MODEL_REQUIRE(calls_ == long(std::min(p + 1, n)));
    }
    m_.insert(m_.begin() + p, e);
}

void Run::remove_step(Bytes &in) {
    size_t n = m_.size(), v = in.below(n + 1);  // DList_remove's victim, none when n
    void *got;
    switch (in.below(4)) {
        case 0: got = DList_remove(&h_, v < n ? m_[v] : nullptr); break;
        case 1:
            got = DList_removeFirst(&h_);
            v = 0;
            break;
        case 2:
            got = DList_pop(&h_);
            v = 0;
            break;
        default:
            got = DList_removeLast(&h_);
            v = n - 1;
    }
    MODEL_REQUIRE(got == (v < n ? m_[v] : nullptr));
    if (got == nullptr)
        return;
    MODEL_REQUIRE(next(got) == nullptr);
    MODEL_REQUIRE(prev(got) == nullptr);
    m_.erase(m_.begin() + v);
}

// DList_getNext hands out the cursor's element and moves it on; a removed
// cursor element has no successor.
void Run::iterate_step() {
    void *want = cursor_;
    if (want != nullptr) {
        size_t i = std::find(m_.begin(), m_.end(), want) - m_.begin();
        cursor_ = i + 1 < m_.size() ? m_[i + 1] : nullptr;
    }
    MODEL_REQUIRE(DList_getNext(&h_) == want);
}

// The header made again (abandoning the elements), or the elements freed;
// records whose element pointer is not their start cannot be freed.
void Run::reset_step(Bytes &in) {
    if (elem_at_ != 0 || (in.byte() & 1))
        return make();
    for (Rec *&r : pool_) {
        if (linked(elem(r)))
            r = fresh();
    }
    MODEL_REQUIRE(DList_freeElements(&h_) == &h_);
    m_.clear();
    cursor_ = nullptr;
}

void Run::step(Bytes &in) {
    calls_ = 0;
    int op = in.below(16);
    if (op < 7)
        return insert_step(in);
    if (op < 10)
        return remove_step(in);
    switch (op) {
        case 10:
            DList_startIterate(&h_);
            cursor_ = m_.empty() ? nullptr : m_.front();
            return;
        case 11:
        case 12: return iterate_step();
        case 13: {
            Rec *a = pool_[in.below(kPool)], *b = pool_[in.below(kPool)];
            MODEL_REQUIRE(DList_compareItems(&h_, elem(a), elem(b)) == a->key - b->key);
            return;
        }
        default:
            if (in.byte() & 7)
                return insert_step(in);
            return reset_step(in);
    }
}

}  // namespace

void run_dlist(const uint8_t *data, size_t size) {
    Bytes in(data, size);
    Run run(in.byte());
    while (in.more()) {
        run.step(in);
        run.check();
    }
}

}  // namespace krc_model
