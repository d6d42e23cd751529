#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the armhf test programs again on two emulated cores: a Cortex-A9,
# which has no divide instruction, and a Cortex-A15, which has one.  The hash
# table picks its bucket reduction from the kernel's hardware capabilities
# at load time, so the two runs take different paths and must agree with the
# default run.  Expects the armhf preset built (scripts/test.sh builds it
# first).
set -eu
cd "$(dirname "$0")/../.."
[ -d build/armhf ] || { cmake --preset armhf >/dev/null && cmake --build --preset armhf -j "$(nproc)"; }
status=0
for cpu in cortex-a9 cortex-a15; do
    echo "== armhf tests on $cpu"
    QEMU_CPU=$cpu ctest --preset armhf -j "$(($(nproc) * 2))" >"build/armhf/ctest-$cpu.log" 2>&1 || status=1
    tail -n 3 "build/armhf/ctest-$cpu.log"
    [ "$status" -eq 0 ] || cat "build/armhf/ctest-$cpu.log"
done
exit "$status"
