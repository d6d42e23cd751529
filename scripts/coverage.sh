#!/bin/sh
# SPDX-License-Identifier: MIT
# Line and branch coverage of src/ by the host tests: a gcov build (gcc
# --coverage, debug, no sanitizers) in build/coverage, the whole ctest run,
# death-test children included (they write their counters before aborting,
# tests/support/coverage_flush.cpp), then a per-file report by gcovr.
# Branches the compiler adds on lines without a decision of their own are
# left out (--exclude-unreachable-branches).  Not part of scripts/test.sh.
set -eu
cd "$(dirname "$0")/.."
LIBKRC_WITH_COVERAGE=1 ./scripts/deps.sh

build=build/coverage
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
      -DLIBKRC_COVERAGE=ON -DLIBKRC_BUILD_EXAMPLES=OFF \
      -DCMAKE_C_FLAGS=--coverage -DCMAKE_CXX_FLAGS=--coverage >/dev/null
cmake --build "$build" -j "$(nproc)"
find "$build" -name '*.gcda' -delete
# The ABI guard does not apply: an instrumented library exports gcov's symbols.
ctest --test-dir "$build" -j "$(($(nproc) * 2))" --output-on-failure -E '^abi_guard$'

report() {
    gcovr --root . --filter 'src/' --exclude-unreachable-branches "$@" "$build"
}
report
report --branches
