// SPDX-License-Identifier: MIT
#include <libkrc/mempool.h>


#include "alloc_fault.h"
#include "death.h"

// An arena or stack of exactly 4294967295 bytes or less is attempted (its first allocation is
// failed here); one byte more is refused before allocating anything.
TEST(Mempool, SizeLimitsAndAllocationFailure) {
    EXPECT_EQ(3, krc_test::sweep_alloc_failures([](long k) {
        mempool *pool = mempool_create(3, 16);
        EXPECT_EQ(pool == nullptr, k < 3) << "failing allocation " << k;
        mempool_destroy(pool);
    }));
    const uint32_t most_pointers = UINT32_MAX / sizeof(void *);
    const struct { uint32_t n, size; bool fits; } cases[] = {
        {1, UINT32_MAX, true},  {3, UINT32_MAX / 3, true},  {2, 0x80000000u, false}, {UINT32_MAX, UINT32_MAX, false},
        {most_pointers, 1, true}, {most_pointers + 1, 1, false},
    };
    for (const auto &c : cases) {
        krc_test::AllocScope fail_first(0);
        EXPECT_EQ(mempool_create(c.n, c.size), nullptr);
        EXPECT_EQ(fail_first.allocations(), c.fits) << c.n << " blocks of " << c.size;
    }
    mempool_destroy(nullptr);
}

TEST(MempoolDeathTest, Preconditions) {
    mempool *pool = mempool_create(2, 8);
    const char *f = "src/mempool.cpp";
    EXPECT_KRC_ASSERT(mempool_create(0, 0), f, "mempool_create", "nelements > 0");
    EXPECT_KRC_ASSERT(mempool_create(1, 0), f, "mempool_create", "elementsize > 0");
    EXPECT_KRC_ASSERT(mempool_alloc(nullptr), f, "mempool_alloc", "pool != NULL");
    EXPECT_KRC_ASSERT((pool->stack[0] = nullptr, mempool_alloc(pool)), f, "stack_pop", "element != STACK_SENTINEL");
    EXPECT_KRC_ASSERT(mempool_free(nullptr, pool), f, "mempool_free", "pool != NULL");
    EXPECT_KRC_ASSERT(mempool_free(pool, pool), f, "mempool_free", "pool->nallocated > 0");
    EXPECT_KRC_ASSERT((mempool_alloc(pool), pool->stack[0] = pool, mempool_free(pool, pool)), f, "stack_push",
                      "pool->stack[pool->nallocated] == STACK_SENTINEL");
    mempool_destroy(pool);
}
