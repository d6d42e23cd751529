#!/bin/sh
# SPDX-License-Identifier: MIT
# Instructions executed per operation on the 32-bit ARM target, counted under
# qemu-arm: each workload of bench/count runs N and 0 times with
#   qemu-arm -singlestep -d exec,nochain -D LOG
# (every executed instruction is then one "Trace" line of LOG), and the
# difference of the two counts divided by N is printed, for the shared
# library, the static + LTO build and the inline C equivalent.  The counts are
# deterministic: same build, same table.
#
# usage: bench/count.sh BUILD_DIR [N]   (BUILD_DIR: an armhf build with
# LIBKRC_BUILD_BENCH=ON; N defaults to 1000)
set -eu
dir=$1
n=${2:-1000}
progs="shared static inline"
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# The instructions of one run.  Same environment and same argument length
# (N zero-padded) in both runs, so that start-up costs the same; symbols
# bound at load time, so that no lazy binding falls into the N operations.
trace() {
    env -i LD_BIND_NOW=1 qemu-arm -L /usr/arm-linux-gnueabihf -singlestep -d exec,nochain -D "$log" \
        "$dir/bench/count/count_$1" "$2" "$3" >/dev/null || return $?
    grep -c '^Trace' "$log"
}

# Instructions per operation, to one decimal, or a dash where the variant
# has no such workload.
per_op() {
    many=$(trace "$1" "$2" "$(printf '%09d' "$n")") || { echo "-"; return; }
    none=$(trace "$1" "$2" "$(printf '%09d' 0)")
    echo "$many $none $n" | awk '{ printf "%.1f", ($1 - $2) / $3 }'
}

printf '| workload | shared library | static + LTO | inline C |\n|---|---|---|---|\n'
"$dir/bench/count/count_shared" --list >/dev/null 2>&1 ||
    list_runner="qemu-arm -L /usr/arm-linux-gnueabihf"
${list_runner:-} "$dir/bench/count/count_shared" --list | while IFS="$(printf '\t')" read -r name what; do
    row="| $what"
    for p in $progs; do
        row="$row | $(per_op "$p" "$name")"
    done
    echo "$row |"
done
