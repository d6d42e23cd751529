#!/bin/sh
# SPDX-License-Identifier: MIT
# Benchmarks, two parts (both by default; name one to run only it):
#   count  instructions per operation on armhf, counted under qemu-arm, for
#          the shared library, the static + LTO build and inline C
#          (bench/count/measure.sh per variant; deterministic, a minute)
#   host   x86-64 timings against GLib, Boost, std:: and inline peers, for
#          the shared and the static + LTO builds: RUNS interleaved runs of
#          each build, REPS repetitions each in random order, reduced to a
#          ratio table by bench/host-report.py (a few minutes)
# Environment: COUNT_N (operations per count, 1000), RUNS (3), REPS (5).
set -eu
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
LIBKRC_WITH_BENCH=1 ./scripts/deps.sh
parts=${1:-count host}
jobs=$(nproc)

for part in $parts; do
    case $part in
    count)
        scripts/build-target.sh armhf count_shared count_static count_inline
        dir=build/measure-armhf/bench/count
        for variant in shared static inline; do
            # shellcheck disable=SC2046 # the emulator is a command with its arguments
            bench/count/measure.sh "$dir/count_$variant" "${COUNT_N:-1000}" $(cat "$dir/emulator") \
                >"$scratch/$variant"
        done
        echo "== armhf instructions per operation (qemu-arm default CPU)"
        # Rows in the shared library's order; a dash where a variant lacks the workload.
        awk -F '\t' '
            FNR == 1 { ++file }
            { figure[file, $1] = $2 }
            file == 1 { order[++rows] = $1; what[$1] = $3 }
            END {
                print "| workload | shared library | static + LTO | inline C |"
                print "|---|---|---|---|"
                for (i = 1; i <= rows; ++i) {
                    row = "| " what[order[i]]
                    for (f = 1; f <= 3; ++f)
                        row = row " | " ((f, order[i]) in figure ? figure[f, order[i]] : "-")
                    print row " |"
                }
            }' "$scratch/shared" "$scratch/static" "$scratch/inline"
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
