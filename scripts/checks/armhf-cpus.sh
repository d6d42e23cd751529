#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the armhf test programs again on two emulated cores: a Cortex-A9,
# which has no divide instruction, and a Cortex-A15, which has one.  The hash
# table and the sliding average pick their remainder from the kernel's
# hardware capabilities at load time, so the two runs take different paths
# and must agree with the default run.  Builds the armhf preset from the tree
# as it is first; reports each core on its own and fails if either failed.
set -eu
cd "$(dirname "$0")/../.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cmake --preset armhf >/dev/null
cmake --build --preset armhf -j "$(nproc)" >"$log" 2>&1 || { cat "$log"; exit 1; }
failed=""
for cpu in cortex-a9 cortex-a15; do
    echo "== armhf tests on $cpu"
    if QEMU_CPU=$cpu ctest --preset armhf -j "$(($(nproc) * 2))" >"$log" 2>&1; then
        tail -n 3 "$log"
    else
        cat "$log"
        failed="$failed $cpu"
    fi
done
[ -z "$failed" ] || { echo "armhf tests failed on:$failed"; exit 1; }
