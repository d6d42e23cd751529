#include <libkrc/mempool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

using krc_test::AllocScope;

TEST(Mempool, FreshPoolHandsOutAscendingZeroedBlocks) {
    struct Shape {
        uint32_t n, size;
    } shapes[] = {{3, 16}, {1, 1}, {5, 1}, {4, 7}};
    for (const Shape &s : shapes) {
        SCOPED_TRACE(testing::Message() << s.n << " x " << s.size);
        mempool *pool = mempool_create(s.n, s.size);
        ASSERT_NE(pool, nullptr);
        for (uint32_t i = 0; i < s.n; ++i) {
            auto *block = static_cast<uint8_t *>(mempool_alloc(pool));
            ASSERT_EQ(block, pool->elements + i * s.size);
            EXPECT_EQ(pool->nallocated, i + 1);
            for (uint32_t b = 0; b < s.size; ++b)
                ASSERT_EQ(block[b], 0);
            std::fill(block, block + s.size, 0xEE);
        }
        EXPECT_EQ(mempool_alloc(pool), nullptr);
        EXPECT_EQ(pool->nallocated, s.n);
        mempool_destroy(pool);
    }
}

TEST(Mempool, GivenBackBlocksComeBackLastInFirstOut) {
    mempool *pool = mempool_create(3, 16);
    ASSERT_NE(pool, nullptr);
    uint8_t *blk[3] = {pool->elements, pool->elements + 16, pool->elements + 32};
    void *a = mempool_alloc(pool), *b = mempool_alloc(pool);
    mempool_free(pool, a);
    EXPECT_EQ(mempool_alloc(pool), a);
    EXPECT_EQ(mempool_alloc(pool), blk[2]);
    mempool_free(pool, blk[2]);
    mempool_free(pool, b);
    mempool_free(pool, a);
    EXPECT_EQ(pool->nallocated, 0u);
    for (void *want : {a, b, (void *)blk[2], (void *)nullptr})
        EXPECT_EQ(mempool_alloc(pool), want);
    mempool_destroy(pool);

    pool = mempool_create(1, 8);
    ASSERT_NE(pool, nullptr);
    void *only = mempool_alloc(pool);
    EXPECT_EQ(only, pool->elements);
    EXPECT_EQ(mempool_alloc(pool), nullptr);
    mempool_free(pool, only);
    EXPECT_EQ(mempool_alloc(pool), only);
    mempool_destroy(pool);
}

TEST(Mempool, NullBlockIsIgnoredAndDestroyFreesAll) {
    AllocScope scope;
    mempool *pool = mempool_create(2, 4);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(scope.allocations(), 3);
    mempool_free(pool, nullptr);  // even with nothing out
    EXPECT_EQ(pool->nallocated, 0u);
    mempool_alloc(pool);
    mempool_free(pool, nullptr);
    EXPECT_EQ(pool->nallocated, 1u);
    mempool_destroy(pool);  // with a block still out
    mempool_destroy(nullptr);
    EXPECT_EQ(scope.live(), 0);
}

TEST(Mempool, AllocationFailureLeavesNothing) {
    long failures = krc_test::sweep_alloc_failures([](long k) {
        mempool *pool = mempool_create(3, 16);
        EXPECT_EQ(pool == nullptr, k < 3) << "failing allocation " << k;
        mempool_destroy(pool);
    });
    EXPECT_EQ(failures, 3);
}

// Sizes whose arena or stack would not fit in 32 bits are refused before any
// allocation; the largest that fit get as far as the heap (whose first
// allocation is failed here, so nothing big is ever allocated).
TEST(Mempool, OversizedPoolsAreRefusedBeforeAllocating) {
    const uint32_t max_slots = UINT32_MAX / sizeof(void *);
    struct Case {
        uint32_t n, size;
        long allocations;
    } cases[] = {
        {65536, 65537, 0}, {65535, 65537, 1},  // arena 4294967296 and 4294967295 bytes
        {UINT32_MAX, 1, 0},  // arena fits, stack does not
        {max_slots + 1, 1, 0}, {max_slots, 1, 1},
        {1, UINT32_MAX, 1},
    };
    for (const Case &c : cases) {
        AllocScope scope(0);
        EXPECT_EQ(mempool_create(c.n, c.size), nullptr);
        EXPECT_EQ(scope.allocations(), c.allocations) << c.n << " x " << c.size;
    }
}

TEST(MempoolDeath, Preconditions) {
    mempool *pool = mempool_create(2, 8);
    ASSERT_NE(pool, nullptr);
    int x;
    struct Case {
        std::function<void()> run;
        const char *func, *expr;
    } cases[] = {
        {[] { mempool_create(0, 0); }, "mempool_create", "nelements > 0"},
        {[] { mempool_create(1, 0); }, "mempool_create", "elementsize > 0"},
        {[] { mempool_alloc(nullptr); }, "mempool_alloc", "pool != NULL"},
        {[&] { pool->stack[0] = nullptr; mempool_alloc(pool); }, "stack_pop", "element != STACK_SENTINEL"},
        {[&] { mempool_free(nullptr, &x); }, "mempool_free", "pool != NULL"},
        {[&] { mempool_free(pool, &x); }, "mempool_free", "pool->nallocated > 0"},
        {[&] { void *a = mempool_alloc(pool); pool->stack[0] = &x; mempool_free(pool, a); }, "stack_push",
         "pool->stack[pool->nallocated] == STACK_SENTINEL"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.expr);
        EXPECT_KRC_ASSERT(c.run(), "src/mempool.cpp", c.func, c.expr);
    }
    mempool_destroy(pool);
}

// Random hand-outs and give-backs against a std::vector stack of free
// blocks.  Each block handed out is stamped; the stamp must still be there
// the next time the block is handed out (blocks are never cleared).
TEST(Mempool, RandomisedAgainstStackModel) {
    const unsigned seed = 20261206;
    std::printf("mempool model seed %u\n", seed);
    std::mt19937 rng(seed);
    for (int run = 0; run < 20; ++run) {
        uint32_t n = 1 + rng() % 12, size = 4 + rng() % 9;
        mempool *pool = mempool_create(n, size);
        ASSERT_NE(pool, nullptr);
        std::vector<void *> free_blocks, out;
        for (uint32_t i = n; i-- > 0;)
            free_blocks.push_back(pool->elements + i * size);  // top at the back
        std::map<void *, uint32_t> stamp;  // last value written into each block
        for (uint32_t step = 1; step <= 400; ++step) {
            if (rng() % 2) {
                void *want = free_blocks.empty() ? nullptr : free_blocks.back();
                void *got = mempool_alloc(pool);
                ASSERT_EQ(got, want);
                if (!got)
                    continue;
                free_blocks.pop_back();
                uint32_t now;
                std::memcpy(&now, got, sizeof now);
                ASSERT_EQ(now, stamp.count(got) ? stamp[got] : 0u);
                std::memcpy(got, &step, sizeof step);
                stamp[got] = step;
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
