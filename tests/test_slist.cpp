// Intrusive singly linked list.
#include <libkrc/slist.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "alloc_fault.h"

namespace {

// A record that can sit in two lists at once, through `a` and through `b`.
struct Rec {
    int32_t key = 0;
    Rec *a = nullptr;
    Rec *b = nullptr;
};
using Field = Rec *Rec::*;

long g_calls = 0;  // compare calls since the last make()
int32_t by_key(void *x, void *y) {
    ++g_calls;
    return *static_cast<int32_t *>(x) - *static_cast<int32_t *>(y);  // small keys
}

List make(Field f, Rec *r = nullptr, int n = 0) {
    Rec sample;
    List l;
    List_makeList(&l, &sample, &(sample.*f), by_key);
    for (int i = 0; i < n; ++i)
        List_insertLast(&l, &r[i]);
    g_calls = 0;
    return l;
}

void expect_chain(const List &l, Field f, const std::vector<Rec *> &want) {
    std::vector<Rec *> got;
    for (Rec *r = static_cast<Rec *>(l.first); r != nullptr && got.size() <= want.size(); r = r->*f)
        got.push_back(r);
    EXPECT_EQ(got, want);
    EXPECT_EQ(l.count, static_cast<int32_t>(want.size()));
    EXPECT_EQ(l.last, want.empty() ? nullptr : want.back());
}

TEST(SList, SortedInsertionGoesInFrontOfEqualsAndSortIsOnePassOfIt) {
    const int cases[][3] = {{0, 0, 1}, {1, 0, 1}, {3, 1, 2}, {4, 3, 4}, {6, 4, 4}};  // key, position, calls
    for (const auto &c : cases) {
        Rec r[4] = {{1}, {3}, {3}, {5}}, x{c[0]};
        List l = make(&Rec::a, r, 4);
        List_insertSorted(&l, &x);
        std::vector<Rec *> want = {&r[0], &r[1], &r[2], &r[3]};
        want.insert(want.begin() + c[1], &x);
        expect_chain(l, &Rec::a, want);
        EXPECT_EQ(g_calls, c[2]) << "key " << c[0];
    }
    Rec r[3] = {{2}, {3}, {2}};  // sorting 2a, 3, 2b
    List l = make(&Rec::a, r, 3);
    List_startIterate(&l);
    List_sortList(&l);
    expect_chain(l, &Rec::a, {&r[2], &r[0], &r[1]});  // not stable
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(g_calls, 3);
    EXPECT_EQ(List_sortList(&l), &l);
    EXPECT_EQ(g_calls, 3 + 2);  // sorted input: n - 1 more
}

// Removals move the cursor off their victim; getNext moves it before returning.
TEST(SList, CursorRules) {
    const int cases[][6] = {  // length, getNext calls, operation, pred, victim, cursor; -1: null
        {4, 1, 'A', 0, 1, 2},   {4, 1, 'F', -1, 0, 1}, {4, 0, 'P', -1, 0, 1},  {4, 3, 'L', -1, 3, -1},
        {4, 2, 'A', 3, -1, 2},  {4, 1, 'A', -1, 0, 1}, {1, 0, 'L', -1, 0, -1}, {2, 0, 'L', -1, 1, 0},
        {0, 0, 'L', -1, -1, -1}};
    Rec r[4] = {{0}, {1}, {2}, {3}};
    auto at = [&](int i) { return i < 0 ? nullptr : &r[i]; };
    for (const auto &c : cases) {
        List l = make(&Rec::a, r, c[0]);
        List_startIterate(&l);
        for (int i = 0; i < c[1]; ++i)
            List_getNext(&l);
        void *got = c[2] == 'A'   ? List_removeAfter(&l, at(c[3]))
                    : c[2] == 'F' ? List_removeFirst(&l)
                    : c[2] == 'L' ? List_removeLast(&l)
                                  : List_pop(&l);
        SCOPED_TRACE(testing::Message() << c[0] << char(c[2]) << c[1]);
        EXPECT_EQ(got, at(c[4]));
        EXPECT_EQ(l.cursor, at(c[5]));
        std::vector<Rec *> want = {&r[0], &r[1], &r[2], &r[3]};
        want.resize(c[0]);
        want.erase(std::remove(want.begin(), want.end(), at(c[4])), want.end());
        expect_chain(l, &Rec::a, want);
    }
    List l = make(&Rec::a, r, 3);
    List_startIterate(&l);
    EXPECT_EQ(List_getNext(&l), &r[0]);
    List_insertLast(&l, List_removeFirst(&l));  // ahead of the cursor: still visited
    for (Rec *want : {&r[1], &r[2], &r[0], static_cast<Rec *>(nullptr)})
        EXPECT_EQ(List_getNext(&l), want);
}

// Through the other link field the records end up in both lists at once.
TEST(SList, MergeLeavesTheSecondHeader) {
    for (Field f : {&Rec::a, &Rec::b}) {
        Rec r[4] = {{4}, {1}, {3}, {2}};
        List l = make(&Rec::a, r, 1), m = make(f, r + 1, 3);
        EXPECT_EQ(List_mergeLists(&l, &m), &m);
        expect_chain(l, &Rec::a, {&r[1], &r[3], &r[2], &r[0]});
        EXPECT_TRUE(m.first == &r[1] && m.last == &r[3] && m.count == 3 && m.cursor == nullptr);
        if (f == &Rec::b)
            expect_chain(m, &Rec::b, {&r[1], &r[2], &r[3]});
    }
}

// Linked through a, which lies before the element pointer &b.
TEST(SList, NegativeDistance) {
    Rec r[3];
    List l;
    List_makeList(&l, &r[0].b, &r[0].a, nullptr);
    for (Rec &x : r)
        List_insertLast(&l, &x.b);
    EXPECT_EQ(List_removeLast(&l), &r[2].b);
    EXPECT_TRUE(l.last == &r[1].b && r[1].a == nullptr && l.count == 2);
}

TEST(SList, AppendThenFreeElementsReleasesEveryRecord) {
    krc_test::AllocScope scope;
    List l = make(&Rec::b), t = make(&Rec::b);
    for (int i = 0; i < 5; ++i)
        List_insertLast(i < 2 ? &l : &t, std::calloc(1, sizeof(Rec)));
    List_appendList(&l, &t);  // all five are freed through l
    EXPECT_EQ(List_freeElements(&l), &l);
    EXPECT_EQ(scope.allocations(), 5);  // none of its own
    EXPECT_EQ(scope.live(), 0);
    EXPECT_TRUE(l.first == nullptr && l.last == nullptr && l.cursor == nullptr && l.count == 0);
    EXPECT_TRUE(l.compare == by_key && l.linkOffset == static_cast<intptr_t>(offsetof(Rec, b)));
}

}  // namespace
