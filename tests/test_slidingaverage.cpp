#include <libkrc/slidingaverage.h>

#include <cstdint>
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

// Exact size for a window, in a heap block of that size, so that any write
// past the log is caught by the address sanitizer.
struct InPlace {
    explicit InPlace(uint32_t n) : size(4 * n + kStruct), buf(malloc(size)) {}
    ~InPlace() { free(buf); }
    uint32_t size;
    void *buf;
};

struct Example {
    uint32_t window;
    std::vector<uint32_t> samples;
    double average;
    uint32_t variance;
};

// Worked examples, run on a heap window and an in-place one.
const Example kExamples[] = {
    {1, {5, 9, 7}, 7.0, 0},
    {3, {1, 2, 3, 4}, 3.0, 0},
    {3, {1, 2, 6}, 3.0, 4},       // below-mean samples count like those above
    {2, {1, 2}, 1.5, 0},          // about m = 1, the integer part of the mean
    {3, {0, 100}, 50.0, 0},       // not full
    {3, {kMax, kMax, kMax}, 4294967295.0, 0},
    // m = 2147483647; squares 2^62 - 2^32 (rounded in double) and 2^62; the
    // quotient 2^62 - 2^31 reduced to its low 32 bits.
    {2, {0, kMax}, 2147483647.5, 0x80000000u},
};

void check_example(SlidingAverage *p, const Example &e) {
    for (uint32_t s : e.samples)
        SlidingAverage_Add(p, s);
    EXPECT_EQ(SlidingAverage_NoOfEntries(p), std::min<size_t>(e.window, e.samples.size()));
    EXPECT_EQ(SlidingAverage_GetAverage(p), e.average);
    EXPECT_EQ(SlidingAverage_GetVariance(p), e.variance);
    SlidingAverage_Reset(p);
    EXPECT_EQ(SlidingAverage_NoOfEntries(p), 0u);
    EXPECT_EQ(SlidingAverage_GetAverage(p), 0.0);
    EXPECT_EQ(SlidingAverage_GetVariance(p), 0u);
    EXPECT_EQ(p->sum, 0u);
    for (uint32_t i = 0; i < p->maxEntries; ++i)
        EXPECT_EQ(p->log[i], 0u);
}

}  // namespace

TEST(SlidingAverage, WorkedExamples) {
    for (const Example &e : kExamples) {
        SCOPED_TRACE(testing::Message() << "window " << e.window << ", " << e.samples.size() << " samples");
        SlidingAverage *p = SlidingAverage_create(e.window);
        ASSERT_NE(p, nullptr);
        check_example(p, e);
        SlidingAverage_destroy(p);
        InPlace ip(e.window);
        p = SlidingAverage_inplace_create(ip.buf, ip.size, e.window);
        ASSERT_EQ(static_cast<void *>(p), ip.buf);
        EXPECT_EQ(static_cast<void *>(p->log), static_cast<char *>(ip.buf) + kStruct);
        check_example(p, e);
    }
}

TEST(SlidingAverage, RingReplacesOldest) {
    SlidingAverage *p = SlidingAverage_create(3);
    for (uint32_t s : {1u, 2u, 3u, 4u})
        SlidingAverage_Add(p, s);
    EXPECT_EQ(std::vector<uint32_t>(p->log, p->log + 3), (std::vector<uint32_t>{4, 2, 3}));
    EXPECT_EQ(p->nextIndex, 1u);
    EXPECT_EQ(p->sum, 9u);
    SlidingAverage_destroy(p);
}

// Against a deque of the last n samples.  Samples below 2^26 keep every
// square exact in double, so the variance model can be exact integer
// arithmetic; a few full-range samples exercise the 64-bit sum.
TEST(SlidingAverage, RandomAgainstModel) {
    const unsigned seed = 20240611;
    std::printf("seed %u\n", seed);
    std::mt19937 rng(seed);
    for (uint32_t window = 1; window <= 9; ++window) {
        SlidingAverage *p = SlidingAverage_create(window);
        std::deque<uint32_t> model;
        for (int step = 0; step < 400; ++step) {
            const bool wide = rng() % 8 == 0;
            const uint32_t s = wide ? rng() : rng() % (1u << 26);
            SlidingAverage_Add(p, s);
            model.push_back(s);
            if (model.size() > window)
                model.pop_front();
            uint64_t sum = 0;
            bool all_narrow = true;
            for (uint32_t v : model) {
                sum += v;
                all_narrow = all_narrow && v < (1u << 26);
            }
            ASSERT_EQ(SlidingAverage_NoOfEntries(p), model.size());
            ASSERT_EQ(p->sum, sum);
            ASSERT_EQ(SlidingAverage_GetAverage(p), static_cast<double>(sum) / model.size());
            if (!all_narrow)
                continue;
            uint32_t expected = 0;
            if (model.size() == window) {
                const int64_t m = static_cast<int64_t>(sum / window);
                uint64_t acc = 0;
                for (uint32_t v : model)
                    acc += static_cast<uint64_t>((v - m) * (v - m));
                expected = static_cast<uint32_t>(acc / window);
            }
            ASSERT_EQ(SlidingAverage_GetVariance(p), expected) << "window " << window << " step " << step;
        }
        SlidingAverage_destroy(p);
    }
}

TEST(SlidingAverage, InPlaceBoundaries) {
    alignas(8) unsigned char buf[4 * 5 + kStruct + 8];
    EXPECT_EQ(static_cast<void *>(SlidingAverage_inplace_create(buf, 4 * 5 + kStruct, 5)), buf);
    if (sizeof(void *) == 4) {
        EXPECT_EQ(kStruct, 24u);  // 4-byte alignment is all the 32-bit target asks
        EXPECT_EQ(static_cast<void *>(SlidingAverage_inplace_create(buf + 4, 4 * 5 + kStruct, 5)), buf + 4);
    }
}

TEST(SlidingAverageDeath, InPlaceChecksInOrder) {
    alignas(8) unsigned char buf[64 + kStruct];
    const char *file = "src/slidingaverage.cpp", *fn = "SlidingAverage_inplace_create";
    const char *size = "bufsize >= maxEntries * sizeof *p->log + sizeof *p";
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(nullptr, 0, 0), file, fn, "buf");
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf, 4 * 5 + kStruct - 1, 5), file, fn, size);
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf + 2, kStruct - 1, 0), file, fn, size);
    // Windows whose byte size wraps in 32 bits (to 24 and to 20 bytes).
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf, kMax, 0x40000000u), file, fn, size);
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf, sizeof buf, kMax), file, fn, size);
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf + 2, sizeof buf - 2, 0), file, fn, "(intptr_t)buf % 4 == 0");
    if (sizeof(void *) == 8) {
        EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf + 4, sizeof buf - 4, 1), file, fn, "(intptr_t)buf % 8 == 0");
    }
    EXPECT_KRC_ASSERT(SlidingAverage_inplace_create(buf, kStruct, 0), file, fn, "maxEntries > 0");
}

TEST(SlidingAverageDeath, NullObjects) {
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

TEST(SlidingAverage, AllocationFailureLeaksNothing) {
    const long runs = krc_test::sweep_alloc_failures([](long) {
        SlidingAverage *p = SlidingAverage_create(7);
        if (p == nullptr)
            return;
        SlidingAverage_Add(p, 3);
        EXPECT_EQ(SlidingAverage_GetAverage(p), 3.0);
        SlidingAverage_destroy(p);
    });
    EXPECT_EQ(runs, 2);  // the structure, then the log
    SlidingAverage_destroy(nullptr);
}

TEST(SlidingAverage, OversizedHeapWindowRejectedWithoutAllocating) {
    krc_test::AllocScope scope;
    EXPECT_EQ(SlidingAverage_create(0x40000000u), nullptr);
    EXPECT_EQ(SlidingAverage_create(kMax), nullptr);
    EXPECT_EQ(scope.allocations(), 0);
}
