// Sliding-window average: a ring of 32-bit samples with a 64-bit running sum.
#include <libkrc/slidingaverage.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal/check.h"

namespace {

// The largest window whose log's byte count fits in 32 bits.
constexpr uint32_t kMaxWindow = UINT32_MAX / sizeof(uint32_t);

// Where pointers are 64 bits wide the structure holds two 8-byte fields and
// is 8-byte aligned; the 32-bit target asks only for 4-byte alignment.
constexpr bool kWidePointers = sizeof(void *) > 4;
static_assert(!kWidePointers || alignof(SlidingAverage) <= 8, "an 8-byte aligned buffer suffices");

// Sets up a window whose log is in place: stores the length and empties it.
SlidingAverage *start(SlidingAverage *p, uint32_t *log, uint32_t maxEntries) {
    p->log = log;
    p->maxEntries = maxEntries;
    SlidingAverage_Reset(p);
    return p;
}

}  // namespace

extern "C" SlidingAverage *SlidingAverage_create(uint32_t maxEntries) {
    KRC_CHECK(maxEntries > 0);
    if (maxEntries > kMaxWindow)
        return nullptr;
    auto *p = static_cast<SlidingAverage *>(malloc(sizeof(SlidingAverage)));
    if (p == nullptr)
        return nullptr;
    auto *log = static_cast<uint32_t *>(malloc(maxEntries * sizeof *p->log));
    if (log == nullptr) {
        free(p);
        return nullptr;
    }
    return start(p, log, maxEntries);
}

extern "C" SlidingAverage *SlidingAverage_inplace_create(void *buf, uint32_t bufsize, uint32_t entries) {
    // Widened so that the size check below cannot wrap: a window too large
    // for any 32-bit buffer fails it instead of slipping through.
    const uint64_t maxEntries = entries;
    KRC_CHECK(buf);
    KRC_CHECK_TEXT(bufsize >= maxEntries * sizeof(uint32_t) + sizeof(SlidingAverage),
                   "bufsize >= maxEntries * sizeof *p->log + sizeof *p");
    KRC_CHECK_TEXT(reinterpret_cast<uintptr_t>(buf) % 4 == 0, "(intptr_t)buf % 4 == 0");
    if constexpr (kWidePointers)
        KRC_CHECK_TEXT(reinterpret_cast<uintptr_t>(buf) % 8 == 0, "(intptr_t)buf % 8 == 0");
    KRC_CHECK(maxEntries > 0);
    // The structure's lifetime starts in the caller's buffer; the log follows it.
    auto *avg = new (buf) SlidingAverage;
    return start(avg, reinterpret_cast<uint32_t *>(avg + 1), entries);
}

extern "C" void SlidingAverage_destroy(SlidingAverage *p) {
    if (p == nullptr)
        return;
    free(p->log);
    free(p);
}

extern "C" void SlidingAverage_Reset(SlidingAverage *p) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    KRC_CHECK(p->log);
    p->noOfEntries = 0;
    p->nextIndex = 0;
    p->sum = 0;
    memset(p->log, 0, size_t{p->maxEntries} * sizeof *p->log);
}

extern "C" void SlidingAverage_Add(SlidingAverage *p, uint32_t sample) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    uint32_t &slot = p->log[p->nextIndex];
    if (p->noOfEntries == p->maxEntries) {
        // The sum still includes the oldest sample, so it cannot go below 0.
        p->sum = p->sum + sample - slot;
    } else {
        p->sum += sample;
        ++p->noOfEntries;
    }
    slot = sample;
    p->nextIndex = (p->nextIndex + 1) % p->maxEntries;
}

extern "C" double SlidingAverage_GetAverage(SlidingAverage *p) {
    KRC_CHECK(p);
    if (p->noOfEntries == 0)
        return 0.0;
    return static_cast<double>(p->sum) / static_cast<double>(p->noOfEntries);
}

extern "C" uint32_t SlidingAverage_NoOfEntries(SlidingAverage *p) {
    KRC_CHECK(p);
    return p->noOfEntries;
}

extern "C" uint32_t SlidingAverage_GetVariance(SlidingAverage *p) {
    KRC_CHECK_TEXT(p != nullptr, "p != NULL");
    if (p->noOfEntries != p->maxEntries)
        return 0;
    // The mean of 32-bit samples is below 2^32, so its integer part fits.
    const auto m = static_cast<uint32_t>(SlidingAverage_GetAverage(p));
    uint64_t acc = 0;
    for (uint32_t i = 0; i < p->maxEntries; ++i) {
        // |d| < 2^32, so d * d stays below 2^64 even after rounding to double.
        const auto d = static_cast<double>(static_cast<int64_t>(p->log[i]) - static_cast<int64_t>(m));
        acc += static_cast<uint64_t>(d * d);
    }
    return static_cast<uint32_t>(acc / p->noOfEntries);
}
