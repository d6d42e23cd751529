#include <libkrc/krqueue.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

using krc_test::AllocScope;

namespace {

// Checks the ring: last_add is count slots after last_get, the count slots
// after last_get hold `expected` in order, every other slot is null.
void expect_ring(const krqueue *q, const std::deque<void *> &expected) {
    ASSERT_EQ(q->count, expected.size());
    EXPECT_EQ(q->last_add, (q->last_get + q->count) % q->capacity);
    std::vector<void *> want(q->capacity, nullptr);
    for (uint32_t k = 0; k < q->count; ++k)
        want[(q->last_get + 1 + k) % q->capacity] = expected[k];
    EXPECT_EQ(std::vector<void *>(q->members, q->members + q->capacity), want);
}

int items[64];
std::vector<void *> seen;
void record(void *e) { seen.push_back(e); }

}  // namespace

TEST(Krqueue, SizeAndCapacityLimits) {
    EXPECT_EQ(krqueue_size(10), sizeof(krqueue) + 10 * sizeof(void *));
    EXPECT_EQ(krqueue_size(KRQUEUE_MAX_CAPACITY), sizeof(krqueue) + KRQUEUE_MAX_CAPACITY * uint64_t{sizeof(void *)});
    EXPECT_GT(uint64_t{krqueue_size(KRQUEUE_MAX_CAPACITY)} + sizeof(void *), UINT32_MAX);
    EXPECT_TRUE(sizeof(void *) != 4 || KRQUEUE_MAX_CAPACITY == 1073741818u);
    for (uint32_t capacity : {KRQUEUE_MAX_CAPACITY + 1, UINT32_MAX}) {
        AllocScope scope;
        EXPECT_EQ(krqueue_size(capacity), 0u);
        EXPECT_EQ(krqueue_new(capacity), nullptr);
        EXPECT_EQ(scope.allocations(), 0);  // refused before allocating
    }
    {
        AllocScope scope(0);  // the largest capacity gets as far as the heap
        EXPECT_EQ(krqueue_new(KRQUEUE_MAX_CAPACITY), nullptr);
        EXPECT_EQ(scope.allocations(), 1);
    }
    krqueue *q = krqueue_new(0);  // always full and empty (calloc(0, n) may give null)
    EXPECT_TRUE(q == nullptr || (krqueue_add(q, &items[0]) == 0 && krqueue_get(q) == nullptr));
    krqueue_free(q, record);
}

// Both forms: release drains oldest first across the array's end; a null
// destructor or queue does nothing; a drained in-place queue is usable again.
// The in-place queue gets exactly krqueue_size bytes of a dirty buffer and
// writes nothing beyond them (one byte fewer fails: see the death test).
TEST(Krqueue, ReleaseAndInPlaceLayout) {
    seen.reserve(8);  // no allocation inside the scopes below
    const std::vector<void *> want = {&items[0], &items[1], &items[2], &items[3]};
    void *buf[16];
    std::memset(buf, 0xA5, sizeof buf);
    for (bool in_place : {false, true}) {
        AllocScope scope;
        krqueue *q = in_place ? krqueue_inplace_new(buf, krqueue_size(4), 4) : krqueue_new(4);
        void **members = buf + sizeof(krqueue) / sizeof(void *);  // right after the header
        EXPECT_TRUE(!in_place || (static_cast<void *>(q) == buf && q->members == members));
        krqueue_add(q, &items[8]);
        krqueue_get(q);
        for (int k = 0; k < 4; ++k)
            krqueue_add(q, &items[k]);
        seen.clear();
        krqueue_inplace_free(q, nullptr);
        krqueue_inplace_free(nullptr, record);
        krqueue_free(nullptr, record);
        EXPECT_EQ(q->count, 4u);
        if (in_place) {
            krqueue_inplace_free(q, record);
            EXPECT_EQ(q->last_get, 0u);  // where the draining left it
            EXPECT_EQ(krqueue_add(q, &items[5]), 1);
            for (size_t k = krqueue_size(4); k < sizeof buf; ++k)
                EXPECT_EQ(reinterpret_cast<unsigned char *>(buf)[k], 0xA5) << "byte " << k;
        } else {
            krqueue_free(q, record);
            q = krqueue_new(1);  // with no destructor the storage goes, the elements stay
            krqueue_add(q, &items[5]);
            krqueue_free(q, nullptr);
        }
        EXPECT_EQ(seen, want);
        EXPECT_EQ(scope.live(), 0);
    }
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

TEST(KrqueueDeath, Preconditions) {
    int x;
    void *buf[8], *cbuf[8];
    krqueue *full = krqueue_inplace_new(buf, sizeof buf, 1), *bad = krqueue_inplace_new(cbuf, sizeof cbuf, 3);
    krqueue_add(full, &x);
    const char *f = "src/krqueue.cpp", *in = "krqueue_inplace_new";
    EXPECT_KRC_ASSERT(krqueue_inplace_new(nullptr, 64, 1), f, in, "mem != NULL");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 0, 0), f, in, "memsize > 0");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 1, 0), f, in, "capacity > 0");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, UINT32_MAX, KRQUEUE_MAX_CAPACITY + 1), f, in,
                      "capacity <= KRQUEUE_MAX_CAPACITY");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, krqueue_size(4) - 1, 4), f, in, "memsize >= krqueue_size(capacity)");
    EXPECT_KRC_ASSERT(krqueue_add(nullptr, nullptr), f, "krqueue_add", "p != NULL");
    EXPECT_KRC_ASSERT(krqueue_add(full, nullptr), f, "krqueue_add", "elem != NULL");  // before the full test
    EXPECT_KRC_ASSERT((bad->members[0] = &x, krqueue_add(bad, &x)), f, "krqueue_add", "p->members[i] == NULL");
    EXPECT_KRC_ASSERT(krqueue_get(nullptr), f, "krqueue_get", "p != NULL");
    EXPECT_KRC_ASSERT((bad->count = 1, krqueue_get(bad)), f, "krqueue_get", "elem != NULL");
}

// Random adds and gets on both forms, capacities 1 to 9, against a bounded
// std::deque: the ring is checked after every step, through many wrap-arounds.
TEST(Krqueue, RandomisedRingAgainstDeque) {
    const unsigned seed = 20261206;
    std::printf("krqueue model seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int run = 0; run < 40; ++run) {
        uint32_t capacity = run < 2 ? 1 : 1 + rng() % 9;
        std::vector<void *> buf(krqueue_size(capacity) / sizeof(void *));  // exactly the size
        krqueue *q = run % 2 ? krqueue_inplace_new(buf.data(), krqueue_size(capacity), capacity)
                             : krqueue_new(capacity);
        ASSERT_EQ(q->last_get, capacity - 1);  // the first element goes into slot 0
        std::deque<void *> model;
        for (int step = 0; step < 300; ++step) {
            if (rng() % 2) {
                void *e = &items[rng() % 64];
                int added = krqueue_add(q, e);
                ASSERT_EQ(added, model.size() < capacity ? 1 : 0);
                if (added)
                    model.push_back(e);
            } else {
                ASSERT_EQ(krqueue_get(q), model.empty() ? nullptr : model.front());
                if (!model.empty())
                    model.pop_front();
            }
            expect_ring(q, model);
        }
        if (run % 2 == 0)
            krqueue_free(q, nullptr);
    }
}
