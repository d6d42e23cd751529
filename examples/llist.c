/* SPDX-License-Identifier: MIT */
/* The generic list: build, walk, search, filter, sort and release. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <libkrc/llist.h>

static unsigned int print_item(void *ctx, void *data) {
    (void)ctx;
    printf("%s", (const char *)data);
    return 1;
}

static unsigned int print_sep(void *ctx) {
    (void)ctx;
    printf(", ");
    return 1;
}

static unsigned int is_long(void *data, void *ctx) {
    return strlen((const char *)data) > *(size_t *)ctx;
}

static int by_name(void *a, void *b) { return strcmp((const char *)a, (const char *)b); }

static int same_name(void *key, void *data) { return strcmp((const char *)key, (const char *)data); }

static void *duplicate(void *data) {
    size_t n = strlen((const char *)data) + 1;
    void *copy = malloc(n);
    return copy ? memcpy(copy, data, n) : NULL;
}

static void show(const char *title, list_t *lst) {
    printf("%-10s [", title);
    list_foreach_sep(lst, NULL, print_item, print_sep);
    printf("] (%u items)\n", (unsigned)list_size(lst));
}

int main(void) {
    static char *const names[] = {"mango", "fig", "apple", "kiwi", "banana"};
    list_t *fruit = list_new(NULL, NULL); /* malloc and free */
    list_t *longer = NULL, *copies = NULL;
    size_t min_len = 4;
    size_t i;
    if (fruit == NULL)
        return 1;
    for (i = 0; i < sizeof names / sizeof names[0]; i++) {
        if (list_add(fruit, names[i]) == NULL)
            goto fail;
    }
    show("fruit", fruit);
    printf("%-10s %s\n", "third", (const char *)list_at(fruit, 2));
    printf("%-10s %s\n", "find kiwi", list_find(fruit, "kiwi", same_name) ? "yes" : "no");

    longer = sublist_create(fruit, is_long, &min_len); /* shares the pointers */
    if (longer == NULL)
        goto fail;
    show("longer", longer);

    list_sort(fruit, by_name);
    show("sorted", fruit);

    copies = list_copy(fruit, duplicate, free); /* owns its strings */
    if (copies == NULL)
        goto fail;
    list_delete(copies, list_find(copies, "fig", same_name), free);
    show("copies", copies);

    list_free(copies, free);
    list_free(longer, NULL);
    list_free(fruit, NULL);
    return 0;
fail:
    list_free(copies, free);
    list_free(longer, NULL);
    list_free(fruit, NULL);
    return 1;
}
