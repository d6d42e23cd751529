/* SPDX-License-Identifier: MIT */
/* Compile-only check: every public header is valid strict C99. */
#include <libkrc/libkrc.h>

/* The size macros are constant expressions in C99: they size arrays. */
static void *queue_storage[KRQUEUE_SIZE(4) / sizeof(void *)];
static uint32_t window_storage[SLIDINGAVERAGE_SIZE(3) / sizeof(uint32_t)];

int libkrc_c99_headers_compile(void) { return queue_storage[0] == 0 && window_storage[0] == 0; }
