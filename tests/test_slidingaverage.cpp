#include <libkrc/slidingaverage.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

constexpr uint32_t kMax = UINT32_MAX, kStruct = sizeof(SlidingAverage);
const char kFile[] = "src/slidingaverage.cpp", kInPlace[] = "SlidingAverage_inplace_create";

TEST(SlidingAverage, WorkedExamplesAndCreation) {
    const struct { uint32_t window, entries; std::vector<uint32_t> in; double mean; uint32_t variance; } examples[] = {
        {3, 3, {7, kMax, kMax, kMax}, 4294967295.0, 0},  // wraps round the ring; the sum needs 64 bits
        {3, 3, {1, 2, 6}, 3.0, 4},                       // samples below the mean count like those above
        {4, 2, {5, 6}, 5.5, 0},                          // not yet full
    };
    for (const auto &e : examples) {
        SCOPED_TRACE(testing::Message() << "window " << e.window << ", " << e.in.size() << " samples");
        const uint32_t bytes = 4 * e.window + kStruct;  // exactly: a write past the log is caught
        SlidingAverage *in_place = SlidingAverage_inplace_create(malloc(bytes), bytes, e.window);
        SlidingAverage *heap = SlidingAverage_create(e.window);
        for (SlidingAverage *p : {in_place, heap, in_place, heap}) {  // each twice: Reset leaves nothing behind
            for (uint32_t s : e.in)
                SlidingAverage_Add(p, s);
            EXPECT_EQ(SlidingAverage_NoOfEntries(p), e.entries);
            EXPECT_EQ(SlidingAverage_GetAverage(p), e.mean);
            EXPECT_EQ(SlidingAverage_GetVariance(p), e.variance);
            SlidingAverage_Reset(p);  // empty again, and the log zeroed
            EXPECT_EQ(SlidingAverage_NoOfEntries(p) + p->sum + *std::max_element(p->log, p->log + e.window), 0u);
        }
        SlidingAverage_destroy(heap);
        free(in_place);
    }
    EXPECT_EQ(krc_test::sweep_alloc_failures([](long) { SlidingAverage_destroy(SlidingAverage_create(7)); }), 2);
    EXPECT_EQ(SlidingAverage_create(0x40000000u), nullptr);  // the first window whose byte size needs 33 bits
}

TEST(SlidingAverageDeath, EveryCheckInOrder) {
    alignas(8) unsigned char buf[4 * 5 + kStruct + 8];
    const struct { void *buf; uint32_t size, n; const char *text; } cases[] = {  // a null text: accepted
        {nullptr, 0, 0, "buf"},
        {buf + 2, 4 * 5 + kStruct - 1, 5, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},  // before alignment
        {buf, kMax, 0x40000000u, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},  // wraps to kStruct in 32 bits
        {buf + 2, sizeof buf - 2, 0, "(intptr_t)buf % 4 == 0"},
        {buf + 4, 4 * 5 + kStruct, 5, sizeof(void *) == 4 ? nullptr : "(intptr_t)buf % 8 == 0"},
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
