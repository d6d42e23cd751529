#include <libkrc/krqueue.h>

#include <cstdio>
#include <deque>
#include <random>
#include <vector>

#include "alloc_fault.h"
#include "death.h"

static int items[8];
static std::vector<void *> seen;
static void record(void *e) { seen.push_back(e); }

TEST(Krqueue, AllocationFailureAndCapacityLimits) {
    EXPECT_EQ(2, krc_test::sweep_alloc_failures([](long k) {
        krqueue *q = krqueue_new(0);  // always full and empty
        EXPECT_EQ(q == nullptr, k < 2) << "failing allocation " << k;
        EXPECT_TRUE(q == nullptr || (krqueue_add(q, &items[0]) == 0 && krqueue_get(q) == nullptr));
        krqueue_free(q, nullptr);
    }));
    krc_test::AllocScope scope;
    for (uint32_t capacity : {KRQUEUE_MAX_CAPACITY + 1, UINT32_MAX})
        EXPECT_TRUE(krqueue_size(capacity) == 0 && krqueue_new(capacity) == nullptr) << capacity;
    EXPECT_EQ(scope.allocations(), 0);  // oversized capacities are refused before allocating
}

TEST(KrqueueDeath, Preconditions) {
    void *buf[8], *x = &items[0];
    krqueue *q = krqueue_inplace_new(buf, sizeof buf, 3);
    const char *f = "src/krqueue.cpp", *in = "krqueue_inplace_new";
    EXPECT_KRC_ASSERT(krqueue_inplace_new(nullptr, 64, 1), f, in, "mem != NULL");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 0, 0), f, in, "memsize > 0");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 1, 0), f, in, "capacity > 0");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 1, KRQUEUE_MAX_CAPACITY + 1), f, in, "capacity <= KRQUEUE_MAX_CAPACITY");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, krqueue_size(4) - 1, 4), f, in, "memsize >= krqueue_size(capacity)");
    EXPECT_KRC_ASSERT(krqueue_add(nullptr, x), f, "krqueue_add", "p != NULL");
    EXPECT_KRC_ASSERT((q->count = q->capacity, krqueue_add(q, nullptr)), f, "krqueue_add", "elem != NULL");  // before the full test
    EXPECT_KRC_ASSERT((q->members[0] = x, krqueue_add(q, x)), f, "krqueue_add", "p->members[i] == NULL");
    EXPECT_KRC_ASSERT(krqueue_get(nullptr), f, "krqueue_get", "p != NULL");
    EXPECT_KRC_ASSERT((q->count = 1, krqueue_get(q)), f, "krqueue_get", "elem != NULL");
}

// Capacity 3: a, b, c fill slots 0-2, d is refused, a comes out, d goes into slot 0.
TEST(Krqueue, RingAgainstDeque) {
    krqueue *w = krqueue_new(3);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(krqueue_add(w, &items[k]), k < 3);
    EXPECT_TRUE(krqueue_get(w) == &items[0] && krqueue_add(w, &items[3]) == 1);
    EXPECT_TRUE(w->members[0] == &items[3] && w->members[1] == &items[1] && w->last_add == 0 && w->last_get == 0);
    krqueue_free(w, nullptr);
    // Then random runs on both forms (in-place in exactly krqueue_size bytes), drained oldest first.
    std::printf("krqueue model seed %u\n", 20261206u);
    std::mt19937 rng(20261206u);
    for (int run = 0; run < 40; ++run) {
        uint32_t cap = run < 2 ? 1 : 1 + rng() % 9;
        std::vector<void *> buf(krqueue_size(cap) / sizeof(void *));
        krqueue *q = run % 2 ? krqueue_inplace_new(buf.data(), krqueue_size(cap), cap) : krqueue_new(cap);
        std::deque<void *> model;
        for (int step = 0; step < 300; ++step) {
            if (rng() % 2) {
                ASSERT_EQ(krqueue_get(q), model.empty() ? nullptr : model.front());
                if (!model.empty())
                    model.pop_front();
            } else {
                ASSERT_EQ(krqueue_add(q, &items[step % 8]), model.size() < cap ? 1 : 0);
                if (model.size() < cap)
                    model.push_back(&items[step % 8]);
            }
            for (uint32_t k = 0; k < cap; ++k)
                ASSERT_EQ(q->members[(q->last_get + 1 + k) % cap], k < model.size() ? model[k] : nullptr) << step;
            ASSERT_TRUE(q->count == model.size() && q->last_add == (q->last_get + q->count) % cap);
        }
        seen.clear();
        run % 2 ? krqueue_inplace_free(q, record) : krqueue_free(q, record);
        ASSERT_EQ(seen, std::vector<void *>(model.begin(), model.end()));
    }
}
