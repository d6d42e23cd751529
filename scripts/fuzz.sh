#!/bin/sh
# SPDX-License-Identifier: MIT
# Fuzzes every model-checking harness (tests/model/<family>.cpp) with
# libFuzzer for SECONDS each (default 60): builds the fuzz targets with clang
# 14 under AddressSanitizer and UBSan in build/fuzz, starts each from a
# scratch copy of its seed corpus tests/fuzz/corpus/<family>/ (the checked-in
# corpus is never written to), and prints executions per second and in total
# per family.  Exits non-zero if any target finds a crash, a leak or a hang,
# and prints the reproducer's path.  Not part of scripts/test.sh.
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
case $seconds in ''|*[!0-9]*) echo "usage: $0 [SECONDS]" >&2; exit 2 ;; esac
LIBKRC_WITH_FUZZ=1 ./scripts/deps.sh

build=build/fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
      -DLIBKRC_FUZZ=ON \
      -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$build" --target fuzz_targets -j "$(nproc)"

families=$(cat "$build/tests/fuzz/families.txt")
if [ -z "$families" ]; then
    echo "no model-checking harness in tests/model/: nothing to fuzz"
    exit 0
fi

status=0
printf '%-16s %10s %14s %10s  %s\n' family "exec/s" executions "new units" result
for family in $families; do
    work="$build/run/$family"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds=tests/fuzz/corpus/$family
    if [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ]; then
        cp "$seeds"/* "$work/corpus/"
    fi
    if "$build/tests/fuzz/fuzz_$family" -max_total_time="$seconds" -timeout=10 \
            -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" \
            >"$work/log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
    fi
    stat_of() { sed -n "s/^stat::$1: *//p" "$work/log" | tail -n 1; }
    printf '%-16s %10s %14s %10s  %s\n' "$family" "$(stat_of average_exec_per_sec)" \
        "$(stat_of number_of_executed_units)" "$(stat_of new_units_added)" "$result"
    if [ "$result" = FAILED ]; then
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*model mismatch)' "$work/log" | head -n 5 | sed 's/^/    /'
        for artifact in "$work"/artifacts/*; do
            [ -e "$artifact" ] || continue
            echo "    reproducer: $artifact"
            echo "    replay:     $build/tests/fuzz/fuzz_$family $artifact"
        done
        echo "    log:        $work/log"
    fi
done
if [ "$status" -ne 0 ]; then
    echo "fuzzing found failures: fix them, then keep each reproducer as a regression case"
    echo "(a seed in tests/fuzz/corpus/<family>/ and a case in tests/test_<family>.cpp)"
fi
exit "$status"
