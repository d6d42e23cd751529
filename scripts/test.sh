#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the whole test suite: each preset below is configured, built and
# tested (armhf under qemu-arm with the guards on the shipped library, x86-64
# and x86 -m32 under AddressSanitizer and UBSan), then every script in
# scripts/checks/ runs in name order (consumers and packages, footprint,
# lint, XMODEM, ...).  Everything it needs is installed first, in one go
# (scripts/deps.sh test).  Ends with a summary of what passed and what
# failed; exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh test

presets="armhf arm64 host-asan i386-asan"
jobs=$(nproc)
results=$(mktemp)
trap 'rm -f "$results"' EXIT INT TERM

# Runs one step, printing its start and its outcome, and records the outcome.
step() { # name, command...
    name=$1
    shift
    echo "==== $name"
    start=$(date +%s)
    if "$@"; then outcome=passed; else outcome=FAILED; fi
    seconds=$(($(date +%s) - start))
    echo "==== $name: $outcome"
    printf '%-8s %-20s %4d s\n' "$outcome" "$name" "$seconds" >>"$results"
}

preset() { # name
    cmake --preset "$1" >/dev/null &&
        cmake --build --preset "$1" -j "$jobs" &&
        ctest --preset "$1" -j "$((jobs * 2))"
}

for target in $presets; do
    step "$target" preset "$target"
done
for check in scripts/checks/*.sh; do
    [ -e "$check" ] || continue
    step "${check##*/}" sh "$check"
done

echo "==== summary"
cat "$results"
if grep -q '^FAILED' "$results"; then
    echo "some tests FAILED"
    exit 1
fi
echo "all tests passed"
