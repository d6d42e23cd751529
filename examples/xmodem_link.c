/* SPDX-License-Identifier: MIT */
/* XMODEM-CRC link layer: buffered raw standard input with deadlines,
 * standard output, the command line, signals, block sealing and checking by
 * the library's CRC-16, control-byte names from a search map, progress with
 * the recent rate from sliding averages. */
#define _POSIX_C_SOURCE 200809L

#include "xmodem_link.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <libkrc/crc16.h>
#include <libkrc/searchmap.h>

enum {
    XM_WINDOW = 16,        /* blocks in the recent-rate window */
    XM_LINE_EVERY = 64,    /* blocks between progress lines */
    XM_STATUS_EVERY_MS = 200 /* least interval between status line updates */
};

static const char *program = "xmodem";
static double time_scale = 1.0;
static int status_drawn; /* a status line without its newline is on screen */

/* Input buffer: bytes read from standard input and not yet taken. */
static uint8_t input[4096];
static uint32_t input_at, input_end;
static int pushed_back = -1;

/* ---- process set-up and command line ---- */

static int fd_open(int fd) { return fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

int xm_setup(const char *name, const char *usage) {
    const char *scale = getenv("XMODEM_TIME_SCALE");
    program = name;
    if (!fd_open(STDERR_FILENO)) {
        int fd = open("/dev/null", O_WRONLY);
        if (fd >= 0 && fd != STDERR_FILENO) /* 0 or 1 closed too: refused later */
            close(fd);
    }
    signal(SIGPIPE, SIG_IGN);
    if (scale != NULL) {
        char *end;
        time_scale = strtod(scale, &end);
        if (end == scale || *end != '\0' || !(time_scale >= 0.01 && time_scale <= 100.0)) {
            xm_say("XMODEM_TIME_SCALE must be a number from 0.01 to 100, not '%s'", scale);
            fputs(usage, stderr);
            return XM_EXIT_USAGE;
        }
    }
    return -1;
}

static int usage_error(const char *usage, const char *what, const char *arg) {
    xm_say("%s%s", what, arg);
    fputs(usage, stderr);
    return XM_EXIT_USAGE;
}

/* Takes the value of -b (attached or the next argument); 0 when invalid. */
static uint32_t block_size_of(const char *value) {
    if (value != NULL && strcmp(value, "128") == 0)
        return XM_SMALL;
    if (value != NULL && strcmp(value, "1024") == 0)
        return XM_LARGE;
    return 0;
}

int xm_parse(int argc, char **argv, xm_options *options, int block_size, const char *usage) {
    int i, options_end = 0;
    options->file = NULL;
    options->block_size = XM_LARGE;
    options->quiet = 0;
    for (i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (options_end || arg[0] != '-' || arg[1] == '\0') {
            if (options->file != NULL)
                return usage_error(usage, "one FILE only, not also ", arg);
            options->file = arg;
        } else if (strcmp(arg, "--") == 0) {
            options_end = 1;
        } else if (strcmp(arg, "-h") == 0 || strcmp(arg, "--help") == 0) {
            fputs(usage, stdout);
            return fflush(stdout) == 0 ? XM_EXIT_OK : XM_EXIT_FAILED;
        } else if (strcmp(arg, "-q") == 0) {
            options->quiet = 1;
        } else if (block_size && strncmp(arg, "-b", 2) == 0) {
            const char *value = arg[2] != '\0' ? arg + 2 : (i + 1 < argc ? argv[++i] : NULL);
            options->block_size = block_size_of(value);
            if (options->block_size == 0)
                return usage_error(usage, "-b takes 128 or 1024, not ", value != NULL ? value : "nothing");
        } else {
            return usage_error(usage, "unknown option ", arg);
        }
    }
    if (options->file == NULL)
        return usage_error(usage, "FILE is missing", "");
    if (!fd_open(STDIN_FILENO) || !fd_open(STDOUT_FILENO)) {
        xm_say("standard %s is closed: it must be the line to the peer", fd_open(STDIN_FILENO) ? "output" : "input");
        return XM_EXIT_USAGE;
    }
    return -1;
}

void xm_say(const char *format, ...) {
    va_list args;
    if (status_drawn) {
        fputs("\r\033[K", stderr);
        status_drawn = 0;
    }
    fprintf(stderr, "%s: ", program);
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
    fputc('\n', stderr);
}

/* ---- signals ---- */

static const char *volatile remove_on_signal;

static void on_signal(int number) {
    static const uint8_t cans[] = {XM_CAN, XM_CAN, XM_CAN};
    const char *path = remove_on_signal;
    ssize_t ignored;
    (void)number;
    if (path != NULL)
        unlink(path);
    ignored = write(STDOUT_FILENO, cans, sizeof cans);
    (void)ignored;
    _exit(XM_EXIT_FAILED);
}

static void each_signal(void (*handler)(int), sigset_t *set) {
    static const int numbers[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction action;
    size_t i;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    for (i = 0; i < sizeof numbers / sizeof numbers[0]; i++) {
        if (handler != NULL)
            sigaction(numbers[i], &action, NULL);
        if (set != NULL)
            sigaddset(set, numbers[i]);
    }
}

void xm_catch_signals(const char *path) {
    remove_on_signal = path;
    each_signal(on_signal, NULL);
}

void xm_hold_signals(int hold) {
    sigset_t set;
    sigemptyset(&set);
    each_signal(NULL, &set);
    sigprocmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &set, NULL);
}

void xm_forget_file(void) { remove_on_signal = NULL; }

/* ---- time and input ---- */

double xm_now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static double scaled_seconds(int ms) { return ms * time_scale / 1000.0; }

double xm_deadline(int timeout_ms) { return xm_now() + scaled_seconds(timeout_ms); }

/* Waits until input is there (or closed) or the deadline passes: 1 when
 * there is something to read. */
static int input_ready(double deadline) {
    struct pollfd in;
    int ready;
    in.fd = STDIN_FILENO;
    in.events = POLLIN;
    do {
        double left = (deadline - xm_now()) * 1000.0;
        ready = poll(&in, 1, left > 0 ? (int)(left + 0.999) : 0); /* round up */
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

/* Refills the empty buffer: 1 when bytes arrived, else XM_TIMEOUT or
 * XM_CLOSED. */
static int fill(double deadline) {
    ssize_t r;
    if (!input_ready(deadline))
        return XM_TIMEOUT;
    do
        r = read(STDIN_FILENO, input, sizeof input);
    while (r < 0 && errno == EINTR);
    if (r <= 0)
        return XM_CLOSED;
    input_at = 0;
    input_end = (uint32_t)r;
    return 1;
}

int xm_read_byte(double deadline) {
    int got;
    if (pushed_back >= 0) {
        got = pushed_back;
        pushed_back = -1;
        return got;
    }
    if (input_at == input_end && (got = fill(deadline)) != 1)
        return got;
    return input[input_at++];
}

void xm_unread(int byte) {
    if (byte >= 0)
        pushed_back = byte;
}

uint32_t xm_read(uint8_t *bytes, uint32_t n, int gap_ms, double deadline) {
    uint32_t got = 0;
    while (got < n) {
        uint32_t take;
        if (pushed_back >= 0) {
            bytes[got++] = (uint8_t)pushed_back;
            pushed_back = -1;
            continue;
        }
        if (input_at == input_end) {
            double gap = xm_deadline(gap_ms);
            if (fill(gap < deadline ? gap : deadline) != 1)
                break;
        }
        take = input_end - input_at < n - got ? input_end - input_at : n - got;
        memcpy(bytes + got, input + input_at, take);
        input_at += take;
        got += take;
    }
    return got;
}

uint32_t xm_purge(int quiet_ms, double deadline) {
    uint32_t dropped = 0;
    for (;;) {
        double quiet = xm_deadline(quiet_ms);
        int c = xm_read_byte(quiet < deadline ? quiet : deadline);
        if (c < 0)
            return dropped;
        dropped++;
    }
}

void xm_drain(void) {
    pushed_back = -1;
    input_at = input_end = 0;
    while (fill(0.0) == 1)
        input_at = input_end = 0;
}

/* ---- output ---- */

/* Writes all bytes to standard output; 0 on failure, errno set. */
static int write_all(const uint8_t *bytes, uint32_t n) {
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

int xm_write(const uint8_t *bytes, uint32_t n) {
    if (write_all(bytes, n))
        return 1;
    xm_say("cannot write to the line (standard output): %s", strerror(errno != 0 ? errno : EIO));
    return 0;
}

int xm_send_byte(uint8_t byte) { return xm_write(&byte, 1); }

void xm_cancel(void) {
    static const uint8_t cans[] = {XM_CAN, XM_CAN, XM_CAN};
    write_all(cans, sizeof cans); /* the peer may be gone already */
}

/* ---- blocks ---- */

static const str_uint_map_entry control_names[] = {
    {"SOH", XM_SOH}, {"STX", XM_STX}, {"EOT", XM_EOT}, {"ACK", XM_ACK}, {"NAK", XM_NAK},
    {"CAN", XM_CAN}, {"C", XM_CRC},   {NULL, 0},
};

const char *xm_name(int byte) {
    if (byte < 0)
        return byte == XM_TIMEOUT ? "time-out" : "end of input";
    return krclib_search_str_uint_map(control_names, (uint32_t)byte);
}

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

int xm_header_intact(const xm_block *block) { return block->frame[1] + block->frame[2] == 255; }

int xm_intact(const xm_block *block) {
    uint16_t crc = data_crc(block);
    return xm_header_intact(block) && block->frame[3 + block->size] == (uint8_t)(crc >> 8) &&
           block->frame[4 + block->size] == (uint8_t)crc;
}

/* ---- statistics and progress ---- */

static int same_file(int a, int b) {
    struct stat sa, sb;
    return fstat(a, &sa) == 0 && fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int xm_stats_init(xm_stats *stats, int quiet, uint64_t total) {
    memset(stats, 0, sizeof *stats);
    stats->times = SlidingAverage_create(XM_WINDOW);
    stats->sizes = SlidingAverage_create(XM_WINDOW);
    stats->total = total;
    stats->start = stats->last = xm_now();
    if (quiet || same_file(STDERR_FILENO, STDIN_FILENO) || same_file(STDERR_FILENO, STDOUT_FILENO))
        stats->show = XM_SHOW_NOTHING; /* never write messages into the line */
    else
        stats->show = isatty(STDERR_FILENO) ? XM_SHOW_STATUS : XM_SHOW_LINES;
    return stats->times != NULL && stats->sizes != NULL;
}

void xm_stats_begin(xm_stats *stats) { stats->start = stats->last = stats->shown = xm_now(); }

/* Bytes per second over the recent blocks, 0 before the first. */
static double recent_rate(const xm_stats *stats) {
    double micros = SlidingAverage_GetAverage(stats->times);
    return micros > 0 ? SlidingAverage_GetAverage(stats->sizes) * 1e6 / micros : 0.0;
}

static void draw_status(xm_stats *stats) {
    double rate = recent_rate(stats);
    fprintf(stderr, "\r%s: %.1f KiB", program, (double)stats->bytes / 1024.0);
    if (stats->total > 0) {
        uint64_t done = stats->bytes < stats->total ? stats->bytes : stats->total;
        fprintf(stderr, " of %.1f KiB (%u%%)", (double)stats->total / 1024.0, (unsigned)(done * 100 / stats->total));
    }
    fprintf(stderr, ", %.2f KiB/s", rate / 1024.0);
    if (stats->total > 0 && rate > 0) {
        unsigned long eta = (unsigned long)((double)(stats->total - (stats->bytes < stats->total ? stats->bytes : stats->total)) / rate + 0.5);
        fprintf(stderr, ", ETA %lu:%02lu", eta / 60, eta % 60);
    }
    fprintf(stderr, ", %u retries\033[K", (unsigned)stats->retries);
    status_drawn = 1;
    stats->shown = xm_now();
}

static void report(const xm_stats *stats, const char *what) {
    double seconds = xm_now() - stats->start;
    xm_say("%s: %llu bytes in %u blocks, %.2f s (%.1f KiB/s), %u retries; last %u blocks %.1f KiB/s", what,
           (unsigned long long)stats->bytes, (unsigned)stats->blocks, seconds,
           seconds > 0 ? (double)stats->bytes / 1024.0 / seconds : 0.0, (unsigned)stats->retries,
           (unsigned)SlidingAverage_NoOfEntries(stats->times), recent_rate(stats) / 1024.0);
}

static void show_progress(xm_stats *stats) {
    if (stats->show == XM_SHOW_STATUS && xm_now() - stats->shown >= XM_STATUS_EVERY_MS / 1000.0)
        draw_status(stats);
    else if (stats->show == XM_SHOW_LINES && stats->blocks % XM_LINE_EVERY == 0)
        report(stats, "progress");
}

void xm_stats_block(xm_stats *stats, uint32_t bytes) {
    double now = xm_now();
    double micros = (now - stats->last) * 1e6;
    SlidingAverage_Add(stats->times, micros < 4294967295.0 ? (uint32_t)micros : UINT32_MAX);
    SlidingAverage_Add(stats->sizes, bytes);
    stats->last = now;
    stats->bytes += bytes;
    stats->blocks++;
    show_progress(stats);
}

void xm_stats_retry(xm_stats *stats) {
    stats->retries++;
    if (stats->show == XM_SHOW_STATUS)
        draw_status(stats);
}

void xm_stats_end(xm_stats *stats, const char *what) {
    if (stats->show != XM_SHOW_NOTHING && stats->times != NULL && stats->sizes != NULL)
        report(stats, what);
    SlidingAverage_destroy(stats->times);
    SlidingAverage_destroy(stats->sizes);
    stats->times = stats->sizes = NULL;
}
