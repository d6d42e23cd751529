/* Fixed-block memory pool.
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
 * Preconditions are checked with assertions that stay compiled in; a
 * violated one prints the failed expression and aborts.  Nothing here takes
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

/* The pool header.
 * Invariants: nallocated <= nelements; stack slots 0 to nallocated - 1 hold
 * null (no block); slots nallocated to nelements - 1 hold the free blocks,
 * and slot nallocated is the next block to be handed out. */
typedef struct mempool {
    uint32_t nelements;   /* number of blocks, at least 1, fixed at creation */
    uint32_t nallocated;  /* blocks handed out, 0 to nelements */
    uint32_t elementsize; /* bytes per block, at least 1 */
    void **stack;         /* nelements slots: the stack of free blocks */
    uint8_t *elements;    /* the arena of nelements * elementsize bytes */
} mempool;

#ifdef __cplusplus
static_assert(sizeof(void *) != 4 || sizeof(mempool) == 20, "mempool is 20 bytes on 32-bit targets");
static_assert(sizeof(void *) != 4 || offsetof(mempool, elements) == 16, "elements at offset 16");
#endif

/* Creates a pool of nelements blocks of elementsize bytes: the header with
 * malloc, the zero-filled arena with calloc, then the stack with calloc,
 * filled so that block 0 is handed out first.  Asserts nelements > 0, then
 * elementsize > 0.  Returns null when an allocation fails (whatever was
 * allocated is freed again) or when the arena or the stack would exceed
 * 4294967295 bytes (nothing is allocated).  O(nelements). */
LIBKRC_API mempool *mempool_create(uint32_t nelements, uint32_t elementsize);

/* Hands out the block on top of the free stack, its contents as last left
 * (zero if never handed out before).  Asserts pool != NULL; then, on a pool
 * with a free block, element != STACK_SENTINEL (reported from stack_pop: the
 * stack's consistency).  O(1), no heap use.  Returns null with the pool
 * unchanged when every block is handed out. */
LIBKRC_API void *mempool_alloc(mempool *pool);

/* Gives element back: it becomes the next block handed out.  A null element
 * does nothing, however many blocks are out.  Asserts pool != NULL; then,
 * for a non-null element, pool->nallocated > 0 (something must be out) and
 * pool->stack[pool->nallocated] == STACK_SENTINEL (reported from
 * stack_push: the stack's consistency).  O(1), no heap use. */
LIBKRC_API void mempool_free(mempool *pool, void *element);

/* Frees the stack, the arena and the header, whatever is still handed out
 * (those blocks become invalid).  A null pool does nothing.  No checks.
 * O(1). */
LIBKRC_API void mempool_destroy(mempool *pool);

#ifdef __cplusplus
}
#endif

#endif
