// SPDX-License-Identifier: MIT
// The C++ wrappers (krc.hpp): what they add over the C API, namely ownership,
// iteration, callable adaptation and compile-time layout.  The behaviour of
// the C functions underneath is the C tests' business.
#include <libkrc/krc.hpp>

#include <algorithm>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <array>
#include <cstdlib>
#include <cstring>
#include <functional>
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
// Records of every kind: the link offsets come from the member pointers alone.
struct Named {
    std::string name;
    Named *next;
    Named *prev;
};
struct Built {
    explicit Built(int v) : value(v) {}
    int value;
    Built *link = nullptr;
    Built *back = nullptr;
};
struct Virtual {
    virtual ~Virtual() = default;
    std::string tag = "v";
    Virtual *next = nullptr;
    Virtual *prev = nullptr;
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

static_assert(krc::queue_bytes(1) == sizeof(krqueue) + sizeof(void *));
static_assert(sizeof(krc::inplace_queue<int, 3>) >= krc::queue_bytes(3) + sizeof(krqueue *));

// The header's offsets equal the members' distances in a live record.
template <class R, auto Next, auto Prev>
void expect_offsets(R &record) {
    krc::dlist<R, Next, Prev> d;
    krc::slist<R, Prev> s;
    auto at = [&](void *field) { return reinterpret_cast<char *>(field) - reinterpret_cast<char *>(&record); };
    EXPECT_EQ(d.get()->nextOffset, at(&(record.*Next)));
    EXPECT_EQ(d.get()->prevOffset, at(&(record.*Prev)));
    EXPECT_EQ(s.get()->linkOffset, at(&(record.*Prev)));
}

TEST(Cpp, IntrusiveOffsetsMatchTheCLayout) {
    Rec rec{};
    Named named{"x", nullptr, nullptr};
    Built built(1);
    Virtual virt;
    expect_offsets<Rec, &Rec::next, &Rec::prev>(rec);
    expect_offsets<Named, &Named::next, &Named::prev>(named);
    expect_offsets<Built, &Built::link, &Built::back>(built);
    expect_offsets<Virtual, &Virtual::next, &Virtual::prev>(virt);
    EXPECT_EQ((krc::slist<Rec, &Rec::link>::link_offset()), static_cast<intptr_t>(offsetof(Rec, link)));
    // A record with a constructor links and walks like any other.
    Built a(1), b(2);
    krc::dlist<Built, &Built::link, &Built::back> d;
    d.push_back(&a);
    d.push_back(&b);
    EXPECT_EQ(d.back()->back, &a);
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

// ---- The rule for callables: used in place, whatever their size ------------

// Counts through a const call, as the one state a copy would lose; Big
// carries enough bytes to be passed differently from Small by any scheme
// that looks at the size.
template <size_t Extra>
struct Tally {
    mutable uint32_t n = 0;
    uint32_t step = 1;
    std::array<char, Extra> pad{};
    Tally() = default;
    Tally(const Tally &) = delete;  // a copy does not compile, let alone run
    bool operator()(int *) const { return (n += step) != 0; }
};
using Small = Tally<0>;
using Big = Tally<64>;

template <class T>
void expect_used_in_place() {
    int xs[] = {1, 2, 3};
    krc::list<int> l;
    for (int &x : xs)
        ASSERT_TRUE(l.push_back(&x));
    const T t{};
    l.for_each(t);
    l.for_each_reversed(t);
    EXPECT_EQ(l.count_if(t), 3u);
    l.filter(t);
    l.filter_out(t);
    EXPECT_EQ(t.n, 15u);
    l.find_if(t);  // stops on the first
    l.for_each(t, [] {});
    EXPECT_EQ(t.n, 19u);
    T mut{};
    mut.step = 2;
    Rec r[2] = {};
    krc::slist<Rec, &Rec::link> s;
    krc::dlist<Rec, &Rec::next, &Rec::prev> d;
    for (Rec &e : r) {
        s.push_back(&e);
        d.push_back(&e);
    }
    auto on_rec = [&mut](Rec *) { return !mut(nullptr); };  // never true: nothing removed
    EXPECT_EQ(s.remove_if(on_rec) + d.remove_if(on_rec), 0u);
    EXPECT_EQ(mut.n, 8u);
}

TEST(Cpp, CallablesAreUsedInPlaceWhateverTheirSize) {
    expect_used_in_place<Small>();
    expect_used_in_place<Big>();
}

// ---- Moved-from owners ------------------------------------------------------

TEST(Cpp, MovedFromOwnersAnswerQueriesSafely) {
    krc::list<int> l;
    krc::queue<int> q(2);
    krc::hash_map<int, int> h(2);
    krc::pool<Rec> p(2);
    krc::sliding_average a(2);
    auto keep = std::make_tuple(std::move(l), std::move(q), std::move(h), std::move(p), std::move(a));
    EXPECT_TRUE(!l && l.size() == 0 && l.empty());
    EXPECT_TRUE(!q && q.size() == 0 && q.capacity() == 0 && q.empty() && !q.full() && q.front() == nullptr);
    EXPECT_TRUE(!h && h.size() == 0 && h.capacity() == 0 && h.empty());
    EXPECT_TRUE(!p && p.in_use() == 0 && p.capacity() == 0);
    EXPECT_TRUE(!a && a.size() == 0 && a.capacity() == 0 && a.empty());
    EXPECT_EQ(std::get<1>(keep).capacity(), 2u);
}

// ---- Members over the C functions --------------------------------------------

TEST(Cpp, ListEnds) {
    int xs[] = {1, 2, 3};
    krc::list<int> l;
    for (int &x : xs)
        ASSERT_TRUE(l.push_back(&x));
    EXPECT_TRUE(l.front() == &xs[0] && l.back() == &xs[2]);
    EXPECT_EQ(l.pop_front(), &xs[0]);
    EXPECT_EQ(values(l), (V{2, 3}));
    krc::list<int> empty;
    EXPECT_KRC_ASSERT(empty.front(), "src/llist.cpp", "list_get", "i.node != NULL");
}

TEST(Cpp, IntrusiveEditing) {
    Rec r[5] = {};
    for (int i = 0; i < 5; ++i)
        r[i].v = i;
    krc::slist<Rec, &Rec::link> s;
    krc::dlist<Rec, &Rec::next, &Rec::prev> d;
    for (Rec &e : r)
        s.push_back(&e);
    d.push_back(&r[1]);
    d.insert_before(&r[1], &r[0]);   // in front of the first
    d.insert_before(nullptr, &r[3]); // at the end
    d.insert_before(&r[3], &r[2]);
    EXPECT_EQ(values(d), (V{0, 1, 2, 3}));
    EXPECT_EQ(values(d.reversed()), (V{3, 2, 1, 0}));
    auto odd = [](Rec *e) { return e->v % 2 != 0; };
    EXPECT_EQ(s.remove_if(odd), 2u);
    EXPECT_EQ(d.remove_if(odd), 2u);
    EXPECT_EQ(values(s), (V{0, 2, 4}));
    EXPECT_TRUE(s.back() == &r[4] && s.size() == 3);
    EXPECT_EQ(values(d.reversed()), (V{2, 0}));
    s.clear();
    d.clear();
    EXPECT_TRUE(s.empty() && s.front() == nullptr && d.empty() && d.back() == nullptr);
    const auto &cs = s;
    static_assert(std::is_same_v<decltype(cs.get()), const List *>);
    static_assert(std::is_same_v<decltype(s.size()), decltype(d.size())>);
}

struct count_destroyed {
    static inline int calls = 0;
    void operator()(int *) const { ++calls; }
};

TEST(Cpp, QueuePeekAndDrain) {
    int xs[] = {1, 2, 3};
    count_destroyed::calls = 0;
    {
        krc::queue<int, count_destroyed> q(2);
        krc::inplace_queue<int, 2, count_destroyed> iq;
        EXPECT_EQ(q.front(), nullptr);
        for (int round = 0; round < 3; ++round) {  // the slots wrap around
            ASSERT_TRUE(q.push(&xs[round]) && iq.push(&xs[round]));
            EXPECT_TRUE(q.front() == &xs[round] && iq.front() == &xs[round]);
            EXPECT_EQ(q.pop(), &xs[round]);
            EXPECT_EQ(iq.pop(), &xs[round]);
        }
        ASSERT_TRUE(q.push(&xs[0]) && q.push(&xs[1]) && iq.push(&xs[2]));
        V drained;
        EXPECT_EQ(q.drain([&](int *x) { drained.push_back(*x); }), 2u);
        EXPECT_EQ(drained, (V{1, 2}));
        ASSERT_TRUE(q.push(&xs[0]) && q.push(&xs[1]));
    }
    EXPECT_EQ(count_destroyed::calls, 3);  // two from the heap queue, one in place
}

TEST(Cpp, HashMapMembership) {
    krc::hash_map<int, int> h(4);
    static const int keys[] = {1, 2};
    int v = 0;
    ASSERT_TRUE(h.insert(&keys[0], &v) && h.insert(&keys[1], nullptr));
    const auto &ch = h;
    EXPECT_TRUE(ch.contains(1) && ch.find(1) == &v);
    EXPECT_FALSE(ch.contains(2));  // a null value looks absent
    EXPECT_TRUE(h.erase(2));       // but erase sees it
    EXPECT_FALSE(h.erase(2));
    EXPECT_TRUE(h.erase(1) && h.empty());
}

TEST(Cpp, PoolHandlesGiveObjectsBack) {
    krc::pool<std::string> p(2);
    {
        auto a = p.make("long enough not to fit in the string's own buffer");
        auto b = p.make(3, 'x');
        EXPECT_TRUE(a && *b == "xxx" && a->size() > 20 && p.in_use() == 2);
        EXPECT_FALSE(p.make("none left"));
        krc::pool_ptr<std::string> c(std::move(a));
        EXPECT_TRUE(!a && c);
        std::string *kept = b.release();
        EXPECT_EQ(p.in_use(), 2u);
        p.destroy(kept);
    }
    EXPECT_EQ(p.in_use(), 0u);
}

// ---- Exceptions from callables --------------------------------------------

#if defined(__cpp_exceptions)
// Throws on its Nth call and counts the calls made after that.
struct Fuse {
    int n;
    int calls = 0;
    int after = 0;
    bool tick() {
        if (++calls == n)
            throw std::runtime_error("fuse");
        after += calls > n;
        return true;
    }
};
thread_local Fuse *fuse = nullptr;
bool burn() { return fuse == nullptr || fuse->tick(); }

struct fused_less {
    bool operator()(const int *a, const int *b) const {
        burn();
        return *a < *b;
    }
};
struct fused_rec_less {
    bool operator()(const Rec &a, const Rec &b) const {
        burn();
        return a.v < b.v;
    }
};
struct fused_copy {
    int *operator()(const int *a) const {
        burn();
        return int_copy{}(a);
    }
};
struct fused_free {
    void operator()(int *a) const {
        std::free(a);
        burn();
    }
};
struct fused_hash {
    uint32_t operator()(const int &k) const {
        burn();
        return static_cast<uint32_t>(k);
    }
};

// Runs op with a fuse of n; the exception must reach here, and no callable
// may run after the throw unless `keeps_going` (destructors).
template <class Op>
void expect_throw_at(int n, Op op, bool keeps_going = false) {
    Fuse f{n};
    fuse = &f;
    EXPECT_THROW(op(f), std::runtime_error) << "fuse " << n;
    EXPECT_EQ(f.after > 0, keeps_going) << "fuse " << n;
    fuse = nullptr;
}

// Every callable of the list throws in turn on its first, second and third
// call (each operation makes at least three): the exception reaches the
// caller, no call follows it but a destructor's, and the list still holds
// its four elements.  ASan reports any copy, node or sublist left behind.
TEST(Cpp, ExceptionsReachTheCallerWithTheListWhole) {
    int xs[] = {4, 1, 3, 2};
    krc::list<int> l;
    for (int &x : xs)
        ASSERT_TRUE(l.push_back(&x));
    auto tick = [](int *) {
        burn();
        return true;
    };
    const std::vector<std::pair<const char *, std::function<void()>>> ops = {
        {"for_each", [&] { l.for_each(tick); }},
        {"for_each_reversed", [&] { l.for_each_reversed(tick); }},
        {"for_each sep", [&] { l.for_each([](int *) {}, [] { burn(); }); }},
        {"find_if", [&] { l.find_if([](int *) { return !burn(); }); }},
        {"count_if", [&] { l.count_if(tick); }},
        {"filter", [&] { l.filter(tick); }},
        {"filter_out", [&] { l.filter_out(tick); }},
        {"map", [&] { l.map([](int *x) { return burn(), x; }); }},
        {"copy", [&] { l.copy<fused_copy, int_free>(); }},
        {"sort", [&] { l.sort<fused_less>(); }},
    };
    for (int n = 1; n <= 3; ++n) {
        for (const auto &entry : ops) {
            SCOPED_TRACE(entry.first);
            expect_throw_at(n, [&](Fuse &) { entry.second(); });
            V sorted = values(l);
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(sorted, (V{1, 2, 3, 4}));  // some permutation, each element once
        }
        // A destructor still receives every element: nothing is leaked.
        krc::list<int> copies = l.copy<int_copy, int_free>();
        ASSERT_TRUE(copies);
        expect_throw_at(n, [&](Fuse &) { copies.clear(fused_free{}); }, true);
        EXPECT_TRUE(copies.empty());
        copies = l.copy<int_copy, int_free>();
        expect_throw_at(1, [&](Fuse &) { copies.erase(copies.begin(), fused_free{}); });
        EXPECT_EQ(copies.size(), 3u);
        copies.clear(int_free{});
    }
}

TEST(Cpp, ExceptionsLeaveIntrusiveListsWhole) {
    Rec r[6] = {};
    for (int i = 0; i < 6; ++i)
        r[i].v = (i * 5) % 6;
    for (int n = 1; n <= 3; ++n) {  // sorted insertion makes three calls
        krc::slist<Rec, &Rec::link, fused_rec_less> s, other;
        krc::dlist<Rec, &Rec::next, &Rec::prev, fused_rec_less> d;
        for (int i = 0; i < 4; ++i) {
            s.push_back(&r[i]);
            d.push_back(&r[i]);
        }
        other.push_back(&r[4]);
        other.push_back(&r[5]);
        expect_throw_at(n, [&](Fuse &) { s.insert_sorted(&r[5]); }, false);
        expect_throw_at(n, [&](Fuse &) { d.insert_sorted(&r[5]); }, false);
        EXPECT_TRUE(s.size() == 4 && d.size() == 4) << n;  // not linked
        EXPECT_EQ(values(d.reversed()).size(), 4u);
        expect_throw_at(n, [&](Fuse &) { s.sort(); });
        expect_throw_at(n, [&](Fuse &) { s.merge(other); });
        V all = values(s);
        std::sort(all.begin(), all.end());
        EXPECT_TRUE(other.empty() && s.size() == 6 && all == (V{0, 1, 2, 3, 4, 5})) << n;
    }
}

TEST(Cpp, ExceptionsLeaveStoresWhole) {
    krc::hash_map<int, int, fused_hash> h(4);
    static const int keys[] = {1, 2, 3};
    int v = 7;
    ASSERT_TRUE(h.insert(&keys[0], &v));
    for (int n = 1; n <= 2; ++n) {  // the look-up's hash, then the store's
        Fuse f{n};
        fuse = &f;
        EXPECT_THROW(h.insert(&keys[1], &v), std::runtime_error);
        fuse = nullptr;
        EXPECT_TRUE(h.size() == 1 && !h.contains(2) && h.contains(1)) << n;  // not inserted
        EXPECT_TRUE(h.insert(&keys[1], &v) && h.erase(2)) << n;  // the entry went back to the pool
    }
    expect_throw_at(1, [&](Fuse &) { h.erase(1); });
    expect_throw_at(1, [&](Fuse &) { h.find(1); });
    EXPECT_TRUE(h.contains(1));  // not erased

    struct Fragile {
        explicit Fragile(bool fail) {
            if (fail)
                throw std::runtime_error("constructor");
        }
    };
    krc::pool<Fragile> p(1);
    EXPECT_THROW(p.create(true), std::runtime_error);
    EXPECT_THROW(p.make(true), std::runtime_error);
    EXPECT_EQ(p.in_use(), 0u);  // the block was given back
    EXPECT_TRUE(p.make(false));

    int xs[] = {1, 2, 3};
    krc::queue<int> q(3);
    for (int &x : xs)
        ASSERT_TRUE(q.push(&x));
    EXPECT_THROW(q.drain([](int *x) {
        if (*x == 2)
            throw std::runtime_error("drain");
    }),
                 std::runtime_error);
    EXPECT_TRUE(q.size() == 1 && q.front() == &xs[2]);
}

// A wrapper called from inside another's callable has its own slot: the
// inner exception passes through the outer callable and out of the outer call.
TEST(Cpp, NestedCallsKeepTheirOwnExceptions) {
    int xs[] = {1, 2};
    krc::list<int> outer, inner;
    for (int &x : xs)
        ASSERT_TRUE(outer.push_back(&x) && inner.push_back(&x));
    int outer_calls = 0;
    EXPECT_THROW(outer.for_each([&](int *) {
        ++outer_calls;
        inner.count_if([](int *x) -> bool { throw *x; });
    }),
                 int);
    EXPECT_EQ(outer_calls, 1);
    EXPECT_EQ(outer.count_if([](int *) { return true; }), 2u);  // no stale failure left behind
}
#endif

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
