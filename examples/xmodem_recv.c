/* SPDX-License-Identifier: MIT */
/* xmodem_recv: receives a file by XMODEM-CRC from standard input,
 * answering on standard output; the usage text below is the manual
 * (command line, waits, exit status).
 *
 * Accepts 128-byte (SOH) and 1024-byte (STX) blocks in any mix.  A block
 * whose header or CRC is wrong is answered with NAK and sent again by the
 * sender; a repeated block (its ACK was lost) is acknowledged and dropped,
 * and counts as a failure like a damaged one, so that a sender stuck on one
 * block cannot keep the receiver forever;
 * an intact block with any other number means the two sides are out of
 * step, and the transfer is cancelled.
 *
 * The end of transmission is confirmed: an EOT counts only when the line
 * stays quiet after it (a block number 0x04 whose SOH was lost is followed
 * by the rest of its block), the first one is answered with NAK, and only
 * a second one right after ends the transfer.  Anything else in between is
 * line noise, and the transfer goes on with the next intact block.  An EOT
 * after a damaged block whose header named the block due is refused: the
 * sender has more data than it is sending, so it must have taken someone
 * else's ACK for that block.  A lone CAN is noise; the byte after it is
 * read as usual.
 *
 * Output is atomic: the blocks go to a temporary file beside FILE
 * (.xmodem_recv-XXXXXX in the same directory), which is flushed, synced,
 * closed and renamed over FILE before the final EOT is acknowledged.  On
 * any failure, cancel or signal the temporary file is removed and an
 * existing FILE is left as it was; the sender is sent CAN CAN.  A FILE that
 * exists and is neither a regular file nor a directory (a device, a FIFO)
 * is written in place.
 *
 * XMODEM carries no file length: the sender fills its last block with 0x1A.
 * Every block but the latest is written out as it stands; the latest waits
 * in a queue until the next block or the end of transmission shows whether
 * it was the last, and from the last block the trailing 0x1A bytes are
 * dropped.  A file that itself ends in 0x1A bytes therefore arrives without
 * them; every other file arrives byte for byte.  Received blocks are held in
 * a memory pool while they wait. */
#define _POSIX_C_SOURCE 200809L

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libkrc/krqueue.h>
#include <libkrc/mempool.h>

#include "xmodem_link.h"

static const char usage_text[] =
    "usage: xmodem_recv [-q] FILE\n"
    "Receives FILE by XMODEM-CRC: blocks come from standard input, answers go\n"
    "to standard output (the serial line, set to raw mode); messages and\n"
    "progress go to standard error.\n"
    "  -q          print errors only, no progress and no summary\n"
    "  -h, --help  print this text and exit\n"
    "The data goes to a temporary file in FILE's directory, which replaces\n"
    "FILE only when the whole file is written and synced; on any failure or\n"
    "cancel it is removed and an existing FILE is left as it was.  Trailing\n"
    "0x1A bytes of the last block (the sender's padding) are dropped.\n"
    "Waits: the start request 'C' is sent every 3 s, 10 times: 30 s in all\n"
    "for the first block.  Then each block must begin within 10 s of the\n"
    "previous answer and arrive whole within 10 s of its first byte, with no\n"
    "pause over 1 s, else it is NAKed; 10 failures in a row end the transfer.\n"
    "An EOT is confirmed by a NAK and a second EOT, each followed by 0.5 s of\n"
    "silence.  Noise on the line never extends a wait: noise alone ends the\n"
    "transfer within 30 s before the first block, within 200 s after it.\n"
    "The environment variable XMODEM_TIME_SCALE (0.01 to 100) multiplies\n"
    "every wait, for tests.\n"
    "Exit status: 0 when the whole file arrived and is in place as FILE; 1\n"
    "when the transfer failed or was cancelled, or FILE cannot be written\n"
    "(the sender is sent CAN CAN); 2 on a usage error, or when standard\n"
    "input or output is closed.\n";

enum { HELD = 2 /* the block being received and the latest accepted one */ };

/* Where the data goes: a temporary file renamed over FILE at the end, or
 * FILE itself when it is a device or a FIFO. */
typedef struct output {
    const char *name;
    char *temp; /* null when writing in place */
    FILE *file;
} output;

typedef struct receiver {
    output out;
    mempool *pool;
    krqueue *held;
    xm_block *latest; /* newest accepted block, also the newest in held */
    uint32_t expected;
    int outstanding; /* a damaged block named the block due */
    xm_stats stats;
} receiver;

/* ---- output ---- */

static int out_fail(const output *out, const char *doing) {
    xm_say("%s: %s%s", out->name, doing, strerror(errno));
    return 0;
}

/* The temporary file's path: FILE's directory and a fixed prefix. */
static char *temp_path(const char *name) {
    static const char pattern[] = ".xmodem_recv-XXXXXX";
    const char *slash = strrchr(name, '/');
    size_t dir = slash == NULL ? 0 : (size_t)(slash - name) + 1;
    char *path = malloc(dir + sizeof pattern);
    if (path != NULL) {
        memcpy(path, name, dir);
        memcpy(path + dir, pattern, sizeof pattern);
    }
    return path;
}

/* Permissions of the new FILE: those of the FILE it replaces, or what a
 * newly created file gets under the umask. */
static mode_t new_mode(int exists, const struct stat *st) {
    mode_t mask;
    if (exists)
        return st->st_mode & 07777;
    mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

/* Creates the temporary file (or opens a device in place); 0 with a
 * message when FILE cannot be written. */
static int out_open(output *out) {
    struct stat st;
    int exists = stat(out->name, &st) == 0, fd;
    if (!exists && errno != ENOENT)
        return out_fail(out, "");
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return out_fail(out, "");
    }
    if (exists && !S_ISREG(st.st_mode)) {
        xm_catch_signals(NULL);
        out->file = fopen(out->name, "wb");
        return out->file != NULL || out_fail(out, "");
    }
    out->temp = temp_path(out->name);
    if (out->temp == NULL)
        return out_fail(out, "");
    fd = mkstemp(out->temp);
    if (fd < 0) {
        free(out->temp);
        out->temp = NULL;
        return out_fail(out, "cannot create a temporary file beside it: ");
    }
    xm_catch_signals(out->temp);
    if (fchmod(fd, new_mode(exists, &st)) != 0 || (out->file = fdopen(fd, "wb")) == NULL) {
        out_fail(out, "");
        close(fd);
        return 0;
    }
    return 1;
}

static int out_write(output *out, const uint8_t *bytes, uint32_t n) {
    return fwrite(bytes, 1, n, out->file) == n || out_fail(out, "write error: ");
}

/* Makes the received data durable and, for a temporary file, puts it in
 * place as FILE; 0 with a message on failure. */
static int out_commit(output *out) {
    int synced, closed, in_place = out->temp == NULL, moved;
    FILE *file = out->file;
    if (fflush(file) != 0) {
        out_fail(out, "write error: ");
        return 0;
    }
    synced = fsync(fileno(file)) == 0 || (in_place && (errno == EINVAL || errno == EROFS));
    if (!synced)
        out_fail(out, "cannot sync: ");
    out->file = NULL;
    closed = fclose(file) == 0;
    if (!closed)
        out_fail(out, "write error: ");
    if (!synced || !closed || in_place)
        return synced && closed;
    xm_hold_signals(1);
    moved = rename(out->temp, out->name) == 0;
    if (moved) {
        xm_forget_file();
        free(out->temp);
        out->temp = NULL;
    }
    xm_hold_signals(0);
    return moved || out_fail(out, "cannot rename the temporary file to it: ");
}

/* Drops what was received: closes and removes the temporary file. */
static void out_discard(output *out) {
    if (out->file != NULL)
        fclose(out->file);
    out->file = NULL;
    if (out->temp != NULL) {
        unlink(out->temp);
        xm_forget_file();
        free(out->temp);
        out->temp = NULL;
    }
}

/* ---- blocks ---- */

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
    ok = out_write(&r->out, block->frame + 3, n);
    if (block == r->latest)
        r->latest = NULL;
    mempool_free(r->pool, block);
    return ok;
}

typedef enum { GOT_BLOCK, GOT_REPEAT, GOT_BAD, GOT_FATAL } outcome;

/* Receives one block after its first byte (it must arrive whole within
 * XM_TIMEOUT_MS and before limit) and classifies it. */
static outcome take_block(receiver *r, int start, double limit) {
    xm_block *block = mempool_alloc(r->pool);
    double deadline = xm_deadline(XM_TIMEOUT_MS);
    uint32_t got, number;

    if (deadline > limit)
        deadline = limit;
    block->size = start == XM_STX ? XM_LARGE : XM_SMALL;
    block->frame[0] = (uint8_t)start;
    got = xm_read(block->frame + 1, block->size + 4, XM_BYTE_MS, deadline);
    if (got < block->size + 4 || !xm_intact(block)) {
        if (got >= 2 && xm_header_intact(block) && block->frame[1] == (uint8_t)r->expected)
            r->outstanding = 1;
        xm_say("block %u: %s, NAK", (unsigned)r->expected,
               got == block->size + 4 ? "rejected by its header or CRC" : "cut short");
        mempool_free(r->pool, block);
        xm_purge(XM_QUIET_MS, deadline);
        xm_stats_retry(&r->stats);
        return GOT_BAD;
    }
    number = block->frame[1];
    if (number == (uint8_t)(r->expected - 1) && r->expected > 1) {
        mempool_free(r->pool, block);
        return GOT_REPEAT;
    }
    if (number != (uint8_t)r->expected) {
        xm_say("block %u arrived while %u was due: out of step", (unsigned)number, (unsigned)r->expected);
        mempool_free(r->pool, block);
        return GOT_FATAL;
    }
    block->number = r->expected++;
    r->outstanding = 0;
    if (r->latest != NULL && !write_oldest(r, 0)) {
        mempool_free(r->pool, block);
        return GOT_FATAL;
    }
    krqueue_add(r->held, block);
    r->latest = block;
    xm_stats_block(&r->stats, block->size);
    return GOT_BLOCK;
}

/* ---- the transfer ---- */

typedef enum { GO_ON, DONE, FAILED } step;

/* The state between events: the answer deadline, the start requests sent
 * and the failures in a row. */
typedef struct progress {
    double deadline; /* of the current wait */
    double start_end; /* the start phase's overall deadline */
    int started;
    int requests; /* start requests sent */
    int errors;   /* failures in a row since the last block */
    int eot_seen; /* the last event was a quiet EOT, answered with NAK */
} progress;

/* Counts a failure in a row: 0, with a message, when there were too many. */
static int bear(progress *p) {
    if (++p->errors < XM_RETRIES)
        return 1;
    xm_say("giving up after %d failures in a row", p->errors);
    return 0;
}

/* Asks again for what did not arrive: 'C' before the first block, NAK
 * after; FAILED when the tries are used up. */
static step ask_again(progress *p) {
    if (!p->started) {
        if (p->requests >= XM_RETRIES || xm_now() >= p->start_end) {
            xm_say("no block from the sender after %d start requests", p->requests);
            return FAILED;
        }
        p->requests++;
        p->deadline = xm_deadline(XM_START_MS);
        if (p->deadline > p->start_end)
            p->deadline = p->start_end;
        return xm_send_byte(XM_CRC) ? GO_ON : FAILED;
    }
    if (!bear(p))
        return FAILED;
    p->deadline = xm_deadline(XM_TIMEOUT_MS);
    return xm_send_byte(XM_NAK) ? GO_ON : FAILED;
}

static step on_block(receiver *r, progress *p, int c) {
    outcome got = take_block(r, c, p->started ? xm_deadline(XM_TIMEOUT_MS) : p->start_end);
    p->eot_seen = 0;
    if (got == GOT_FATAL)
        return FAILED;
    if (got == GOT_BAD)
        return ask_again(p);
    if (got == GOT_BLOCK)
        p->errors = 0;
    else if (!bear(p)) /* a sender stuck on one block */
        return FAILED;
    p->started = 1;
    p->deadline = xm_deadline(XM_TIMEOUT_MS);
    return xm_send_byte(XM_ACK) ? GO_ON : FAILED;
}

/* An EOT: noise when more follows it, refused after a damaged block that
 * was due, NAKed the first time, the end the second. */
static step on_eot(receiver *r, progress *p) {
    if (xm_purge(XM_EOT_QUIET_MS, p->started ? p->deadline : p->start_end) > 0) {
        p->eot_seen = 0;
        return ask_again(p);
    }
    if (r->outstanding) {
        xm_say("EOT while block %u was still due: the sender skipped it", (unsigned)r->expected);
        return FAILED;
    }
    if (!p->eot_seen) {
        p->eot_seen = 1;
        if (p->started && !bear(p))
            return FAILED;
        p->deadline = xm_deadline(XM_TIMEOUT_MS);
        if (!p->started && p->deadline > p->start_end)
            p->deadline = p->start_end;
        return xm_send_byte(XM_NAK) ? GO_ON : FAILED;
    }
    if ((r->latest != NULL && !write_oldest(r, 1)) || !out_commit(&r->out))
        return FAILED;
    if (!xm_send_byte(XM_ACK))
        xm_say("%s is complete, but the sender could not be told", r->out.name);
    return DONE;
}

static int transfer(receiver *r) {
    progress p;
    step s;
    memset(&p, 0, sizeof p);
    p.start_end = xm_deadline(XM_RETRIES * XM_START_MS);
    s = ask_again(&p);
    while (s == GO_ON) {
        int c = xm_read_byte(p.deadline);
        if (c == XM_SOH || c == XM_STX) {
            s = on_block(r, &p, c);
        } else if (c == XM_EOT) {
            s = on_eot(r, &p);
        } else if (c == XM_TIMEOUT) {
            if (p.started && !p.eot_seen)
                xm_say("block %u: time-out, NAK", (unsigned)r->expected);
            s = ask_again(&p);
        } else if (c == XM_CLOSED) {
            xm_say("input closed before the end of transmission");
            s = FAILED;
        } else {
            p.eot_seen = 0; /* noise; a lone CAN does not swallow the next byte */
            if (c == XM_CAN) {
                double gap = xm_deadline(XM_BYTE_MS);
                int next = xm_read_byte(gap < p.deadline ? gap : p.deadline);
                if (next == XM_CAN) {
                    xm_say("the sender cancelled");
                    return 0;
                }
                xm_unread(next);
            }
        }
    }
    return s == DONE;
}

int main(int argc, char **argv) {
    receiver r;
    xm_options options;
    int status, ok;

    if ((status = xm_setup("xmodem_recv", usage_text)) >= 0 ||
        (status = xm_parse(argc, argv, &options, 0, usage_text)) >= 0)
        return status;
    memset(&r, 0, sizeof r);
    r.out.name = options.file;
    r.expected = 1;
    r.pool = mempool_create(HELD, sizeof(xm_block));
    r.held = krqueue_new(HELD);
    if (r.pool == NULL || r.held == NULL || !xm_stats_init(&r.stats, options.quiet, 0)) {
        xm_say("out of memory");
        ok = 0;
    } else {
        ok = out_open(&r.out);
    }
    if (ok) {
        ok = transfer(&r);
        if (!ok) {
            out_discard(&r.out);
            xm_cancel();
        }
        xm_stats_end(&r.stats, ok ? "received" : "FAILED after");
    } else {
        out_discard(&r.out);
        r.stats.show = XM_SHOW_NOTHING; /* nothing was received */
        xm_stats_end(&r.stats, "");
    }
    krqueue_free(r.held, NULL);
    mempool_destroy(r.pool);
    return ok ? XM_EXIT_OK : XM_EXIT_FAILED;
}
