#include <libkrc/mempool.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "alloc_fault.h"
#include "death.h"

TEST(Mempool, EachAllocationFailsInTurnLeavingNothing) {
    EXPECT_EQ(3, krc_test::sweep_alloc_failures([](long k) {
        mempool *pool = mempool_create(3, 16);
        EXPECT_EQ(pool == nullptr, k < 3) << "failing allocation " << k;
        mempool_destroy(pool);
    }));
}

TEST(MempoolDeath, Preconditions) {
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

// Random hand-outs and give-backs against a LIFO stack, first in address order; blocks keep their bytes.
TEST(Mempool, RandomisedAgainstStackModel) {
    std::printf("mempool model seed %u\n", 20261206u);
    std::mt19937 rng(20261206u);
    const uint32_t n = 7, size = 3;
    mempool *pool = mempool_create(n, size);
    std::vector<std::pair<uint8_t *, uint8_t>> free_blocks, out;  // each block with its fill byte
    for (uint32_t i = n; i-- > 0;)
        free_blocks.push_back({pool->elements + i * size, 0});  // never handed out: zero
    for (int step = 1; step < 3000; ++step) {
        if (free_blocks.empty() || (rng() % 2 && !out.empty())) {
            ASSERT_TRUE(!free_blocks.empty() || mempool_alloc(pool) == nullptr);  // none left to hand out
            mempool_free(pool, nullptr);                                          // ignored
            std::swap(out[rng() % out.size()], out.back());
            mempool_free(pool, out.back().first);
            free_blocks.push_back(out.back());
            out.pop_back();
        } else {
            auto *got = static_cast<uint8_t *>(mempool_alloc(pool));
            ASSERT_EQ(got, free_blocks.back().first) << "step " << step;
            ASSERT_EQ(std::vector<uint8_t>(got, got + size), std::vector<uint8_t>(size, free_blocks.back().second));
            std::memset(got, step & 0xFF, size);
            out.push_back({got, static_cast<uint8_t>(step)});
            free_blocks.pop_back();
        }
    }
    mempool_destroy(pool);
}
