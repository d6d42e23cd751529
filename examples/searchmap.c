/* SPDX-License-Identifier: MIT */
/* Constant look-up maps: error codes to HTTP-like statuses, and numbers to
 * names. */
#include <stdint.h>
#include <stdio.h>

#include <libkrc/searchmap.h>

static const uint_uint_map_entry status_of[] = {
    {1, 200}, {2, 404}, {3, 500}, {0xFFFFFFFFu, 418}, /* 0xFFFFFFFF is an ordinary key */
    {0xFFFF, 0},                                      /* sentinel */
};

static const str_uint_map_entry state_names[] = {
    {"idle", 0}, {"running", 1}, {"stopped", 2},
    {NULL, 0}, /* sentinel */
};

int main(void) {
    static const uint32_t keys[] = {1, 3, 0xFFFFFFFFu, 7};
    uint32_t v;
    size_t i;
    for (i = 0; i < sizeof keys / sizeof keys[0]; i++) {
        uint32_t status = krclib_search_uint_uint_map(status_of, keys[i]);
        if (status == 0xFFFF)
            printf("key 0x%08X: not found\n", (unsigned)keys[i]);
        else
            printf("key 0x%08X: status %u\n", (unsigned)keys[i], (unsigned)status);
    }
    for (v = 0; v < 4; v++) {
        const char *name = krclib_search_str_uint_map(state_names, v);
        printf("state %u: %s\n", (unsigned)v, name != NULL ? name : "(unknown)");
    }
    return 0;
}
