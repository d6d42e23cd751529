/* SPDX-License-Identifier: MIT */
/** @file
 * Bounded first-in, first-out queue of non-null data pointers.
 *
 * The capacity is fixed when the queue is made; the elements sit in a ring of
 * slots in which a null slot is an empty slot, so null can never be queued.
 * A queue lives either on the heap (krqueue_new(), ended with krqueue_free())
 * or inside a buffer of the caller's (krqueue_inplace_new(), ended with
 * krqueue_inplace_free()); never mix the two release functions.  After
 * creation no operation allocates, and adding and taking are constant time.
 *
 * The queue stores the caller's pointers and never looks behind them; they
 * are handed to a destructor only when one is passed at release.
 *
 * Checks: krqueue_add() and krqueue_get() assert p != NULL first, then the
 * ring's consistency; krqueue_inplace_new() checks its buffer and capacity;
 * krqueue_new(), krqueue_size() and the two release functions check
 * nothing.  A violated check prints the failed expression and aborts, in
 * every build.  Nothing here takes a lock: a queue is used by one thread at
 * a time.
 *
 * Size limit: every byte count here is an unsigned 32-bit quantity and is
 * never allowed to wrap.  A capacity above KRQUEUE_MAX_CAPACITY (1073741818
 * on the 32-bit target, where krqueue_size() would exceed 4294967295) is
 * refused by both creation functions: krqueue_new() returns null without
 * allocating anything, krqueue_inplace_new() fails the assertion
 * "capacity <= KRQUEUE_MAX_CAPACITY", and krqueue_size() returns 0 for it (a
 * size no real capacity has, the empty queue needing the header's bytes).
 */
#ifndef LIBKRC_KRQUEUE_H
#define LIBKRC_KRQUEUE_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Receives each queued element when a queue is drained at release. */
typedef void (*krqueue_destructor_fn)(void *elem);

/** The queue header.
 * Invariants: count <= capacity; last_add and last_get are below capacity
 * (both start at capacity - 1, so the first element goes into and comes out
 * of slot 0); the count slots that follow last_get cyclically hold the queued
 * elements, oldest first, and are non-null; every other slot is null. */
typedef struct krqueue {
    uint32_t capacity; /**< number of slots, fixed at creation */
    uint32_t count;    /**< elements held, 0 to capacity */
    uint32_t last_add; /**< slot written by the latest krqueue_add() */
    uint32_t last_get; /**< slot emptied by the latest krqueue_get() */
    void **members;    /**< the capacity slots */
} krqueue;

#ifdef __cplusplus
static_assert(sizeof(krqueue) == (sizeof(void *) == 4 ? 20 : 24), "krqueue is 20 bytes (32-bit), 24 (64-bit)");
static_assert(offsetof(krqueue, members) == 16, "members at 16 (32-bit and 64-bit)");
#endif

/** The largest capacity whose in-place size, header plus one pointer per slot,
 * fits in 32 bits: 1073741818 on the 32-bit target. */
#define KRQUEUE_MAX_CAPACITY ((uint32_t)((UINT32_MAX - sizeof(krqueue)) / sizeof(void *)))

/** krqueue_size(capacity) as a constant expression, for storage sized at
 * compile time (an array, a static buffer) in C99 and C++: the same value
 * for every capacity, 0 above KRQUEUE_MAX_CAPACITY.  A macro, so that it
 * can size an array in C; it evaluates capacity twice, so pass a constant
 * or a plain variable.  Adds no symbol to the library.
 * @param capacity number of slots */
#define KRQUEUE_SIZE(capacity) \
    ((capacity) > KRQUEUE_MAX_CAPACITY ? (uint32_t)0 : (uint32_t)(sizeof(krqueue) + (capacity) * sizeof(void *)))

/** Creates an empty heap queue: the header with malloc, then the slot array,
 * zero-filled, with calloc (two blocks, both owned by the queue).
 * O(capacity) for the zero-fill.
 * @param capacity number of slots, up to KRQUEUE_MAX_CAPACITY; 0 gives a
 *                 queue that refuses every add and yields null on every get
 * @return the queue, or null when an allocation fails or capacity exceeds
 *         KRQUEUE_MAX_CAPACITY; nothing is left allocated then */
LIBKRC_API krqueue *krqueue_new(uint32_t capacity);

/** Bytes an in-place queue needs: the header followed by one pointer per
 * slot, 4 * (capacity + 5) on the 32-bit target (24 for capacity 1).  O(1).
 * KRQUEUE_SIZE() gives the same at compile time.
 * @param capacity number of slots
 * @return the size, or 0 when capacity exceeds KRQUEUE_MAX_CAPACITY (the size
 *         would not fit in 32 bits; no capacity that can be made has size 0) */
LIBKRC_API uint32_t krqueue_size(uint32_t capacity);

/** Lays an empty queue out in the caller's buffer: the header first, the slot
 * array right after it (members points into mem), the slots zero-filled;
 * bytes beyond krqueue_size(capacity) are not touched.  The buffer stays the
 * caller's and must not be moved or copied while the queue is in use;
 * release it with krqueue_inplace_free() only.  Asserts, in this order:
 * mem != NULL, memsize > 0, capacity > 0, capacity <= KRQUEUE_MAX_CAPACITY,
 * memsize >= krqueue_size(capacity).  O(capacity).
 * @param mem      the buffer, aligned for a pointer (not checked)
 * @param memsize  its size in bytes; exactly krqueue_size(capacity) is enough
 * @param capacity number of slots
 * @return mem, as the queue */
LIBKRC_API krqueue *krqueue_inplace_new(void *mem, uint32_t memsize, uint32_t capacity);

/** Appends an element behind the newest one.  Asserts p != NULL, then
 * elem != NULL, both before the full test; then, on a queue with room,
 * p->members[i] == NULL for the slot i about to be written.  O(1).
 * @param p    the queue
 * @param elem the element, not null
 * @return 1 when queued, 0 with the queue unchanged when it is full */
LIBKRC_API int krqueue_add(krqueue *p, void *elem);

/** Removes the oldest element, emptying its slot.  Asserts p != NULL; then,
 * on a non-empty queue, elem != NULL for the element read.  O(1).
 * @param p the queue
 * @return the element, or null with the queue unchanged when it is empty */
LIBKRC_API void *krqueue_get(krqueue *p);

/** Ends a heap queue: drains it into the destructor, then frees the slot
 * array and the header.  O(count).
 * @param p          the queue, not used afterwards; null does nothing
 * @param destructor receives every queued element, oldest first, through
 *                   krqueue_get(); null leaves the elements untouched */
LIBKRC_API void krqueue_free(krqueue *p, krqueue_destructor_fn destructor);

/** Drains an in-place queue.  Frees nothing: the buffer stays the caller's,
 * and the queue, left empty with its indexes where the draining left them,
 * may be used again.  O(count).
 * @param p          the queue; null does nothing
 * @param destructor receives every queued element, oldest first, through
 *                   krqueue_get(); null does nothing at all (every element
 *                   stays queued) */
LIBKRC_API void krqueue_inplace_free(krqueue *p, krqueue_destructor_fn destructor);

#ifdef __cplusplus
}
#endif

#endif
