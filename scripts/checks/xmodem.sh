#!/bin/sh
# SPDX-License-Identifier: MIT
# The XMODEM programs (examples/xmodem_send.c, examples/xmodem_recv.c), host
# builds under AddressSanitizer and UBSan, against the faults of a real line
# and against an independent implementation (lrzsz's sx and rx):
# tests/xmodem/cases.py runs, in parallel,
#   - the command line and crafted input driven directly (tests/xmodem/direct.py),
#     and endless noise, which each program must end within its documented
#     waits, sending a bounded number of bytes;
#   - fixed line faults through a relay (tests/xmodem/line.py): a lost header
#     at a block boundary, a lone CAN, a doubled ACK with a damaged last
#     block, a lost ACK, a write error, a cut line, a cancel, a killed
#     receiver (an existing file must survive the failures);
#   - a seeded random-fault campaign (drops, bit flips, doubled bytes, both
#     ways): the file exact and both sides 0, or the failing side non-zero.
# XMODEM_SEEDS (default 60) sets the campaign's size.  Prints one line per
# case with its time; exits non-zero when any case fails.
set -eu
cd "$(dirname "$0")/../.."
LIBKRC_WITH_XMODEM=1 ./scripts/deps.sh

runner=""
trap '[ -z "$runner" ] || kill "$runner" 2>/dev/null || true' EXIT INT TERM
cmake --preset host-asan >/dev/null
cmake --build --preset host-asan -j "$(nproc)" --target xmodem_send xmodem_recv >/dev/null
python3 tests/xmodem/cases.py --bin build/host-asan/examples/xmodem --work build/xmodem-check \
    --seeds "${XMODEM_SEEDS:-60}" &
runner=$!
status=0
wait "$runner" || status=$?
runner=""
exit "$status"
