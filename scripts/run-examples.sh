#!/bin/sh
# SPDX-License-Identifier: MIT
# The main job: builds liblibkrc.so and the example programs for armhf (and
# nothing else: no test suite) in build/run-examples, runs each example under
# qemu-arm, then sends a file from xmodem_send to xmodem_recv over a pair of
# FIFOs, the two programs speaking XMODEM-CRC as over a serial line.
# Installs what it needs on first use.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh

build=build/run-examples
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake -DCMAKE_BUILD_TYPE=Release \
      -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

sysroot=/usr/arm-linux-gnueabihf
arm-linux-gnueabihf-size "$build/liblibkrc.so"
for example in "$build"/examples/example_*; do
    echo "== ${example##*/} (qemu-arm)"
    qemu-arm -L "$sysroot" "$example"
done

echo "== xmodem_send -> xmodem_recv (qemu-arm): the library's own README over XMODEM-CRC"
line=$build/xmodem-line
rm -rf "$line"
mkdir -p "$line"
mkfifo "$line/to-receiver" "$line/to-sender"
qemu-arm -L "$sysroot" "$build/examples/xmodem/xmodem_recv" "$line/received" \
    <"$line/to-receiver" >"$line/to-sender" &
receiver=$!
qemu-arm -L "$sysroot" "$build/examples/xmodem/xmodem_send" README.md >"$line/to-receiver" <"$line/to-sender"
wait "$receiver"
cmp README.md "$line/received" && echo "received file identical to README.md"
