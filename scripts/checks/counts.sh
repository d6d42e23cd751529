#!/bin/sh
# SPDX-License-Identifier: MIT
# Performance guard: instructions per operation through the shared library,
# counted under the target's emulator (deterministic), against the ceilings
# of bench/count/ceilings.  For each target named there: builds the library
# and the counting program from the tree as it is (scripts/build-target.sh),
# measures every workload (bench/count/measure.sh, N operations, default
# 1000), prints the table and fails when a workload is above its ceiling,
# has none, or has a ceiling but no longer exists.
set -eu
cd "$(dirname "$0")/../.."
n=${COUNT_N:-1000}
ceilings=bench/count/ceilings
figures=$(mktemp)
trap 'rm -f "$figures"' EXIT

status=0
for target in $(awk '!/^#/ && NF { print $1 }' "$ceilings" | sort -u); do
    scripts/build-target.sh "$target" count_shared
    dir=build/measure-$target/bench/count
    # shellcheck disable=SC2046 # the emulator is a command with its arguments
    bench/count/measure.sh "$dir/count_shared" "$n" $(cat "$dir/emulator") >"$figures"
    echo "== $target: instructions per operation, shared library (ceilings: $ceilings)"
    awk -v target="$target" '
        FILENAME != "-" && !/^#/ && NF && $1 == target { ceiling[$2] = $3; order[++rows] = $2 }
        FILENAME == "-" { figure[$1] = $2 }
        END {
            printf "%-12s %9s %9s  %s\n", "workload", "measured", "ceiling", "result"
            for (i = 1; i <= rows; ++i) {
                w = order[i]
                if (!(w in figure)) { printf "%-12s %9s %9s  FAILED: no such workload\n", w, "-", ceiling[w]; bad = 1; continue }
                over = figure[w] > ceiling[w] + 0
                printf "%-12s %9s %9s  %s\n", w, figure[w], ceiling[w], over ? "FAILED: above the ceiling" : "ok"
                bad = bad || over
                done[w] = 1
            }
            for (w in figure)
                if (!(w in done)) { printf "%-12s %9s %9s  FAILED: no ceiling\n", w, figure[w], "-"; bad = 1 }
            exit bad
        }' "$ceilings" - <"$figures" || status=1
done
[ "$status" -eq 0 ] || echo "counts.sh: a workload is above its ceiling or unlisted: make it cheaper again, or change $ceilings with the reason"
exit "$status"
