/* SPDX-License-Identifier: MIT */
/** @file
 * Fixed-block memory pool.
 *
 * A pool hands out blocks of one size, all cut from a single zero-filled
 * arena allocated at creation, and takes them back; neither step touches the
 * heap.  The free blocks sit on a stack, so the block given back most
 * recently is the next one handed out, and a fresh pool hands its blocks out
 * in ascending address order.  Blocks are never cleared on reuse: only a
 * block handed out for the first time is guaranteed to be zero.
 *
 * Block i begins at elements + i * elementsize, with no gap and no header
 * between blocks.  The arena has the heap's alignment; later blocks are
 * aligned only as far as elementsize is a multiple of the alignment wanted.
 *
 * The pool owns its header, its stack and its arena, three heap blocks in
 * all; a handed-out block is the caller's to use until it is given back or
 * the pool is destroyed.  The caller gives back only blocks of this pool,
 * each once per time it was handed out: that is not checked.
 *
 * Size limit: byte counts are unsigned 32-bit quantities and never wrap.  A
 * pool whose arena (nelements * elementsize) or stack (nelements pointers)
 * would exceed 4294967295 bytes is refused by mempool_create with a null
 * result before anything is allocated.
 *
 * Checks: mempool_alloc() and mempool_free() assert pool != NULL first;
 * mempool_destroy() checks nothing.  The stack consistency checks report the
 * internal function names stack_pop and stack_push.  A violated check prints
 * the failed expression and aborts, in every build.  Nothing here takes
 * a lock: a pool is used by one thread at a time.
 */
#ifndef LIBKRC_MEMPOOL_H
#define LIBKRC_MEMPOOL_H

#include <stddef.h>
#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** The pool header.
 * Invariants: nallocated <= nelements; stack slots 0 to nallocated - 1 hold
 * null (no block); slots nallocated to nelements - 1 hold the free blocks,
 * and slot nallocated is the next block to be handed out. */
typedef struct mempool {
    uint32_t nelements;   /**< number of blocks, at least 1, fixed at creation */
    uint32_t nallocated;  /**< blocks handed out, 0 to nelements */
    uint32_t elementsize; /**< bytes per block, at least 1 */
    void **stack;         /**< nelements slots: the stack of free blocks */
    uint8_t *elements;    /**< the arena of nelements * elementsize bytes */
} mempool;

#ifdef __cplusplus
static_assert(sizeof(mempool) == (sizeof(void *) == 4 ? 20 : 32), "mempool is 20 bytes (32-bit), 32 (64-bit)");
static_assert(offsetof(mempool, elements) == (sizeof(void *) == 4 ? 16 : 24), "elements at 16 (32-bit), 24 (64-bit)");
#endif

/** Creates a pool: the header with malloc, the zero-filled arena with calloc,
 * then the stack with calloc, filled so that block 0 is handed out first.
 * Asserts nelements > 0, then elementsize > 0.  O(nelements).
 * @param nelements   number of blocks
 * @param elementsize bytes per block
 * @return the pool, or null when an allocation fails (whatever was allocated
 *         is freed again) or when the arena or the stack would exceed
 *         4294967295 bytes (nothing is allocated) */
LIBKRC_API mempool *mempool_create(uint32_t nelements, uint32_t elementsize);

/** Hands out the block on top of the free stack, its contents as last left
 * (zero if never handed out before).  On a pool with a free block, asserts
 * element != STACK_SENTINEL (reported from stack_pop).  O(1), no heap use.
 * @param pool the pool
 * @return the block, or null with the pool unchanged when every block is
 *         handed out */
LIBKRC_API void *mempool_alloc(mempool *pool);

/** Gives a block back: it becomes the next block handed out.  For a non-null
 * element, asserts pool->nallocated > 0 (something must be out), then
 * pool->stack[pool->nallocated] == STACK_SENTINEL (reported from
 * stack_push).  O(1), no heap use.
 * @param pool    the pool
 * @param element a block of this pool, handed out and not yet given back;
 *                null does nothing, however many blocks are out */
LIBKRC_API void mempool_free(mempool *pool, void *element);

/** Frees the stack, the arena and the header, whatever is still handed out
 * (those blocks become invalid).  O(1).
 * @param pool the pool; null does nothing */
LIBKRC_API void mempool_destroy(mempool *pool);

#ifdef __cplusplus
}
#endif

#endif
