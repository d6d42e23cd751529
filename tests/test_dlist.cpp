// SPDX-License-Identifier: MIT
// Intrusive doubly linked list, by example.  The model check
// (tests/model/dlist.cpp) covers every operation against a model; these
// cases show the common ones on a small list of tasks.
#include <libkrc/dlist.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace {

struct Task {
    int32_t priority;
    char name;
    Task *next, *prev;
};

int32_t by_priority(void *a, void *b) { return static_cast<Task *>(a)->priority - static_cast<Task *>(b)->priority; }

// The names in list order, checking each back link on the way, e.g. "abc".
std::string names(DList *list) {
    std::string out;
    Task *before = nullptr;
    for (auto *t = static_cast<Task *>(DList_getFirst(list)); t != nullptr; before = t, t = t->next) {
        EXPECT_EQ(t->prev, before) << t->name;
        out += t->name;
    }
    EXPECT_EQ(DList_getLast(list), before);
    return out;
}

class DListExample : public ::testing::Test {
protected:
    void SetUp() override { DList_makeDList(&list, &a, &a.next, &a.prev, by_priority); }
    DList list;
    Task a{1, 'a', nullptr, nullptr}, b{2, 'b', nullptr, nullptr}, c{3, 'c', nullptr, nullptr},
        d{2, 'd', nullptr, nullptr};
};

// [a1 c3] + b2 -> [a1 b2 c3]; then d2 goes in front of its equal: [a1 d2 b2 c3].
TEST_F(DListExample, SortedInsertion) {
    DList_insertLast(&list, &a);
    DList_insertLast(&list, &c);
    DList_insertSorted(&list, &b);
    EXPECT_EQ(names(&list), "abc");
    DList_insertSorted(&list, &d);
    EXPECT_EQ(names(&list), "adbc");
    EXPECT_EQ(DList_getCount(&list), 4u);
}

// [a b c] - b -> [a c]: a and c now point at each other, b's links are null.
// Removing the last one moves last back: [a c] - c -> [a].
TEST_F(DListExample, RemovalFromTheMiddle) {
    for (Task *t : {&a, &b, &c})
        DList_insertLast(&list, t);
    EXPECT_EQ(DList_remove(&list, &b), &b);
    EXPECT_EQ(names(&list), "ac");
    EXPECT_EQ(b.next, nullptr);
    EXPECT_EQ(b.prev, nullptr);
    EXPECT_EQ(DList_remove(&list, &c), &c);
    EXPECT_EQ(names(&list), "a");
    EXPECT_EQ(DList_getCount(&list), 1u);
}

// [a c] + b behind a -> [a b c]; + d in front -> [d a b c].
TEST_F(DListExample, InsertionBehindAnElementAndInFront) {
    DList_insertLast(&list, &a);
    DList_insertLast(&list, &c);
    DList_insertAfter(&list, &a, &b);
    EXPECT_EQ(names(&list), "abc");
    DList_insertFirst(&list, &d);
    EXPECT_EQ(names(&list), "dabc");
}

}  // namespace
