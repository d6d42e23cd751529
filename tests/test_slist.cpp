// SPDX-License-Identifier: MIT
// Intrusive singly linked list, by example.  The model check
// (tests/model/slist.cpp) covers every operation against a model; these
// cases show the common ones on a small list of tasks.
#include <libkrc/slist.h>

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace {

struct Task {
    int32_t priority;
    char name;
    Task *next;
};

int32_t by_priority(void *a, void *b) { return static_cast<Task *>(a)->priority - static_cast<Task *>(b)->priority; }

// The names in list order, e.g. "abc".
std::string names(List *list) {
    std::string out;
    for (void *e = List_getFirst(list); e != nullptr; e = List_getNextElem(list, e))
        out += static_cast<Task *>(e)->name;
    return out;
}

class SListExample : public ::testing::Test {
protected:
    void SetUp() override { List_makeList(&list, &a, &a.next, by_priority); }
    List list;
    Task a{1, 'a', nullptr}, b{2, 'b', nullptr}, c{3, 'c', nullptr}, d{2, 'd', nullptr};
};

// [a1 c3] + b2 -> [a1 b2 c3]; then d2 goes in front of its equal: [a1 d2 b2 c3].
TEST_F(SListExample, SortedInsertion) {
    List_insertLast(&list, &a);
    List_insertLast(&list, &c);
    List_insertSorted(&list, &b);
    EXPECT_EQ(names(&list), "abc");
    List_insertSorted(&list, &d);
    EXPECT_EQ(names(&list), "adbc");
    EXPECT_EQ(List_getLast(&list), &c);
    EXPECT_EQ(List_getCount(&list), 4);
}

// [a b c] with a walk standing on b; removing b (behind a) -> [a c], b
// unlinked, and the walk goes on with c.
TEST_F(SListExample, RemovalFromTheMiddle) {
    for (Task *t : {&a, &b, &c})
        List_insertLast(&list, t);
    List_startIterate(&list);
    EXPECT_EQ(List_getNext(&list), &a);  // the cursor is now on b
    EXPECT_EQ(List_removeAfter(&list, &a), &b);
    EXPECT_EQ(names(&list), "ac");
    EXPECT_EQ(b.next, nullptr);
    EXPECT_EQ(a.next, &c);
    EXPECT_EQ(List_getNext(&list), &c);
    EXPECT_EQ(List_getCount(&list), 2);
}

// [a1 c3] merged with [d2 b2] -> [a1 b2 d2 c3]: each element of the second
// list goes in front of its equals, so equal ones come out reversed.  The
// second header keeps its old fields and is made again before reuse.
TEST_F(SListExample, Merge) {
    List second;
    List_makeList(&second, &a, &a.next, by_priority);
    List_insertLast(&list, &a);
    List_insertLast(&list, &c);
    List_insertLast(&second, &d);
    List_insertLast(&second, &b);
    EXPECT_EQ(List_mergeLists(&list, &second), &second);
    EXPECT_EQ(names(&list), "abdc");
    EXPECT_EQ(List_getCount(&list), 4);
    EXPECT_EQ(second.first, &d);
    List_makeList(&second, &a, &a.next, by_priority);
    EXPECT_EQ(List_isEmpty(&second), 1);
}

}  // namespace
