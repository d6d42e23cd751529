// SPDX-License-Identifier: MIT
// Aligned allocation: the platform's status-code interface turned into the
// library's null-on-failure convention.
#include <libkrc/krcmem.h>

#include <cstdlib>

#include "internal/check.h"

extern "C" void *kr_memalign(uint32_t alignment, uint32_t size) {
    KRC_CHECK((alignment % 2) == 0);
    void *block = nullptr;
    if (posix_memalign(&block, alignment, size) != 0)
        return nullptr;
    return block;
}

extern "C" void kr_free(void *ptr) { free(ptr); }
