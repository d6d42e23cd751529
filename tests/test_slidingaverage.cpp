// SPDX-License-Identifier: MIT
#include <libkrc/slidingaverage.h>

#include <cstdint>
#include <vector>

#include "alloc_fault.h"
#include "death.h"

constexpr uint32_t kMax = UINT32_MAX, kStruct = SLIDINGAVERAGE_SIZE(0);
const char kFile[] = "src/slidingaverage.cpp", kInPlace[] = "SlidingAverage_inplace_create";

// Worked examples that pin the arithmetic: the variance is taken about the mean's integer part.
TEST(SlidingAverage, WorkedExamples) {
    const struct { uint32_t window; std::vector<uint32_t> in; double mean; uint32_t variance; } examples[] = {
        {3, {7, kMax, kMax, kMax}, 4294967295.0, 0},  // wraps round the ring; the sum needs 64 bits
        {3, {1, 2, 6}, 3.0, 4},                       // samples below the mean count like those above
        {4, {0, 0, 0, 3}, 0.75, 2},                   // about 0 (9 / 4), not about 1 (7 / 4)
        {3, {0, 0, kMax}, 1431655765.0, 1908874240},  // squares rounded to double (exact: 1908874354)
        {4, {}, 0.0, 0},
    };
    for (const auto &e : examples) {
        SlidingAverage *p = SlidingAverage_create(e.window);
        for (uint32_t s : e.in)
            SlidingAverage_Add(p, s);
        EXPECT_EQ(SlidingAverage_GetAverage(p), e.mean) << e.in.size() << " samples";
        EXPECT_EQ(SlidingAverage_GetVariance(p), e.variance) << e.in.size() << " samples";
        SlidingAverage_destroy(p);
    }
}

// The largest window is attempted (its first allocation is failed here), a larger one is refused
// before allocating anything.
TEST(SlidingAverage, WindowLimitAndAllocationFailure) {
    EXPECT_EQ(krc_test::sweep_alloc_failures([](long) { SlidingAverage_destroy(SlidingAverage_create(7)); }), 2);
    for (uint32_t window : {0x3FFFFFFFu, 0x40000000u}) {
        krc_test::AllocScope fail_first(0);
        EXPECT_EQ(SlidingAverage_create(window), nullptr);
        EXPECT_EQ(fail_first.allocations(), window == 0x3FFFFFFFu) << window;
    }
    SlidingAverage_destroy(nullptr);
}

static_assert(sizeof(void *) != 4 || SLIDINGAVERAGE_SIZE(5) == 44, "24 bytes of structure, 4 per sample");

TEST(SlidingAverageDeathTest, EveryCheckInOrder) {
    alignas(8) unsigned char buf[SLIDINGAVERAGE_SIZE(5) + 8];
    const struct { void *buf; uint32_t size, n; const char *text; } cases[] = {  // a null text: accepted
        {nullptr, 0, 0, "buf"},
        {buf + 2, SLIDINGAVERAGE_SIZE(5) - 1, 5, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},  // before alignment
        {buf, kMax, 0x40000000u, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},  // wraps to kStruct in 32 bits
        {buf + 2, sizeof buf - 2, 0, "(intptr_t)buf % 4 == 0"},
        {buf + 4, SLIDINGAVERAGE_SIZE(5), 5, sizeof(void *) == 4 ? nullptr : "(intptr_t)buf % 8 == 0"},
        {buf, kStruct, 0, "maxEntries > 0"},
    };
    for (const auto &c : cases)
        if (c.text)
            EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(c.buf, c.size, c.n), kFile, kInPlace, c.text);
        else
            EXPECT_EQ(static_cast<void *>(SlidingAverage_inplace_create(c.buf, c.size, c.n)), c.buf);
    SlidingAverage no_log{};
    EXPECT_KRC_ASSERT(SlidingAverage_create(0), kFile, "SlidingAverage_create", "maxEntries > 0");
    EXPECT_KRC_ASSERT(SlidingAverage_Reset(nullptr), kFile, "SlidingAverage_Reset", "p != NULL");
    EXPECT_KRC_ASSERT(SlidingAverage_Reset(&no_log), kFile, "SlidingAverage_Reset", "p->log");
    EXPECT_KRC_ASSERT(SlidingAverage_Add(nullptr, 1), kFile, "SlidingAverage_Add", "p != NULL");
    EXPECT_KRC_ASSERT(SlidingAverage_GetAverage(nullptr), kFile, "SlidingAverage_GetAverage", "p");
    EXPECT_KRC_ASSERT(SlidingAverage_NoOfEntries(nullptr), kFile, "SlidingAverage_NoOfEntries", "p");
    EXPECT_KRC_ASSERT(SlidingAverage_GetVariance(nullptr), kFile, "SlidingAverage_GetVariance", "p != NULL");
}
