/* SPDX-License-Identifier: MIT */
/* xmodem_send: sends a file by XMODEM-CRC on standard output, reading the
 * receiver's answers from standard input; the usage text below is the
 * manual (command line, waits, exit status).
 *
 * Blocks are 1024 bytes (STX) unless -b 128 asks for 128-byte (SOH) blocks;
 * a last piece of at most 128 bytes always goes as a 128-byte block.  The
 * last block is filled up with 0x1A: XMODEM carries no file length, so the
 * receiver gets the file followed by that padding.
 *
 * An answer belongs to the block just sent: input that arrived before the
 * block went out (a doubled ACK, the rest of a burst of noise) is dropped
 * before each block, and before a block is sent again or the EOT is sent
 * the line must first be quiet for a moment, so that a late answer to an
 * earlier copy cannot be taken for the answer to this one.  Only ACK, NAK
 * and CAN CAN count while the answer is awaited.  So the sender does not
 * run a block ahead of the receiver, and never takes an ACK meant for a
 * block as the acknowledgement of the end of the file.  The file is read before the start request is
 * awaited, so an unreadable input fails at once.
 *
 * Read-ahead blocks come from a memory pool and wait in a queue in file
 * order; each one goes back to the pool once the receiver has acknowledged
 * it. */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <libkrc/krqueue.h>
#include <libkrc/mempool.h>

#include "xmodem_link.h"

static const char usage_text[] =
    "usage: xmodem_send [-q] [-b 128|1024] FILE\n"
    "Sends FILE by XMODEM-CRC: blocks go to standard output, the receiver's\n"
    "answers come from standard input (the serial line, set to raw mode);\n"
    "messages and progress go to standard error.\n"
    "  -b 128|1024  block size, 1024 by default; a last piece of at most 128\n"
    "               bytes goes as a 128-byte block; the last block is padded\n"
    "               with 0x1A bytes\n"
    "  -q           print errors only, no progress and no summary\n"
    "  -h, --help   print this text and exit\n"
    "Waits: up to 60 s for the receiver's first start request 'C'; each block\n"
    "and the end of transmission (EOT) are sent up to 10 times, waiting 10 s\n"
    "for each answer (after 0.25 s of quiet on the line, at most 1 s, before\n"
    "each new try and before the EOT).  Noise on the line never extends a\n"
    "wait.  The environment variable XMODEM_TIME_SCALE (0.01 to 100)\n"
    "multiplies every wait, for tests.\n"
    "Exit status: 0 when the receiver acknowledged the whole file and its end;\n"
    "1 when the transfer failed or was cancelled (the receiver is sent CAN CAN)\n"
    "or FILE cannot be read; 2 on a usage error, or when standard input or\n"
    "output is closed.\n";

enum { READ_AHEAD = 8 /* blocks read from the file before they are sent */ };

typedef struct sender {
    const char *name;
    FILE *file;
    mempool *pool;
    krqueue *queue;
    uint32_t block_size;
    uint32_t next_number;
    int at_end;
    int read_error; /* errno of a failed read, else 0 */
    xm_stats stats;
} sender;

/* Reads the next piece of the file into a block; 0 at the end of the file
 * or on a read error (recorded). */
static int fill_block(sender *s, xm_block *block) {
    size_t n = fread(block->frame + 3, 1, s->block_size, s->file);
    if (n < s->block_size && ferror(s->file))
        s->read_error = errno != 0 ? errno : EIO;
    if (n == 0 || s->read_error != 0)
        return 0;
    block->number = s->next_number++;
    block->used = (uint32_t)n;
    block->size = n <= XM_SMALL ? XM_SMALL : XM_LARGE;
    memset(block->frame + 3 + n, XM_PAD, block->size - n);
    xm_seal(block);
    return 1;
}

/* Queues blocks read ahead until the pool is exhausted or the file ends;
 * 0 on a read error. */
static int read_ahead(sender *s) {
    xm_block *block;
    while (!s->at_end && (block = mempool_alloc(s->pool)) != NULL) {
        errno = 0;
        if (!fill_block(s, block)) {
            mempool_free(s->pool, block);
            s->at_end = 1;
        } else {
            krqueue_add(s->queue, block);
        }
    }
    if (s->read_error != 0) {
        xm_say("%s: %s", s->name, strerror(s->read_error));
        return 0;
    }
    return 1;
}

/* After a CAN: 1 when a second one follows (the peer cancelled); another
 * byte is put back, so a lone CAN never hides the answer after it. */
static int second_can(double deadline) {
    double gap = xm_deadline(XM_BYTE_MS);
    int c = xm_read_byte(gap < deadline ? gap : deadline);
    if (c == XM_CAN)
        return 1;
    xm_unread(c);
    return 0;
}

/* Waits for the receiver's 'C'; 0 when it never comes or is cancelled. */
static int await_start(void) {
    double deadline = xm_deadline(XM_SENDER_START_MS);
    for (;;) {
        int c = xm_read_byte(deadline);
        if (c == XM_CRC) {
            xm_drain(); /* the receiver may have asked more than once */
            return 1;
        }
        if (c == XM_CLOSED || c == XM_TIMEOUT || (c == XM_CAN && second_can(deadline))) {
            xm_say("%s", c == XM_CAN      ? "the receiver cancelled before the start"
                         : c == XM_CLOSED ? "input closed before the start"
                                          : "no start request from the receiver in time");
            return 0;
        }
    }
}

typedef enum { ANSWER_ACK, ANSWER_AGAIN, ANSWER_CANCEL, ANSWER_CLOSED } answer;

/* Waits for the answer to what was just sent: ACK, or a request to send
 * it again (NAK, time-out, and 'C' for the first block: the receiver still
 * asks to start). */
static answer await_answer(int first, int *byte) {
    double deadline = xm_deadline(XM_TIMEOUT_MS);
    for (;;) {
        int c = xm_read_byte(deadline);
        *byte = c;
        if (c == XM_ACK)
            return ANSWER_ACK;
        if (c == XM_NAK || c == XM_TIMEOUT || (first && c == XM_CRC))
            return ANSWER_AGAIN;
        if (c == XM_CLOSED)
            return ANSWER_CLOSED;
        if (c == XM_CAN && second_can(deadline))
            return ANSWER_CANCEL;
    }
}

/* Sends a block (number > 0) or the EOT (number 0) until acknowledged; 0
 * after too many tries, a cancellation or the end of input. */
static int deliver(sender *s, const uint8_t *bytes, uint32_t n, uint32_t number) {
    char what[24];
    int tries, c;
    if (number != 0)
        snprintf(what, sizeof what, "block %u", (unsigned)number);
    else
        snprintf(what, sizeof what, "EOT");
    for (tries = 0; tries < XM_RETRIES; tries++) {
        answer a;
        /* Anything already here answers nothing sent now.  After a failed
         * try, and before the EOT, whose ACK nothing could undo, wait for
         * the line to be quiet: an answer to an earlier copy may still be
         * on its way. */
        if (tries == 0 && number != 0)
            xm_drain();
        else
            xm_purge(XM_QUIET_MS, xm_deadline(XM_BYTE_MS));
        if (!xm_write(bytes, n))
            return 0;
        a = await_answer(number == 1, &c);
        if (a == ANSWER_ACK)
            return 1;
        if (a == ANSWER_CLOSED || a == ANSWER_CANCEL) {
            xm_say("%s: %s", what, a == ANSWER_CANCEL ? "the receiver cancelled" : "input closed");
            return 0;
        }
        if (number == 0 && tries == 0 && c == XM_NAK)
            continue; /* a careful receiver NAKs the first EOT */
        xm_stats_retry(&s->stats);
        xm_say("%s: %s, sending again", what, xm_name(c) != NULL ? xm_name(c) : "no answer");
    }
    xm_say("%s: not acknowledged after %d tries, giving up", what, XM_RETRIES);
    return 0;
}

static int transfer(sender *s) {
    static const uint8_t eot = XM_EOT;
    xm_block *block;

    if (!await_start())
        return 0;
    xm_stats_begin(&s->stats);
    while ((block = krqueue_get(s->queue)) != NULL) {
        int ok = deliver(s, block->frame, block->size + 5, block->number);
        uint32_t used = block->used;
        mempool_free(s->pool, block);
        if (!ok)
            return 0;
        xm_stats_block(&s->stats, used);
        if (!read_ahead(s))
            return 0;
    }
    return deliver(s, &eot, 1, 0);
}

/* Opens the file and reads the first blocks, so that a file that cannot
 * be read fails before the receiver is involved. */
static int open_input(sender *s, uint64_t *size) {
    struct stat st;
    s->file = fopen(s->name, "rb");
    if (s->file == NULL || fstat(fileno(s->file), &st) != 0) {
        xm_say("%s: %s", s->name, strerror(errno));
        return 0;
    }
    if (S_ISDIR(st.st_mode)) {
        xm_say("%s: %s", s->name, strerror(EISDIR));
        return 0;
    }
    *size = S_ISREG(st.st_mode) ? (uint64_t)st.st_size : 0;
    return 1;
}

int main(int argc, char **argv) {
    sender s;
    xm_options options;
    uint64_t size = 0;
    int status, ok;

    if ((status = xm_setup("xmodem_send", usage_text)) >= 0 ||
        (status = xm_parse(argc, argv, &options, 1, usage_text)) >= 0)
        return status;
    memset(&s, 0, sizeof s);
    s.name = options.file;
    s.block_size = options.block_size;
    s.next_number = 1;
    s.pool = mempool_create(READ_AHEAD, sizeof(xm_block));
    s.queue = krqueue_new(READ_AHEAD);
    ok = s.pool != NULL && s.queue != NULL;
    if (!ok)
        xm_say("out of memory");
    ok = ok && open_input(&s, &size);
    if (ok && !xm_stats_init(&s.stats, options.quiet, size)) {
        xm_say("out of memory");
        ok = 0;
    }
    ok = ok && read_ahead(&s);
    if (ok) {
        xm_catch_signals(NULL);
        ok = transfer(&s);
        if (!ok)
            xm_cancel();
        xm_stats_end(&s.stats, ok ? "sent" : "FAILED after");
    } else {
        s.stats.show = XM_SHOW_NOTHING; /* nothing was sent */
        xm_stats_end(&s.stats, "");
    }
    krqueue_free(s.queue, NULL);
    mempool_destroy(s.pool);
    if (s.file != NULL)
        fclose(s.file);
    return ok ? XM_EXIT_OK : XM_EXIT_FAILED;
}
