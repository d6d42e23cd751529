/* SPDX-License-Identifier: MIT */
/* A host program with a function of its own named like one of the library's.
 * Its list_size claims that every list is huge.  The library's list_at must
 * still use its own list_size and report the index as out of range, rather
 * than skip its check and walk off the end of an empty list.
 *
 * The call runs in a child process; the parent expects it to abort with
 * list_at's assertion message on its standard error. */
#define _POSIX_C_SOURCE 200809L
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <libkrc/llist.h>

uint32_t list_size(list_t *lst) {
    (void)lst;
    return UINT32_MAX;
}

static const char expected[] = "src/llist.cpp:";
static const char expected_check[] = ": list_at: Assertion `idx < list_size(lst)' failed.";

static void call_list_at(void) {
    list_t *lst = list_new(NULL, NULL);
    if (lst == NULL)
        _exit(2);
    list_at(lst, 0);
    _exit(3); /* list_at returned: the program's list_size was used */
}

int main(void) {
    char report[4096] = {0};
    size_t used = 0;
    int status = 0;
    int fds[2];
    if (list_size(NULL) != UINT32_MAX || pipe(fds) != 0)
        return 1;
    pid_t child = fork();
    if (child < 0)
        return 1;
    if (child == 0) {
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        call_list_at();
    }
    close(fds[1]);
    for (ssize_t n; used < sizeof report - 1 && (n = read(fds[0], report + used, sizeof report - 1 - used)) > 0;)
        used += (size_t)n;
    waitpid(child, &status, 0);
    fprintf(stderr, "child's report: %s", report);
    if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGABRT) {
        fprintf(stderr, "FAILED: the child did not abort (status %#x)\n", (unsigned)status);
        return 1;
    }
    if (strstr(report, expected) == NULL || strstr(report, expected_check) == NULL) {
        fprintf(stderr, "FAILED: expected \"%s<line>%s\"\n", expected, expected_check);
        return 1;
    }
    fprintf(stderr, "list_at reported its own check\n");
    return 0;
}
