/* SPDX-License-Identifier: MIT */
/* Compile-only check: every public header is valid strict C99. */
#include <libkrc/libkrc.h>

int libkrc_c99_headers_compile(void) { return 0; }
