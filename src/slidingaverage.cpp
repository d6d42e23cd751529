// SPDX-License-Identifier: MIT
// Sliding-window average: a ring of 32-bit samples with a 64-bit running sum.
#include <libkrc/slidingaverage.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "internal/check.h"
#include "internal/divide.h"

namespace {

// The largest window whose log's byte count fits in 32 bits.
constexpr uint32_t kMaxWindow = UINT32_MAX / sizeof(uint32_t);

// Where pointers are 64 bits wide the structure holds two 8-byte fields and
// is 8-byte aligned; the 32-bit target asks only for 4-byte alignment.
constexpr bool kWidePointers = sizeof(void *) > 4;
static_assert(!kWidePointers || alignof(SlidingAverage) <= 8, "an 8-byte aligned buffer suffices");

// v as a double, rounded to nearest: the high half scaled by 2^32 is exact,
// so the one addition is the only rounding.  Spares the 32-bit target the
// software 64-bit conversion routine, which brings the whole software
// floating-point adder with it.
inline double to_double(uint64_t v) {
    return static_cast<double>(static_cast<uint32_t>(v >> 32)) * 4294967296.0 +
           static_cast<double>(static_cast<uint32_t>(v));
}

// v truncated to an unsigned 64-bit integer, for an integer-valued v in
// [0, 2^64): the high word is v / 2^32 (exact scaling) truncated, and the
// rest, below 2^32 and a multiple of v's unit in the last place, is exact.
// Spares the 32-bit target the software conversion routine.
inline uint64_t to_u64(double v) {
    const auto hi = static_cast<uint32_t>(v * (1.0 / 4294967296.0));
    const auto lo = static_cast<uint32_t>(v - static_cast<double>(hi) * 4294967296.0);
    return (uint64_t{hi} << 32) | lo;
}

// The low 32 bits of n / d, d > 0: the high word leaves its remainder, then
// the 32 quotient bits of the low word come one at a time (restoring
// division; `carry` is the remainder's 33rd bit).  The variance needs only
// these bits, and the 32-bit target is spared the general 64-bit division
// routine, which is larger than this whole family's hot code.
inline uint32_t low_quotient(uint64_t n, uint32_t d) {
    uint32_t r = krc::modulo(static_cast<uint32_t>(n >> 32), d);
    uint32_t lo = static_cast<uint32_t>(n);
    uint32_t q = 0;
    for (int bit = 0; bit < 32; ++bit) {
        const bool carry = (r >> 31) != 0;
        r = (r << 1) | (lo >> 31);
        lo <<= 1;
        q <<= 1;
        if (carry || r >= d) {
            r -= d;
            q |= 1;
        }
    }
    return q;
}

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
    // (nextIndex + 1) mod maxEntries by a compare, as nextIndex < maxEntries.
    const uint32_t next = p->nextIndex + 1;
    p->nextIndex = next >= p->maxEntries ? 0 : next;
}

// cppcheck-suppress constParameterPointer ; the published C signature
extern "C" double SlidingAverage_GetAverage(SlidingAverage *p) {
    KRC_CHECK(p);
    if (p->noOfEntries == 0)
        return 0.0;
    return to_double(p->sum) / static_cast<double>(p->noOfEntries);
}

// cppcheck-suppress constParameterPointer ; the published C signature
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
        // |d| < 2^32, so d is exact in a double and d * d stays below 2^64
        // even after rounding.
        const double d = static_cast<double>(p->log[i]) - static_cast<double>(m);
        acc += to_u64(d * d);
    }
    return low_quotient(acc, p->noOfEntries);
}
