/* SPDX-License-Identifier: MIT */
/* The same work as krc.c hand-written inline in C: the same data layouts
 * and steps, with no calls and no checks.  It is the floor against which
 * the static + LTO build is compared. */
#include <stdlib.h>

#include "workloads.h"

static int token;

static struct {
    uint32_t capacity, count, last_add, last_get;
    void *slots[COUNT_QUEUE_CAPACITY];
} queue;

static inline int queue_add(void *e) {
    if (queue.count == queue.capacity)
        return 0;
    uint32_t i = queue.last_add + 1;
    i = i >= queue.capacity ? 0 : i;
    queue.slots[i] = e;
    queue.last_add = i;
    ++queue.count;
    return 1;
}

static inline void *queue_get(void) {
    if (queue.count == 0)
        return NULL;
    uint32_t i = queue.last_get + 1;
    i = i >= queue.capacity ? 0 : i;
    void *e = queue.slots[i];
    queue.slots[i] = NULL;
    queue.last_get = i;
    --queue.count;
    return e;
}

static void run_queue(uint32_t n) {
    queue.capacity = COUNT_QUEUE_CAPACITY;
    queue.last_add = queue.last_get = COUNT_QUEUE_CAPACITY - 1;
    for (uint32_t k = 0; k < COUNT_QUEUE_CAPACITY / 2; ++k)
        queue_add(&token);
    for (uint32_t k = 0; k < n; ++k) {
        queue_add(&token);
        count_sink(queue_get());
    }
}

static struct {
    uint32_t nfree;
    void *stack[COUNT_POOL_BLOCKS];
    unsigned char arena[COUNT_POOL_BLOCKS][COUNT_POOL_BLOCK_SIZE];
} pool;

static void run_pool(uint32_t n) {
    for (uint32_t k = 0; k < COUNT_POOL_BLOCKS; ++k)
        pool.stack[k] = pool.arena[COUNT_POOL_BLOCKS - 1 - k];
    pool.nfree = COUNT_POOL_BLOCKS;
    for (uint32_t k = 0; k < n; ++k) {
        void *block = pool.nfree > 0 ? pool.stack[--pool.nfree] : NULL;
        count_sink(block);
        if (block != NULL)
            pool.stack[pool.nfree++] = block;
    }
}

static struct {
    uint64_t sum;
    uint32_t entries, next;
    uint32_t log[COUNT_WINDOW];
} avg;

static void average_add(uint32_t sample) {
    uint32_t *slot = &avg.log[avg.next];
    if (avg.entries == COUNT_WINDOW) {
        avg.sum = avg.sum + sample - *slot;
    } else {
        avg.sum += sample;
        ++avg.entries;
    }
    *slot = sample;
    avg.next = avg.next + 1 == COUNT_WINDOW ? 0 : avg.next + 1;
}

static void run_average(uint32_t n) {
    for (uint32_t k = 0; k < COUNT_WINDOW; ++k)
        average_add(k);
    for (uint32_t k = 0; k < n; ++k) {
        average_add(k);
        count_sink_double(avg.entries ? (double)avg.sum / avg.entries : 0.0);
    }
}

struct record {
    uint32_t value;
    struct record *next;
    struct record *prev;
};

static struct record records[COUNT_FIFO_LENGTH];
static struct {
    struct record *first, *last;
} fifo;

static void run_slist_fifo(uint32_t n) {
    for (uint32_t k = 0; k + 1 < COUNT_FIFO_LENGTH; ++k)
        records[k].next = &records[k + 1];
    fifo.first = &records[0];
    fifo.last = &records[COUNT_FIFO_LENGTH - 1];
    for (uint32_t k = 0; k < n; ++k) {
        struct record *e = fifo.first;
        fifo.first = e->next;
        if (fifo.first == NULL)
            fifo.last = NULL;
        count_sink(e);
        e->next = NULL;
        if (fifo.last != NULL)
            fifo.last->next = e;
        else
            fifo.first = e;
        fifo.last = e;
    }
}

static void run_dlist_fifo(uint32_t n) {
    for (uint32_t k = 0; k + 1 < COUNT_FIFO_LENGTH; ++k) {
        records[k].next = &records[k + 1];
        records[k + 1].prev = &records[k];
    }
    fifo.first = &records[0];
    fifo.last = &records[COUNT_FIFO_LENGTH - 1];
    for (uint32_t k = 0; k < n; ++k) {
        struct record *e = fifo.first;
        fifo.first = e->next;
        if (fifo.first != NULL)
            fifo.first->prev = NULL;
        else
            fifo.last = NULL;
        count_sink(e);
        e->next = NULL;
        e->prev = fifo.last;
        if (fifo.last != NULL)
            fifo.last->next = e;
        else
            fifo.first = e;
        fifo.last = e;
    }
}

struct node {
    struct node *next, *prev;
    void *data;
};

static void run_walk(uint32_t n) {
    struct node *first = NULL, **link = &first, *prev = NULL;
    for (uintptr_t k = 0; k < COUNT_WALK_LENGTH; ++k) {
        struct node *node = malloc(sizeof *node);
        node->data = (void *)k;
        node->prev = prev;
        node->next = NULL;
        *link = prev = node;
        link = &node->next;
    }
    uintptr_t sum = 0;
    while (n > 0) {
        for (struct node *it = first; it != NULL; it = it->next) {
            sum += (uintptr_t)it->data;
            count_sink((void *)sum);
            if (--n == 0)
                break;
        }
    }
    while (first != NULL) {
        struct node *next = first->next;
        free(first);
        first = next;
    }
}

/* Chained table of the library's shape: the bucket count a run-time value,
 * reduced with C's own `%`. */
struct entry {
    struct entry *next;
    const uint32_t *key;
    void *value;
};

static uint32_t keys[COUNT_HASH_KEYS];
static struct entry entries[COUNT_HASH_CAPACITY];
static struct entry *buckets[2003];
static volatile uint32_t nbuckets_source = 2003;

static void run_hash_lookup(uint32_t n) {
    const uint32_t nbuckets = nbuckets_source;
    for (uint32_t k = 0; k < COUNT_HASH_KEYS; ++k) {
        keys[k] = k * 2654435761u;
        struct entry *e = &entries[k];
        struct entry **head = &buckets[keys[k] % nbuckets];
        e->key = &keys[k];
        e->value = &keys[k];
        e->next = *head;
        *head = e;
    }
    for (uint32_t k = 0, i = 0; k < n; ++k) {
        const uint32_t key = keys[i];
        void *found = NULL;
        for (struct entry *e = buckets[key % nbuckets]; e != NULL; e = e->next) {
            if (*e->key == key) {
                found = e->value;
                break;
            }
        }
        count_sink(found);
        i = i + 1 == COUNT_HASH_KEYS ? 0 : i + 1;
    }
}

static uint16_t crc_table[256];
static uint8_t bytes[COUNT_CRC_BYTES];

static void run_crc(uint32_t n) {
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t reg = (uint16_t)(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            reg = (uint16_t)((reg & 0x8000u) ? (reg << 1) ^ 0x1021 : reg << 1);
        crc_table[i] = reg;
    }
    for (uint32_t k = 0; k < COUNT_CRC_BYTES; ++k)
        bytes[k] = (uint8_t)(k * 37);
    for (uint32_t k = 0; k < n; ++k) {
        uint16_t crc = 0;
        for (uint32_t i = 0; i < COUNT_CRC_BYTES; ++i)
            crc = (uint16_t)(crc_table[(crc >> 8) ^ bytes[i]] ^ (crc << 8));
        count_sink_u32(crc);
    }
}

const struct count_workload count_workloads[] = {
    {"queue", "ring add + take", run_queue},
    {"pool", "stack pop + push", run_pool},
    {"average", "ring add + mean", run_average},
    {"slist-fifo", "singly linked take first + append", run_slist_fifo},
    {"dlist-fifo", "doubly linked take first + append", run_dlist_fifo},
    {"walk", "one node->next step", run_walk},
    {"hash-lookup", "chained look-up hit, C's % for the bucket", run_hash_lookup},
    {"crc16", "table loop over 64 bytes", run_crc},
    {NULL, NULL, NULL},
};
