/* SPDX-License-Identifier: MIT */
/* The fixed-block pool: records taken from one arena and recycled LIFO. */
#include <stdio.h>

#include <libkrc/mempool.h>

struct point {
    int x, y;
};

int main(void) {
    mempool *pool = mempool_create(4, sizeof(struct point));
    struct point *a, *b, *c, *p;
    int n = 0;
    if (pool == NULL)
        return 1;
    a = mempool_alloc(pool);
    b = mempool_alloc(pool);
    c = mempool_alloc(pool);
    printf("blocks at arena offsets %d, %d, %d (fresh pools hand out in order)\n",
           (int)((unsigned char *)a - pool->elements), (int)((unsigned char *)b - pool->elements),
           (int)((unsigned char *)c - pool->elements));
    a->x = 1;
    a->y = 2;
    mempool_free(pool, a);
    p = mempool_alloc(pool);
    printf("given back and taken again: %s, still holds (%d, %d)\n", p == a ? "same block" : "other block",
           p->x, p->y);
    while (mempool_alloc(pool) != NULL)
        n++;
    printf("%d more block(s) until exhausted; %u of %u handed out\n", n, (unsigned)pool->nallocated,
           (unsigned)pool->nelements);
    mempool_destroy(pool); /* frees everything, blocks still out included */
    return 0;
}
