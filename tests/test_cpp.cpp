// SPDX-License-Identifier: MIT
// The C++ wrappers (krc.hpp): what they add over the C API, namely ownership,
// iteration, callable adaptation and compile-time layout.  The behaviour of
// the C functions underneath is the C tests' business.
#include <libkrc/krc.hpp>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

namespace {

struct Rec {
    int v;
    Rec *link;
    Rec *next;
    Rec *prev;
};
// A record that no constant expression can probe: the offsets are taken on
// uninitialised storage instead.
struct Named {
    std::string name;
    Named *next;
    Named *prev;
};

struct rec_less {
    bool operator()(const Rec &a, const Rec &b) const { return a.v < b.v; }
};
struct rec_three_way {
    long long operator()(const Rec &a, const Rec &b) const { return static_cast<long long>(a.v) - b.v; }
};
struct int_less {
    bool operator()(const int *a, const int *b) const { return *a < *b; }
};
struct int_copy {
    int *operator()(const int *a) const {
        int *copy = static_cast<int *>(std::malloc(sizeof *copy));
        if (copy != nullptr)
            *copy = *a;
        return copy;
    }
};
struct int_free {
    void operator()(int *a) const { std::free(a); }
};
struct next_int {
    int *operator()(int *a) const { return a + 1; }
};

bool is_two(int *x) { return *x == 2; }

template <class Range>
std::vector<int> values(const Range &r) {
    std::vector<int> out;
    for (auto *e : r)
        out.push_back(*reinterpret_cast<const int *>(e));
    return out;
}

using V = std::vector<int>;

// ---- Compile-time layout --------------------------------------------------

static_assert(krc::detail::constant_member_offset<&Rec::link>() == offsetof(Rec, link));
static_assert(krc::detail::constant_member_offset<&Rec::prev>() == offsetof(Rec, prev));
static_assert(krc::queue_bytes(1) == sizeof(krqueue) + sizeof(void *));
static_assert(sizeof(krc::inplace_queue<int, 3>) >= krc::queue_bytes(3) + sizeof(krqueue *));

TEST(Cpp, IntrusiveOffsetsMatchTheCLayout) {
    krc::slist<Rec, &Rec::link> s;
    krc::dlist<Rec, &Rec::next, &Rec::prev> d;
    krc::dlist<Named, &Named::next, &Named::prev> n;
    EXPECT_EQ(s.get()->linkOffset, static_cast<intptr_t>(offsetof(Rec, link)));
    EXPECT_EQ(d.get()->nextOffset, static_cast<intptr_t>(offsetof(Rec, next)));
    EXPECT_EQ(d.get()->prevOffset, static_cast<intptr_t>(offsetof(Rec, prev)));
    Named probe{"x", nullptr, nullptr};
    auto at = [&](void *field) { return reinterpret_cast<char *>(field) - reinterpret_cast<char *>(&probe); };
    EXPECT_EQ(n.get()->nextOffset, at(&probe.next));
    EXPECT_EQ(n.get()->prevOffset, at(&probe.prev));
}

TEST(Cpp, InplaceSizesMatchTheCArithmetic) {
    for (uint32_t capacity : {1u, 2u, 1000u, KRQUEUE_MAX_CAPACITY, KRQUEUE_MAX_CAPACITY + 1, UINT32_MAX})
        EXPECT_EQ(krc::queue_bytes(capacity), krqueue_size(capacity)) << capacity;
    // Exactly the asserted minimum is enough: constructing lays the object out.
    krc::inplace_queue<int, 7> q;
    krc::inplace_sliding_average<5> sa;
    EXPECT_EQ(q.capacity(), 7u);
    EXPECT_EQ(sa.capacity(), 5u);
    EXPECT_EQ(krc::inplace_sliding_average<5>::storage_bytes, sizeof(SlidingAverage) + 5 * sizeof(uint32_t));
    EXPECT_EQ(reinterpret_cast<char *>(q.get()), reinterpret_cast<char *>(q.get()->members) - sizeof(krqueue));
}

// ---- Ownership ------------------------------------------------------------

TEST(Cpp, OwnersReleaseExactlyOnceAcrossMoves) {
    int x = 1;
    krc_test::AllocScope scope;
    {
        krc::list<int> a;
        ASSERT_TRUE(a.push_back(&x) && a.push_back(&x));
        krc::list<int> b(std::move(a));
        krc::list<int> c;
        c = std::move(b);  // c's own empty list goes first
        krc::list<int> &same = c;
        c = std::move(same);  // self-move keeps it
        EXPECT_TRUE(!a && !b && c && c.size() == 2);

        krc::queue<int> q1(4), q2(std::move(q1));
        krc::pool<Rec> p1(2), p2(1);
        p2 = std::move(p1);
        krc::hash_map<int, int> h1(3), h2(std::move(h1));
        krc::sliding_average s1(3), s2(std::move(s1));
        EXPECT_TRUE(!q1 && q2 && !p1 && p2.capacity() == 2 && !h1 && h2 && !s1 && s2);
        ASSERT_TRUE(q2.push(&x) && h2.insert(&x, &x));  // elements are the caller's
        EXPECT_GT(scope.live(), 0);
    }
    EXPECT_EQ(scope.live(), 0);
    EXPECT_EQ(scope.frees(), scope.allocations());
}

TEST(Cpp, IntrusiveMovesLeaveTheSourceEmpty) {
    Rec r[3] = {{2, nullptr, nullptr, nullptr}, {1, nullptr, nullptr, nullptr}, {3, nullptr, nullptr, nullptr}};
    krc::slist<Rec, &Rec::link, rec_less> a;
    krc::dlist<Rec, &Rec::next, &Rec::prev> d;
    for (Rec &e : r) {
        a.push_back(&e);
        d.push_back(&e);
    }
    krc::slist<Rec, &Rec::link, rec_less> b(std::move(a));
    krc::dlist<Rec, &Rec::next, &Rec::prev> e;
    e = std::move(d);
    EXPECT_TRUE(a.empty() && a.front() == nullptr && d.empty() && d.back() == nullptr);
    EXPECT_EQ(values(b), (V{2, 1, 3}));
    EXPECT_EQ(values(e.reversed()), (V{3, 1, 2}));
    b.sort();  // the moved header keeps its compare function
    EXPECT_EQ(values(b), (V{1, 2, 3}));
}

// Every allocation of a sequence of wrapper operations fails in turn: each
// failure shows as the C API shows it and nothing leaks.
TEST(Cpp, NothingLeaksOnAllocationFailure) {
    static int xs[4] = {3, 1, 2, 0};
    EXPECT_GT(krc_test::sweep_alloc_failures([](long) {
        krc::list<int> l, other;
        if (!l || !other)
            return;
        for (int &x : xs)
            if (!l.push_back(&x) || !other.push_front(&x))
                return;
        auto evens = l.filter([](int *x) { return *x % 2 == 0; });
        auto copies = l.copy<int_copy, int_free>();
        auto shifted = l.map<next_int>();
        EXPECT_TRUE(!copies || copies.size() == 4);
        if (copies)
            copies.clear(int_free{});
        if (!l.append(std::move(other))) {
            EXPECT_EQ(other.size(), 4u);  // the source stays whole and is still released once
        }
        krc::queue<int> q(2);
        krc::hash_map<int, int> h(2);
        krc::pool<Rec> p(2);
        krc::sliding_average s(2);
        EXPECT_TRUE((!evens || evens.size() == 2) && (!shifted || *shifted.at(0) == 1));
        (void)q, (void)h, (void)p, (void)s;
    }), 10);
}

TEST(Cpp, HooksAreTakenOverByDerivedLists) {
    static int allocs, releases;
    allocs = releases = 0;
    {
        krc::list<int> l(
            [](size_t n) {
                ++allocs;
                return std::malloc(n);
            },
            [](void *b) {
                ++releases;
                std::free(b);
            });
        int x = 0;
        ASSERT_TRUE(l.push_back(&x) && l.push_back(&x));
        auto s = l.share();
        EXPECT_EQ(allocs, 6);
    }
    EXPECT_EQ(releases, 6);
}

TEST(Cpp, PoolObjectsAreConstructedAndDestroyed) {
    static int alive;
    struct Counted {
        int v;
        explicit Counted(int value) : v(value) { ++alive; }
        ~Counted() { --alive; }
    };
    krc::pool<Counted> p(2);
    Counted *a = p.create(7), *b = p.create(8);
    EXPECT_TRUE(a && b && a->v == 7 && b->v == 8 && alive == 2 && p.in_use() == 2);
    EXPECT_EQ(p.create(9), nullptr);  // full: nothing constructed
    p.destroy(a);
    p.destroy(nullptr);
    EXPECT_EQ(alive, 1);
    EXPECT_EQ(p.allocate(), static_cast<void *>(a));  // the block given back comes out next
}

// ---- Iteration ------------------------------------------------------------

TEST(Cpp, RangesInBothDirections) {
    int xs[] = {1, 2, 3};
    Rec r[3] = {{1, nullptr, nullptr, nullptr}, {2, nullptr, nullptr, nullptr}, {3, nullptr, nullptr, nullptr}};
    krc::list<int> l, empty;
    krc::slist<Rec, &Rec::link> s;
    krc::dlist<Rec, &Rec::next, &Rec::prev> d;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(l.push_back(&xs[i]));
        s.push_back(&r[i]);
        d.push_back(&r[i]);
    }
    EXPECT_EQ(values(l), (V{1, 2, 3}));
    EXPECT_EQ(values(l.reversed()), (V{3, 2, 1}));
    EXPECT_EQ(values(s), (V{1, 2, 3}));
    EXPECT_EQ(values(d), (V{1, 2, 3}));
    EXPECT_EQ(values(d.reversed()), (V{3, 2, 1}));
    EXPECT_EQ(values(empty).size() + values(empty.reversed()).size(), 0u);
    // Standard algorithms work on the iterators; erase continues after the node.
    EXPECT_EQ(std::distance(s.begin(), s.end()), 3);
    auto it = std::find(l.begin(), l.end(), &xs[1]);
    EXPECT_EQ(it, l.find(&xs[1]));
    EXPECT_EQ(*l.erase(it), &xs[2]);
    EXPECT_EQ(values(l), (V{1, 3}));
}

// ---- Callable adaptation --------------------------------------------------

TEST(Cpp, CapturingCallablesReachTheCallbacks) {
    int xs[] = {5, 2, 8, 2};
    krc::list<int> l;
    for (int &x : xs)
        ASSERT_TRUE(l.push_back(&x));
    int limit = 4;
    V seen;
    EXPECT_TRUE(l.for_each([&](int *x) { seen.push_back(*x); }));  // void: never stops
    EXPECT_FALSE(l.for_each_reversed([&](int *x) {
        seen.push_back(*x);
        return *x != 8;  // stops on 8
    }));
    // Small const callables travel inside the context pointer, others by
    // address: a mutable one keeps its state from call to call either way.
    EXPECT_FALSE(l.for_each([n = 0](int *) mutable { return ++n < 3; }));
    EXPECT_EQ(l.count_if([&, big = std::array<int, 4>{}](int *x) { return *x + big[0] < limit; }), 2u);
    std::string joined;
    l.for_each([&](int *x) { joined += std::to_string(*x); }, [&] { joined += ','; });
    EXPECT_EQ(seen, (V{5, 2, 8, 2, 2, 8}));
    EXPECT_EQ(joined, "5,2,8,2");
    EXPECT_EQ(*l.find_if([&](int *x) { return *x > limit + 2; }), &xs[2]);
    EXPECT_EQ(l.find_if([&](int *x) { return *x > 100; }), l.end());
    EXPECT_EQ(l.count_if(is_two), 2u);  // a plain function
    EXPECT_EQ(l.count_if([&](int *x) { return *x < limit; }), 2u);
    EXPECT_EQ(values(l.filter([&](int *x) { return *x < limit; })), (V{2, 2}));
    EXPECT_EQ(values(l.filter_out([&](int *x) { return *x < limit; })), (V{5, 8}));
    const auto shared = l.share();  // a sublist: the elements are not handed over
    EXPECT_EQ(values(shared), (V{5, 2, 8, 2}));
}

TEST(Cpp, StatelessComparatorsAndDestructors) {
    int xs[] = {3, 1, 2, 1};
    krc::list<int> l;
    for (int &x : xs)
        ASSERT_TRUE(l.push_back(&x));
    l.sort([](int *a, int *b) { return *a > *b; });  // a lambda without captures will do
    EXPECT_EQ(values(l), (V{3, 2, 1, 1}));
    l.sort<int_less>();  // a "less" keeps equal elements in order
    EXPECT_EQ(values(l), (V{1, 1, 2, 3}));
    EXPECT_EQ(l.at(0), &xs[1]);
    EXPECT_EQ(l.at(1), &xs[3]);
    auto copies = l.copy(int_copy{}, int_free{});
    ASSERT_TRUE(copies);
    EXPECT_EQ(values(copies), (V{1, 1, 2, 3}));
    EXPECT_NE(copies.at(0), &xs[1]);
    copies.erase(copies.begin(), int_free{});
    copies.clear(int_free{});  // ASan reports any copy not handed back

    // A "less" and a three-way comparison give the intrusive lists one order.
    Rec r[5] = {}, q[5] = {};
    for (int i = 0; i < 5; ++i)
        r[i].v = q[i].v = V{4, 2, 9, 2, 1}[static_cast<size_t>(i)];
    krc::slist<Rec, &Rec::link, rec_less> a;
    auto three_way = [](const Rec &x, const Rec &y) { return rec_three_way{}(x, y); };
    krc::dlist<Rec, &Rec::next, &Rec::prev, decltype(three_way)> b;
    for (int i = 0; i < 5; ++i) {
        a.insert_sorted(&r[i]);
        b.insert_sorted(&q[i]);
    }
    EXPECT_EQ(values(a), (V{1, 2, 2, 4, 9}));
    EXPECT_EQ(values(b), values(a));
    EXPECT_EQ(a.get()->first, &r[4]);
    EXPECT_EQ(b.get()->first, &q[4]);
    EXPECT_EQ(a.front()->link, &r[3]);  // in front of its equals
    EXPECT_EQ(b.front()->next, &q[3]);
}

TEST(Cpp, HashFunctionObjectsAndTemporaryKeys) {
    struct Point {
        int x, y;
    };
    struct point_hash {
        uint32_t operator()(const Point &p) const { return static_cast<uint32_t>(p.x * 31 + p.y); }
    };
    struct point_eq {
        bool operator()(const Point &a, const Point &b) const { return a.x == b.x && a.y == b.y; }
    };
    krc::hash_map<Point, const char, point_hash, point_eq> h(4);
    static const Point keys[] = {{1, 2}, {2, 1}};
    ASSERT_TRUE(h.insert(&keys[0], "a") && h.insert(&keys[1], "b"));
    EXPECT_STREQ(h.find(Point{1, 2}), "a");  // probed through a temporary
    EXPECT_EQ(h.find(Point{3, 3}), nullptr);
    h.erase(Point{2, 1});
    EXPECT_TRUE(h.size() == 1 && h.find(keys[1]) == nullptr);

    krc::hash_map<std::string, int> s(2);  // the standard hash, folded to 32 bits
    std::string k1 = "one";
    int one = 1;
    ASSERT_TRUE(s.insert(&k1, &one));
    EXPECT_EQ(s.find(std::string("one")), &one);
}

// ---- Utilities ------------------------------------------------------------

TEST(Cpp, CrcOverAnyByteRange) {
    const char digits[] = "123456789";
    const std::array<std::byte, 3> b{std::byte{1}, std::byte{2}, std::byte{3}};
    uint16_t c;
    krclib_crc16Calc(reinterpret_cast<const uint8_t *>(b.data()), &c, 3);
    EXPECT_EQ(krc::crc16(std::string_view(digits)), 0x31C3);
    EXPECT_EQ(krc::crc16(std::string(digits)), 0x31C3);
    EXPECT_EQ(krc::crc16(std::vector<uint8_t>(digits, digits + 9)), 0x31C3);
    EXPECT_EQ(krc::crc16(digits, 9), 0x31C3);
    EXPECT_EQ(krc::crc16(b), c);
    EXPECT_EQ(krc::crc16(krc::crc16(std::string_view(digits, 4)), std::string_view(digits + 4)), 0x31C3);
    EXPECT_EQ(krc::crc16(nullptr, 0), 0);
}

TEST(Cpp, SearchMapsSayNotFoundTheCppWay) {
    static const uint_uint_map_entry codes[] = {{7, 70}, {8, 80}, {0xFFFFFFFF, 1}, {0xFFFF, 0}};
    static const str_uint_map_entry names[] = {{"seven", 7}, {nullptr, 0}};
    EXPECT_EQ(krc::search(codes, 8), std::optional<uint32_t>(80));
    EXPECT_EQ(krc::search(codes, 0xFFFFFFFF), std::optional<uint32_t>(1));
    EXPECT_FALSE(krc::search(codes, 9).has_value());
    EXPECT_FALSE(krc::search(codes, 0xFFFF).has_value());
    EXPECT_STREQ(krc::search(names, 7), "seven");
    EXPECT_EQ(krc::search(names, 8), nullptr);
}

// Preconditions stay the library's: a wrapper holding nothing aborts in the
// C function, with its message.
TEST(CppDeath, EmptyHandlesAbortInTheLibrary) {
    krc::list<int> gone, l;
    int x = 0;
    krc::list<int> taken(std::move(gone));
    EXPECT_KRC_ASSERT(gone.push_back(&x), "src/llist.cpp", "list_add", "lst != NULL");
    EXPECT_KRC_ASSERT(l.filter([](int *) { return true; }).share().push_back(&x), "src/llist.cpp", "list_add",
                      "!lst->is_sublist");
    krc::inplace_queue<int, 1> q;
    EXPECT_KRC_ASSERT(q.push(nullptr), "src/krqueue.cpp", "krqueue_add", "elem != NULL");
}

}  // namespace
