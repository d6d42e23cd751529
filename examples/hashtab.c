/* SPDX-License-Identifier: MIT */
/* The hash table: a fixed-capacity map from port names to numbers. */
#include <stdio.h>
#include <string.h>

#include <libkrc/hashtab.h>

static uint32_t hash_name(void *key, uint32_t nbuckets) {
    return HashTab_hashMem(key, nbuckets, (uint32_t)strlen((const char *)key));
}

static int same_name(void *probe, void *stored) {
    return strcmp((const char *)probe, (const char *)stored) == 0;
}

int main(void) {
    static const char *const names[] = {"http", "ssh", "smtp", "dns", "ntp"};
    static int ports[] = {80, 22, 25, 53, 123};
    HashTab tab;
    size_t i;
    if (!HashTab_init(&tab, hash_name, same_name, 4, 0))
        return 1;
    printf("capacity %u, %u buckets\n", (unsigned)tab.capacity, (unsigned)tab.nbuckets);
    for (i = 0; i < sizeof names / sizeof names[0]; i++) {
        int stored = HashTab_store(&tab, names[i], &ports[i]);
        printf("store %-5s %s\n", names[i], stored ? "ok" : "refused (full)");
    }

    HashTab_delete(&tab, "smtp");
    printf("after deleting smtp: %u in use\n", (unsigned)tab.count);
    printf("store ssh   %s\n", HashTab_store(&tab, "ssh", &ports[0]) ? "ok" : "refused (present)");
    if (!HashTab_store(&tab, names[4], &ports[4]))
        goto fail;
    for (i = 0; i < sizeof names / sizeof names[0]; i++) {
        const int *port = (const int *)HashTab_lookup(&tab, names[i]);
        if (port != NULL)
            printf("%-5s -> %d\n", names[i], *port);
        else
            printf("%-5s -> absent\n", names[i]);
    }
    HashTab_destroy(&tab);
    return 0;
fail:
    HashTab_destroy(&tab);
    return 1;
}
