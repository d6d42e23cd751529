/* SPDX-License-Identifier: MIT */
/* Runs one workload of the variant this is linked into:
 *   PROGRAM --list          prints the workload names, one a line
 *   PROGRAM WORKLOAD N      set-up, then N operations
 * Exits 2 for a workload the variant does not have. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "workloads.h"

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s --list | WORKLOAD N\n", argv[0]);
        return 1;
    }
    const int list = argc == 2 && strcmp(argv[1], "--list") == 0;
    for (const struct count_workload *w = count_workloads; w->name != NULL; ++w) {
        if (list) {
            printf("%s\t%s\n", w->name, w->operation);
        } else if (argc == 3 && strcmp(w->name, argv[1]) == 0) {
            w->run((uint32_t)strtoul(argv[2], NULL, 10));
            return 0;
        }
    }
    return list ? 0 : 2;
}
