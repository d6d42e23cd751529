// SPDX-License-Identifier: MIT
#include <libkrc/krqueue.h>


#include "alloc_fault.h"
#include "death.h"

// The largest capacity is attempted (its first allocation is failed here), larger ones are refused
// before allocating anything.
TEST(Krqueue, CapacityLimitAndAllocationFailure) {
    EXPECT_EQ(2, krc_test::sweep_alloc_failures([](long k) {
        krqueue *q = krqueue_new(5);
        EXPECT_EQ(q == nullptr, k < 2) << "failing allocation " << k;
        krqueue_free(q, nullptr);
    }));
    for (uint32_t capacity : {KRQUEUE_MAX_CAPACITY, KRQUEUE_MAX_CAPACITY + 1, UINT32_MAX}) {
        const bool fits = capacity == KRQUEUE_MAX_CAPACITY;
        krc_test::AllocScope fail_first(0);
        EXPECT_EQ(krqueue_new(capacity), nullptr);
        EXPECT_EQ(fail_first.allocations(), fits ? 1 : 0) << capacity;
        EXPECT_EQ(krqueue_size(capacity) != 0, fits) << capacity;
    }
    krqueue_free(nullptr, nullptr);
    krqueue_inplace_free(nullptr, [](void *) { ADD_FAILURE(); });
}

// The size macro sizes storage at compile time and agrees with the function everywhere.
static_assert(KRQUEUE_SIZE(1) == (sizeof(void *) == 4 ? 24u : 32u), "header and one slot");
TEST(Krqueue, SizeMacroIsTheFunction) {
    for (uint32_t capacity : {0u, 1u, 2u, 64u, 1000u, KRQUEUE_MAX_CAPACITY, KRQUEUE_MAX_CAPACITY + 1, UINT32_MAX})
        EXPECT_EQ(KRQUEUE_SIZE(capacity), krqueue_size(capacity)) << capacity;
}

TEST(KrqueueDeathTest, Preconditions) {
    void *buf[8], *x = &buf[0];
    krqueue *q = krqueue_inplace_new(buf, sizeof buf, 3);
    const char *f = "src/krqueue.cpp", *in = "krqueue_inplace_new";
    const uint32_t max = KRQUEUE_MAX_CAPACITY;
    EXPECT_KRC_ASSERT(krqueue_inplace_new(nullptr, 64, 1), f, in, "mem != NULL");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 0, 0), f, in, "memsize > 0");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 1, 0), f, in, "capacity > 0");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, 1, max + 1), f, in, "capacity <= KRQUEUE_MAX_CAPACITY");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, krqueue_size(max) - 1, max), f, in, "memsize >= krqueue_size(capacity)");
    EXPECT_KRC_ASSERT(krqueue_inplace_new(buf, krqueue_size(4) - 1, 4), f, in, "memsize >= krqueue_size(capacity)");
    EXPECT_KRC_ASSERT(krqueue_add(nullptr, x), f, "krqueue_add", "p != NULL");
    EXPECT_KRC_ASSERT((q->count = q->capacity, krqueue_add(q, nullptr)), f, "krqueue_add", "elem != NULL");  // before the full test
    EXPECT_KRC_ASSERT((q->members[0] = x, krqueue_add(q, x)), f, "krqueue_add", "p->members[i] == NULL");
    EXPECT_KRC_ASSERT(krqueue_get(nullptr), f, "krqueue_get", "p != NULL");
    EXPECT_KRC_ASSERT((q->count = 1, krqueue_get(q)), f, "krqueue_get", "elem != NULL");
}
