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
    int32_t key;
    int32_t tag;
    Rec *a;
    Rec *b;
};

long g_calls = 0;
int32_t by_key(void *x, void *y) {
    ++g_calls;
    const int32_t kx = *static_cast<int32_t *>(x), ky = *static_cast<int32_t *>(y);
    return kx < ky ? -1 : kx > ky ? 1 : 0;
}

List make(Rec *Rec::*field, List_compare_fn cmp = by_key) {
    Rec sample;
    List l;
    std::memset(&l, 0xA5, sizeof l);  // previous contents are ignored
    List_makeList(&l, &sample, &(sample.*field), cmp);
    return l;
}

// Walks the chain through the record field itself (not through the list) and
// checks it against `want`, together with first, last and count.
void expect_chain(const List &l, Rec *Rec::*field, const std::vector<Rec *> &want) {
    std::vector<Rec *> got;
    for (Rec *r = static_cast<Rec *>(l.first); r != nullptr && got.size() <= want.size(); r = r->*field)
        got.push_back(r);
    EXPECT_EQ(got, want);
    EXPECT_EQ(l.count, static_cast<int32_t>(want.size()));
    EXPECT_EQ(l.last, want.empty() ? nullptr : want.back());
}

TEST(SList, InitialisationCapturesDistances) {
    List l = make(&Rec::b);
    EXPECT_EQ(l.first, nullptr);
    EXPECT_EQ(l.last, nullptr);
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.compare, by_key);
    EXPECT_EQ(l.linkOffset, static_cast<intptr_t>(offsetof(Rec, b)));
    List_makeList(&l, &l.linkOffset, &l.first, nullptr);  // a negative distance
    EXPECT_EQ(l.linkOffset, -static_cast<intptr_t>(offsetof(List, linkOffset)));
    EXPECT_EQ(l.compare, nullptr);
}

TEST(SList, EndsStackAndQueries) {
    Rec r[4] = {{1, 0, &r[3], nullptr}, {2, 0, &r[3], nullptr}, {3, 0, &r[3], nullptr}, {4, 0, &r[3], nullptr}};
    List l = make(&Rec::a);
    EXPECT_EQ(List_isEmpty(&l), 1);
    EXPECT_EQ(List_removeFirst(&l), nullptr);
    EXPECT_EQ(List_removeLast(&l), nullptr);
    EXPECT_EQ(List_removeAfter(&l, nullptr), nullptr);
    EXPECT_EQ(List_peek(&l), nullptr);
    List_insertLast(&l, &r[1]);
    expect_chain(l, &Rec::a, {&r[1]});
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
    EXPECT_EQ(List_getNextElem(&l, &r[2]), nullptr);
    EXPECT_EQ(List_getNextElem(&l, nullptr), nullptr);
    EXPECT_EQ(List_removeAfter(&l, &r[2]), nullptr);  // behind the last: nothing
    expect_chain(l, &Rec::a, {&r[3], &r[0], &r[1], &r[2]});
    EXPECT_EQ(List_pop(&l), &r[3]);  // last in, first out
    EXPECT_EQ(r[3].a, nullptr);
    EXPECT_EQ(List_removeAfter(&l, &r[0]), &r[1]);
    EXPECT_EQ(r[1].a, nullptr);
    expect_chain(l, &Rec::a, {&r[0], &r[2]});
    EXPECT_EQ(List_removeLast(&l), &r[2]);  // two elements: no walk
    EXPECT_EQ(r[2].a, nullptr);
    expect_chain(l, &Rec::a, {&r[0]});
    EXPECT_EQ(List_removeLast(&l), &r[0]);
    expect_chain(l, &Rec::a, {});
    EXPECT_EQ(l.first, nullptr);
    EXPECT_EQ(List_getCount(&l), 0);
}

TEST(SList, CursorWalkWithRemovals) {
    Rec r[5] = {};
    List l = make(&Rec::a);
    for (auto &x : r)
        List_insertLast(&l, &x);
    // Removing the element just returned: the successor was read first.
    List_startIterate(&l);
    EXPECT_EQ(List_getNext(&l), &r[0]);
    EXPECT_EQ(List_removeFirst(&l), &r[0]);
    EXPECT_EQ(l.cursor, &r[1]);
    // Removing the element cursor designates moves cursor on.
    EXPECT_EQ(List_removeFirst(&l), &r[1]);
    EXPECT_EQ(l.cursor, &r[2]);
    EXPECT_EQ(List_getNext(&l), &r[2]);
    EXPECT_EQ(List_getNext(&l), &r[3]);
    EXPECT_EQ(List_removeLast(&l), &r[4]);  // cursor was on the last
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(List_hasMoreElements(&l), 0);
    EXPECT_EQ(List_getNext(&l), nullptr);
    EXPECT_EQ(List_getNext(&l), nullptr);
    // Insertions never move cursor: ahead of it is visited, behind it is not.
    List_startIterate(&l);
    EXPECT_EQ(List_hasMoreElements(&l), 1);
    EXPECT_EQ(List_getNext(&l), &r[2]);
    List_insertFirst(&l, &r[0]);
    List_insertLast(&l, &r[4]);
    EXPECT_EQ(List_getNext(&l), &r[3]);
    EXPECT_EQ(List_getNext(&l), &r[4]);
    EXPECT_EQ(List_getNext(&l), nullptr);
}

TEST(SList, SortedInsertionCostAndPlace) {
    Rec r[6] = {{10, 0, nullptr, nullptr}, {20, 0, nullptr, nullptr}, {30, 0, nullptr, nullptr},
                {20, 1, nullptr, nullptr}, {5, 0, nullptr, nullptr},  {40, 0, nullptr, nullptr}};
    List l = make(&Rec::a);
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
        List_insertSorted(&l, &r[s.rec]);
        EXPECT_EQ(g_calls, s.calls) << "inserting " << s.rec;
        std::vector<Rec *> want;
        for (int i : s.order)
            want.push_back(&r[i]);
        expect_chain(l, &Rec::a, want);
    }
    EXPECT_EQ(List_compareItems(&l, &r[5], &r[0]), 1);
    EXPECT_EQ(List_compareItems(&l, &r[1], &r[3]), 0);
}

TEST(SList, SortIsOnePassOfInsertion) {
    Rec r2a{2, 0, nullptr, nullptr}, r3{3, 0, nullptr, nullptr}, r2b{2, 1, nullptr, nullptr};
    List l = make(&Rec::a);
    g_calls = 0;
    EXPECT_EQ(List_sortList(&l), &l);  // empty
    List_insertLast(&l, &r3);
    EXPECT_EQ(List_sortList(&l), &l);  // one element
    EXPECT_EQ(g_calls, 0);
    expect_chain(l, &Rec::a, {&r3});
    List_insertFirst(&l, &r2a);
    List_insertLast(&l, &r2b);
    List_startIterate(&l);
    List_sortList(&l);
    expect_chain(l, &Rec::a, {&r2b, &r2a, &r3});  // not stable
    EXPECT_EQ(l.cursor, nullptr);

    std::vector<Rec> many(50);
    List s = make(&Rec::b);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i].key = static_cast<int32_t>(i / 3);
        List_insertLast(&s, &many[i]);
    }
    g_calls = 0;
    List_sortList(&s);
    EXPECT_EQ(g_calls, 49);  // sorted input: n - 1 calls
}

TEST(SList, MergeThroughAnotherLinkField) {
    // x1, x3 in the first list (field a); y1, y3a, y3b in the second (field b),
    // unsorted.  Equal elements of the second come out reversed and in front.
    Rec x1{1, 0, nullptr, nullptr}, x3{3, 0, nullptr, nullptr};
    Rec y3a{3, 1, nullptr, nullptr}, y1{1, 1, nullptr, nullptr}, y3b{3, 2, nullptr, nullptr};
    List l = make(&Rec::a), m = make(&Rec::b);
    List_insertLast(&l, &x1);
    List_insertLast(&l, &x3);
    for (Rec *y : {&y3a, &y1, &y3b})
        List_insertLast(&m, y);
    const List before = m;
    g_calls = 0;
    EXPECT_EQ(List_mergeLists(&l, &m), &m);
    expect_chain(l, &Rec::a, {&y1, &x1, &y3b, &y3a, &x3});
    EXPECT_EQ(g_calls, 2 + 1 + 3);
    // The second header is unchanged but for its cursor, and its chain
    // through b is intact: the records now sit in both lists.
    EXPECT_EQ(m.first, before.first);
    EXPECT_EQ(m.last, before.last);
    EXPECT_EQ(m.count, before.count);
    EXPECT_EQ(m.cursor, nullptr);
    expect_chain(m, &Rec::b, {&y3a, &y1, &y3b});
}

TEST(SList, MergeThroughTheSameLinkField) {
    Rec r[4] = {{4, 0, nullptr, nullptr}, {1, 0, nullptr, nullptr}, {3, 0, nullptr, nullptr}, {2, 0, nullptr, nullptr}};
    List l = make(&Rec::a), m = make(&Rec::a);
    List_insertLast(&l, &r[0]);
    for (int i = 1; i < 4; ++i)
        List_insertLast(&m, &r[i]);
    List_mergeLists(&l, &m);
    expect_chain(l, &Rec::a, {&r[1], &r[3], &r[2], &r[0]});
    EXPECT_EQ(m.first, &r[1]);
    EXPECT_EQ(m.count, 3);
    List_makeList(&m, &r[0], &r[0].a, by_key);
    EXPECT_EQ(List_isEmpty(&m), 1);
    EXPECT_EQ(m.first, nullptr);
}

TEST(SList, AppendJoinsTheChains) {
    Rec r[4] = {};
    List l = make(&Rec::a), m = make(&Rec::a);
    List_appendList(&l, &m);  // both empty
    expect_chain(l, &Rec::a, {});
    List_insertLast(&m, &r[0]);
    List_insertLast(&m, &r[1]);
    List_appendList(&l, &m);  // into an empty list
    expect_chain(l, &Rec::a, {&r[0], &r[1]});
    List n = make(&Rec::a);
    List_appendList(&l, &n);  // an empty second changes nothing
    expect_chain(l, &Rec::a, {&r[0], &r[1]});
    List_insertLast(&n, &r[2]);
    List_insertLast(&n, &r[3]);
    List_appendList(&l, &n);
    expect_chain(l, &Rec::a, {&r[0], &r[1], &r[2], &r[3]});
    EXPECT_EQ(n.first, &r[2]);  // second header untouched
    EXPECT_EQ(n.count, 2);
}

// A record whose link lies before the element pointer.
struct Back {
    Back *link;
    int32_t key;
};

TEST(SList, NegativeDistance) {
    Back b[4] = {{nullptr, 3}, {nullptr, 1}, {nullptr, 2}, {nullptr, 0}};
    List l;
    List_makeList(&l, &b[0].key, &b[0].link, by_key);
    EXPECT_LT(l.linkOffset, 0);
    for (auto &x : b)
        List_insertLast(&l, &x.key);
    List_sortList(&l);
    EXPECT_EQ(l.first, &b[3].key);
    EXPECT_EQ(b[3].link, reinterpret_cast<Back *>(&b[1].key));  // links hold element pointers
    EXPECT_EQ(List_removeLast(&l), &b[0].key);
    EXPECT_EQ(List_getNextElem(&l, &b[1].key), &b[2].key);
    EXPECT_EQ(l.last, &b[2].key);
    EXPECT_EQ(b[2].link, nullptr);
}

TEST(SList, FreeElementsReleasesEveryRecord) {
    krc_test::AllocScope scope;
    List l = make(&Rec::b);
    List_freeElements(&l);  // empty: nothing to free
    EXPECT_EQ(scope.frees(), 0);
    for (int i = 0; i < 5; ++i) {
        Rec *r = static_cast<Rec *>(std::calloc(1, sizeof(Rec)));
        ASSERT_NE(r, nullptr);
        r->key = 5 - i;
        List_insertSorted(&l, r);
    }
    List_startIterate(&l);
    EXPECT_EQ(scope.allocations(), 5);  // none of its own
    EXPECT_EQ(List_freeElements(&l), &l);
    EXPECT_EQ(scope.live(), 0);
    EXPECT_EQ(scope.frees(), 5);
    EXPECT_EQ(l.first, nullptr);
    EXPECT_EQ(l.last, nullptr);
    EXPECT_EQ(l.cursor, nullptr);
    EXPECT_EQ(l.count, 0);
    EXPECT_EQ(l.compare, by_key);
    EXPECT_EQ(l.linkOffset, static_cast<intptr_t>(offsetof(Rec, b)));
}

// Randomised against a model: two lists, through a and through b, over one
// pool of records, so that records sit in both at once.
TEST(SList, RandomisedAgainstModel) {
    const unsigned seed = 20240611;
    std::printf("SList model seed %u\n", seed);
    std::mt19937 rng(seed);
    std::vector<Rec> pool(40);
    for (size_t i = 0; i < pool.size(); ++i)
        pool[i].tag = static_cast<int32_t>(i);
    Rec *Rec::*fields[2] = {&Rec::a, &Rec::b};
    List lists[2] = {make(&Rec::a), make(&Rec::b)};
    std::vector<Rec *> model[2];
    Rec *cursor[2] = {nullptr, nullptr};
    auto in = [&](int w, Rec *r) { return std::find(model[w].begin(), model[w].end(), r) != model[w].end(); };
    auto after = [&](int w, Rec *r) -> Rec * {
        auto it = std::find(model[w].begin(), model[w].end(), r);
        return ++it == model[w].end() ? nullptr : *it;
    };
    auto sorted_pos = [&](int w, Rec *r) {
        size_t k = 0;
        while (k < model[w].size() && model[w][k]->key < r->key)
            ++k;
        return k;
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
            g_calls = 0;
            if (op == 0) {
                List_insertFirst(&l, r);
                m.insert(m.begin(), r);
            } else if (op == 1) {
                List_insertLast(&l, r);
                m.push_back(r);
            } else {
                const size_t k = sorted_pos(w, r);
                List_insertSorted(&l, r);
                EXPECT_EQ(g_calls, static_cast<long>(k == m.size() ? k : k + 1));
                m.insert(m.begin() + static_cast<long>(k), r);
            }
        } else if (op < 8) {  // removals, each moving the cursor off its victim
            Rec *pred = nullptr, *victim = m.empty() ? nullptr : m.front();
            if (op == 4 && !m.empty()) {
                const size_t i = rng() % m.size();
                pred = m[i];
                victim = after(w, pred);
            } else if (op == 5) {
                pred = m.size() >= 2 ? m[m.size() - 2] : nullptr;
                victim = m.empty() ? nullptr : m.back();
            }
            void *got = op == 4 ? List_removeAfter(&l, pred) : op == 5 ? List_removeLast(&l) : List_pop(&l);
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
        } else if (op == 10) {
            List_sortList(&l);
            std::stable_sort(m.begin(), m.end(), [](Rec *x, Rec *y) { return x->key < y->key; });
            cursor[w] = nullptr;
            // Not stable: take the list's own order once it is known to be a
            // sorted permutation of the model.
            std::vector<Rec *> got;
            for (Rec *x = static_cast<Rec *>(l.first); x != nullptr && got.size() <= m.size(); x = x->*fields[w])
                got.push_back(x);
            ASSERT_EQ(got.size(), m.size());
            for (size_t i = 0; i < m.size(); ++i)
                EXPECT_EQ(got[i]->key, m[i]->key);
            std::vector<Rec *> a = got, b = m;
            std::sort(a.begin(), a.end());
            std::sort(b.begin(), b.end());
            EXPECT_EQ(a, b);
            m = got;
        } else {  // merge b into a, after taking out of b what a already holds
            List_startIterate(&lists[1]);
            Rec *prev = nullptr;
            while (Rec *x = static_cast<Rec *>(List_getNext(&lists[1]))) {
                if (in(0, x))
                    EXPECT_EQ(List_removeAfter(&lists[1], prev), x);
                else
                    prev = x;
            }
            model[1].erase(std::remove_if(model[1].begin(), model[1].end(), [&](Rec *x) { return in(0, x); }),
                           model[1].end());
            for (Rec *x : model[1]) {
                const size_t k = sorted_pos(0, x);
                model[0].insert(model[0].begin() + static_cast<long>(k), x);
            }
            const List before = lists[1];
            List_mergeLists(&lists[0], &lists[1]);
            EXPECT_EQ(lists[1].first, before.first);
            EXPECT_EQ(lists[1].count, before.count);
            cursor[1] = nullptr;
            expect_chain(lists[1], &Rec::b, model[1]);
        }
        expect_chain(l, fields[w], m);
        expect_chain(lists[0], &Rec::a, model[0]);
        EXPECT_EQ(l.cursor, cursor[w]);
    }
}

}  // namespace
