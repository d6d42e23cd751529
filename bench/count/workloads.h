/* SPDX-License-Identifier: MIT */
/* Instruction-count workloads: the shared part of every counting program.
 *
 * A counting program is one variant (the library through its shared object,
 * the library linked statically with LTO, the same work written inline, ...)
 * and holds one function per workload.  main() runs the workload named on the
 * command line: a fixed set-up, then `n` operations, then nothing else, so
 * that the difference between runs with n and with 0 is the cost of n
 * operations alone.  A variant that has no version of a workload simply
 * leaves it out of its table; the table then shows a dash.
 *
 * To add a workload: write `static void run_NAME(uint32_t n)` in every
 * variant that can do it and add `{"NAME", "what one operation is", run_NAME}`
 * to the variant's `count_workloads` table; for the shared library variant,
 * add a ceiling to `bench/count/ceilings` too (scripts/checks/counts.sh).
 * The row order of the printed table is the order of the shared library
 * variant's table. */
#ifndef LIBKRC_BENCH_COUNT_WORKLOADS_H
#define LIBKRC_BENCH_COUNT_WORKLOADS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct count_workload {
    const char *name;        /* the command-line name, also the row key */
    const char *operation;   /* what one of the n operations is */
    void (*run)(uint32_t n); /* set-up, then n operations */
};

/* Each variant defines its table, ended by an entry with a null name. */
extern const struct count_workload count_workloads[];

/* Keeps v alive and in a register, and makes the compiler assume that all
 * memory may have been read and written: the work of one iteration can be
 * neither dropped nor merged with the next, in any variant. */
static inline void count_sink(const void *v) { __asm__ volatile("" : : "r"(v) : "memory"); }
static inline void count_sink_u32(uint32_t v) { __asm__ volatile("" : : "r"(v) : "memory"); }
static inline void count_sink_double(double v) { __asm__ volatile("" : : "g"(v) : "memory"); }

/* Sizes shared by every variant, so that all of them do the same work. */
enum {
    COUNT_QUEUE_CAPACITY = 64, /* queue kept half full */
    COUNT_POOL_BLOCKS = 64,
    COUNT_POOL_BLOCK_SIZE = 16,
    COUNT_WINDOW = 64,         /* sliding average, kept full */
    COUNT_FIFO_LENGTH = 8,     /* intrusive FIFOs: elements kept linked */
    COUNT_WALK_LENGTH = 100,   /* generic list walked over and over */
    COUNT_HASH_CAPACITY = 1000,
    COUNT_HASH_KEYS = 500,     /* stored keys, looked up in turn */
    COUNT_CRC_BYTES = 64
};

#ifdef __cplusplus
}
#endif

#endif
