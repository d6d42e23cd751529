#!/bin/sh
# SPDX-License-Identifier: MIT
# Configures and builds the measuring build of a cross target: the library as
# shipped (Release) and the instruction-count programs of bench/count, in
# build/measure-TARGET with cmake/TARGET-toolchain.cmake.  Builds only the
# CMake targets named (all when none is), so that a check measures what the
# tree holds now and never a stale build.
#
# usage: scripts/build-target.sh TARGET [CMAKE_TARGET...]   e.g. armhf count_shared
set -eu
cd "$(dirname "$0")/.."
target=$1
shift
[ $# -gt 0 ] || set -- all
build=build/measure-$target
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Quiet when it works; on a failure, everything it printed.
if ! { cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="cmake/$target-toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
             -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DLIBKRC_BUILD_BENCH=ON \
             -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF &&
       cmake --build "$build" -j "$(nproc)" --target "$@"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "build-target.sh: building $* for $target failed" >&2
    exit 1
fi
