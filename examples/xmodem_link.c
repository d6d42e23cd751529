/* SPDX-License-Identifier: MIT */
/* XMODEM-CRC link layer: raw standard input and output with time-outs,
 * block sealing and checking by the library's CRC-16, control-byte names
 * from a search map, throughput from a sliding average. */
#define _POSIX_C_SOURCE 200809L

#include "xmodem_link.h"

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <libkrc/crc16.h>
#include <libkrc/searchmap.h>

enum { XM_WINDOW = 16 /* blocks in the recent-throughput window */ };

static const str_uint_map_entry control_names[] = {
    {"SOH", XM_SOH}, {"STX", XM_STX}, {"EOT", XM_EOT}, {"ACK", XM_ACK}, {"NAK", XM_NAK},
    {"CAN", XM_CAN}, {"C", XM_CRC},   {NULL, 0},
};

const char *xm_name(int byte) {
    if (byte < 0)
        return byte == XM_TIMEOUT ? "time-out" : "end of input";
    return krclib_search_str_uint_map(control_names, (uint32_t)byte);
}

/* Waits up to timeout_ms for input: 1 when some is there (or the input is
 * closed), 0 on time-out. */
static int input_ready(int timeout_ms) {
    struct pollfd in;
    int ready;
    in.fd = STDIN_FILENO;
    in.events = POLLIN;
    do
        ready = poll(&in, 1, timeout_ms);
    while (ready < 0 && errno == EINTR);
    return ready != 0;
}

uint32_t xm_read(uint8_t *bytes, uint32_t n, int gap_ms) {
    uint32_t got = 0;
    while (got < n && input_ready(gap_ms)) {
        ssize_t r = read(STDIN_FILENO, bytes + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += (uint32_t)r;
    }
    return got;
}

int xm_read_byte(int timeout_ms) {
    uint8_t byte;
    if (!input_ready(timeout_ms))
        return XM_TIMEOUT;
    return xm_read(&byte, 1, 0) == 1 ? byte : XM_CLOSED;
}

void xm_purge(int timeout_ms) {
    while (xm_read_byte(timeout_ms) >= 0) {
    }
}

int xm_write(const uint8_t *bytes, uint32_t n) {
    while (n > 0) {
        ssize_t done = write(STDOUT_FILENO, bytes, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return 0;
        bytes += done;
        n -= (uint32_t)done;
    }
    return 1;
}

int xm_send_byte(uint8_t byte) { return xm_write(&byte, 1); }

static uint16_t data_crc(const xm_block *block) {
    uint16_t crc;
    krclib_crc16Calc(block->frame + 3, &crc, block->size);
    return crc;
}

void xm_seal(xm_block *block) {
    uint16_t crc = data_crc(block);
    block->frame[0] = block->size == XM_LARGE ? XM_STX : XM_SOH;
    block->frame[1] = (uint8_t)block->number;
    block->frame[2] = (uint8_t)(255 - (uint8_t)block->number);
    block->frame[3 + block->size] = (uint8_t)(crc >> 8);
    block->frame[4 + block->size] = (uint8_t)crc;
}

int xm_intact(const xm_block *block) {
    uint16_t crc = data_crc(block);
    return block->frame[1] + block->frame[2] == 255 &&
           block->frame[3 + block->size] == (uint8_t)(crc >> 8) && block->frame[4 + block->size] == (uint8_t)crc;
}

double xm_now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int xm_stats_init(xm_stats *stats) {
    memset(stats, 0, sizeof *stats);
    stats->recent = SlidingAverage_create(XM_WINDOW);
    stats->start = stats->last = xm_now();
    return stats->recent != NULL;
}

void xm_stats_block(xm_stats *stats, uint32_t bytes) {
    double now = xm_now();
    double micros = (now - stats->last) * 1e6;
    SlidingAverage_Add(stats->recent, micros < 4294967295.0 ? (uint32_t)micros : UINT32_MAX);
    stats->last = now;
    stats->bytes += bytes;
    stats->blocks++;
}

void xm_stats_report(const xm_stats *stats, const char *who, const char *what) {
    double seconds = xm_now() - stats->start;
    fprintf(stderr, "%s: %s: %llu bytes in %u blocks, %.2f s (%.1f KiB/s), %u retries; last %u blocks %.2f ms each\n",
            who, what, (unsigned long long)stats->bytes, (unsigned)stats->blocks, seconds,
            seconds > 0 ? (double)stats->bytes / 1024.0 / seconds : 0.0, (unsigned)stats->retries,
            (unsigned)SlidingAverage_NoOfEntries(stats->recent), SlidingAverage_GetAverage(stats->recent) / 1000.0);
}

void xm_stats_end(xm_stats *stats) {
    SlidingAverage_destroy(stats->recent);
    stats->recent = NULL;
}
