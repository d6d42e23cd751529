/* SPDX-License-Identifier: MIT */
/* XMODEM-CRC link layer shared by xmodem_send and xmodem_recv: the protocol
 * runs on standard input and output (raw bytes), diagnostics and progress go
 * to standard error.
 *
 * A block on the wire: SOH (128 data bytes) or STX (1024), the block number
 * modulo 256, its complement, the data, and the CRC-16/XMODEM of the data,
 * high byte first.  The CRC comes from the library's krclib_crc16Calc, the
 * names of the control bytes in diagnostics from a search map, and the
 * recent transfer rate from two SlidingAverage windows.
 *
 * Every wait has a deadline fixed when the wait begins: bytes that are not
 * the awaited answer (line noise) are read and dropped but never extend it,
 * so each program ends within the times its usage text gives, whatever
 * arrives on the line. */
#ifndef XMODEM_LINK_H
#define XMODEM_LINK_H

#include <stdint.h>
#include <stdio.h>

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

/* The waits, in milliseconds before XMODEM_TIME_SCALE applies.  The usage
 * texts state them; keep the two in step. */
enum {
    XM_RETRIES = 10,         /* tries per block, per EOT, start requests */
    XM_TIMEOUT_MS = 10000,   /* wait for an answer, or for the next block */
    XM_START_MS = 3000,      /* interval of the receiver's start requests */
    XM_SENDER_START_MS = 60000, /* sender's wait for the first start request */
    XM_BYTE_MS = 1000,       /* gap allowed inside a block; CAN to CAN */
    XM_QUIET_MS = 250,       /* silence that ends a purge */
    XM_EOT_QUIET_MS = 500,   /* silence after an EOT that makes it one */
    XM_TIMEOUT = -1,         /* xm_read_byte: nothing arrived in time */
    XM_CLOSED = -2           /* xm_read_byte: end of input or read error */
};

enum { XM_EXIT_OK = 0, XM_EXIT_FAILED = 1, XM_EXIT_USAGE = 2 };

/* One block as it goes over the wire, header to CRC. */
typedef struct xm_block {
    uint32_t number; /* from 1; sent modulo 256 */
    uint32_t size;   /* XM_SMALL or XM_LARGE data bytes */
    uint32_t used;   /* data bytes from the file; the rest is XM_PAD */
    uint8_t frame[3 + XM_LARGE + 2];
} xm_block;

/* The command line, common to both programs. */
typedef struct xm_options {
    const char *file;
    uint32_t block_size; /* -b; the sender's only */
    int quiet;           /* -q */
} xm_options;

/* Prepares the process: names it for messages, makes sure descriptor 2 is
 * open (on /dev/null when it was closed, so that no file the program opens
 * lands there), ignores SIGPIPE so that a vanished peer is an error, not a
 * silent death, and reads XMODEM_TIME_SCALE.  Returns -1 to go on, or the
 * exit status (usage) after a message. */
int xm_setup(const char *program, const char *usage);

/* Parses argv into options (-h/--help, -q, and -b when block_size is
 * allowed; -- ends the options; exactly one FILE).  Returns -1 to go on, or
 * the exit status: 0 after printing the usage on -h, 2 after an error.  Also
 * refuses (2) when standard input or output is closed. */
int xm_parse(int argc, char **argv, xm_options *options, int block_size, const char *usage);

/* A message on standard error, prefixed with the program's name; clears
 * the status line first when one is shown. */
void xm_say(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* The deadline timeout_ms (scaled) from now, in seconds of xm_now(). */
double xm_deadline(int timeout_ms);

/* Next byte of standard input as 0..255, XM_TIMEOUT when the deadline
 * passes first, XM_CLOSED at end of input. */
int xm_read_byte(double deadline);

/* Puts one byte back: the next xm_read_byte returns it. */
void xm_unread(int byte);

/* Reads up to n bytes, waiting at most gap_ms (scaled) for each piece and
 * never past the deadline; returns the number read, n unless the input
 * paused, ended or took too long. */
uint32_t xm_read(uint8_t *bytes, uint32_t n, int gap_ms, double deadline);

/* Reads and drops input until it has been quiet for quiet_ms (scaled) or
 * the deadline passed; returns the number of bytes dropped. */
uint32_t xm_purge(int quiet_ms, double deadline);

/* Drops whatever input has already arrived, without waiting. */
void xm_drain(void);

/* Writes all bytes to standard output; 0 on failure, with a message. */
int xm_write(const uint8_t *bytes, uint32_t n);

/* Writes one control byte; 0 on failure. */
int xm_send_byte(uint8_t byte);

/* Tells the peer the transfer is over: CAN CAN CAN. */
void xm_cancel(void);

/* On SIGINT, SIGTERM or SIGHUP: removes the file at path (when not null),
 * cancels the transfer and exits 1.  path must stay valid; xm_forget_file
 * stops the removal. */
void xm_catch_signals(const char *path);

/* Stops the signal handler's removal; signals are held while it runs so
 * that no handler sees a half-done change. */
void xm_forget_file(void);

/* Blocks or releases the signals xm_catch_signals handles. */
void xm_hold_signals(int hold);

/* Name of a control byte for diagnostics ("NAK"), or null for other bytes. */
const char *xm_name(int byte);

/* Fills in the header and the CRC of a block whose number, size and data
 * are set. */
void xm_seal(xm_block *block);

/* 1 when a frame's header bytes agree (number and complement). */
int xm_header_intact(const xm_block *block);

/* 1 when a frame's header bytes agree and its CRC matches its data. */
int xm_intact(const xm_block *block);

/* Monotonic time in seconds. */
double xm_now(void);

/* Transfer statistics and progress.  The rate is that of the most recent
 * blocks: the bytes and the microseconds of each (from one answer to the
 * next) in two sliding windows. */
typedef enum { XM_SHOW_NOTHING, XM_SHOW_LINES, XM_SHOW_STATUS } xm_show;

typedef struct xm_stats {
    SlidingAverage *times; /* microseconds per block */
    SlidingAverage *sizes; /* bytes per block */
    double start;
    double last;
    double shown; /* when the status line was last drawn */
    uint64_t bytes;
    uint64_t total; /* size of the file when known, else 0 */
    uint32_t blocks;
    uint32_t retries; /* blocks sent again, or rejected */
    xm_show show;
} xm_stats;

/* 0 when the windows cannot be allocated.  Progress is a status line
 * updated in place when standard error is a terminal of its own, periodic
 * lines when it is not a terminal, nothing when quiet or when standard
 * error is the line itself. */
int xm_stats_init(xm_stats *stats, int quiet, uint64_t total);
void xm_stats_begin(xm_stats *stats);
void xm_stats_block(xm_stats *stats, uint32_t bytes);
void xm_stats_retry(xm_stats *stats);
/* The closing summary, "sent"/"received" or "FAILED after". */
void xm_stats_end(xm_stats *stats, const char *what);

#endif
