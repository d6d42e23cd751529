#include <libkrc/krqueue.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

using krc_test::AllocScope;

namespace {

// Checks the ring: the count slots after last_get hold `expected` in order,
// every other slot is null.
void expect_ring(const krqueue *q, const std::deque<void *> &expected) {
    ASSERT_EQ(q->count, expected.size());
    std::vector<void *> want(q->capacity, nullptr);
    for (uint32_t k = 0; k < q->count; ++k)
        want[(q->last_get + 1 + k) % q->capacity] = expected[k];
    EXPECT_EQ(std::vector<void *>(q->members, q->members + q->capacity), want);
}

// A queue of either form, released by the matching function.
struct Queue {
    Queue(bool in_place, uint32_t capacity) : buf(in_place ? krqueue_size(capacity) / sizeof(void *) : 0) {
        q = in_place ? krqueue_inplace_new(buf.data(), krqueue_size(capacity), capacity) : krqueue_new(capacity);
    }
    ~Queue() { buf.empty() ? krqueue_free(q, nullptr) : krqueue_inplace_free(q, nullptr); }
    std::vector<void *> buf;  // pointer-aligned in-place storage
    krqueue *q;
};

int items[64];

}  // namespace

TEST(KrqueueSize, HeaderPlusOneSlotEach) {
    EXPECT_EQ(krqueue_size(0), sizeof(krqueue));
    EXPECT_EQ(krqueue_size(10), sizeof(krqueue) + 10 * sizeof(void *));
    EXPECT_EQ(krqueue_size(KRQUEUE_MAX_CAPACITY), sizeof(krqueue) + KRQUEUE_MAX_CAPACITY * uint64_t{sizeof(void *)});
    EXPECT_GT(uint64_t{krqueue_size(KRQUEUE_MAX_CAPACITY)} + sizeof(void *), UINT32_MAX);
    EXPECT_EQ(krqueue_size(KRQUEUE_MAX_CAPACITY + 1), 0u);
    EXPECT_EQ(krqueue_size(UINT32_MAX), 0u);
    if (sizeof(void *) == 4) {
        EXPECT_EQ(krqueue_size(1), 24u);
        EXPECT_EQ(krqueue_size(10), 60u);
        EXPECT_EQ(KRQUEUE_MAX_CAPACITY, 1073741818u);
        EXPECT_EQ(krqueue_size(1073741818), 4294967292u);
    }
}

// Both forms through several full wrap-arounds: every add goes to the slot
// after last_add, every get empties the slot after last_get.
TEST(Krqueue, RingWrapsInBothForms) {
    for (bool in_place : {false, true}) {
        for (uint32_t capacity : {1u, 3u, 5u}) {
            SCOPED_TRACE(testing::Message() << "in_place=" << in_place << " capacity=" << capacity);
            Queue h(in_place, capacity);
            krqueue *q = h.q;
            ASSERT_NE(q, nullptr);
            EXPECT_EQ(q->last_add, capacity - 1);
            EXPECT_EQ(q->last_get, capacity - 1);
            std::deque<void *> model;
            uint32_t next_add = 0, next_get = 0, n = 0;
            for (int round = 0; round < 4; ++round) {
                // Fill (one short of full on odd rounds, so the ends drift), then
                // one refused add, then drain.
                uint32_t fill = capacity - (round % 2 && capacity > 1 ? 1 : 0);
                for (uint32_t k = 0; k < fill; ++k, ++n) {
                    void *e = &items[n % 64];
                    ASSERT_EQ(krqueue_add(q, e), 1);
                    EXPECT_EQ(q->last_add, next_add);
                    EXPECT_EQ(q->members[next_add], e);
                    next_add = (next_add + 1) % capacity;
                    model.push_back(e);
                }
                if (fill == capacity) {
                    EXPECT_EQ(krqueue_add(q, &items[63]), 0);
                }
                expect_ring(q, model);
                while (!model.empty()) {
                    EXPECT_EQ(krqueue_get(q), model.front());
                    EXPECT_EQ(q->last_get, next_get);
                    EXPECT_EQ(q->members[next_get], nullptr);
                    next_get = (next_get + 1) % capacity;
                    model.pop_front();
                }
                EXPECT_EQ(krqueue_get(q), nullptr);
                expect_ring(q, model);
            }
        }
    }
}

TEST(Krqueue, CapacityZeroHeapQueueIsAlwaysFullAndEmpty) {
    AllocScope scope;
    krqueue *q = krqueue_new(0);
    if (q == nullptr)
        GTEST_SKIP() << "calloc(0, n) returned null here";
    EXPECT_EQ(krqueue_add(q, &items[0]), 0);
    EXPECT_EQ(krqueue_get(q), nullptr);
    EXPECT_EQ(q->count, 0u);
    krqueue_free(q, nullptr);
    EXPECT_EQ(scope.live(), 0);
}

TEST(Krqueue, InPlaceUsesExactlyItsSizeAndTouchesNothingBeyond) {
    const uint32_t capacity = 4, size = krqueue_size(capacity);
    std::vector<void *> raw(size / sizeof(void *) + 2);
    auto *bytes = reinterpret_cast<unsigned char *>(raw.data());
    std::memset(bytes, 0xA5, raw.size() * sizeof(void *));
    krqueue *q = krqueue_inplace_new(bytes, size, capacity);
    EXPECT_EQ(static_cast<void *>(q), static_cast<void *>(bytes));
    EXPECT_EQ(reinterpret_cast<unsigned char *>(q->members), bytes + sizeof(krqueue));
    expect_ring(q, {});
    for (size_t k = size; k < raw.size() * sizeof(void *); ++k)
        EXPECT_EQ(bytes[k], 0xA5) << "byte " << k;
    EXPECT_KRC_ASSERT(krqueue_inplace_new(bytes, size - 1, capacity), "src/krqueue.cpp", "krqueue_inplace_new",
                      "memsize >= krqueue_size(capacity)");
}

TEST(Krqueue, ReleaseDrainsOldestFirstThroughDestructor) {
    static std::vector<void *> seen;
    seen.reserve(8);  // no allocation inside the scopes below
    auto record = [](void *e) { seen.push_back(e); };
    for (bool in_place : {false, true}) {
        AllocScope scope;
        Queue h(in_place, 4);
        krqueue_add(h.q, &items[8]);  // move the ring on, so the drain crosses the array's end
        krqueue_get(h.q);
        for (int k = 0; k < 4; ++k)
            krqueue_add(h.q, &items[k]);
        seen.clear();
        krqueue_inplace_free(h.q, nullptr);  // a null destructor: nothing at all
        krqueue_inplace_free(nullptr, record);
        EXPECT_EQ(h.q->count, 4u);
        if (in_place) {
            krqueue_inplace_free(h.q, record);
            EXPECT_EQ(h.q->count, 0u);
            EXPECT_EQ(h.q->last_get, 0u);                // where the draining left it
            EXPECT_EQ(krqueue_add(h.q, &items[5]), 1);  // and usable again
        } else {
            krqueue_free(h.q, record);
            h.q = nullptr;
            EXPECT_EQ(scope.live(), 0);
        }
        EXPECT_EQ(seen, (std::vector<void *>{&items[0], &items[1], &items[2], &items[3]}));
    }
    // With no destructor the heap queue's storage goes and the elements stay.
    int owned = 7;
    AllocScope scope;
    krqueue *q = krqueue_new(2);
    krqueue_add(q, &owned);
    krqueue_free(q, nullptr);
    EXPECT_EQ(owned, 7);
    EXPECT_EQ(scope.live(), 0);
}

TEST(Krqueue, AllocationFailureLeavesNothing) {
    for (uint32_t capacity : {0u, 1u, 100u}) {
        long failures = krc_test::sweep_alloc_failures([&](long k) {
            krqueue *q = krqueue_new(capacity);
            EXPECT_EQ(q == nullptr, k < 2) << "capacity " << capacity << ", failing allocation " << k;
            krqueue_free(q, nullptr);
        });
        EXPECT_EQ(failures, 2) << "capacity " << capacity;
    }
}

TEST(Krqueue, OversizedCapacityIsRefusedBeforeAllocating) {
    for (uint32_t capacity : {KRQUEUE_MAX_CAPACITY + 1, UINT32_MAX}) {
        AllocScope scope;
        EXPECT_EQ(krqueue_new(capacity), nullptr);
        EXPECT_EQ(scope.allocations(), 0);
    }
    AllocScope scope(0);  // the largest capacity gets as far as the heap
    EXPECT_EQ(krqueue_new(KRQUEUE_MAX_CAPACITY), nullptr);
    EXPECT_EQ(scope.allocations(), 1);
}

TEST(KrqueueDeath, Preconditions) {
    int x;
    void *buf[8];
    krqueue *full = krqueue_inplace_new(buf, sizeof buf, 1);
    krqueue_add(full, &x);
    void *cbuf[8];
    krqueue *corrupt = krqueue_inplace_new(cbuf, sizeof cbuf, 3);
    struct Case {
        std::function<void()> run;
        const char *func, *expr;
    } cases[] = {
        {[&] { krqueue_inplace_new(nullptr, 64, 1); }, "krqueue_inplace_new", "mem != NULL"},
        {[&] { krqueue_inplace_new(buf, 0, 0); }, "krqueue_inplace_new", "memsize > 0"},
        {[&] { krqueue_inplace_new(buf, 1, 0); }, "krqueue_inplace_new", "capacity > 0"},
        {[&] { krqueue_inplace_new(buf, UINT32_MAX, KRQUEUE_MAX_CAPACITY + 1); }, "krqueue_inplace_new",
         "capacity <= KRQUEUE_MAX_CAPACITY"},
        {[&] { krqueue_inplace_new(buf, 1, 1); }, "krqueue_inplace_new", "memsize >= krqueue_size(capacity)"},
        {[&] { krqueue_add(nullptr, nullptr); }, "krqueue_add", "p != NULL"},
        {[&] { krqueue_add(full, nullptr); }, "krqueue_add", "elem != NULL"},  // before the full test
        {[&] { corrupt->members[0] = &x; krqueue_add(corrupt, &x); }, "krqueue_add", "p->members[i] == NULL"},
        {[&] { krqueue_get(nullptr); }, "krqueue_get", "p != NULL"},
        {[&] { corrupt->count = 1; krqueue_get(corrupt); }, "krqueue_get", "elem != NULL"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expr);
        EXPECT_KRC_ASSERT(c.run(), "src/krqueue.cpp", c.func, c.expr);
    }
}

// Random adds and gets on queues of random capacity and form against a
// bounded std::deque.
TEST(Krqueue, RandomisedAgainstDeque) {
    const unsigned seed = 20261206;
    std::printf("krqueue model seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int run = 0; run < 40; ++run) {
        uint32_t capacity = 1 + rng() % 9;
        Queue h(run % 2, capacity);
        std::deque<void *> model;
        for (int step = 0; step < 300; ++step) {
            if (rng() % 2) {
                void *e = &items[rng() % 64];
                int added = krqueue_add(h.q, e);
                ASSERT_EQ(added, model.size() < capacity ? 1 : 0);
                if (added)
                    model.push_back(e);
            } else {
                void *want = model.empty() ? nullptr : model.front();
                ASSERT_EQ(krqueue_get(h.q), want);
                if (want)
                    model.pop_front();
            }
            expect_ring(h.q, model);
        }
    }
}
