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
const char kFile[] = "src/slidingaverage.cpp", kInPlace[] = "SlidingAverage_inplace_create";
}  // namespace

// The exact edge values, in place; heap windows of lengths 1 to 9 meet the model test below.
TEST(SlidingAverage, WorkedExamplesInPlace) {
    const struct { uint32_t window; std::vector<uint32_t> samples; double average; uint32_t variance; } examples[] = {
        {3, {1, 2, 3, 4}, 3.0, 0},  // wraps round the ring
        {3, {1, 2, 6}, 3.0, 4},     // samples below the mean count like those above
        {3, {kMax, kMax, kMax}, 4294967295.0, 0},
        // m = 2^31 - 1; squares 2^62 - 2^32 (rounded in double) and 2^62; low 32 bits of 2^62 - 2^31
        {2, {0, kMax}, 2147483647.5, 0x80000000u},
    };
    for (const auto &e : examples) {
        SCOPED_TRACE(testing::Message() << "window " << e.window << ", " << e.samples.size() << " samples");
        void *buf = malloc(4 * e.window + kStruct);  // exactly sized, so a write past the log is caught
        SlidingAverage *p = SlidingAverage_inplace_create(buf, 4 * e.window + kStruct, e.window);
        EXPECT_EQ(static_cast<void *>(p), buf);
        EXPECT_EQ(static_cast<void *>(p->log), static_cast<char *>(buf) + kStruct);
        for (uint32_t s : e.samples)
            SlidingAverage_Add(p, s);
        EXPECT_EQ(SlidingAverage_NoOfEntries(p), e.window);
        EXPECT_EQ(SlidingAverage_GetAverage(p), e.average);
        EXPECT_EQ(SlidingAverage_GetVariance(p), e.variance);
        SlidingAverage_Reset(p);  // empty again, and the log zeroed
        EXPECT_EQ(SlidingAverage_NoOfEntries(p) + p->sum + p->nextIndex + SlidingAverage_GetAverage(p), 0.0);
        EXPECT_EQ(*std::max_element(p->log, p->log + e.window), 0u);
        free(buf);
    }
}

// Against a deque of the last n samples, ring and sum included.  Variance is modelled exactly only while all
// samples are below 2^26 (squares exact in double); the occasional full-range sample exercises the 64-bit sum.
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
            for (size_t i = 0; i < model.size(); ++i) {  // oldest first, from the slot after the newest
                ASSERT_EQ(p->log[(p->nextIndex + window - model.size() + i) % window], model[i]) << step;
                sum += model[i];
            }
            ASSERT_EQ(p->sum, sum);
            ASSERT_EQ(SlidingAverage_NoOfEntries(p), model.size());
            ASSERT_EQ(SlidingAverage_GetAverage(p), static_cast<double>(sum) / model.size());
            if (*std::max_element(model.begin(), model.end()) >= (1u << 26))
                continue;
            for (uint32_t v : model)
                acc += static_cast<uint64_t>((v - int64_t(sum / window)) * (v - int64_t(sum / window)));
            ASSERT_EQ(SlidingAverage_GetVariance(p), model.size() < window ? 0u : uint32_t(acc / window)) << step;
        }
        SlidingAverage_destroy(p);
    }
}

TEST(SlidingAverageDeath, EveryCheckInOrder) {
    alignas(8) unsigned char buf[4 * 5 + kStruct + 8];
    const char *size = "bufsize >= maxEntries * sizeof *p->log + sizeof *p";
    const struct { void *buf; uint32_t size, n; const char *text; } cases[] = {
        {nullptr, 0, 0, "buf"},
        {buf, 4 * 5 + kStruct - 1, 5, size},
        {buf + 2, kStruct - 1, 0, size},
        {buf, kMax, 0x40000000u, size},  // byte sizes that would wrap in 32 bits, to 24 and to 20
        {buf, sizeof buf, kMax, size},
        {buf + 2, sizeof buf - 2, 0, "(intptr_t)buf % 4 == 0"},
        {buf, kStruct, 0, "maxEntries > 0"},
    };
    for (const auto &c : cases)
        EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(c.buf, c.size, c.n), kFile, kInPlace, c.text);
    if (sizeof(void *) == 4)  // 4-byte alignment is enough on the 32-bit target
        EXPECT_EQ(static_cast<void *>(SlidingAverage_inplace_create(buf + 4, 4 * 5 + kStruct, 5)), buf + 4);
    else
        EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf + 4, sizeof buf - 4, 1), kFile, kInPlace,
                          "(intptr_t)buf % 8 == 0");
    SlidingAverage no_log{};
    EXPECT_KRC_ASSERT(SlidingAverage_create(0), kFile, "SlidingAverage_create", "maxEntries > 0");
    EXPECT_KRC_ASSERT(SlidingAverage_Reset(nullptr), kFile, "SlidingAverage_Reset", "p != NULL");
    EXPECT_KRC_ASSERT(SlidingAverage_Reset(&no_log), kFile, "SlidingAverage_Reset", "p->log");
    EXPECT_KRC_ASSERT(SlidingAverage_Add(nullptr, 1), kFile, "SlidingAverage_Add", "p != NULL");
    EXPECT_KRC_ASSERT(SlidingAverage_GetAverage(nullptr), kFile, "SlidingAverage_GetAverage", "p");
    EXPECT_KRC_ASSERT(SlidingAverage_NoOfEntries(nullptr), kFile, "SlidingAverage_NoOfEntries", "p");
    EXPECT_KRC_ASSERT(SlidingAverage_GetVariance(nullptr), kFile, "SlidingAverage_GetVariance", "p != NULL");
}

TEST(SlidingAverage, CreationFailureLeaksNothing) {
    EXPECT_EQ(krc_test::sweep_alloc_failures([](long) { SlidingAverage_destroy(SlidingAverage_create(7)); }), 2);
    krc_test::AllocScope scope;  // oversized windows: rejected before any allocation
    EXPECT_EQ(SlidingAverage_create(0x40000000u), nullptr);
    EXPECT_EQ(SlidingAverage_create(kMax), nullptr);
    EXPECT_EQ(scope.allocations(), 0);
}
