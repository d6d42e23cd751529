/* SPDX-License-Identifier: MIT */
/* XMODEM-CRC link layer shared by xmodem_send and xmodem_recv: the protocol
 * runs on standard input and output (raw bytes, no buffering), diagnostics
 * go to standard error.
 *
 * A block on the wire: SOH (128 data bytes) or STX (1024), the block number
 * modulo 256, its complement, the data, and the CRC-16/XMODEM of the data,
 * high byte first.  The CRC comes from the library's krclib_crc16Calc, the
 * names of the control bytes in diagnostics from a search map, and the
 * throughput of the most recent blocks from a SlidingAverage. */
#ifndef XMODEM_LINK_H
#define XMODEM_LINK_H

#include <stdint.h>

#include <libkrc/slidingaverage.h>

enum {
    XM_SOH = 0x01, /* 128-byte block follows */
    XM_STX = 0x02, /* 1024-byte block follows */
    XM_EOT = 0x04, /* end of transmission */
    XM_ACK = 0x06,
    XM_NAK = 0x15,
    XM_CAN = 0x18,  /* two in a row cancel the transfer */
    XM_CRC = 'C',   /* receiver's request to start in CRC mode */
    XM_PAD = 0x1A,  /* fills the last block */
    XM_SMALL = 128, /* data bytes of an SOH block */
    XM_LARGE = 1024 /* data bytes of an STX block */
};

enum {
    XM_RETRIES = 10,        /* tries per block, per EOT and for the start */
    XM_TIMEOUT_MS = 10000,  /* wait for an answer to a block */
    XM_START_MS = 3000,     /* interval of the receiver's start requests */
    XM_BYTE_MS = 1000,      /* gap allowed inside a block */
    XM_TIMEOUT = -1,        /* xm_read_byte: nothing arrived in time */
    XM_CLOSED = -2          /* xm_read_byte: end of input or read error */
};

/* One block as it goes over the wire, header to CRC. */
typedef struct xm_block {
    uint32_t number; /* from 1; sent modulo 256 */
    uint32_t size;   /* XM_SMALL or XM_LARGE data bytes */
    uint32_t used;   /* data bytes from the file; the rest is XM_PAD */
    uint8_t frame[3 + XM_LARGE + 2];
} xm_block;

/* Name of a control byte for diagnostics ("NAK"), or null for other bytes. */
const char *xm_name(int byte);

/* Next byte of standard input as 0..255, XM_TIMEOUT after timeout_ms without
 * one, XM_CLOSED at end of input. */
int xm_read_byte(int timeout_ms);

/* Reads up to n bytes of standard input, waiting at most gap_ms for each
 * piece; returns the number read, n unless the input paused or ended. */
uint32_t xm_read(uint8_t *bytes, uint32_t n, int gap_ms);

/* Reads input until it has been quiet for timeout_ms (clears a garbled
 * block's remains before a NAK). */
void xm_purge(int timeout_ms);

/* Writes all bytes to standard output; 0 on failure. */
int xm_write(const uint8_t *bytes, uint32_t n);

/* Writes one control byte; 0 on failure. */
int xm_send_byte(uint8_t byte);

/* Fills in the header and the CRC of a block whose number, size and data
 * are set. */
void xm_seal(xm_block *block);

/* 1 when a frame's header bytes agree and its CRC matches its data. */
int xm_intact(const xm_block *block);

/* Monotonic time in seconds. */
double xm_now(void);

/* Transfer statistics: totals, and the time each of the most recent blocks
 * took (microseconds, from one block's acknowledgement to the next), in a
 * sliding window. */
typedef struct xm_stats {
    SlidingAverage *recent;
    double start;
    double last;
    uint64_t bytes;
    uint32_t blocks;
    uint32_t retries; /* blocks sent again, or rejected */
} xm_stats;

/* 0 when the window cannot be allocated. */
int xm_stats_init(xm_stats *stats);
void xm_stats_block(xm_stats *stats, uint32_t bytes);
void xm_stats_report(const xm_stats *stats, const char *who, const char *what);
void xm_stats_end(xm_stats *stats);

#endif
