/* SPDX-License-Identifier: MIT */
/* The sliding average: a heap window and an in-place window of the same
 * length, fed the same readings. */
#include <stdint.h>
#include <stdio.h>

#include <libkrc/slidingaverage.h>

#define WINDOW 4

static void show(const char *title, SlidingAverage *p) {
    printf("%-8s %u samples, average %.2f, variance %u\n", title, (unsigned)SlidingAverage_NoOfEntries(p),
           SlidingAverage_GetAverage(p), (unsigned)SlidingAverage_GetVariance(p));
}

int main(void) {
    static const uint32_t readings[] = {120, 130, 125, 135, 180, 110};
    /* 8-byte alignment satisfies every host; the 32-bit target needs 4. */
    static uint64_t storage[(WINDOW * sizeof(uint32_t) + sizeof(SlidingAverage) + 7) / 8];
    SlidingAverage *heap = SlidingAverage_create(WINDOW);
    SlidingAverage *local = SlidingAverage_inplace_create(storage, sizeof storage, WINDOW);
    size_t i;
    if (heap == NULL)
        return 1;
    for (i = 0; i < sizeof readings / sizeof readings[0]; i++) {
        SlidingAverage_Add(heap, readings[i]);
        SlidingAverage_Add(local, readings[i]);
        printf("add %3u: ", (unsigned)readings[i]);
        show("heap", heap);
    }
    show("in place", local);
    SlidingAverage_Reset(local);
    show("reset", local);
    SlidingAverage_destroy(heap);
    return 0;
}
