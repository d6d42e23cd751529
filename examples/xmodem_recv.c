/* SPDX-License-Identifier: MIT */
/* xmodem_recv FILE: receives FILE by XMODEM-CRC from standard input,
 * answering on standard output; progress and errors go to standard error.
 * Exit status 0 when the sender's end of transmission arrived.
 *
 * Accepts 128-byte (SOH) and 1024-byte (STX) blocks in any mix.  A block
 * whose header or CRC is wrong is answered with NAK and sent again by the
 * sender; a repeated block (its ACK was lost) is acknowledged and dropped.
 * The start request 'C' is repeated every 3 s, up to 10 times; 10 s of
 * silence during the transfer earns a NAK, 10 in a row end it.
 *
 * XMODEM carries no file length: the sender fills its last block with 0x1A.
 * Every block but the latest is written out as it stands; the latest waits
 * in a queue until the next block or the end of transmission shows whether
 * it was the last, and from the last block the trailing 0x1A bytes are
 * dropped.  A file that itself ends in 0x1A bytes therefore arrives without
 * them; every other file arrives byte for byte.  Received blocks are held in
 * a memory pool while they wait. */
#define _POSIX_C_SOURCE 200809L

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <libkrc/krqueue.h>
#include <libkrc/mempool.h>

#include "xmodem_link.h"

enum { HELD = 2 /* the block being received and the latest accepted one */ };

typedef struct receiver {
    FILE *file;
    mempool *pool;
    krqueue *held;
    xm_block *latest; /* newest accepted block, also the newest in held */
    uint32_t expected;
    xm_stats stats;
} receiver;

static void cancel(void) {
    static const uint8_t cans[] = {XM_CAN, XM_CAN, XM_CAN};
    xm_write(cans, sizeof cans);
}

/* Writes and releases the oldest held block, the whole block or, for the
 * last one, without its trailing padding. */
static int write_oldest(receiver *r, int last) {
    xm_block *block = krqueue_get(r->held);
    uint32_t n = block->size;
    int ok;
    if (last) {
        while (n > 0 && block->frame[2 + n] == XM_PAD)
            n--;
        r->stats.bytes -= block->size - n; /* report file bytes, not padding */
    }
    ok = fwrite(block->frame + 3, 1, n, r->file) == n;
    if (block == r->latest)
        r->latest = NULL;
    mempool_free(r->pool, block);
    return ok;
}

/* Reads the rest of a block whose first byte was start into block; 0 when
 * the sender paused too long inside it. */
static int read_frame(xm_block *block, int start) {
    block->size = start == XM_STX ? XM_LARGE : XM_SMALL;
    block->frame[0] = (uint8_t)start;
    return xm_read(block->frame + 1, block->size + 4, XM_BYTE_MS) == block->size + 4;
}

typedef enum { GOT_BLOCK, GOT_REPEAT, GOT_BAD, GOT_LOST } outcome;

/* Receives one block after its first byte and answers it. */
static outcome take_block(receiver *r, int start) {
    xm_block *block = mempool_alloc(r->pool);
    uint8_t number;

    int complete = read_frame(block, start);
    if (!complete || !xm_intact(block)) {
        fprintf(stderr, "xmodem_recv: block %u: %s, NAK\n", (unsigned)r->expected,
                complete ? "rejected by its header or CRC" : "cut short");
        mempool_free(r->pool, block);
        xm_purge(XM_BYTE_MS / 4);
        r->stats.retries++;
        return GOT_BAD;
    }
    number = block->frame[1];
    if (number == (uint8_t)(r->expected - 1) && r->expected > 1) {
        mempool_free(r->pool, block);
        return GOT_REPEAT;
    }
    if (number != (uint8_t)r->expected) {
        fprintf(stderr, "xmodem_recv: block %u arrived while %u was due: out of step\n", (unsigned)number,
                (unsigned)r->expected);
        mempool_free(r->pool, block);
        return GOT_LOST;
    }
    block->number = r->expected++;
    block->used = block->size;
    if (r->latest != NULL && !write_oldest(r, 0)) {
        mempool_free(r->pool, block);
        return GOT_LOST;
    }
    krqueue_add(r->held, block);
    r->latest = block;
    xm_stats_block(&r->stats, block->size);
    if (r->stats.blocks % 64 == 0)
        xm_stats_report(&r->stats, "xmodem_recv", "progress");
    return GOT_BLOCK;
}

static int transfer(receiver *r) {
    int errors = 0, started = 0;

    while (errors < XM_RETRIES) {
        int c;
        if (!started && !xm_send_byte(XM_CRC))
            return 0;
        c = xm_read_byte(started ? XM_TIMEOUT_MS : XM_START_MS);
        if (c == XM_SOH || c == XM_STX) {
            outcome got;
            if (!started)
                r->stats.start = r->stats.last = xm_now();
            started = 1;
            got = take_block(r, c);
            if (got == GOT_LOST) {
                cancel();
                return 0;
            }
            errors = got == GOT_BAD ? errors + 1 : 0;
            if (!xm_send_byte(got == GOT_BAD ? XM_NAK : XM_ACK))
                return 0;
        } else if (c == XM_EOT) {
            if (r->latest != NULL && !write_oldest(r, 1)) {
                cancel();
                return 0;
            }
            return xm_send_byte(XM_ACK);
        } else if (c == XM_CAN) {
            if (xm_read_byte(XM_BYTE_MS) == XM_CAN) {
                fprintf(stderr, "xmodem_recv: sender cancelled\n");
                return 0;
            }
        } else if (c == XM_CLOSED) {
            fprintf(stderr, "xmodem_recv: input closed before the end of transmission\n");
            return 0;
        } else if (c == XM_TIMEOUT) {
            errors++;
            if (started) {
                fprintf(stderr, "xmodem_recv: block %u: time-out, NAK\n", (unsigned)r->expected);
                r->stats.retries++;
                if (!xm_send_byte(XM_NAK))
                    return 0;
            }
        }
    }
    fprintf(stderr, "xmodem_recv: giving up after %d errors in a row\n", errors);
    cancel();
    return 0;
}

int main(int argc, char **argv) {
    receiver r;
    int ok;

    if (argc != 2) {
        fprintf(stderr, "usage: xmodem_recv FILE\n");
        return 2;
    }
    memset(&r, 0, sizeof r);
    r.expected = 1;
    r.file = fopen(argv[1], "wb");
    if (r.file == NULL) {
        perror(argv[1]);
        return 1;
    }
    r.pool = mempool_create(HELD, sizeof(xm_block));
    r.held = krqueue_new(HELD);
    if (r.pool == NULL || r.held == NULL || !xm_stats_init(&r.stats)) {
        fprintf(stderr, "xmodem_recv: out of memory\n");
        return 1;
    }
    ok = transfer(&r);
    if (fclose(r.file) != 0)
        ok = 0;
    xm_stats_report(&r.stats, "xmodem_recv", ok ? "received" : "FAILED after");
    xm_stats_end(&r.stats);
    krqueue_free(r.held, NULL);
    mempool_destroy(r.pool);
    return ok ? 0 : 1;
}
