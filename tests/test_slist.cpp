// Intrusive singly linked list: ends and queries, sort, merge, append, a
// negative distance, freeing, and a randomised run of two lists over shared
// records, which also holds the cursor rules.
#include <libkrc/slist.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "alloc_fault.h"

namespace {

// A record that can sit in two lists at once, through `a` and through `b`.
// The element pointer is the record's address, which is also that of key.
struct Rec {
    int32_t key = 0;
    Rec *a = nullptr;
    Rec *b = nullptr;
};
using Field = Rec *Rec::*;

long g_calls = 0;
int32_t by_key(void *x, void *y) {
    ++g_calls;
    const int32_t kx = *static_cast<int32_t *>(x), ky = *static_cast<int32_t *>(y);
    return kx < ky ? -1 : kx > ky ? 1 : 0;
}

List make(Field f) {
    Rec sample;
    List l;
    std::memset(&l, 0xA5, sizeof l);  // previous contents are ignored
    List_makeList(&l, &sample, &(sample.*f), by_key);
    return l;
}

// The chain through the records' own field, at most max + 1 long.
std::vector<Rec *> chain(const List &l, Field f, size_t max) {
    std::vector<Rec *> got;
    for (Rec *r = static_cast<Rec *>(l.first); r != nullptr && got.size() <= max; r = r->*f)
        got.push_back(r);
    return got;
}

void expect_chain(const List &l, Field f, const std::vector<Rec *> &want) {
    EXPECT_EQ(chain(l, f, want.size()), want);
    EXPECT_EQ(l.count, static_cast<int32_t>(want.size()));
    EXPECT_EQ(l.last, want.empty() ? nullptr : want.back());
}

TEST(SList, EndsStackAndQueries) {
    Rec r[4] = {{1}, {2}, {3}, {4}};
    for (Rec &x : r)
        x.a = &r[3];  // stale links are overwritten
    List l = make(&Rec::a);
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(List_isEmpty(&l), 1);
    for (void *got : {List_removeFirst(&l), List_removeLast(&l), List_peek(&l)})
        EXPECT_EQ(got, nullptr);
    List_insertLast(&l, &r[1]);
    List_insertFirst(&l, &r[0]);
    List_insertLast(&l, &r[2]);
    List_push(&l, &r[3]);
    expect_chain(l, &Rec::a, {&r[3], &r[0], &r[1], &r[2]});
    EXPECT_EQ(List_isEmpty(&l), 0);
    EXPECT_EQ(List_getCount(&l), 4);
    EXPECT_EQ(List_getFirst(&l), &r[3]);
    EXPECT_EQ(List_peek(&l), &r[3]);
    EXPECT_EQ(List_getLast(&l), &r[2]);
    EXPECT_EQ(List_getNextElem(&l, &r[0]), &r[1]);
    EXPECT_EQ(List_getNextElem(&l, nullptr), nullptr);
    EXPECT_EQ(List_removeAfter(&l, &r[2]), nullptr);  // behind the last: nothing
    EXPECT_EQ(List_compareItems(&l, &r[2], &r[0]), 1);
    EXPECT_EQ(List_pop(&l), &r[3]);  // last in, first out
    expect_chain(l, &Rec::a, {&r[0], &r[1], &r[2]});
}

TEST(SList, SortIsOnePassOfInsertion) {
    Rec r2a{2}, r3{3}, r2b{2};
    List l = make(&Rec::a);
    g_calls = 0;
    EXPECT_EQ(List_sortList(&l), &l);  // empty and single lists cost no call
    List_insertLast(&l, &r2a);
    List_sortList(&l);
    EXPECT_EQ(g_calls, 0);
    List_insertLast(&l, &r3);
    List_insertLast(&l, &r2b);
    List_startIterate(&l);
    g_calls = 0;
    List_sortList(&l);
    expect_chain(l, &Rec::a, {&r2b, &r2a, &r3});  // not stable
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(g_calls, 2 + 1);
    g_calls = 0;
    List_sortList(&l);
    EXPECT_EQ(g_calls, 2);  // sorted input: n - 1 calls
    expect_chain(l, &Rec::a, {&r2b, &r2a, &r3});
}

// Through the same field each element of second must be read before it is relinked.
TEST(SList, MergeAndAppendThroughTheSameLinkField) {
    Rec r[6] = {{4}, {1}, {3}, {2}, {5}, {6}};
    List l = make(&Rec::a), m = make(&Rec::a), e = make(&Rec::a);
    List_insertLast(&l, &r[0]);
    for (int i = 1; i < 4; ++i)
        List_insertLast(&m, &r[i]);
    List_mergeLists(&l, &m);
    expect_chain(l, &Rec::a, {&r[1], &r[3], &r[2], &r[0]});
    List_appendList(&e, &l);  // into an empty list
    m = make(&Rec::a);
    List_appendList(&e, &m);  // an empty second changes nothing
    List n = make(&Rec::a);
    List_insertLast(&n, &r[4]);
    List_insertLast(&n, &r[5]);
    List_appendList(&e, &n);
    expect_chain(e, &Rec::a, {&r[1], &r[3], &r[2], &r[0], &r[4], &r[5]});
    EXPECT_TRUE(n.first == &r[4] && n.count == 2);  // second's header untouched
}

// A record whose link lies before the element pointer.
struct Back {
    Back *link;
    int32_t key;
};

TEST(SList, NegativeDistance) {
    Back b[3] = {{nullptr, 3}, {nullptr, 1}, {nullptr, 2}};
    List l;
    List_makeList(&l, &b[0].key, &b[0].link, by_key);
    EXPECT_EQ(l.linkOffset, -static_cast<intptr_t>(offsetof(Back, key)));
    for (auto &x : b)
        List_insertLast(&l, &x.key);
    List_sortList(&l);
    EXPECT_EQ(l.first, &b[1].key);
    EXPECT_EQ(b[1].link, reinterpret_cast<Back *>(&b[2].key));  // links hold element pointers
    EXPECT_EQ(List_removeLast(&l), &b[0].key);
    EXPECT_TRUE(l.last == &b[2].key && b[2].link == nullptr);
}

TEST(SList, FreeElementsReleasesEveryRecord) {
    krc_test::AllocScope scope;
    List l = make(&Rec::b);
    List_freeElements(&l);  // empty: nothing to free
    for (int i = 0; i < 5; ++i) {
        Rec *r = static_cast<Rec *>(std::calloc(1, sizeof(Rec)));
        ASSERT_NE(r, nullptr);
        List_insertLast(&l, r);
    }
    List_startIterate(&l);
    EXPECT_EQ(List_freeElements(&l), &l);
    EXPECT_EQ(scope.allocations(), 5);  // none of its own
    EXPECT_EQ(scope.live(), 0);
    expect_chain(l, &Rec::b, {});
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(l.compare, by_key);  // compare and distance kept
    EXPECT_EQ(l.linkOffset, static_cast<intptr_t>(offsetof(Rec, b)));
}

// Two lists, through a and through b, over one pool of records, so that
// records sit in both at once.  Sorted insertion goes in front of its equals
// for k + 1 calls at position k (k when appending).  Every step checks both
// cursors: getNext reads the successor before it returns, removals move the
// cursor off their victim, insertions never move it (so what goes in ahead of
// it is visited), sort and merge leave it null.  The second list of a merge
// keeps its chain, first, last and count.
TEST(SList, RandomisedAgainstModel) {
    const unsigned seed = 20240611;
    std::printf("SList model seed %u\n", seed);
    std::mt19937 rng(seed);
    std::vector<Rec> pool(40);
    const Field fields[2] = {&Rec::a, &Rec::b};
    List lists[2] = {make(&Rec::a), make(&Rec::b)};
    std::vector<Rec *> model[2];
    Rec *cursor[2] = {nullptr, nullptr};
    auto in = [&](int w, Rec *r) { return std::find(model[w].begin(), model[w].end(), r) != model[w].end(); };
    auto after = [&](int w, Rec *r) -> Rec * {
        auto it = std::find(model[w].begin(), model[w].end(), r);
        return ++it == model[w].end() ? nullptr : *it;
    };
    auto sorted_pos = [&](int w, Rec *r) {
        return std::find_if(model[w].begin(), model[w].end(), [&](Rec *x) { return x->key >= r->key; }) -
               model[w].begin();
    };
    for (int step = 0; step < 6000 && !testing::Test::HasFailure(); ++step) {
        const int w = static_cast<int>(rng() % 2);
        List &l = lists[w];
        std::vector<Rec *> &m = model[w];
        Rec *r = &pool[rng() % pool.size()];
        const unsigned op = rng() % 12;
        if (op < 4) {  // insertions
            if (in(w, r))
                continue;
            r->key = static_cast<int32_t>(rng() % 8);
            const long k = op == 0 ? 0 : op == 1 ? static_cast<long>(m.size()) : sorted_pos(w, r);
            g_calls = 0;
            op == 0 ? List_insertFirst(&l, r) : op == 1 ? List_insertLast(&l, r) : List_insertSorted(&l, r);
            EXPECT_EQ(g_calls, op < 2 ? 0 : std::min(k + 1, static_cast<long>(m.size())));
            m.insert(m.begin() + k, r);
        } else if (op < 8) {  // removals
            Rec *pred = op == 4 && !m.empty() && rng() % 8 != 0 ? m[rng() % m.size()]
                        : op == 5 && m.size() >= 2          ? m[m.size() - 2]
                                                            : nullptr;
            Rec *victim = pred != nullptr ? after(w, pred) : m.empty() ? nullptr : op == 5 ? m.back() : m.front();
            void *got = op == 4   ? List_removeAfter(&l, pred)
                        : op == 5 ? List_removeLast(&l)
                        : op == 6 ? List_removeFirst(&l)
                                  : List_pop(&l);
            EXPECT_EQ(got, victim);
            if (victim != nullptr) {
                EXPECT_EQ(victim->*fields[w], nullptr);
                if (cursor[w] == victim)
                    cursor[w] = after(w, victim);
                m.erase(std::find(m.begin(), m.end(), victim));
            }
        } else if (op == 8) {
            List_startIterate(&l);
            cursor[w] = m.empty() ? nullptr : m.front();
        } else if (op == 9) {
            Rec *want = cursor[w];
            if (want != nullptr)
                cursor[w] = after(w, want);
            EXPECT_EQ(List_getNext(&l), want);
        } else if (op == 10) {  // not stable: adopt the list's order once it is a sorted permutation
            List_sortList(&l);
            const std::vector<Rec *> got = chain(l, fields[w], m.size());
            EXPECT_TRUE(std::is_permutation(got.begin(), got.end(), m.begin(), m.end()));
            EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), [](Rec *x, Rec *y) { return x->key < y->key; }));
            m = got;
            cursor[w] = nullptr;
        } else {  // merge b into a, after unlinking from b, mid-walk, what a already holds
            List_startIterate(&lists[1]);
            Rec *prev = nullptr;
            while (Rec *x = static_cast<Rec *>(List_getNext(&lists[1])))
                if (in(0, x))
                    EXPECT_EQ(List_removeAfter(&lists[1], prev), x);
                else
                    prev = x;
            model[1].erase(std::remove_if(model[1].begin(), model[1].end(), [&](Rec *x) { return in(0, x); }),
                           model[1].end());
            long calls = 0;  // each of b goes in by sorted insertion, in b's order
            for (Rec *x : model[1]) {
                const long k = sorted_pos(0, x);
                calls += std::min(k + 1, static_cast<long>(model[0].size()));
                model[0].insert(model[0].begin() + k, x);
            }
            g_calls = 0;
            EXPECT_EQ(List_mergeLists(&lists[0], &lists[1]), &lists[1]);
            EXPECT_EQ(g_calls, calls);
            cursor[1] = nullptr;
        }
        for (int v = 0; v < 2; ++v) {
            expect_chain(lists[v], fields[v], model[v]);
            EXPECT_EQ(lists[v].cursor, cursor[v]);
            EXPECT_EQ(List_hasMoreElements(&lists[v]), cursor[v] != nullptr ? 1 : 0);
        }
    }
}

}  // namespace
