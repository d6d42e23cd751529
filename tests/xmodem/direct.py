# SPDX-License-Identifier: MIT
"""Checks that drive one XMODEM program directly, without a peer: the
command line, crafted input, endless noise.  Each check returns
(label, seconds, problems); CHECKS lists them for cases.py."""
import binascii
import os
import random
import resource
import select
import shutil
import signal
import subprocess
import threading
import time

SOH, EOT, ACK, NAK, CAN = 0x01, 0x04, 0x06, 0x15, 0x18
SCALE = 0.1
KEEP = b"this file existed before\n"


def limit_file_size():
    """preexec: files may not grow past 8 KiB (writes fail with EFBIG)."""
    signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
    resource.setrlimit(resource.RLIMIT_FSIZE, (8192, 8192))


def frame(number, data):
    data = data.ljust(128, b"\x1a")
    crc = binascii.crc_hqx(data, 0)
    return bytes([SOH, number & 0xFF, 255 - (number & 0xFF)]) + data + bytes([crc >> 8, crc & 0xFF])


def workdir(opts, name):
    path = os.path.join(opts.work, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def run(argv, cwd, scale=SCALE, stdin=subprocess.DEVNULL, shell_redirect=None, timeout=30):
    """Runs a program to its end: (exit status, stdout, stderr)."""
    env = dict(os.environ, XMODEM_TIME_SCALE=str(scale))
    if shell_redirect:  # e.g. "<&-": a closed descriptor, which Popen cannot arrange
        argv = ["sh", "-c", f'exec "$0" "$@" {shell_redirect}'] + argv
    p = subprocess.run(argv, cwd=cwd, env=env, stdin=stdin, capture_output=True, timeout=timeout)
    return p.returncode, p.stdout, p.stderr.decode(errors="replace")


def converse(argv, cwd, steps, scale=SCALE, limit=30.0):
    """Feeds a program its input step by step: each step writes bytes, then
    (when await_byte is set) waits for that byte among the program's
    answers; then closes its input.  Returns (status, answers)."""
    env = dict(os.environ, XMODEM_TIME_SCALE=str(scale))
    p = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL)
    answers, end = b"", time.monotonic() + limit
    for data, await_byte in steps:
        p.stdin.write(data)
        p.stdin.flush()
        while await_byte is not None and await_byte not in answers and time.monotonic() < end:
            if select.select([p.stdout], [], [], 0.2)[0]:
                answers += os.read(p.stdout.fileno(), 4096)
        if await_byte is not None and await_byte in answers:
            answers = answers[answers.index(await_byte) + 1:]
    p.stdin.close()
    answers += p.stdout.read()
    return p.wait(timeout=limit), answers


def noise(argv, cwd, junk, prefix=b"", scale=SCALE, limit=60.0):
    """Feeds prefix and then endless junk until the program exits:
    (status, seconds, bytes it wrote)."""
    env = dict(os.environ, XMODEM_TIME_SCALE=str(scale))
    start = time.monotonic()
    with open(cwd + ".log", "wb") as log:
        p = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=log)

    def feed():
        try:
            p.stdin.write(prefix)
            while p.poll() is None:
                p.stdin.write(junk())
        except (BrokenPipeError, ValueError, OSError):
            pass
    threading.Thread(target=feed, daemon=True).start()
    written = 0
    while time.monotonic() - start < limit:
        if select.select([p.stdout], [], [], 0.5)[0]:
            chunk = os.read(p.stdout.fileno(), 4096)
            if not chunk:
                break
            written += len(chunk)
    if p.poll() is None:
        p.kill()
    return p.wait(), time.monotonic() - start, written


def junk_source(seed, without=()):
    rng = random.Random(seed)
    allowed = [b for b in range(256) if b not in without]
    return lambda: bytes(rng.choice(allowed) for _ in range(512))


# ---- the checks ----

def command_line(opts):
    """Options, operands and descriptors: exit status and what is left."""
    d = workdir(opts, "command-line")
    send, recv = f"{opts.bin}/xmodem_send", f"{opts.bin}/xmodem_recv"
    os.mkdir(os.path.join(d, "dir"))
    with open(os.path.join(d, "-name"), "wb") as f:
        f.write(b"x")
    with open(os.path.join(d, "keep"), "wb") as f:
        f.write(KEEP)
    # (argv, redirect, exit status, text in stderr or stdout, nothing on the line)
    table = [
        ([recv, "--help"], None, 0, "usage:", False),
        ([send, "-h"], None, 0, "usage:", False),
        ([recv, "-x", "f"], None, 2, "usage:", True),
        ([send, "-b", "512", "f"], None, 2, "usage:", True),
        ([recv], None, 2, "usage:", True),
        ([recv, "a", "b"], None, 2, "usage:", True),
        ([send, "--"], None, 2, "usage:", True),
        ([send, "--", "-name"], None, 1, "input closed", False),  # -- ends the options
        ([send, "dir"], None, 1, "Is a directory", True),
        ([send, "missing"], None, 1, "No such file or directory", True),
        ([recv, "dir"], None, 1, "Is a directory", True),
        ([recv, "nodir/f"], None, 1, "No such file or directory", True),
        ([recv, "f"], "<&-", 2, "standard input is closed", True),
        ([recv, "keep"], ">&-", 2, "standard output is closed", True),
        ([send, "--", "-name"], ">&-", 2, "standard output is closed", True),
        ([recv, "keep"], "2>&-", 1, "", False),
        ([recv, "keep"], None, 1, "input closed", False),
    ]
    start, bad = time.monotonic(), []
    for argv, redirect, status, text, silent in table:
        code, out, err = run(argv, d, shell_redirect=redirect)
        what = " ".join(os.path.basename(a) for a in argv) + (f" {redirect}" if redirect else "")
        if code != status or text not in err + out.decode(errors="replace"):
            bad.append(f"{what}: exit {code}, {err.strip()[:80]!r}")
        if silent and out:
            bad.append(f"{what}: wrote {out[:10]!r} to the line")
    with open(os.path.join(d, "keep"), "rb") as f:
        if f.read() != KEEP:
            bad.append("keep changed")
    left = sorted(set(os.listdir(d)) - {"dir", "-name", "keep"})
    if left:
        bad.append(f"left behind: {left}")
    return "command line: options, operands, closed descriptors, keep intact", time.monotonic() - start, bad


def crafted_streams(opts):
    """A block number 0x04 whose SOH was lost is no EOT; a confirmed EOT is."""
    d = workdir(opts, "crafted")
    recv = f"{opts.bin}/xmodem_recv"
    blocks = [frame(n, bytes([n]) * 128) for n in range(1, 5)]
    start, bad = time.monotonic(), []
    code, _ = converse([recv, "-q", "lost"], d, [(b"".join(blocks[:3]) + blocks[3][1:], None)])
    if code == 0 or os.path.exists(os.path.join(d, "lost")):
        bad.append(f"block 4 without its SOH, then end of input: exit {code}")
    code, answers = converse([recv, "-q", "ended"], d, [(b"".join(blocks[:3]) + bytes([EOT]), NAK),
                                                      (bytes([EOT]), ACK)])
    got = None
    if os.path.exists(os.path.join(d, "ended")):
        with open(os.path.join(d, "ended"), "rb") as f:
            got = f.read()
    if code != 0 or got != b"".join(bytes([n]) * 128 for n in range(1, 4)):
        bad.append(f"three blocks, EOT, NAK, EOT: exit {code}, {answers!r}")
    return "crafted input: lost SOH before block 4; EOT confirmed", time.monotonic() - start, bad


def receiver_noise(opts, scale, prefix, junk, label, bound, most_bytes):
    d = workdir(opts, "noise-recv-" + "".join(c for c in label if c.isalnum())[:40])
    code, seconds, written = noise([f"{opts.bin}/xmodem_recv", "-q", "out"], d, junk, prefix, scale,
                                   limit=bound + 20)
    bad = []
    if code == 0 or seconds > bound or written > most_bytes:
        bad.append(f"exit {code} after {seconds:.1f} s (limit {bound:.0f} s), {written} bytes sent")
    if os.listdir(d):
        bad.append(f"left behind: {os.listdir(d)}")
    return f"noise: {label}", seconds, bad


def sender_noise(opts, prefix, label, bound, most_bytes):
    d = workdir(opts, "noise-send-" + "".join(c for c in label if c.isalnum())[:40])
    with open(os.path.join(d, "in"), "wb") as f:
        f.write(os.urandom(3000))
    code, seconds, written = noise([f"{opts.bin}/xmodem_send", "-q", "in"], d,
                                   junk_source(7, without=(ord("C"), ACK, NAK, CAN)), prefix, SCALE, bound + 20)
    bad = [] if code != 0 and seconds <= bound and written <= most_bytes else \
        [f"exit {code} after {seconds:.1f} s (limit {bound:.1f} s), {written} bytes sent"]
    return f"noise: {label}", seconds, bad


SLACK = 3.0  # seconds for start-up and a loaded machine
CHECKS = [
    command_line,
    crafted_streams,
    # Before any block: 'C' every 3 s, 10 times, then CAN CAN CAN.
    lambda o: receiver_noise(o, 1.0, b"", lambda: b"y" * 4096, "endless 'y' to xmodem_recv (default waits)",
                             30 + SLACK, 10 + 3),
    lambda o: receiver_noise(o, 1.0, b"", junk_source(1), "endless random bytes to xmodem_recv (default waits)",
                             30 + SLACK, 10 + 3),
    # After 3 blocks: 10 failures of at most 10 s to begin and 10 s to arrive.
    lambda o: receiver_noise(o, SCALE, b"".join(frame(n, b"x") for n in range(1, 4)), junk_source(2),
                             "random bytes after 3 blocks (waits x0.1)", 10 * 20 * SCALE + SLACK, 1 + 3 + 10 + 3),
    lambda o: sender_noise(o, b"", "junk instead of a start request (waits x0.1)", 60 * SCALE + SLACK, 3),
    lambda o: sender_noise(o, b"C", "junk instead of answers (waits x0.1)", 10 * 10 * SCALE + SLACK,
                           10 * 1029 + 3),
]
