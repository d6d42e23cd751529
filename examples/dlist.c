/* SPDX-License-Identifier: MIT */
/* The intrusive doubly linked list: a least-recently-used cache of records
 * that each sit in a recency list and in a size-ordered list at once. */
#include <stdio.h>
#include <stdlib.h>

#include <libkrc/dlist.h>

struct entry {
    int32_t size;  /* first member: the element pointer is the entry's address */
    char key;
    struct entry *next_used, *prev_used; /* recency list, most recent first */
    struct entry *next_size, *prev_size; /* size-ordered list */
};

static int32_t compare_size(void *a, void *b) {
    int32_t sa = ((struct entry *)a)->size, sb = ((struct entry *)b)->size;
    return (sa > sb) - (sa < sb);
}

static void show(const char *title, DList *list) {
    struct entry *e;
    printf("%-9s", title);
    DList_startIterate(list);
    while ((e = DList_getNext(list)) != NULL)
        printf(" %c:%d", e->key, (int)e->size);
    printf("   [%u entries]\n", (unsigned)DList_getCount(list));
}

/* A hit moves the entry to the front of the recency list in constant time. */
static void touch(DList *used, struct entry *e) {
    DList_remove(used, e);
    DList_insertFirst(used, e);
}

int main(void) {
    static const char keys[] = "abcde";
    static const int32_t sizes[] = {40, 10, 30, 10, 20};
    struct entry sample, *e, *found[5];
    DList used, by_size;
    size_t i;

    DList_makeDList(&used, &sample, &sample.next_used, &sample.prev_used, NULL);
    DList_makeDList(&by_size, &sample, &sample.next_size, &sample.prev_size, compare_size);
    for (i = 0; i < 5; i++) {
        e = calloc(1, sizeof *e);
        if (e == NULL) {
            DList_freeElements(&used);
            return 1;
        }
        e->key = keys[i];
        e->size = sizes[i];
        found[i] = e;
        DList_insertFirst(&used, e);
        DList_insertSorted(&by_size, e);
    }
    show("used", &used);
    show("by size", &by_size);

    touch(&used, found[1]);
    touch(&used, found[3]);
    show("hits b,d", &used);

    /* Evict the least recently used entry from both lists, then free it. */
    e = DList_removeLast(&used);
    DList_remove(&by_size, e);
    printf("%-9s %c:%d\n", "evicted", e->key, (int)e->size);
    free(e);
    show("used", &used);
    show("by size", &by_size);

    /* The remaining entries are in both lists: release them through one. */
    DList_freeElements(&used);
    DList_makeDList(&by_size, &sample, &sample.next_size, &sample.prev_size, compare_size);
    printf("%-9s empty: %d and %d\n", "released", (int)DList_isEmpty(&used), (int)DList_isEmpty(&by_size));
    return 0;
}
