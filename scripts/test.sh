#!/bin/sh
# Runs the whole test suite on both targets: armhf under qemu-arm (with the
# guards on the shipped library) and x86-64 under AddressSanitizer and UBSan.
# Installs what it needs on first use; exits non-zero on any failure.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh

jobs=$(nproc)
status=0
for target in armhf host-asan; do
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
[ "$status" -eq 0 ] && echo "all tests passed on armhf and host-asan"
exit "$status"
