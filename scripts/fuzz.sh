#!/bin/sh
# SPDX-License-Identifier: MIT
# Fuzzes the model-checking harnesses (tests/model/<family>.cpp) with
# libFuzzer, one target at a time, at low priority (nice 10): builds the fuzz
# targets with clang 14 under AddressSanitizer and UBSan in build/fuzz,
# starts each from a scratch copy of its seed corpus tests/fuzz/corpus/<family>/
# and prints per family the executions, executions per second, seconds, the
# corpus size and the result.  Exits non-zero if any target finds a crash, a
# leak or a hang, and prints the reproducer's path.  Not part of
# scripts/test.sh.
#
# usage: scripts/fuzz.sh [--runs N | --seconds S] [--max-len L] [--keep] [FAMILY...]
#   --seconds S  fuzz each family for S seconds (default 60)
#   --runs N     fuzz each family for N executions instead
#   --max-len L  the longest input tried, in bytes (default 1024: a few
#                hundred operations, lists filled to their 64 elements)
#   --keep       when the family found nothing, add to its seeds the inputs of
#                the grown corpus that add coverage (libFuzzer -merge=1)
#   FAMILY       only these families (default: every harness)
set -eu
cd "$(dirname "$0")/.."
limit="-max_total_time=60"
max_len=1024
keep=0
while [ $# -gt 0 ]; do
    case $1 in
    --seconds) limit="-max_total_time=$2"; shift 2 ;;
    --runs) limit="-runs=$2"; shift 2 ;;
    --max-len) max_len=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -*) echo "usage: $0 [--runs N | --seconds S] [--max-len L] [--keep] [FAMILY...]" >&2; exit 2 ;;
    *) break ;;
    esac
done
LIBKRC_WITH_FUZZ=1 ./scripts/deps.sh

build=build/fuzz
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
      -DLIBKRC_FUZZ=ON \
      -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF >/dev/null
nice -n 10 cmake --build "$build" --target fuzz_targets -j "$(nproc)"

families=${*:-$(cat "$build/tests/fuzz/families.txt")}
if [ -z "$families" ]; then
    echo "no model-checking harness in tests/model/: nothing to fuzz"
    exit 0
fi
# A small quarantine and no allocation stacks: several times the executions
# per second.  A reproducer replayed without these options reports in full.
export ASAN_OPTIONS="${ASAN_OPTIONS:-malloc_context_size=0:quarantine_size_mb=1}"

# An interrupted run stops the fuzzer it started, and the script with it.
fuzzer=""
stop() { [ -z "$fuzzer" ] || kill "$fuzzer" 2>/dev/null || true; }
trap stop EXIT
trap 'stop; exit 130' INT TERM

status=0
printf '%-16s %12s %8s %8s %8s  %s\n' family executions "exec/s" seconds corpus result
for family in $families; do
    work="$build/run/$family"
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/artifacts"
    seeds=tests/fuzz/corpus/$family
    if [ -d "$seeds" ] && [ -n "$(ls -A "$seeds")" ]; then
        cp "$seeds"/* "$work/corpus/"
    fi
    start=$(date +%s)
    nice -n 10 "$build/tests/fuzz/fuzz_$family" "$limit" -max_len="$max_len" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/" "$work/corpus" >"$work/log" 2>&1 &
    fuzzer=$!
    if wait "$fuzzer"; then result=ok; else result=FAILED; status=1; fi
    fuzzer=""
    seconds=$(($(date +%s) - start))
    stat_of() { sed -n "s/^stat::$1: *//p" "$work/log" | tail -n 1; }
    printf '%-16s %12s %8s %8s %8s  %s\n' "$family" "$(stat_of number_of_executed_units)" \
        "$(stat_of average_exec_per_sec)" "$seconds" "$(ls "$work/corpus" | wc -l)" "$result"
    if [ "$result" = FAILED ]; then
        grep -E '^(==[0-9]+==ERROR|SUMMARY|.*model mismatch)' "$work/log" | head -n 5 | sed 's/^/    /'
        for artifact in "$work"/artifacts/*; do
            [ -e "$artifact" ] || continue
            echo "    reproducer: $artifact"
            echo "    replay:     $build/tests/fuzz/fuzz_$family $artifact"
        done
        echo "    log:        $work/log"
    elif [ "$keep" = 1 ]; then
        # Only the inputs that add coverage to the seeds join them.
        mkdir -p "$seeds"
        nice -n 10 "$build/tests/fuzz/fuzz_$family" -merge=1 "$seeds" "$work/corpus" >"$work/merge.log" 2>&1
        echo "    seeds kept: $(ls "$seeds" | wc -l) files, $(cat "$seeds"/* | wc -c) bytes in $seeds"
    fi
done
if [ "$status" -ne 0 ]; then
    echo "fuzzing found failures: fix them, then keep each reproducer as a regression case"
    echo "(a seed in tests/fuzz/corpus/<family>/ and a case in tests/test_<family>.cpp)"
fi
exit "$status"
