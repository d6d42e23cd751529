// Intrusive doubly linked list: insertions and queries, freeing, and a
// randomised run of two lists over shared records, which also holds the
// cursor rules.
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
    void *prev1;
    void *next2;
    void *prev2;
};
void *Node::*const kNext[2] = {&Node::next1, &Node::next2};
void *Node::*const kPrev[2] = {&Node::prev1, &Node::prev2};

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
    DList_makeDList(&l, elem(sample), &(sample.*kNext[pair]), &(sample.*kPrev[pair]), by_key);
    return l;
}

// Walks the chain both ways, from first and from last, through the record
// fields themselves and checks it and count against `want`.
void expect_chain(const DList &l, int pair, const std::vector<void *> &want) {
    std::vector<void *> fwd, back;
    for (void *e = l.first; e != nullptr && fwd.size() <= want.size(); e = node(e)->*kNext[pair])
        fwd.push_back(e);
    for (void *e = l.last; e != nullptr && back.size() <= want.size(); e = node(e)->*kPrev[pair])
        back.push_back(e);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(fwd, want);
    EXPECT_EQ(back, want);
    EXPECT_EQ(l.count, want.size());
}

TEST(DList, InsertionsAndQueries) {
    Node n[5];
    std::memset(n, 0x5A, sizeof n);  // stale fields are overwritten
    void *e[5];
    for (int i = 0; i < 5; ++i)
        e[i] = elem(n[i]);
    DList l = make(0);
    EXPECT_EQ(l.nextOffset, -static_cast<intptr_t>(offsetof(Node, key)));  // a negative distance
    EXPECT_EQ(DList_isEmpty(&l), 1);
    for (void *got : {DList_removeFirst(&l), DList_removeLast(&l), DList_pop(&l), DList_remove(&l, nullptr)})
        EXPECT_EQ(got, nullptr);
    DList_insertLast(&l, e[2]);            // into an empty list: first and last
    DList_insertAfter(&l, nullptr, e[0]);  // a null predecessor: the new first
    DList_insertAfter(&l, e[2], e[4]);  // behind the last: new last
    DList_insertAfter(&l, e[0], e[1]);
    DList_insertLast(&l, e[3]);
    expect_chain(l, 0, {e[0], e[1], e[2], e[4], e[3]});
    EXPECT_EQ(DList_isEmpty(&l), 0);
    EXPECT_EQ(DList_getCount(&l), 5u);
    EXPECT_EQ(DList_getFirst(&l), e[0]);
    EXPECT_EQ(DList_getLast(&l), e[3]);
    EXPECT_EQ(DList_compareItems(&l, e[4], e[0]), 0);
}

TEST(DList, FreeElementsReleasesEveryRecord) {
    struct HeapRec {  // the element pointer is the start of the block
        int32_t key;
        void *next, *prev;
    };
    krc_test::AllocScope scope;
    HeapRec sample;
    DList l;
    DList_makeDList(&l, &sample, &sample.next, &sample.prev, by_key);
    EXPECT_EQ(DList_freeElements(&l), &l);  // empty: nothing to free
    for (int i = 0; i < 6; ++i)
        DList_insertLast(&l, std::calloc(1, sizeof(HeapRec)));
    DList_startIterate(&l);
    DList_getNext(&l);
    EXPECT_EQ(DList_freeElements(&l), &l);
    EXPECT_EQ(scope.allocations(), 6);  // none of its own
    EXPECT_EQ(scope.live(), 0);
    EXPECT_TRUE(l.first == nullptr && l.last == nullptr && l.cursor == nullptr && l.count == 0);
    EXPECT_TRUE(l.compare == by_key);  // compare and distances kept
    EXPECT_EQ(l.nextOffset, static_cast<intptr_t>(offsetof(HeapRec, next)));
    EXPECT_EQ(l.prevOffset, static_cast<intptr_t>(offsetof(HeapRec, prev)));
}

// Two lists, one per pair of fields, over one pool of records, so that
// records sit in both at once.  Sorted insertion goes in front of its equals
// for k + 1 calls at position k (k when appending).  Every step checks both
// cursors: insertions never move them, and neither do removals, so a removed
// element the cursor designates is returned next and, its next field being
// null, the walk then ends.
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
            const int32_t key = *static_cast<int32_t *>(e) = static_cast<int32_t>(rng() % 8);
            const auto at = op == 0 ? m.begin() : op == 1 ? m.end() : op == 2 ? (member ? pos(w, member) + 1 : m.begin())
                          : std::find_if(m.begin(), m.end(), [&](void *x) { return *static_cast<int32_t *>(x) >= key; });
            g_calls = 0;
            op == 0   ? DList_insertFirst(&l, e)
            : op == 1 ? DList_insertLast(&l, e)
            : op == 2 ? DList_insertAfter(&l, member, e)
                      : DList_insertSorted(&l, e);
            EXPECT_EQ(g_calls, op < 3 ? 0 : std::min<long>(at - m.begin() + 1, static_cast<long>(m.size())));
            m.insert(at, e);
        } else if (op < 8) {  // removals, never moving the cursor
            void *victim = op == 4 ? member : m.empty() ? nullptr : op == 5 ? m.back() : m.front();
            void *got = op == 4 ? DList_remove(&l, member)
                        : op == 5 ? DList_removeLast(&l)
                        : op == 6 ? DList_removeFirst(&l)
                                  : DList_pop(&l);
            EXPECT_EQ(got, victim);
            if (victim != nullptr) {
                EXPECT_TRUE(node(victim)->*kNext[w] == nullptr && node(victim)->*kPrev[w] == nullptr);
                m.erase(pos(w, victim));
            }
        } else if (op == 8) {
            DList_startIterate(&l);
            cursor[w] = m.empty() ? nullptr : m.front();
        } else {
            void *want = cursor[w];
            if (want != nullptr) {
                auto it = pos(w, want);
                cursor[w] = it == m.end() || it + 1 == m.end() ? nullptr : *(it + 1);
            }
            EXPECT_EQ(DList_getNext(&l), want);
        }
        for (int v = 0; v < 2; ++v) {
            expect_chain(lists[v], v, model[v]);
            EXPECT_EQ(lists[v].cursor, cursor[v]);
            EXPECT_EQ(DList_hasMoreElements(&lists[v]), cursor[v] != nullptr ? 1 : 0);
        }
    }
}

}  // namespace
