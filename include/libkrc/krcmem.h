/* SPDX-License-Identifier: MIT */
/** @file
 * Aligned heap blocks: posix_memalign with a null-on-failure result, and its
 * matching release.
 *
 * Both functions keep no state and are as thread-safe as the platform heap.
 */
#ifndef LIBKRC_KRCMEM_H
#define LIBKRC_KRCMEM_H

#include <stdint.h>

#include <libkrc/export.h>

#ifdef __cplusplus
extern "C" {
#endif

/** Allocates a block whose address is a multiple of alignment, from
 * posix_memalign; release it with kr_free().  Note the argument order:
 * alignment first.  Asserts (alignment % 2) == 0.
 * @param alignment the address multiple wanted; every even value the
 *                  platform refuses (POSIX wants a power of two that is a
 *                  multiple of sizeof(void *), so 0, 2, 6, 10, 12 ...) gives
 *                  null
 * @param size      at least this many bytes; for 0 the result is what the
 *                  platform gives: null or a unique block that kr_free()
 *                  accepts
 * @return the block, or null on every failure of posix_memalign (memory
 *         exhaustion included); the status code itself is not passed on */
LIBKRC_API void *kr_memalign(uint32_t alignment, uint32_t size);

/** Releases a block from kr_memalign() through free.
 * @param ptr the block; null does nothing */
LIBKRC_API void kr_free(void *ptr);

#ifdef __cplusplus
}
#endif

#endif
