#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The XMODEM programs against the faults of a real line, and against
lrzsz's sx and rx as an independent peer.

Every transfer is judged by one rule: the received file is exact and both
sides exit 0, or the side that failed exits non-zero; never exit 0 with a
wrong file, a sender never exits 0 unless the receiver has the whole file,
and when our receiver fails an existing FILE is left exactly as it was with
no temporary file beside it.  The fixed cases below also say which of
those outcomes a correct pair must reach.

Usage: cases.py --bin DIR --work DIR [--seeds N] [--jobs N] [--harsh F] [--only TEXT]
Prints one line per case with its time and a summary of the random-fault
campaign; exits 1 when any case fails.
"""
import argparse
import os
import random
import shutil
import sys
import time
from collections import Counter
from concurrent.futures import ThreadPoolExecutor

import direct
from line import Direction, transfer

# XMODEM_TIME_SCALE for our programs: answers awaited 1 s instead of 10 s
# between our own pair; 3 s against lrzsz, whose own waits are not scaled
# (rx takes over a second to answer a damaged block).
SCALE, SCALE_LRZSZ = 0.1, 0.3
SMALL, LARGE = 133, 1029  # frame lengths of 128- and 1024-byte blocks
ACK, NAK, CAN = 0x06, 0x15, 0x18
ORIGINAL = b"an existing file that no failed transfer may touch\n"


def content(size, seed):
    """size pseudo-random bytes that do not end in 0x1A (the padding)."""
    data = bytearray(random.Random(seed).randbytes(size))
    if data and data[-1] == 0x1A:
        data[-1] = 0x55
    return bytes(data)


def padded(data, block):
    """The file as our sender puts it on the line, padded to its last block."""
    rest = len(data) % block
    if rest == 0:
        return data
    return data + b"\x1a" * ((128 if rest <= 128 else block) - rest)


class Run:
    """One transfer between two peers in a directory of its own."""

    def __init__(self, opts, name, sender, receiver, size, seed=0, existing=False):
        self.opts, self.sender, self.receiver = opts, sender, receiver
        self.dir = os.path.join(opts.work, name)
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.data = content(size, seed)
        with open(os.path.join(self.dir, "input"), "wb") as f:
            f.write(self.data)
        self.target = os.path.join(self.dir, "output")
        self.before = None
        if existing:
            self.before = ORIGINAL
            with open(self.target, "wb") as f:
                f.write(ORIGINAL)

    def argv(self, side, target="output"):
        b = self.opts.bin
        return {"send": [f"{b}/xmodem_send", "-q", "input"],
                "send-128": [f"{b}/xmodem_send", "-q", "-b", "128", "input"],
                "sx": ["sx", "input"], "sx-k": ["sx", "-k", "input"],
                "recv": [f"{b}/xmodem_recv", "-q", target], "rx": ["rx", "-c", target]}[side]

    def expected(self):
        if self.receiver == "rx":  # rx keeps the padding
            return padded(self.data, 128 if self.sender == "send-128" else 1024)
        return self.data

    def go(self, target="output", scale=None, **kw):
        lrzsz = self.sender.startswith("sx") or self.receiver == "rx"
        scale = scale or (SCALE_LRZSZ if lrzsz else SCALE)
        env = dict(os.environ, XMODEM_TIME_SCALE=str(scale))
        self.result = transfer(self.argv(self.sender), self.argv(self.receiver, target), self.dir,
                               env=env, **kw)
        return self.result

    def judge(self):
        """(outcome, violations) of the last transfer under the rule."""
        r, bad = self.result, []
        ours_send = self.sender.startswith("send")
        ours_recv = self.receiver == "recv"
        got = None
        if os.path.exists(self.target) and os.path.isfile(self.target):
            with open(self.target, "rb") as f:
                got = f.read()
        exact = got == self.expected()
        if r.timed_out:
            bad.append("still running at the time limit")
        if r.receiver == 0 and not exact and ours_recv:
            bad.append("receiver exit 0 with a wrong file")
        if r.sender == 0 and ours_send and not (r.receiver == 0 and exact):
            bad.append("sender exit 0 but the receiver has no exact file")
        if r.receiver != 0 and ours_recv:
            if got != self.before:
                bad.append("existing file changed by a failed transfer")
            extra = set(os.listdir(self.dir)) - {"input", "output", "send.log", "recv.log"}
            if extra:
                bad.append(f"left behind: {sorted(extra)}")
        if r.sender == 0 and r.receiver == 0 and exact:
            outcome = "exact, both 0"
        elif r.receiver == 0 and exact:
            outcome = "exact, sender failed"
        elif r.receiver != 0 and r.sender != 0:
            outcome = "both failed"
        elif r.receiver == 0:
            outcome = "receiver 0, wrong file"
        else:
            outcome = "receiver failed, sender 0"
        return outcome, bad


# ---- the fixed cases: (group, name, sender, receiver, size, faults, expected outcome) ----
# Faults: to_receiver/to_sender Direction arguments; the expected outcome is
# what a correct pair reaches, None when only the rule applies (an lrzsz
# peer that may stumble on its own).

def last_block(size, frame=LARGE):
    """Offset of the last frame's header for a file of size bytes."""
    return (size - 1) // (frame - 5) * frame


FIXED = []


def fixed(group, name, pairs, size, expect="exact, both 0", **faults):
    for sender, receiver, want in pairs:
        FIXED.append((group, name, sender, receiver, size, faults, expect if want else None))


OURS = [("send", "recv", True)]
BOTH_WAYS = [("send", "recv", True), ("sx-k", "recv", True), ("send", "rx", True)]

fixed("clean", "empty file", BOTH_WAYS, 0)
fixed("clean", "one 128-byte block", OURS, 128)
fixed("clean", "sizes off the block size", BOTH_WAYS, 20000)
fixed("clean", "128-byte blocks", [("send-128", "recv", True), ("sx", "recv", True), ("send-128", "rx", True)], 3000)
fixed("clean", "block number wrap-around", OURS, 300 * 1024 + 77)

fixed("headers", "lost STX at a block boundary", [("send", "recv", True), ("sx-k", "recv", True)], 20000,
      to_receiver=lambda: Direction(at={3 * LARGE: "drop"}))
fixed("headers", "lost SOH before block 4 (number 0x04 = EOT)",
      [("send-128", "recv", True), ("sx", "recv", True)], 3000,
      to_receiver=lambda: Direction(at={3 * SMALL: "drop"}))
fixed("headers", "lone CAN before a header", [("send", "recv", True), ("sx-k", "recv", True)], 20000,
      to_receiver=lambda: Direction(at={3 * LARGE: ("insert", bytes([CAN]))}))

fixed("answers", "doubled ACK + damaged last block",
      [("send", "recv", True), ("send", "rx", True), ("sx-k", "recv", False)], 50 * 1024,
      to_sender=lambda: Direction(nth={(ACK, 1): "dup"}),
      to_receiver=lambda: Direction(at={last_block(50 * 1024) + 500: "flip"}))
# A copy of the last block's ACK 5 ms behind it: the EOT must not take it
# for its own answer (default waits, so that the quiet before the EOT is
# 250 ms, far above any delay of the relay).
fixed("answers", "late second ACK of the last block", OURS, 20000, scale=1.0,
      to_sender=lambda: Direction(nth={(ACK, 20): ("late", 0.005)}))
fixed("answers", "lost ACK", BOTH_WAYS, 20000, to_sender=lambda: Direction(nth={(ACK, 2): "drop"}))
fixed("answers", "lost NAK of the first EOT", OURS, 20000, to_sender=lambda: Direction(nth={(NAK, 1): "drop"}))

fixed("keep", "write error (/dev/full)", [("send", "recv", True), ("sx-k", "recv", True)], 20000, "both failed",
      target="/dev/full", reason="/dev/full: write error: No space left on device")
fixed("keep", "write error (file size limit), existing file", [("send", "recv", True)], 20000, "both failed",
      receiver_limits=(direct.limit_file_size,), existing=True, reason="output: write error: File too large")
fixed("keep", "line cut mid-transfer, existing file", [("send", "recv", True)], 20000, "both failed",
      to_receiver=lambda: Direction(at={5 * LARGE + 10: "cut"}), existing=True)
fixed("keep", "sender cancels, existing file", [("send", "recv", True), ("sx-k", "recv", True)], 20000,
      "both failed", to_receiver=lambda: Direction(at={3 * LARGE: ("insert", bytes([CAN, CAN]))}), existing=True)
fixed("keep", "receiver killed, existing file", [("send", "recv", True)], 20000, "both failed",
      kill_receiver_at=5 * LARGE, existing=True)


def run_fixed(opts, index, case):
    group, name, sender, receiver, size, faults, expect = case
    faults = dict(faults)
    existing = faults.pop("existing", False)
    target = faults.pop("target", "output")
    scale = faults.pop("scale", None)
    reason = faults.pop("reason", None)  # expected in the receiver's messages
    run = Run(opts, f"fixed-{index}", sender, receiver, size, seed=index, existing=existing)
    result = run.go(target=target, scale=scale, **{k: v() if callable(v) else v for k, v in faults.items()})
    outcome, bad = run.judge()
    if reason is not None and reason not in result.receiver_log:
        bad.append(f"the receiver does not say '{reason}'")
    if expect is not None and outcome != expect:
        bad.append(f"expected '{expect}', got '{outcome}'")
    label = f"{group}: {name} [{sender} -> {receiver}]"
    return label, result.seconds, bad, run


# ---- the random-fault campaign ----

def campaign_plan(seeds):
    """(seed, sender, receiver) for each seed: mostly our pair, every
    fourth seed against sx -k, every fourth against rx."""
    plan = []
    for seed in range(1, seeds + 1):
        pair = [("send", "recv"), ("send", "recv"), ("sx-k", "recv"), ("send", "rx")][seed % 4]
        plan.append((seed,) + pair)
    return plan


def run_random(opts, seed, sender, receiver):
    rng = random.Random(seed)
    size = rng.randrange(1, 16 * 1024)
    # Per byte: the sender's stream is long, the answers are one byte a block.
    f, b = opts.harsh / 12000, opts.harsh * 0.02
    forward = Direction(rng=random.Random(seed * 2), rates={"drop": f, "flip": f, "dup": f})
    back = Direction(rng=random.Random(seed * 2 + 1), rates={"drop": b, "flip": b, "dup": b})
    run = Run(opts, f"random-{seed}", sender, receiver, size, seed=seed, existing=rng.random() < 0.5)
    result = run.go(to_receiver=forward, to_sender=back, limit=90.0)
    outcome, bad = run.judge()
    return seed, sender, receiver, size, outcome, bad, result, run


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="directory of xmodem_send and xmodem_recv")
    parser.add_argument("--work", required=True, help="scratch directory")
    parser.add_argument("--seeds", type=int, default=60)
    parser.add_argument("--jobs", type=int, default=8)
    parser.add_argument("--harsh", type=float, default=1.0, help="multiplies the campaign's fault rates")
    parser.add_argument("--only", default="", help="run only the fixed cases whose name contains this")
    opts = parser.parse_args()
    opts.bin = os.path.abspath(opts.bin)
    opts.work = os.path.abspath(opts.work)
    shutil.rmtree(opts.work, ignore_errors=True)
    os.makedirs(opts.work)
    # Sanitizer reports go to files, found below whatever the exit status.
    reports = os.path.join(opts.work, "sanitizer")
    os.environ["ASAN_OPTIONS"] = f"log_path={reports}"
    os.environ["UBSAN_OPTIONS"] = f"log_path={reports}:print_stacktrace=1"
    start = time.monotonic()
    failed = 0

    def show(label, seconds, bad, logs=None):
        nonlocal failed
        print(f"{label:<76} {seconds:6.1f} s  {'ok' if not bad else 'FAILED: ' + '; '.join(bad)}", flush=True)
        if bad:
            failed += 1
            if logs is not None:
                print(f"    faults: {logs.result.faults[:20]}\n    sender: {logs.result.sender_log.strip()}\n"
                      f"    receiver: {logs.result.receiver_log.strip()}")

    with ThreadPoolExecutor(max_workers=opts.jobs) as pool:
        direct_jobs = [pool.submit(check, opts) for check in direct.CHECKS if not opts.only]
        fixed_jobs = [pool.submit(run_fixed, opts, i, case) for i, case in enumerate(FIXED) if opts.only in case[1]]
        random_jobs = [pool.submit(run_random, opts, *p) for p in campaign_plan(0 if opts.only else opts.seeds)]
        for job in direct_jobs:
            label, seconds, bad = job.result()
            show(label, seconds, bad)
        for job in fixed_jobs:
            label, seconds, bad, run = job.result()
            show(label, seconds, bad, run)
        counts, slowest = Counter(), 0.0
        for job in random_jobs:
            seed, sender, receiver, size, outcome, bad, result, run = job.result()
            counts[(f"{sender} -> {receiver}", outcome)] += 1
            slowest = max(slowest, result.seconds)
            if bad:
                show(f"campaign: seed {seed} [{sender} -> {receiver}], {size} bytes", result.seconds, bad, run)
    print(f"campaign: seeds 1-{opts.seeds}, faults at random (drops, bit flips, doubled bytes) both ways; "
          f"slowest transfer {slowest:.1f} s")
    for (pair, outcome), n in sorted(counts.items()):
        print(f"    {pair:<14} {outcome:<24} {n:3}")
    for name in sorted(os.listdir(opts.work)):
        if name.startswith("sanitizer"):
            failed += 1
            with open(os.path.join(opts.work, name), errors="replace") as f:
                print(f"sanitizer report {name}:\n{f.read()[:3000]}")
    print(f"all cases: {time.monotonic() - start:.1f} s, {'all passed' if not failed else f'{failed} FAILED'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
