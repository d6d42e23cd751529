/* Aligned heap blocks: posix_memalign with a null-on-failure result, and its
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

/* A block of at least size bytes whose address is a multiple of alignment,
 * from posix_memalign; release it with kr_free.  Note the argument order:
 * alignment first.  Asserts (alignment % 2) == 0.  Returns null on every
 * failure of posix_memalign: memory exhaustion, and every even alignment the
 * platform refuses (POSIX wants a power of two that is a multiple of
 * sizeof(void *), so 0, 2, 6, 10, 12 ... give null); the status code itself
 * is not passed on.  A size of 0 gives what the platform gives for it: null
 * or a unique block that kr_free accepts. */
LIBKRC_API void *kr_memalign(uint32_t alignment, uint32_t size);

/* Releases a block from kr_memalign through free.  A null ptr does
 * nothing. */
LIBKRC_API void kr_free(void *ptr);

#ifdef __cplusplus
}
#endif

#endif
