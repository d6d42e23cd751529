#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the whole test suite: each preset below is configured, built and
# tested (armhf under qemu-arm with the guards on the shipped library, x86-64
# and x86 -m32 under AddressSanitizer and UBSan), then every script in scripts/checks/
# runs in name order (consumers, packages, lint, ...).  Installs what it needs
# on first use; exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh

presets="armhf arm64 host-asan i386-asan"
jobs=$(nproc)
status=0
for target in $presets; do
    echo "==== $target"
    if cmake --preset "$target" >/dev/null &&
       cmake --build --preset "$target" -j "$jobs" &&
       ctest --preset "$target" -j "$((jobs * 2))"; then
        echo "==== $target: passed"
    else
        echo "==== $target: FAILED"
        status=1
    fi
done
for check in scripts/checks/*.sh; do
    [ -e "$check" ] || continue
    echo "==== ${check##*/}"
    if sh "$check"; then
        echo "==== ${check##*/}: passed"
    else
        echo "==== ${check##*/}: FAILED"
        status=1
    fi
done
[ "$status" -eq 0 ] && echo "all tests passed"
exit "$status"
