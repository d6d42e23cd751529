/* SPDX-License-Identifier: MIT */
/* The intrusive singly linked list: jobs that sit in two lists at once, one
 * ordered by priority and one in arrival order, through two link fields. */
#include <stdio.h>
#include <stdlib.h>

#include <libkrc/slist.h>

struct job {
    int32_t priority;       /* first member: the element pointer is the job's address */
    const char *name;
    struct job *by_priority; /* link field of the priority queue */
    struct job *by_arrival;  /* link field of the arrival log */
};

static int32_t compare_priority(void *a, void *b) {
    int32_t pa = ((struct job *)a)->priority, pb = ((struct job *)b)->priority;
    return (pa > pb) - (pa < pb);
}

static void show(const char *title, List *list) {
    struct job *j;
    printf("%-10s", title);
    List_startIterate(list);
    while ((j = List_getNext(list)) != NULL)
        printf(" %s(%d)", j->name, (int)j->priority);
    printf("   [%d jobs]\n", (int)List_getCount(list));
}

int main(void) {
    static const char *const names[] = {"backup", "mail", "compile", "index", "rotate"};
    static const int32_t priorities[] = {3, 1, 2, 3, 0};
    struct job sample;
    List queue, arrivals, urgent;
    struct job *j;
    size_t i;

    List_makeList(&queue, &sample, &sample.by_priority, compare_priority);
    List_makeList(&arrivals, &sample, &sample.by_arrival, NULL);
    for (i = 0; i < sizeof names / sizeof names[0]; i++) {
        j = malloc(sizeof *j);
        if (j == NULL) {
            List_freeElements(&arrivals);
            return 1;
        }
        j->priority = priorities[i];
        j->name = names[i];
        List_insertLast(&arrivals, j);
        List_insertSorted(&queue, j);
    }
    show("arrivals", &arrivals);
    show("queue", &queue);

    /* Two late urgent jobs, kept apart at first, then merged into the queue. */
    {
        static struct job late[2] = {{0, "page", NULL, NULL}, {2, "deploy", NULL, NULL}};
        List_makeList(&urgent, &sample, &sample.by_priority, compare_priority);
        List_insertLast(&urgent, &late[1]);
        List_insertLast(&urgent, &late[0]);
        List_mergeLists(&queue, &urgent);
        show("merged", &queue);
        j = List_pop(&queue);
        printf("%-10s %s, then %s\n", "served", j->name, ((struct job *)List_pop(&queue))->name);
        show("queue", &queue);
    }

    /* Every malloc'd job is in the arrival log: release them all through it. */
    List_freeElements(&arrivals);
    printf("%-10s %d jobs left, empty: %d\n", "released", (int)List_getCount(&arrivals),
           (int)List_isEmpty(&arrivals));
    return 0;
}
