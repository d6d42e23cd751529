#!/bin/sh
# SPDX-License-Identifier: MIT
# Lint of the library's sources, the internals in src/internal/ included:
# clang-tidy (checks in .clang-tidy) and cppcheck, with zero findings.
# clang-tidy reads every source twice, for the build machine and for armhf,
# whose run-time divide path the build machine does not compile.  Clean with
# the clang-tidy and cppcheck of Debian 12 and 13 alike; a suppression stands
# on the line it excuses and gives its reason there.  Takes a few seconds.
set -eu
cd "$(dirname "$0")/../.."

# The library's own language settings; the headers from the source tree.
flags="-std=c++17 -fno-exceptions -fno-rtti -Iinclude -Isrc"
armhf="--target=arm-linux-gnueabihf -march=armv7-a -mthumb -mfloat-abi=hard"
sources="src/*.cpp src/internal/*.cpp"
status=0

# clang-tidy over every source for one target: $1 names it, $2 its flags.
tidy() {
    echo "clang-tidy ($1): $sources"
    # shellcheck disable=SC2086
    out=$(clang-tidy --quiet $sources -- $flags $2 2>&1) || status=1
    # Drop its progress lines and the count of the warnings it filtered out
    # (system headers).
    printf '%s\n' "$out" | grep -v -e ' warnings\{0,1\} generated\.$' -e '^\[[0-9]*/[0-9]*\] Processing file ' || true
}
tidy "build machine" ""
tidy armhf "$armhf"

# Where cppcheck bounds its analysis of branches by default (2.11 on), it
# says so in an information message that fails the run: it is told to follow
# every branch instead (the sources are small).
depth=""
cppcheck --help | grep -q -- --check-level && depth="--check-level=exhaustive"
echo "cppcheck: src/"
# shellcheck disable=SC2086
if ! cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++17 --language=c++ $depth \
        --enable=warning,style,performance,portability -Iinclude -Isrc src/; then
    status=1
fi

exit "$status"
