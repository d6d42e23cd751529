#include <libkrc/slidingaverage.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "death.h"

namespace {

constexpr uint32_t kMax = UINT32_MAX;
constexpr uint32_t kStruct = sizeof(SlidingAverage);

struct Example {
    uint32_t window;
    std::vector<uint32_t> samples;
    double average;
    uint32_t variance;
};

void check(SlidingAverage *p, const Example &e) {
    for (uint32_t s : e.samples)
        SlidingAverage_Add(p, s);
    EXPECT_EQ(SlidingAverage_NoOfEntries(p), std::min<size_t>(e.window, e.samples.size()));
    EXPECT_EQ(SlidingAverage_GetAverage(p), e.average);
    EXPECT_EQ(SlidingAverage_GetVariance(p), e.variance);
    SlidingAverage_Reset(p);
    EXPECT_EQ(SlidingAverage_NoOfEntries(p) + SlidingAverage_GetVariance(p) + p->sum + p->nextIndex, 0u);
    EXPECT_EQ(SlidingAverage_GetAverage(p), 0.0);
    EXPECT_EQ(std::vector<uint32_t>(p->log, p->log + e.window), std::vector<uint32_t>(e.window, 0));
}

}  // namespace

TEST(SlidingAverage, WorkedExamplesOnHeapAndInPlace) {
    const Example examples[] = {
        {1, {5, 9, 7}, 7.0, 0},
        {3, {1, 2, 3, 4}, 3.0, 0},
        {3, {1, 2, 6}, 3.0, 4},  // samples below the mean count like those above
        {2, {1, 2}, 1.5, 0},     // about m = 1, the integer part of the mean
        {3, {0, 100}, 50.0, 0},  // not full
        {3, {kMax, kMax, kMax}, 4294967295.0, 0},
        // m = 2147483647; squares 2^62 - 2^32 (rounded in double) and 2^62;
        // quotient 2^62 - 2^31, of which the low 32 bits are returned.
        {2, {0, kMax}, 2147483647.5, 0x80000000u},
    };
    for (const Example &e : examples) {
        SCOPED_TRACE(testing::Message() << "window " << e.window << ", " << e.samples.size() << " samples");
        SlidingAverage *p = SlidingAverage_create(e.window);
        ASSERT_NE(p, nullptr);
        check(p, e);
        SlidingAverage_destroy(p);
        // An exactly sized heap block: a write past the log is caught.
        void *buf = malloc(4 * e.window + kStruct);
        p = SlidingAverage_inplace_create(buf, 4 * e.window + kStruct, e.window);
        EXPECT_EQ(static_cast<void *>(p), buf);
        EXPECT_EQ(static_cast<void *>(p->log), static_cast<char *>(buf) + kStruct);
        check(p, e);
        free(buf);
    }
}

// Against a deque of the last n samples.  While every sample is below 2^26
// the squares are exact in double, so the variance model is exact integer
// arithmetic; the occasional full-range sample exercises the 64-bit sum.
TEST(SlidingAverage, RandomAgainstModel) {
    const unsigned seed = 20240611;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    for (uint32_t window = 1; window <= 9; ++window) {
        SlidingAverage *p = SlidingAverage_create(window);
        std::deque<uint32_t> model;
        for (int step = 0; step < 400; ++step) {
            const uint32_t s = rng() % 8 == 0 ? rng() : rng() % (1u << 26);
            SlidingAverage_Add(p, s);
            model.push_back(s);
            if (model.size() > window)
                model.pop_front();
            uint64_t sum = 0, acc = 0;
            uint32_t largest = 0;
            for (uint32_t v : model)
                sum += v, largest = std::max(largest, v);
            ASSERT_EQ(SlidingAverage_NoOfEntries(p), model.size());
            ASSERT_EQ(SlidingAverage_GetAverage(p), static_cast<double>(sum) / model.size());
            if (largest >= (1u << 26))
                continue;
            for (uint32_t v : model)
                acc += static_cast<uint64_t>((v - int64_t(sum / window)) * (v - int64_t(sum / window)));
            ASSERT_EQ(SlidingAverage_GetVariance(p), model.size() < window ? 0u : uint32_t(acc / window)) << step;
        }
        SlidingAverage_destroy(p);
    }
}

TEST(SlidingAverageDeath, InPlaceBoundariesAndCheckOrder) {
    alignas(8) unsigned char buf[4 * 5 + kStruct + 8];
    EXPECT_EQ(static_cast<void *>(SlidingAverage_inplace_create(buf, 4 * 5 + kStruct, 5)), buf);
    if (sizeof(void *) == 4) {  // 24 bytes, and 4-byte alignment is enough
        EXPECT_EQ(kStruct, 24u);
        EXPECT_EQ(static_cast<void *>(SlidingAverage_inplace_create(buf + 4, 4 * 5 + kStruct, 5)), buf + 4);
    } else {
        EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf + 4, sizeof buf - 4, 1), "src/slidingaverage.cpp",
                          "SlidingAverage_inplace_create", "(intptr_t)buf % 8 == 0");
    }
    const struct {
        void *buf;
        uint32_t size, n;
        const char *text;
    } cases[] = {
        {nullptr, 0, 0, "buf"},
        {buf, 4 * 5 + kStruct - 1, 5, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},
        {buf + 2, kStruct - 1, 0, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},
        // Windows whose byte size would wrap in 32 bits, to 24 and to 20.
        {buf, kMax, 0x40000000u, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},
        {buf, sizeof buf, kMax, "bufsize >= maxEntries * sizeof *p->log + sizeof *p"},
        {buf + 2, sizeof buf - 2, 0, "(intptr_t)buf % 4 == 0"},
        {buf, kStruct, 0, "maxEntries > 0"},
    };
    for (const auto &c : cases)
        EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(c.buf, c.size, c.n), "src/slidingaverage.cpp",
                          "SlidingAverage_inplace_create", c.text);
}

TEST(SlidingAverageDeath, OtherChecks) {
    const char *file = "src/slidingaverage.cpp";
    SlidingAverage no_log{};
    EXPECT_KRC_ASSERT(SlidingAverage_create(0), file, "SlidingAverage_create", "maxEntries > 0");
    EXPECT_KRC_ASSERT(SlidingAverage_Reset(nullptr), file, "SlidingAverage_Reset", "p != NULL");
    EXPECT_KRC_ASSERT(SlidingAverage_Reset(&no_log), file, "SlidingAverage_Reset", "p->log");
    EXPECT_KRC_ASSERT(SlidingAverage_Add(nullptr, 1), file, "SlidingAverage_Add", "p != NULL");
    EXPECT_KRC_ASSERT(SlidingAverage_GetAverage(nullptr), file, "SlidingAverage_GetAverage", "p");
    EXPECT_KRC_ASSERT(SlidingAverage_NoOfEntries(nullptr), file, "SlidingAverage_NoOfEntries", "p");
    EXPECT_KRC_ASSERT(SlidingAverage_GetVariance(nullptr), file, "SlidingAverage_GetVariance", "p != NULL");
}

TEST(SlidingAverage, CreationFailureLeaksNothing) {
    EXPECT_EQ(krc_test::sweep_alloc_failures([](long) { SlidingAverage_destroy(SlidingAverage_create(7)); }), 2);
    krc_test::AllocScope scope;  // oversized windows: rejected before any allocation
    EXPECT_EQ(SlidingAverage_create(0x40000000u), nullptr);
    EXPECT_EQ(SlidingAverage_create(kMax), nullptr);
    EXPECT_EQ(scope.allocations(), 0);
}
