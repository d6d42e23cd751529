#!/bin/sh
# SPDX-License-Identifier: MIT
# Footprint of the shared library as shipped, per target: the code and
# read-only data that stay resident (.text + .rodata) against the target's
# budget, the dynamic linking tables beside them, and the functions that call
# a software division routine (on armhf: the hash table's fallback for cores
# without a divide instruction, its one-time bucket count and the variance's
# one remainder; no per-operation path of another family).  Builds the
# library from the tree as it is first (scripts/build-target.sh).  Fails when
# .text + .rodata exceed the budget.
set -eu
cd "$(dirname "$0")/../.."

# target:budget in bytes, one a word.
budgets="armhf:8192"

status=0
for entry in $budgets; do
    target=${entry%%:*}
    budget=${entry#*:}
    scripts/build-target.sh "$target" libkrc
    build=build/measure-$target
    lib=$build/liblibkrc.so
    objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt")
    echo "== $target: $lib"
    "${objdump%objdump}size" -A "$lib" | awk -v budget="$budget" '
        $1 == ".text" || $1 == ".rodata" { core += $2; printf "%-16s %6d B\n", $1, $2 }
        $1 ~ /^\.(dynsym|dynstr|gnu\.hash|gnu\.version.*|rel\.dyn|rel\.plt|rela\.dyn|rela\.plt|plt|got|dynamic)$/ {
            dyn += $2; tables = tables sprintf("  %-16s %6d B\n", $1, $2) }
        END {
            if (core == 0) { print "no .text or .rodata read: FAILED"; exit 1 }
            if (core <= budget)
                printf ".text + .rodata  %6d B, %d B under the %d B budget\n", core, budget - core, budget
            else
                printf ".text + .rodata  %6d B, %d B OVER the %d B budget: FAILED\n", core, core - budget, budget
            printf "dynamic tables   %6d B:\n%s", dyn, tables
            exit core > budget
        }' || status=1
    echo "functions calling a software division routine:"
    "$objdump" -d --no-show-raw-insn "$lib" |
        awk '/^[0-9a-f]+ <.*>:$/ { fn = $2 } /bl.*<__aeabi_u?[il]?div/ && fn !~ /^<__/ { print "  " fn " -> " $NF }' |
        sort -u
done
exit "$status"
