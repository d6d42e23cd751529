# SPDX-License-Identifier: MIT
"""A serial line between an XMODEM sender and receiver, with faults.

transfer() starts both programs and relays each one's output to the other's
input, byte by byte through a Direction that may drop, corrupt, double or
insert bytes: at fixed offsets, at the n-th occurrence of a byte value (the
second ACK, the first NAK), or at random from a seeded generator.  When one
program exits, the other's input is closed, as a hung-up line would be.
"""
import os
import random
import select
import signal
import subprocess
import time
from collections import Counter
from dataclasses import dataclass, field


@dataclass
class Direction:
    """Faults on one direction of the line.

    at:  {offset: action}, offsets counted in the bytes this direction sent
    nth: {(byte, n): action}, the n-th occurrence (from 1) of a byte value
    rng, rates: random faults, rates = {action: probability per byte}
    Actions: "drop", "flip" (one bit), "dup", ("insert", bytes) before the
    byte, ("late", seconds): a copy of the byte follows that much later,
    "cut" (the line goes dead from here on: nothing more is passed).
    """
    at: dict = field(default_factory=dict)
    nth: dict = field(default_factory=dict)
    rng: random.Random = None
    rates: dict = field(default_factory=dict)
    offset: int = 0
    counts: Counter = field(default_factory=Counter)
    done: list = field(default_factory=list)
    dead: bool = False
    late: list = field(default_factory=list)  # (when, bytes) still to pass

    def _action(self, byte):
        self.counts[byte] += 1
        action = self.at.pop(self.offset, None) or self.nth.pop((byte, self.counts[byte]), None)
        if action is None and self.rng is not None:
            roll = self.rng.random()
            for name, rate in self.rates.items():
                if roll < rate:
                    return name
                roll -= rate
        return action

    def apply(self, data):
        out = bytearray()
        for byte in data:
            action = None if self.dead else self._action(byte)
            if action is not None:
                self.done.append((self.offset, action if isinstance(action, str) else action[0]))
            self.offset += 1
            if self.dead or action == "drop":
                continue
            if action == "cut":
                self.dead = True
            elif action == "flip":
                out.append(byte ^ (1 << (self.rng.randrange(8) if self.rng else 3)))
            elif action == "dup":
                out += bytes([byte, byte])
            elif isinstance(action, tuple) and action[0] == "insert":
                out += action[1] + bytes([byte])
            elif isinstance(action, tuple) and action[0] == "late":
                out.append(byte)
                self.late.append((time.monotonic() + action[1], bytes([byte])))
            else:
                out.append(byte)
        return bytes(out)


@dataclass
class Result:
    sender: int
    receiver: int
    seconds: float
    timed_out: bool
    sender_log: str
    receiver_log: str
    faults: list


def _start(argv, cwd, env, log, limits):
    def prepare():
        for resource_limit in limits:
            resource_limit()
    return subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=log, preexec_fn=prepare if limits else None)


def _send(process, data):
    try:
        process.stdin.write(data)
        process.stdin.flush()
    except (BrokenPipeError, ValueError):
        pass


def _close(process):
    try:
        process.stdin.close()
    except BrokenPipeError:
        pass


def transfer(sender, receiver, cwd, to_receiver=None, to_sender=None, env=None, limit=120.0,
             receiver_limits=(), kill_receiver_at=None):
    """Runs sender and receiver (argv lists) in cwd, joined by the line.

    kill_receiver_at: an offset of the sender's bytes at which the receiver
    gets SIGTERM. Returns a Result."""
    to_receiver = to_receiver or Direction()
    to_sender = to_sender or Direction()
    slog_path, rlog_path = os.path.join(cwd, "send.log"), os.path.join(cwd, "recv.log")
    start = time.monotonic()
    timed_out = False
    with open(slog_path, "wb") as slog, open(rlog_path, "wb") as rlog:
        recv = _start(receiver, cwd, env, rlog, receiver_limits)
        send = _start(sender, cwd, env, slog, ())
        routes = {send.stdout.fileno(): (recv, to_receiver), recv.stdout.fileno(): (send, to_sender)}
        while routes:
            left = limit - (time.monotonic() - start)
            if left <= 0:
                timed_out = True
                send.kill()
                recv.kill()
                break
            for fd, (peer, direction) in list(routes.items()):
                while direction.late and direction.late[0][0] <= time.monotonic():
                    _send(peer, direction.late.pop(0)[1])
            due = [d.late[0][0] - time.monotonic() for d in (to_receiver, to_sender) if d.late]
            ready, _, _ = select.select(list(routes), [], [], max(0.0, min([left, 0.5] + due)))
            for fd in ready:
                data = os.read(fd, 4096)
                peer, direction = routes[fd]
                if not data:
                    del routes[fd]
                    _close(peer)
                    continue
                if kill_receiver_at is not None and direction is to_receiver and \
                        direction.offset + len(data) > kill_receiver_at:
                    recv.send_signal(signal.SIGTERM)
                    kill_receiver_at = None
                data = direction.apply(data)
                _send(peer, data)
                if direction.dead:
                    _close(peer)
        codes = (send.wait(), recv.wait())
    with open(slog_path, errors="replace") as s, open(rlog_path, errors="replace") as r:
        logs = s.read(), r.read()
    return Result(codes[0], codes[1], time.monotonic() - start, timed_out, logs[0], logs[1],
                  to_receiver.done + [("to sender",) + f for f in to_sender.done])
