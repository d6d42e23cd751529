/* SPDX-License-Identifier: MIT */
/* Aligned heap blocks, e.g. for DMA buffers or cache-line sized records. */
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <libkrc/krcmem.h>

int main(void) {
    static const uint32_t alignments[] = {8, 16, 64, 4096};
    size_t i;
    for (i = 0; i < sizeof alignments / sizeof alignments[0]; i++) {
        void *block = kr_memalign(alignments[i], 100);
        if (block == NULL)
            return 1;
        memset(block, 0, 100);
        printf("alignment %4u: block at offset %u from a multiple of it\n", (unsigned)alignments[i],
               (unsigned)((uintptr_t)block % alignments[i]));
        kr_free(block);
    }
    kr_free(NULL); /* accepted, does nothing */
    return 0;
}
