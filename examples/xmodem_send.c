/* SPDX-License-Identifier: MIT */
/* xmodem_send [-b 128|1024] FILE: sends FILE by XMODEM-CRC on standard
 * output, reading the receiver's answers from standard input; progress and
 * errors go to standard error.  Exit status 0 when the receiver acknowledged
 * the end of the file.
 *
 * Blocks are 1024 bytes (STX) unless -b 128 asks for 128-byte (SOH) blocks;
 * a last piece of at most 128 bytes always goes as a 128-byte block.  The
 * last block is filled up with 0x1A: XMODEM carries no file length, so the
 * receiver gets the file followed by that padding.
 *
 * Read-ahead blocks come from a memory pool and wait in a queue in file
 * order; each one goes back to the pool once the receiver has acknowledged
 * it.  A block is sent up to 10 times (on NAK, or after 10 s without an
 * answer); the start waits up to 10 times 10 s for the receiver's 'C'. */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <libkrc/krqueue.h>
#include <libkrc/mempool.h>

#include "xmodem_link.h"

enum { READ_AHEAD = 8 /* blocks read from the file before they are sent */ };

typedef struct sender {
    FILE *file;
    mempool *pool;
    krqueue *queue;
    uint32_t block_size;
    uint32_t next_number;
    int at_end;
    xm_stats stats;
} sender;

static void cancel(void) {
    static const uint8_t cans[] = {XM_CAN, XM_CAN, XM_CAN};
    xm_write(cans, sizeof cans);
}

/* Reads the next piece of the file into a block; 0 at the end of the file. */
static int fill_block(sender *s, xm_block *block) {
    size_t n = fread(block->frame + 3, 1, s->block_size, s->file);
    if (n == 0)
        return 0;
    block->number = s->next_number++;
    block->used = (uint32_t)n;
    block->size = n <= XM_SMALL ? XM_SMALL : XM_LARGE;
    memset(block->frame + 3 + n, XM_PAD, block->size - n);
    xm_seal(block);
    return 1;
}

/* Queues blocks read ahead until the pool is exhausted or the file ends. */
static void read_ahead(sender *s) {
    xm_block *block;
    while (!s->at_end && (block = mempool_alloc(s->pool)) != NULL) {
        if (!fill_block(s, block)) {
            mempool_free(s->pool, block);
            s->at_end = 1;
        } else {
            krqueue_add(s->queue, block);
        }
    }
}

/* Waits for the receiver's 'C'; 0 when it never comes or is cancelled. */
static int await_start(void) {
    int tries, c;
    for (tries = 0; tries < XM_RETRIES; tries++) {
        c = xm_read_byte(XM_TIMEOUT_MS);
        while (c >= 0 && c != XM_CRC && c != XM_CAN)
            c = xm_read_byte(XM_TIMEOUT_MS);
        if (c == XM_CRC) {
            xm_purge(100); /* the receiver may have asked more than once */
            return 1;
        }
        if (c == XM_CAN || c == XM_CLOSED) {
            fprintf(stderr, "xmodem_send: receiver %s before the start\n", c == XM_CAN ? "cancelled" : "closed");
            return 0;
        }
    }
    fprintf(stderr, "xmodem_send: no start request from the receiver\n");
    return 0;
}

/* Sends one block or the EOT until acknowledged; 0 after too many tries or
 * a cancellation. */
static int deliver(sender *s, const uint8_t *bytes, uint32_t n, uint32_t number) {
    int tries, c;
    for (tries = 0; tries < XM_RETRIES; tries++) {
        if (tries > 0)
            s->stats.retries++;
        if (!xm_write(bytes, n))
            return 0;
        do
            c = xm_read_byte(XM_TIMEOUT_MS);
        while (c >= 0 && c != XM_ACK && c != XM_NAK && c != XM_CAN); /* a late 'C' is no answer */
        if (c == XM_ACK)
            return 1;
        if (c == XM_CLOSED)
            break;
        if (c == XM_CAN && xm_read_byte(XM_BYTE_MS) == XM_CAN) {
            fprintf(stderr, "xmodem_send: receiver cancelled at block %u\n", (unsigned)number);
            return 0;
        }
        fprintf(stderr, "xmodem_send: block %u: %s, sending again\n", (unsigned)number, xm_name(c));
    }
    fprintf(stderr, "xmodem_send: block %u: giving up\n", (unsigned)number);
    return 0;
}

static int transfer(sender *s) {
    static const uint8_t eot = XM_EOT;
    xm_block *block;

    if (!await_start())
        return 0;
    s->stats.start = s->stats.last = xm_now();
    read_ahead(s);
    while ((block = krqueue_get(s->queue)) != NULL) {
        if (!deliver(s, block->frame, block->size + 5, block->number)) {
            mempool_free(s->pool, block);
            cancel();
            return 0;
        }
        xm_stats_block(&s->stats, block->used);
        if (s->stats.blocks % 64 == 0)
            xm_stats_report(&s->stats, "xmodem_send", "progress");
        mempool_free(s->pool, block);
        read_ahead(s);
    }
    if (ferror(s->file)) {
        fprintf(stderr, "xmodem_send: read error\n");
        cancel();
        return 0;
    }
    return deliver(s, &eot, 1, s->next_number);
}

static int usage(void) {
    fprintf(stderr, "usage: xmodem_send [-b 128|1024] FILE\n");
    return 2;
}

int main(int argc, char **argv) {
    sender s;
    int ok;

    memset(&s, 0, sizeof s);
    s.block_size = XM_LARGE;
    s.next_number = 1;
    if (argc == 4 && strcmp(argv[1], "-b") == 0 && strcmp(argv[2], "128") == 0)
        s.block_size = XM_SMALL;
    else if (argc != 2 && !(argc == 4 && strcmp(argv[1], "-b") == 0 && strcmp(argv[2], "1024") == 0))
        return usage();
    s.file = fopen(argv[argc - 1], "rb");
    if (s.file == NULL) {
        perror(argv[argc - 1]);
        return 1;
    }
    s.pool = mempool_create(READ_AHEAD, sizeof(xm_block));
    s.queue = krqueue_new(READ_AHEAD);
    if (s.pool == NULL || s.queue == NULL || !xm_stats_init(&s.stats)) {
        fprintf(stderr, "xmodem_send: out of memory\n");
        return 1;
    }
    ok = transfer(&s);
    xm_stats_report(&s.stats, "xmodem_send", ok ? "sent" : "FAILED after");
    xm_stats_end(&s.stats);
    krqueue_free(s.queue, NULL);
    mempool_destroy(s.pool);
    fclose(s.file);
    return ok ? 0 : 1;
}
