/* SPDX-License-Identifier: MIT */
/** @file
 * Sliding-window average over unsigned 32-bit samples.
 *
 * The window keeps the most recent maxEntries samples (a count of samples,
 * not a period of time) in a ring of 32-bit slots, and a 64-bit running sum of
 * them, so adding a sample and reading the count or the mean take constant
 * time.  The sum cannot overflow: any number of samples that fits in the
 * window, each at most 4294967295, fits in 64 bits.
 *
 * An object lives either on the heap (SlidingAverage_create, ended by
 * SlidingAverage_destroy: two blocks from malloc, the structure and the log)
 * or inside a buffer the caller supplies (SlidingAverage_inplace_create: the
 * structure at the start of the buffer, the log right behind it, nothing
 * allocated).  An in-place object is never passed to SlidingAverage_destroy;
 * it simply goes out of use with its buffer.
 *
 * Window size limit: the log of a window takes 4 bytes per sample, and that
 * byte count (plus the structure, in place) must fit in 32 bits.  Larger
 * windows are rejected, never wrapped: SlidingAverage_create returns null
 * for maxEntries > 1073741823 without allocating, and the in-place size check
 * is evaluated in 64-bit arithmetic, so no 32-bit bufsize can satisfy it for
 * such a window.
 *
 * Checks: every function that takes p asserts it is not null, except
 * SlidingAverage_destroy(); the creation functions check their sizes.  A
 * violated check prints the failed expression and aborts, in every build.  Nothing here takes
 * a lock: a caller sharing an object between threads serialises every call
 * on it, reads included.
 */
#ifndef LIBKRC_SLIDINGAVERAGE_H
#define LIBKRC_SLIDINGAVERAGE_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The window.  Also the layout at the start of an in-place buffer.
 * Invariants: while filling (noOfEntries < maxEntries) the samples occupy
 * slots 0 .. noOfEntries - 1 in arrival order and nextIndex == noOfEntries;
 * once full, every slot holds a sample and nextIndex names the oldest.  sum
 * is exactly the sum of the samples in the window; slots never written since
 * creation or the last reset hold 0. */
typedef struct SlidingAverage {
    uint64_t sum;         /**< sum of the samples now in the window */
    uint32_t *log;        /**< ring of maxEntries sample slots */
    uint32_t maxEntries;  /**< window length, at least 1, fixed at creation */
    uint32_t noOfEntries; /**< samples in the window, 0 .. maxEntries */
    uint32_t nextIndex;   /**< slot the next sample goes to, 0 .. maxEntries - 1 */
} SlidingAverage;

#ifdef __cplusplus
static_assert(sizeof(SlidingAverage) == (sizeof(void *) == 4 ? 24 : 32),
              "SlidingAverage is 24 bytes (32-bit), 32 (64-bit)");
static_assert(offsetof(SlidingAverage, log) == 8, "log at 8 (32-bit and 64-bit)");
static_assert(offsetof(SlidingAverage, maxEntries) == (sizeof(void *) == 4 ? 12 : 16),
              "maxEntries at 12 (32-bit), 16 (64-bit)");
static_assert(offsetof(SlidingAverage, noOfEntries) == (sizeof(void *) == 4 ? 16 : 20),
              "noOfEntries at 16 (32-bit), 20 (64-bit)");
static_assert(offsetof(SlidingAverage, nextIndex) == (sizeof(void *) == 4 ? 20 : 24),
              "nextIndex at 20 (32-bit), 24 (64-bit)");
static_assert(sizeof(SlidingAverage) % sizeof(uint32_t) == 0, "the log right behind the structure is aligned");
#endif

/** Bytes an in-place window of max_entries samples needs, the least bufsize
 * SlidingAverage_inplace_create() accepts: the structure followed by 4 bytes
 * per sample.  A constant expression in C99 and C++, for storage sized at
 * compile time; a macro, so that it can size an array in C (it adds no
 * symbol to the library).  Meaningful for max_entries from 1 to
 * (UINT32_MAX - sizeof(SlidingAverage)) / 4, where the size fits in 32 bits.
 * @param max_entries window length in samples */
#define SLIDINGAVERAGE_SIZE(max_entries) ((uint32_t)(sizeof(SlidingAverage) + (max_entries) * sizeof(uint32_t)))

/** Creates an empty heap window: the structure, then the log of
 * 4 * maxEntries bytes, both from malloc.  Asserts maxEntries > 0.
 * O(maxEntries) for zeroing the log.
 * @param maxEntries window length in samples
 * @return the window, or null when an allocation fails (nothing is left
 *         allocated) and, without allocating, when maxEntries > 1073741823
 *         (the log's byte count would not fit in 32 bits) */
LIBKRC_API SlidingAverage *SlidingAverage_create(uint32_t maxEntries);

/** Lays out an empty window in the caller's buffer; nothing is allocated and
 * the buffer stays the caller's.  The structure sits at the start of buf and
 * the log right behind it.  Asserts, in this order: buf;
 * bufsize >= maxEntries * sizeof *p->log + sizeof *p (evaluated in 64 bits,
 * so an oversized window fails here); (intptr_t)buf % 4 == 0;
 * (intptr_t)buf % 8 == 0 (only where pointers are 64 bits wide: there the
 * structure needs 8-byte alignment); maxEntries > 0.
 * O(maxEntries) for zeroing the log.
 * @param buf        the buffer, 4-byte aligned
 * @param bufsize    its size: at least SLIDINGAVERAGE_SIZE(maxEntries), that is
 *                   4 * maxEntries + sizeof(SlidingAverage) bytes (24 bytes
 *                   of structure on the 32-bit target)
 * @param maxEntries window length in samples
 * @return buf, as the window */
LIBKRC_API SlidingAverage *SlidingAverage_inplace_create(void *buf, uint32_t bufsize, uint32_t maxEntries);

/** Frees a heap window: the log, then the structure.
 * @param p the window, never an in-place one; null does nothing */
LIBKRC_API void SlidingAverage_destroy(SlidingAverage *p);

/** Empties the window: count, next slot and sum to 0, every slot of the log
 * zeroed; the window length stays.  Asserts p != NULL, then p->log.
 * O(maxEntries).
 * @param p the window */
LIBKRC_API void SlidingAverage_Reset(SlidingAverage *p);

/** Adds a sample; once the window is full it replaces the oldest one.
 * Asserts p != NULL.  O(1); never fails.
 * @param p      the window
 * @param sample the sample */
LIBKRC_API void SlidingAverage_Add(SlidingAverage *p, uint32_t sample);

/** The mean of the samples in the window.  Asserts p.  O(1).
 * @param p the window
 * @return sum / count in double precision (the sum rounded to the nearest
 *         double, which matters only above 2^53); 0.0 for an empty window */
LIBKRC_API double SlidingAverage_GetAverage(SlidingAverage *p);

/** The number of samples in the window.  Asserts p.  O(1).
 * @param p the window
 * @return 0 .. maxEntries */
LIBKRC_API uint32_t SlidingAverage_NoOfEntries(SlidingAverage *p);

/** Integer population variance of a full window, taken about the integer
 * part of the mean: each square is truncated into a 64-bit accumulator
 * (modulo 2^64), which is divided by the count in integer division.
 * Asserts p != NULL.  O(maxEntries), no allocation.
 * @param p the window
 * @return the low 32 bits of the quotient; 0 while the window is not full,
 *         whatever it holds */
LIBKRC_API uint32_t SlidingAverage_GetVariance(SlidingAverage *p);

#ifdef __cplusplus
}
#endif

#endif
