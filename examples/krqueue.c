/* SPDX-License-Identifier: MIT */
/* The bounded queue: a heap queue of jobs, then the same in a caller's
 * buffer with no heap use at all. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <libkrc/krqueue.h>

static void release_job(void *job) {
    printf("  dropped %s\n", (const char *)job);
    free(job);
}

static char *make_job(int n) {
    char *job = malloc(16);
    if (job != NULL)
        sprintf(job, "job-%d", n);
    return job;
}

int main(void) {
    static void *storage[16]; /* pointer-aligned room for the in-place queue */
    static char *const words[] = {"alpha", "beta", "gamma", "delta"};
    krqueue *jobs = krqueue_new(3);
    krqueue *q;
    char *job;
    int n;
    size_t i;
    if (jobs == NULL)
        return 1;

    /* Fill past capacity: the fourth add is refused and the job stays ours. */
    for (n = 1; n <= 4; n++) {
        job = make_job(n);
        if (job == NULL || !krqueue_add(jobs, job)) {
            printf("queue full, %s not queued\n", job ? job : "job");
            free(job);
        }
    }
    job = krqueue_get(jobs);
    printf("first out: %s\n", job);
    free(job);
    printf("release with %u queued:\n", (unsigned)jobs->count);
    krqueue_free(jobs, release_job); /* drains oldest first, then frees */

    printf("in place: capacity 8 needs %u bytes, buffer has %u\n", (unsigned)krqueue_size(8),
           (unsigned)sizeof storage);
    q = krqueue_inplace_new(storage, sizeof storage, 8);
    for (i = 0; i < sizeof words / sizeof words[0]; i++)
        krqueue_add(q, words[i]);
    printf("in order:");
    while ((job = krqueue_get(q)) != NULL)
        printf(" %s", job);
    printf("\n");
    return 0;
}
