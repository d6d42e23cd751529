/* Bounded first-in, first-out queue of non-null data pointers.
 *
 * The capacity is fixed when the queue is made; the elements sit in a ring of
 * slots in which a null slot is an empty slot, so null can never be queued.
 * A queue lives either on the heap (krqueue_new, ended with krqueue_free) or
 * inside a buffer of the caller's (krqueue_inplace_new, ended with
 * krqueue_inplace_free); never mix the two release functions.  After creation
 * no operation allocates, and adding and taking are constant time.
 *
 * The queue stores the caller's pointers and never looks behind them; they
 * are handed to a destructor only when one is passed at release.
 *
 * Size limit: every byte count here is an unsigned 32-bit quantity and is
 * never allowed to wrap.  A capacity above KRQUEUE_MAX_CAPACITY (1073741818
 * on the 32-bit target, where krqueue_size would exceed 4294967295) is
 * refused by both creation functions: krqueue_new returns null without
 * allocating anything, krqueue_inplace_new fails the assertion
 * "capacity <= KRQUEUE_MAX_CAPACITY", and krqueue_size returns 0 for it (a
 * size no real capacity has, the empty queue needing the header's bytes).
 *
 * Preconditions are checked with assertions that stay compiled in; a
 * violated one prints the failed expression and aborts.  Nothing here takes
 * a lock: a queue is used by one thread at a time.
 */
#ifndef LIBKRC_KRQUEUE_H
#define LIBKRC_KRQUEUE_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Receives each queued element when a queue is drained at release. */
typedef void (*krqueue_destructor_fn)(void *elem);

/* The queue header.
 * Invariants: count <= capacity; last_add and last_get are below capacity
 * (both start at capacity - 1, so the first element goes into and comes out
 * of slot 0); the count slots that follow last_get cyclically hold the queued
 * elements, oldest first, and are non-null; every other slot is null. */
typedef struct krqueue {
    uint32_t capacity; /* number of slots, fixed at creation */
    uint32_t count;    /* elements held, 0 to capacity */
    uint32_t last_add; /* slot written by the latest krqueue_add */
    uint32_t last_get; /* slot emptied by the latest krqueue_get */
    void **members;    /* the capacity slots */
} krqueue;

#ifdef __cplusplus
static_assert(sizeof(void *) != 4 || sizeof(krqueue) == 20, "krqueue is 20 bytes on 32-bit targets");
static_assert(sizeof(void *) != 4 || offsetof(krqueue, members) == 16, "members at offset 16");
#endif

/* The largest capacity whose in-place size, header plus one pointer per slot,
 * fits in 32 bits: 1073741818 on the 32-bit target. */
#define KRQUEUE_MAX_CAPACITY ((uint32_t)((UINT32_MAX - sizeof(krqueue)) / sizeof(void *)))

/* Creates an empty heap queue: the header with malloc, then the slot array,
 * zero-filled, with calloc (two blocks, both owned by the queue).  Any
 * capacity up to KRQUEUE_MAX_CAPACITY is accepted, 0 included; a queue of
 * capacity 0 refuses every add and yields null on every get.  No checks.
 * Returns null when an allocation fails (the header is then freed again) or
 * when capacity exceeds KRQUEUE_MAX_CAPACITY (nothing is allocated); nothing
 * is left allocated either way.  O(capacity) for the zero-fill. */
LIBKRC_API krqueue *krqueue_new(uint32_t capacity);

/* Bytes an in-place queue of this capacity needs: the header followed by
 * one pointer per slot, 4 * (capacity + 5) on the 32-bit target (24 for
 * capacity 1).  Returns 0 when capacity exceeds KRQUEUE_MAX_CAPACITY, since
 * the size would not fit in 32 bits; no capacity that can be made has size 0.
 * No checks.  O(1). */
LIBKRC_API uint32_t krqueue_size(uint32_t capacity);

/* Lays an empty queue out in the caller's buffer mem: the header first, the
 * slot array right after it (members points into mem), and zero-fills the
 * krqueue_size(capacity) - sizeof(krqueue) bytes of the slots; bytes beyond
 * krqueue_size(capacity) are not touched.  mem must be aligned for a pointer
 * (not checked).  The buffer stays the caller's and must not be moved or
 * copied while the queue is in use; release it with krqueue_inplace_free
 * only, never krqueue_free.  Asserts, in this order: mem != NULL,
 * memsize > 0, capacity > 0, capacity <= KRQUEUE_MAX_CAPACITY,
 * memsize >= krqueue_size(capacity) (exactly that many bytes is enough).
 * Returns mem.  O(capacity). */
LIBKRC_API krqueue *krqueue_inplace_new(void *mem, uint32_t memsize, uint32_t capacity);

/* Appends elem behind the newest element.  Asserts p != NULL, then
 * elem != NULL, both before the full test; then, on a queue with room,
 * p->members[i] == NULL for the slot i about to be written (the ring's
 * consistency).  O(1).  Returns 1 when queued, 0 with the queue unchanged
 * when it is full. */
LIBKRC_API int krqueue_add(krqueue *p, void *elem);

/* Removes and returns the oldest element, emptying its slot.  Asserts
 * p != NULL; then, on a non-empty queue, elem != NULL for the element read
 * (the ring's consistency).  O(1).  Returns null with the queue unchanged
 * when it is empty. */
LIBKRC_API void *krqueue_get(krqueue *p);

/* Ends a heap queue.  A null p does nothing.  A non-null destructor first
 * receives every queued element, oldest first, drained through krqueue_get;
 * with a null destructor the elements are left untouched.  Then the slot
 * array and the header are freed.  No checks.  O(count).  p must not be used
 * afterwards. */
LIBKRC_API void krqueue_free(krqueue *p, krqueue_destructor_fn destructor);

/* Drains an in-place queue: when both p and destructor are non-null, every
 * queued element goes to destructor, oldest first, through krqueue_get;
 * otherwise nothing at all happens (a null destructor leaves every element
 * queued).  Frees nothing: the buffer stays the caller's, and the queue,
 * left empty with its indexes where the draining left them, may be used
 * again.  No checks.  O(count). */
LIBKRC_API void krqueue_inplace_free(krqueue *p, krqueue_destructor_fn destructor);

#ifdef __cplusplus
}
#endif

#endif
