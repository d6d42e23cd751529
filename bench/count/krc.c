/* SPDX-License-Identifier: MIT */
/* The workloads through the library's C interface.  Built twice: against the
 * shared library and, with LTO, against the static one. */
#include <libkrc/libkrc.h>

#include <stdlib.h>

#include "workloads.h"

static int token;

static void run_queue(uint32_t n) {
    krqueue *q = krqueue_new(COUNT_QUEUE_CAPACITY);
    for (uint32_t k = 0; k < COUNT_QUEUE_CAPACITY / 2; ++k)
        krqueue_add(q, &token);
    for (uint32_t k = 0; k < n; ++k) {
        krqueue_add(q, &token);
        count_sink(krqueue_get(q));
    }
    krqueue_free(q, NULL);
}

static void run_pool(uint32_t n) {
    mempool *pool = mempool_create(COUNT_POOL_BLOCKS, COUNT_POOL_BLOCK_SIZE);
    for (uint32_t k = 0; k < n; ++k) {
        void *block = mempool_alloc(pool);
        count_sink(block);
        mempool_free(pool, block);
    }
    mempool_destroy(pool);
}

static void run_average(uint32_t n) {
    SlidingAverage *avg = SlidingAverage_create(COUNT_WINDOW);
    for (uint32_t k = 0; k < COUNT_WINDOW; ++k)
        SlidingAverage_Add(avg, k);
    for (uint32_t k = 0; k < n; ++k) {
        SlidingAverage_Add(avg, k);
        count_sink_double(SlidingAverage_GetAverage(avg));
    }
    SlidingAverage_destroy(avg);
}

struct record {
    uint32_t value;
    void *next;
    void *prev;
};

static struct record records[COUNT_FIFO_LENGTH];

static void run_slist_fifo(uint32_t n) {
    List list;
    List_makeList(&list, &records[0], &records[0].next, NULL);
    for (uint32_t k = 0; k < COUNT_FIFO_LENGTH; ++k)
        List_insertLast(&list, &records[k]);
    for (uint32_t k = 0; k < n; ++k) {
        void *e = List_removeFirst(&list);
        count_sink(e);
        List_insertLast(&list, e);
    }
}

static void run_dlist_fifo(uint32_t n) {
    DList list;
    DList_makeDList(&list, &records[0], &records[0].next, &records[0].prev, NULL);
    for (uint32_t k = 0; k < COUNT_FIFO_LENGTH; ++k)
        DList_insertLast(&list, &records[k]);
    for (uint32_t k = 0; k < n; ++k) {
        void *e = DList_removeFirst(&list);
        count_sink(e);
        DList_insertLast(&list, e);
    }
}

static void run_walk(uint32_t n) {
    list_t *lst = list_new(NULL, NULL);
    for (uintptr_t k = 0; k < COUNT_WALK_LENGTH; ++k)
        list_add(lst, (void *)k);
    uintptr_t sum = 0;
    while (n > 0) {
        for (list_iter_t it = list_first(lst); !list_end(it); it = list_next(it)) {
            sum += (uintptr_t)list_get(it);
            count_sink((void *)sum);
            if (--n == 0)
                break;
        }
    }
    list_free(lst, NULL);
}

static uint32_t keys[COUNT_HASH_KEYS];

static uint32_t key_hash(void *key, uint32_t nbuckets) {
    (void)nbuckets;
    return *(const uint32_t *)key;
}

static int key_equal(void *probe, void *stored) { return *(const uint32_t *)probe == *(const uint32_t *)stored; }

static void fill_table(HashTab *t) {
    HashTab_init(t, key_hash, key_equal, COUNT_HASH_CAPACITY, 0);
    for (uint32_t k = 0; k < COUNT_HASH_KEYS; ++k) {
        keys[k] = k * 2654435761u;
        HashTab_store(t, &keys[k], &keys[k]);
    }
}

static void run_hash_lookup(uint32_t n) {
    HashTab t;
    fill_table(&t);
    for (uint32_t k = 0, i = 0; k < n; ++k) {
        count_sink(HashTab_lookup(&t, &keys[i]));
        i = i + 1 == COUNT_HASH_KEYS ? 0 : i + 1;
    }
    HashTab_destroy(&t);
}

static void run_hash_churn(uint32_t n) {
    HashTab t;
    fill_table(&t);
    for (uint32_t k = 0, i = 0; k < n; ++k) {
        HashTab_delete(&t, &keys[i]);
        count_sink_u32((uint32_t)HashTab_store(&t, &keys[i], &keys[i]));
        i = i + 1 == COUNT_HASH_KEYS ? 0 : i + 1;
    }
    HashTab_destroy(&t);
}

static uint8_t bytes[COUNT_CRC_BYTES];

static void run_crc(uint32_t n) {
    for (uint32_t k = 0; k < COUNT_CRC_BYTES; ++k)
        bytes[k] = (uint8_t)(k * 37);
    for (uint32_t k = 0; k < n; ++k) {
        uint16_t crc;
        krclib_crc16Calc(bytes, &crc, COUNT_CRC_BYTES);
        count_sink_u32(crc);
    }
}

const struct count_workload count_workloads[] = {
    {"queue", "krqueue_add + krqueue_get, half-full ring of 64", run_queue},
    {"pool", "mempool_alloc + mempool_free", run_pool},
    {"average", "SlidingAverage_Add + GetAverage, window 64", run_average},
    {"slist-fifo", "List_removeFirst + List_insertLast", run_slist_fifo},
    {"dlist-fifo", "DList_removeFirst + DList_insertLast", run_dlist_fifo},
    {"walk", "one step of a list_first/end/get/next walk", run_walk},
    {"hash-lookup", "HashTab_lookup hit, 500 entries of 1000", run_hash_lookup},
    {"hash-churn", "HashTab_delete + HashTab_store, 500 of 1000", run_hash_churn},
    {"crc16", "krclib_crc16Calc over 64 bytes", run_crc},
    {NULL, NULL, NULL},
};
