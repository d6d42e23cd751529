#include <libkrc/dlist.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "alloc_fault.h"

namespace {

// A record with two pairs of fields, so that it can sit in two lists at once.
// The element pointer is the address of key: next1 lies before it (a negative
// distance), the other fields after it.
struct Node {
    void *next1;
    int32_t key;
    int32_t tag;
    void *prev1;
    void *next2;
    void *prev2;
};
struct Pair {
    void *Node::*next;
    void *Node::*prev;
};
const Pair kPairs[2] = {{&Node::next1, &Node::prev1}, {&Node::next2, &Node::prev2}};

void *elem(Node &n) { return &n.key; }
Node *node(void *e) { return reinterpret_cast<Node *>(static_cast<char *>(e) - offsetof(Node, key)); }

long g_calls = 0;
int32_t by_key(void *x, void *y) {
    ++g_calls;
    const int32_t kx = *static_cast<int32_t *>(x), ky = *static_cast<int32_t *>(y);
    return kx < ky ? -1 : kx > ky ? 1 : 0;
}

DList make(int pair) {
    Node sample;
    DList l;
    std::memset(&l, 0xA5, sizeof l);  // previous contents are ignored
    DList_makeDList(&l, elem(sample), &(sample.*kPairs[pair].next), &(sample.*kPairs[pair].prev), by_key);
    return l;
}

// Walks the chain both ways through the record fields themselves and checks
// it against `want`, together with first, last and count.
void expect_chain(const DList &l, int pair, const std::vector<void *> &want) {
    const Pair &p = kPairs[pair];
    std::vector<void *> fwd, back;
    for (void *e = l.first; e != nullptr && fwd.size() <= want.size(); e = node(e)->*p.next)
        fwd.push_back(e);
    for (void *e = l.last; e != nullptr && back.size() <= want.size(); e = node(e)->*p.prev)
        back.push_back(e);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(fwd, want);
    EXPECT_EQ(back, want);
    EXPECT_EQ(l.count, want.size());
    EXPECT_EQ(l.first, want.empty() ? nullptr : want.front());
    EXPECT_EQ(l.last, want.empty() ? nullptr : want.back());
}

void expect_unlinked(void *e, int pair) {
    EXPECT_EQ(node(e)->*kPairs[pair].next, nullptr);
    EXPECT_EQ(node(e)->*kPairs[pair].prev, nullptr);
}

TEST(DList, InitialisationCapturesDistances) {
    DList l = make(0);
    EXPECT_EQ(l.first, nullptr);
    EXPECT_EQ(l.last, nullptr);
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(l.count, 0u);
    EXPECT_TRUE(l.compare == by_key);
    EXPECT_EQ(l.nextOffset, -static_cast<intptr_t>(offsetof(Node, key)));
    EXPECT_EQ(l.prevOffset, static_cast<intptr_t>(offsetof(Node, prev1) - offsetof(Node, key)));
}

TEST(DList, InsertionsRemovalsAndQueries) {
    Node n[5];
    std::memset(n, 0x5A, sizeof n);  // stale fields are overwritten
    void *e[5];
    for (int i = 0; i < 5; ++i)
        e[i] = elem(n[i]);
    DList l = make(0);
    EXPECT_EQ(DList_isEmpty(&l), 1);
    EXPECT_EQ(DList_removeFirst(&l), nullptr);
    EXPECT_EQ(DList_removeLast(&l), nullptr);
    EXPECT_EQ(DList_pop(&l), nullptr);
    EXPECT_EQ(DList_remove(&l, nullptr), nullptr);
    EXPECT_EQ(DList_getFirst(&l), nullptr);
    DList_insertAfter(&l, nullptr, e[2]);  // empty: first and last
    expect_chain(l, 0, {e[2]});
    expect_unlinked(e[2], 0);
    DList_insertFirst(&l, e[0]);  // old first's prev, last unchanged
    expect_chain(l, 0, {e[0], e[2]});
    DList_insertAfter(&l, e[2], e[4]);  // behind the last: new last
    DList_insertAfter(&l, e[0], e[1]);
    DList_insertLast(&l, e[3]);
    expect_chain(l, 0, {e[0], e[1], e[2], e[4], e[3]});
    EXPECT_EQ(DList_isEmpty(&l), 0);
    EXPECT_EQ(DList_getCount(&l), 5u);
    EXPECT_EQ(DList_getFirst(&l), e[0]);
    EXPECT_EQ(DList_getLast(&l), e[3]);
    EXPECT_EQ(DList_remove(&l, nullptr), nullptr);
    EXPECT_EQ(DList_remove(&l, e[2]), e[2]);
    expect_unlinked(e[2], 0);
    EXPECT_EQ(DList_pop(&l), e[0]);
    EXPECT_EQ(DList_removeFirst(&l), e[1]);
    expect_unlinked(e[1], 0);
    expect_chain(l, 0, {e[4], e[3]});
    EXPECT_EQ(DList_removeLast(&l), e[3]);  // two elements: first == last
    expect_unlinked(e[3], 0);
    expect_chain(l, 0, {e[4]});
    EXPECT_EQ(DList_remove(&l, e[4]), e[4]);  // the only element
    expect_unlinked(e[4], 0);
    expect_chain(l, 0, {});
    EXPECT_EQ(DList_isEmpty(&l), 1);
}

TEST(DList, CursorIsNeverMovedByRemoval) {
    Node n[4];
    void *e[4];
    DList l = make(1);
    for (int i = 0; i < 4; ++i)
        DList_insertLast(&l, e[i] = elem(n[i]));
    DList_startIterate(&l);
    EXPECT_EQ(DList_hasMoreElements(&l), 1);
    EXPECT_EQ(DList_getNext(&l), e[0]);
    EXPECT_EQ(DList_remove(&l, e[0]), e[0]);  // just returned: the walk goes on
    EXPECT_EQ(l.cursor, e[1]);
    DList_insertFirst(&l, e[0]);  // behind the cursor: not visited
    EXPECT_EQ(DList_getNext(&l), e[1]);
    EXPECT_EQ(DList_remove(&l, e[2]), e[2]);  // the one cursor designates
    EXPECT_EQ(l.cursor, e[2]);
    EXPECT_EQ(DList_getNext(&l), e[2]);  // the removed element, then the end
    EXPECT_EQ(DList_hasMoreElements(&l), 0);
    EXPECT_EQ(DList_getNext(&l), nullptr);
    EXPECT_EQ(DList_getNext(&l), nullptr);
    expect_chain(l, 1, {e[0], e[1], e[3]});
    DList_startIterate(&l);
    EXPECT_EQ(DList_getNext(&l), e[0]);
    DList_insertAfter(&l, e[1], e[2]);  // ahead of the cursor: visited
    EXPECT_EQ(DList_getNext(&l), e[1]);
    EXPECT_EQ(DList_getNext(&l), e[2]);
    EXPECT_EQ(DList_getNext(&l), e[3]);
    EXPECT_EQ(DList_getNext(&l), nullptr);
}

TEST(DList, SortedInsertionCostAndPlace) {
    Node n[6];
    const int32_t keys[6] = {10, 20, 30, 20, 5, 40};
    for (int i = 0; i < 6; ++i)
        n[i].key = keys[i];
    DList l = make(0);
    struct Step {
        int rec;
        long calls;
        std::vector<int> order;
    } steps[] = {
        {0, 0, {0}},              // empty: no call
        {2, 1, {0, 2}},           // appended behind one element
        {1, 2, {0, 1, 2}},        // position 1
        {3, 2, {0, 3, 1, 2}},     // equal goes in front of its equals
        {4, 1, {4, 0, 3, 1, 2}},  // position 0
        {5, 5, {4, 0, 3, 1, 2, 5}},
    };
    for (const Step &s : steps) {
        g_calls = 0;
        DList_insertSorted(&l, elem(n[s.rec]));
        EXPECT_EQ(g_calls, s.calls) << "inserting " << s.rec;
        std::vector<void *> want;
        for (int i : s.order)
            want.push_back(elem(n[i]));
        expect_chain(l, 0, want);
    }
    EXPECT_EQ(DList_compareItems(&l, elem(n[4]), elem(n[0])), -1);
}

TEST(DList, FreeElementsReleasesEveryRecord) {
    struct HeapRec {
        int32_t key;
        void *next;
        void *prev;
    };
    krc_test::AllocScope scope;
    HeapRec sample;
    DList l;
    DList_makeDList(&l, &sample, &sample.next, &sample.prev, by_key);
    auto expect_empty = [&] {
        EXPECT_EQ(l.first, nullptr);
        EXPECT_EQ(l.last, nullptr);
        EXPECT_EQ(l.cursor, nullptr);
        EXPECT_EQ(l.count, 0u);
        EXPECT_TRUE(l.compare == by_key);
        EXPECT_EQ(l.nextOffset, static_cast<intptr_t>(offsetof(HeapRec, next)));
        EXPECT_EQ(l.prevOffset, static_cast<intptr_t>(offsetof(HeapRec, prev)));
    };
    EXPECT_EQ(DList_freeElements(&l), &l);  // empty: nothing to free
    EXPECT_EQ(scope.frees(), 0);
    expect_empty();
    for (int i = 0; i < 6; ++i) {
        auto *r = static_cast<HeapRec *>(std::malloc(sizeof(HeapRec)));
        ASSERT_NE(r, nullptr);
        r->key = (i * 7) % 6;
        DList_insertSorted(&l, r);
    }
    DList_startIterate(&l);
    DList_getNext(&l);
    EXPECT_EQ(scope.allocations(), 6);  // none of its own
    EXPECT_EQ(DList_freeElements(&l), &l);
    EXPECT_EQ(scope.live(), 0);
    EXPECT_EQ(scope.frees(), 6);
    expect_empty();  // compare and distances kept
}

// Randomised against a model: two lists, one per pair of fields, over one
// pool of records, so that records sit in both at once.
TEST(DList, RandomisedAgainstModel) {
    const unsigned seed = 1187;
    std::printf("DList model seed %u\n", seed);
    std::mt19937 rng(seed);
    std::vector<Node> pool(40);
    DList lists[2] = {make(0), make(1)};
    std::vector<void *> model[2];
    void *cursor[2] = {nullptr, nullptr};
    auto pos = [&](int w, void *e) { return std::find(model[w].begin(), model[w].end(), e); };
    for (int step = 0; step < 6000 && !testing::Test::HasFailure(); ++step) {
        const int w = static_cast<int>(rng() % 2);
        DList &l = lists[w];
        std::vector<void *> &m = model[w];
        void *e = elem(pool[rng() % pool.size()]);
        void *member = m.empty() || rng() % 8 == 0 ? nullptr : m[rng() % m.size()];
        const unsigned op = rng() % 11;
        if (op < 4) {  // insertions
            if (pos(w, e) != m.end())
                continue;
            *static_cast<int32_t *>(e) = static_cast<int32_t>(rng() % 8);
            if (op == 0) {
                DList_insertFirst(&l, e);
                m.insert(m.begin(), e);
            } else if (op == 1) {
                DList_insertLast(&l, e);
                m.push_back(e);
            } else if (op == 2) {
                DList_insertAfter(&l, member, e);
                m.insert(member == nullptr ? m.begin() : pos(w, member) + 1, e);
            } else {
                auto it = std::find_if(m.begin(), m.end(), [&](void *x) {
                    return *static_cast<int32_t *>(x) >= *static_cast<int32_t *>(e);
                });
                g_calls = 0;
                DList_insertSorted(&l, e);
                EXPECT_EQ(g_calls, std::min<long>(it - m.begin() + 1, static_cast<long>(m.size())));
                m.insert(it, e);
            }
        } else if (op < 8) {  // removals, never moving the cursor
            void *victim = op == 4 ? member : m.empty() ? nullptr : op == 5 ? m.back() : m.front();
            void *got = op == 4 ? DList_remove(&l, member)
                        : op == 5 ? DList_removeLast(&l)
                        : op == 6 ? DList_removeFirst(&l)
                                  : DList_pop(&l);
            EXPECT_EQ(got, victim);
            if (victim != nullptr) {
                expect_unlinked(victim, w);
                m.erase(pos(w, victim));
            }
        } else if (op == 8) {
            DList_startIterate(&l);
            cursor[w] = m.empty() ? nullptr : m.front();
        } else {  // a removed element's next field is null, so a walk from it ends
            void *want = cursor[w];
            if (want != nullptr) {
                auto it = pos(w, want);
                cursor[w] = it == m.end() || it + 1 == m.end() ? nullptr : *(it + 1);
            }
            EXPECT_EQ(DList_getNext(&l), want);
        }
        expect_chain(l, w, m);
        expect_chain(lists[1 - w], 1 - w, model[1 - w]);
        EXPECT_EQ(l.cursor, cursor[w]);
    }
}

}  // namespace
