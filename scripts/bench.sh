#!/bin/sh
# Builds the benchmarks for the host (optimised) and runs each one: every
# family against the alternative a user would otherwise pick.  Timings of an
# emulated armhf build would mean nothing, so this runs on the host only.
set -eu
cd "$(dirname "$0")/.."
LIBKRC_WITH_BENCH=1 ./scripts/deps.sh

cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DLIBKRC_BUILD_BENCH=ON \
      -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF >/dev/null
cmake --build build/bench -j "$(nproc)"
for bench in build/bench/bench/bench_*; do
    echo "== ${bench##*/}"
    "$bench" --benchmark_min_time=0.2 "$@"
done
