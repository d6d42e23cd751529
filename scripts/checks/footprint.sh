#!/bin/sh
# SPDX-License-Identifier: MIT
# Footprint of the armhf shared library: the code and read-only data that a
# target keeps resident (.text + .rodata, budget 8192 bytes) and the dynamic
# linking tables beside them, plus the functions that call a software
# division routine (the hash table's fallback for cores without a
# divide instruction, its one-time bucket count and the variance's one
# remainder; no per-operation path of another family).  Prints the
# figures; fails only when .text + .rodata exceed the budget by more than a
# quarter (10240 bytes), so that a regression stops the suite while the
# budget itself stays a goal measured here, not a test.
set -eu
cd "$(dirname "$0")/../.."
lib=build/armhf/liblibkrc.so
[ -f "$lib" ] || { cmake --preset armhf >/dev/null && cmake --build --preset armhf -j "$(nproc)" --target libkrc; }
budget=8192
limit=10240
arm-linux-gnueabihf-size -A "$lib" | awk -v budget=$budget -v limit=$limit '
    $1 == ".text" || $1 == ".rodata" { core += $2; printf "%-12s %6d\n", $1, $2 }
    $1 ~ /^\.(dynsym|dynstr|gnu\.hash|gnu\.version.*|rel\.dyn|rel\.plt|plt|got|dynamic)$/ {
        dyn += $2; tables = tables sprintf("  %-16s %6d\n", $1, $2) }
    END {
        printf ".text + .rodata %d of %d bytes (%+d)\n", core, budget, core - budget
        printf "dynamic tables %d bytes:\n%s", dyn, tables
        if (core > limit) { printf "FAILED: above %d bytes\n", limit; exit 1 }
    }'
echo "functions calling a software division routine:"
arm-linux-gnueabihf-objdump -d --no-show-raw-insn "$lib" |
    awk '/^[0-9a-f]+ <.*>:$/ { fn = $2 } /bl.*<__aeabi_u?[il]?div/ && fn !~ /^<__/ { print "  " fn " -> " $NF }' | sort -u
