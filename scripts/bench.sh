#!/bin/sh
# SPDX-License-Identifier: MIT
# Benchmarks, two parts (both by default; name one to run only it):
#   count  instructions per operation on armhf, counted under qemu-arm, for
#          the shared library, the static + LTO build and inline C
#          (bench/count.sh; deterministic, a minute or two)
#   host   x86-64 timings against GLib, Boost, std:: and inline peers, for
#          the shared and the static + LTO builds: RUNS interleaved runs of
#          each build, REPS repetitions each in random order, reduced to a
#          ratio table by bench/host-report.py (a few minutes)
# Environment: COUNT_N (operations per count, 1000), RUNS (3), REPS (5).
set -eu
cd "$(dirname "$0")/.."
LIBKRC_WITH_BENCH=1 ./scripts/deps.sh
parts=${1:-count host}
jobs=$(nproc)

for part in $parts; do
    case $part in
    count)
        cmake -S . -B build/bench-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake \
              -DCMAKE_BUILD_TYPE=Release -DLIBKRC_BUILD_BENCH=ON \
              -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF >/dev/null
        cmake --build build/bench-armhf -j "$jobs" >/dev/null
        echo "== armhf instructions per operation (qemu-arm default CPU)"
        bench/count.sh build/bench-armhf "${COUNT_N:-1000}"
        ;;
    host)
        cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DLIBKRC_BUILD_BENCH=ON \
              -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF >/dev/null
        cmake --build build/bench -j "$jobs" >/dev/null
        results=build/bench/results
        rm -rf "$results" && mkdir -p "$results"
        run=1
        while [ "$run" -le "${RUNS:-3}" ]; do
            for build in shared static; do
                build/bench/bench/host_$build --benchmark_repetitions="${REPS:-5}" \
                    --benchmark_enable_random_interleaving=true --benchmark_min_time=0.05 \
                    --benchmark_format=json >"$results/host_$build-$run.json"
            done
            run=$((run + 1))
        done
        echo "== host: libkrc time / best peer's time (median, range over runs)"
        python3 bench/host-report.py "$results"
        ;;
    *)
        echo "usage: $0 [count|host]" >&2
        exit 1
        ;;
    esac
done
