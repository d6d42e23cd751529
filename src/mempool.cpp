// SPDX-License-Identifier: MIT
// Fixed-block memory pool: one arena, cut into equal blocks, with a stack of
// the free ones.
//
// All heap use is in mempool_create; alloc and free are one stack step each,
// and the stack steps check the stack's consistency under their own names.
#include <libkrc/mempool.h>

#include <cstdlib>

#include "internal/check.h"

namespace {

// Marks a stack slot that holds no block.
constexpr void *STACK_SENTINEL = nullptr;

// Whether count objects of size bytes fit in an unsigned 32-bit byte count.
inline bool fits_u32(uint32_t count, size_t size) {
    return static_cast<uint64_t>(count) * size <= UINT32_MAX;
}

// The names stack_pop and stack_push appear in the failure messages of their
// checks, which callers see: keep them.

// Both steps move nallocated before touching the slot: -Os then needs no
// callee-saved register, one to three instructions less per call on armhf
// than the plain order (bench/count/ceilings holds the count).

// Takes the block on top of the stack and marks its slot empty.
void *stack_pop(mempool *pool) {
    void **top = &pool->stack[pool->nallocated++];
    void *element = *top;
    KRC_CHECK(element != STACK_SENTINEL);
    *top = STACK_SENTINEL;
    return element;
}

// Puts element on top of the stack, into a slot that must be empty.
void stack_push(mempool *pool, void *element) {
    --pool->nallocated;
    KRC_CHECK(pool->stack[pool->nallocated] == STACK_SENTINEL);
    pool->stack[pool->nallocated] = element;
}

}  // namespace

extern "C" mempool *mempool_create(uint32_t nelements, uint32_t elementsize) {
    KRC_CHECK(nelements > 0);
    KRC_CHECK(elementsize > 0);
    if (!fits_u32(nelements, elementsize) || !fits_u32(nelements, sizeof(void *)))
        return nullptr;
    auto *pool = static_cast<mempool *>(malloc(sizeof(mempool)));
    if (pool == nullptr)
        return nullptr;
    pool->nelements = nelements;
    pool->elementsize = elementsize;
    pool->nallocated = 0;
    pool->elements = static_cast<uint8_t *>(calloc(nelements, elementsize));
    if (pool->elements == nullptr) {
        free(pool);
        return nullptr;
    }
    pool->stack = static_cast<void **>(calloc(nelements, sizeof(void *)));
    if (pool->stack == nullptr) {
        free(pool->elements);
        free(pool);
        return nullptr;
    }
    uint8_t *block = pool->elements;
    for (uint32_t i = 0; i < nelements; ++i, block += elementsize)
        pool->stack[i] = block;
    return pool;
}

extern "C" void *mempool_alloc(mempool *pool) {
    KRC_CHECK_TEXT(pool != nullptr, "pool != NULL");
    if (pool->nallocated == pool->nelements)
        return nullptr;
    return stack_pop(pool);
}

extern "C" void mempool_free(mempool *pool, void *element) {
    KRC_CHECK_TEXT(pool != nullptr, "pool != NULL");
    if (element == nullptr)
        return;
    KRC_CHECK(pool->nallocated > 0);
    stack_push(pool, element);
}

extern "C" void mempool_destroy(mempool *pool) {
    if (pool == nullptr)
        return;
    free(static_cast<void *>(pool->stack));
    free(pool->elements);
    free(pool);
}
