#include <libkrc/mempool.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

using krc_test::AllocScope;

// Ascending hand-out, the block given back last is the next out, a null
// block is ignored (even with nothing out), destroy frees all with blocks out.
TEST(Mempool, HandOutOrderReuseAndDestroy) {
    AllocScope scope;
    mempool *pool = mempool_create(3, 16);
    ASSERT_NE(pool, nullptr);
    uint8_t *e = pool->elements, *want[] = {e + 16, e, e + 32, nullptr};
    mempool_free(pool, nullptr);
    void *a = mempool_alloc(pool), *b = mempool_alloc(pool);
    EXPECT_TRUE(a == e && b == e + 16);
    mempool_free(pool, a);
    mempool_free(pool, nullptr);
    mempool_free(pool, b);
    EXPECT_EQ(pool->nallocated, 0u);
    for (uint8_t *w : want)
        EXPECT_EQ(mempool_alloc(pool), w);
    mempool_destroy(pool);
    mempool_destroy(nullptr);
    EXPECT_EQ(scope.live(), 0);
}

// Every allocation of mempool_create fails in turn.  Pools whose arena or
// stack would not fit in 32 bits are refused before allocating; the largest
// that fit get as far as the heap (failed there: nothing big is allocated).
TEST(Mempool, AllocationFailureAndSizeLimits) {
    long failures = krc_test::sweep_alloc_failures([](long k) {
        mempool *pool = mempool_create(3, 16);
        EXPECT_EQ(pool == nullptr, k < 3) << "failing allocation " << k;
        mempool_destroy(pool);
    });
    EXPECT_EQ(failures, 3);
    const uint32_t max_slots = UINT32_MAX / sizeof(void *);
    const struct { uint32_t n, size; long allocations; } cases[] = {
        {65536, 65537, 0}, {65535, 65537, 1},  // arena 4294967296 and 4294967295 bytes
        {UINT32_MAX, 1, 0},                     // arena fits, stack does not
        {max_slots + 1, 1, 0}, {max_slots, 1, 1}, {1, UINT32_MAX, 1},
    };
    for (const auto &c : cases) {
        AllocScope scope(0);
        EXPECT_EQ(mempool_create(c.n, c.size), nullptr);
        EXPECT_EQ(scope.allocations(), c.allocations) << c.n << " x " << c.size;
    }
}

TEST(MempoolDeath, Preconditions) {
    mempool *pool = mempool_create(2, 8);
    ASSERT_NE(pool, nullptr);
    int x;
    const char *f = "src/mempool.cpp";
    EXPECT_KRC_ASSERT(mempool_create(0, 0), f, "mempool_create", "nelements > 0");
    EXPECT_KRC_ASSERT(mempool_create(1, 0), f, "mempool_create", "elementsize > 0");
    EXPECT_KRC_ASSERT(mempool_alloc(nullptr), f, "mempool_alloc", "pool != NULL");
    EXPECT_KRC_ASSERT((pool->stack[0] = nullptr, mempool_alloc(pool)), f, "stack_pop", "element != STACK_SENTINEL");
    EXPECT_KRC_ASSERT(mempool_free(nullptr, &x), f, "mempool_free", "pool != NULL");
    EXPECT_KRC_ASSERT(mempool_free(pool, &x), f, "mempool_free", "pool->nallocated > 0");
    EXPECT_KRC_ASSERT((mempool_alloc(pool), pool->stack[0] = &x, mempool_free(pool, &x)), f, "stack_push",
                      "pool->stack[pool->nallocated] == STACK_SENTINEL");
    mempool_destroy(pool);
}

// Random hand-outs and give-backs against a std::vector stack of free blocks.
// Every block handed out is filled with a fresh mark, which must still be
// there the next time it is handed out (blocks are never cleared); a block
// handed out for the first time must be all zero.
TEST(Mempool, RandomisedAgainstStackModel) {
    const unsigned seed = 20261206;
    std::printf("mempool model seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int run = 0; run < 20; ++run) {
        uint32_t n = run ? 1 + rng() % 12 : 1, size = run ? 1 + rng() % 12 : 1;
        mempool *pool = mempool_create(n, size);
        ASSERT_NE(pool, nullptr);
        std::vector<uint8_t *> free_blocks, out;
        for (uint32_t i = n; i-- > 0;)
            free_blocks.push_back(pool->elements + i * size);  // top at the back
        std::map<uint8_t *, uint8_t> mark;  // what each block was last filled with
        for (uint32_t step = 0; step < 400; ++step) {
            if (rng() % 2) {
                auto *got = static_cast<uint8_t *>(mempool_alloc(pool));
                ASSERT_EQ(got, free_blocks.empty() ? nullptr : free_blocks.back());
                if (!got)
                    continue;
                free_blocks.pop_back();
                ASSERT_EQ(std::vector<uint8_t>(got, got + size), std::vector<uint8_t>(size, mark[got]));
                mark[got] = static_cast<uint8_t>(1 + step % 255);
                std::fill(got, got + size, mark[got]);
                out.push_back(got);
            } else if (!out.empty()) {
                size_t k = rng() % out.size();
                mempool_free(pool, out[k]);
                free_blocks.push_back(out[k]);
                out.erase(out.begin() + static_cast<long>(k));
            }
            ASSERT_EQ(pool->nallocated, out.size());
        }
        mempool_destroy(pool);
    }
}
