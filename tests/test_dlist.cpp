// Intrusive doubly linked list.
#include <libkrc/dlist.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "alloc_fault.h"

namespace {

// A record with two pairs of fields, so that it can sit in two lists at once.
// The element pointer is &key, so next1 lies before it: a negative distance.
struct Node {
    void *next1;
    int32_t key;
    void *prev1, *next2, *prev2;
};
void *Node::*const kNext[2] = {&Node::next1, &Node::next2};
void *Node::*const kPrev[2] = {&Node::prev1, &Node::prev2};

Node *node(void *e) { return reinterpret_cast<Node *>(static_cast<char *>(e) - offsetof(Node, key)); }

long g_calls = 0;
int32_t by_key(void *x, void *y) {
    ++g_calls;
    return *static_cast<int32_t *>(x) - *static_cast<int32_t *>(y);  // small keys
}

DList make(int pair) {
    Node s;
    DList l;
    DList_makeDList(&l, &s.key, &(s.*kNext[pair]), &(s.*kPrev[pair]), by_key);
    return l;
}

void expect_chain(const DList &l, int pair, const std::vector<void *> &want) {
    EXPECT_EQ(l.count, want.size());
    EXPECT_TRUE(l.first == want.front() && l.last == want.back());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(node(want[i])->*kNext[pair], i + 1 < want.size() ? want[i + 1] : nullptr) << i;
        EXPECT_EQ(node(want[i])->*kPrev[pair], i > 0 ? want[i - 1] : nullptr) << i;
    }
}

// Sorted insertion goes in front of its equals for k + 1 calls at position k
// (one per element when appending), as the records go into a second list too.
TEST(DList, InsertionsRemovalsAndTheCursor) {
    const int cases[][2] = {{3, 0}, {5, 1}, {3, 1}, {1, 1}, {4, 4}};  // key, compare calls
    Node n[5];
    std::memset(n, 0x5A, sizeof n);  // stale fields are overwritten
    DList l = make(0), m = make(1);
    EXPECT_LT(l.nextOffset, 0);
    for (int i = 0; i < 5; ++i) {
        n[i].key = cases[i][0];
        g_calls = 0;
        DList_insertSorted(&l, &n[i].key);
        EXPECT_EQ(g_calls, cases[i][1]) << i;
        DList_insertAfter(&m, i == 4 ? nullptr : m.last, &n[i].key);  // a null predecessor: the front
    }
    EXPECT_EQ(DList_remove(&l, &n[0].key), &n[0].key);  // m keeps it
    expect_chain(l, 0, {&n[3].key, &n[2].key, &n[4].key, &n[1].key});
    expect_chain(m, 1, {&n[4].key, &n[0].key, &n[1].key, &n[2].key, &n[3].key});
    // getNext moves the cursor on before it returns; removals never move it,
    // so a removed element it designates is still returned, then the walk ends.
    DList_startIterate(&m);
    EXPECT_EQ(DList_getNext(&m), &n[4].key);
    DList_insertLast(&m, DList_pop(&m));
    DList_remove(&m, &n[0].key);
    EXPECT_EQ(DList_getNext(&m), &n[0].key);
    EXPECT_EQ(DList_getNext(&m), nullptr);
    expect_chain(m, 1, {&n[1].key, &n[2].key, &n[3].key, &n[4].key});
}

TEST(DList, FreeElementsReleasesEveryRecord) {
    krc_test::AllocScope scope;
    Node s;
    DList l;
    DList_makeDList(&l, &s, &s.next2, &s.prev2, by_key);  // the element pointer starts the block
    const DList before = l;
    for (int i = 0; i < 6; ++i)
        DList_insertLast(&l, std::calloc(1, sizeof(Node)));
    EXPECT_EQ(DList_freeElements(&l), &l);
    EXPECT_EQ(scope.allocations(), 6);  // none of its own
    EXPECT_EQ(scope.live(), 0);
    EXPECT_TRUE(l.first == nullptr && l.last == nullptr && l.cursor == nullptr && l.count == 0);
    EXPECT_TRUE(l.compare == by_key && l.nextOffset == before.nextOffset && l.prevOffset == before.prevOffset);
}

}  // namespace
