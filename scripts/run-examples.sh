#!/bin/sh
# SPDX-License-Identifier: MIT
# The main job: builds liblibkrc.so and the example programs for armhf (and
# nothing else: no test suite) in build/run-examples, runs each example under
# qemu-arm, then sends a file from xmodem_send to xmodem_recv over a pair of
# FIFOs, the two programs speaking XMODEM-CRC as over a serial line.
# Installs what it needs on first use: the armhf cross compiler, CMake and
# qemu-user, nothing more.  Safe to run again.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh examples

build=build/run-examples
receiver=
# On any exit: the receiver, if still running, is stopped, and the FIFOs go.
cleanup() {
    if [ -n "$receiver" ]; then kill "$receiver" 2>/dev/null || true; fi
    rm -rf "$build/xmodem-line"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
# The toolchain file counts only when the build directory is made; naming it
# again on a rerun would only earn a warning that it is unused.
toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake
[ -f "$build/CMakeCache.txt" ] && toolchain=
# shellcheck disable=SC2086
cmake -S . -B "$build" $toolchain -DCMAKE_BUILD_TYPE=Release \
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
receiver=
cmp README.md "$line/received" && echo "received file identical to README.md"
