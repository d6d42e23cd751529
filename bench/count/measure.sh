#!/bin/sh
# SPDX-License-Identifier: MIT
# Instructions executed per operation by every workload of one counting
# program (bench/count/), counted under qemu user emulation:
#   qemu-<arch> -L SYSROOT -singlestep -d exec,nochain -D LOG PROGRAM WORKLOAD N
# writes one "Trace" line of LOG per executed instruction.  Each workload runs
# with N and with 0 operations; the difference divided by N is its figure.
# Both runs have an empty environment, the same argument length (N
# zero-padded) and symbols bound at load time, so that start-up costs the same
# and no lazy binding falls into the operations: the figures are
# deterministic for a given build.
#
# usage: bench/count/measure.sh PROGRAM N EMULATOR...
#   EMULATOR: the command that runs a target program, e.g.
#   qemu-arm -L /usr/arm-linux-gnueabihf (a build's CMAKE_CROSSCOMPILING_EMULATOR)
# Prints "WORKLOAD<TAB>FIGURE<TAB>WHAT ONE OPERATION IS", one workload a line,
# the figure to one decimal.  Exits non-zero if a run fails.
set -eu
program=$1
n=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# One instruction per translation block: -singlestep until qemu 8.1 named
# it -one-insn-per-tb (qemu 10, Debian 13, knows only the new name).
one_insn=-singlestep
"$1" -h 2>/dev/null | grep -q -e -one-insn-per-tb && one_insn=-one-insn-per-tb

# The instructions of one run of $workload with $ops operations; the
# emulator is the script's own argument list.
trace() {
    env -i LD_BIND_NOW=1 "$@" "$one_insn" -d exec,nochain -D "$log" "$program" "$workload" "$ops" >/dev/null
    grep -c '^Trace' "$log"
}

tab=$(printf '\t')
# The list is read first: a failing program must stop the script, which a
# failure inside a pipeline would not.
workloads=$("$@" "$program" --list)
echo "$workloads" | while IFS=$tab read -r workload what; do
    ops=$(printf '%09d' "$n") && many=$(trace "$@")
    ops=$(printf '%09d' 0) && none=$(trace "$@")
    printf '%s\t%s\t%s\n' "$workload" "$(echo "$many $none $n" | awk '{ printf "%.1f", ($1 - $2) / $3 }')" "$what"
done
