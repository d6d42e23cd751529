#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Runs one XMODEM transfer: starts a sender and a receiver (shell command
lines) and relays the bytes between them, standing in for a serial line.
With --corrupt N, the relay flips the bits of the N-th byte (from 0) that the
sender sends, once, as line noise would; the receiver must reject that block
by its CRC and the sender send it again.

Prints the elapsed time in seconds on standard output; exits 0 when both
programs exit 0 within the time limit."""
import argparse
import os
import select
import subprocess
import sys
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--corrupt", type=int, default=-1, help="offset of the sender's byte to flip")
    parser.add_argument("--sender-log", required=True)
    parser.add_argument("--receiver-log", required=True)
    parser.add_argument("--timeout", type=float, default=120.0)
    parser.add_argument("sender")
    parser.add_argument("receiver")
    args = parser.parse_args()

    start = time.monotonic()
    with open(args.sender_log, "wb") as slog, open(args.receiver_log, "wb") as rlog:
        receiver = subprocess.Popen(args.receiver, shell=True, stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE, stderr=rlog)
        sender = subprocess.Popen(args.sender, shell=True, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=slog)
        # Each program's output goes to the other's input.
        routes = {sender.stdout.fileno(): receiver, receiver.stdout.fileno(): sender}
        sent = 0
        corrupted = False
        while routes:
            left = args.timeout - (time.monotonic() - start)
            if left <= 0:
                sender.kill()
                receiver.kill()
                print("transfer: time limit exceeded", file=sys.stderr)
                return 1
            ready, _, _ = select.select(list(routes), [], [], min(left, 1.0))
            for fd in ready:
                data = os.read(fd, 4096)
                peer = routes[fd]
                if not data:
                    del routes[fd]
                    try:
                        peer.stdin.close()
                    except BrokenPipeError:
                        pass
                    continue
                if fd == sender.stdout.fileno():
                    if not corrupted and sent <= args.corrupt < sent + len(data):
                        at = args.corrupt - sent
                        data = data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:]
                        corrupted = True
                        print(f"relay: flipped the sender's byte {args.corrupt}", file=sys.stderr)
                    sent += len(data)
                try:
                    peer.stdin.write(data)
                    peer.stdin.flush()
                except BrokenPipeError:
                    pass
        codes = (sender.wait(timeout=10), receiver.wait(timeout=10))
    print(f"{time.monotonic() - start:.2f}")
    if args.corrupt >= 0 and not corrupted:
        print("transfer: the byte to corrupt was never sent", file=sys.stderr)
        return 1
    if codes != (0, 0):
        print(f"transfer: sender exited {codes[0]}, receiver {codes[1]}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
