#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build and the tests need, if any is missing.
# Safe to run any number of times; does nothing when all are present.
# Opt-in extras: LIBKRC_WITH_BENCH=1 (benchmarks), LIBKRC_WITH_DOCS=1 (API
# reference), LIBKRC_WITH_PACKAGING=1 (packages, consumer checks),
# LIBKRC_WITH_XMODEM=1 (the XMODEM programs' check against lrzsz).
set -eu

# The -m32 build (i386-asan) takes g++-12-multilib and the 32-bit sanitizer
# runtimes; not the g++-multilib metapackage, which conflicts with the armhf
# cross compiler.  Lint: clang-tidy and cppcheck.
packages="cmake make gcc g++ g++-arm-linux-gnueabihf qemu-user googletest
          g++-12-multilib lib32asan8 lib32ubsan1 clang-tidy cppcheck"
[ "${LIBKRC_WITH_BENCH:-0}" = 1 ] && packages="$packages libbenchmark-dev libglib2.0-dev libboost-dev pkg-config python3"
if [ "${LIBKRC_WITH_DOCS:-0}" = 1 ] || [ "${LIBKRC_WITH_PACKAGING:-0}" = 1 ]; then
    packages="$packages doxygen"
fi
[ "${LIBKRC_WITH_PACKAGING:-0}" = 1 ] && packages="$packages dpkg-dev lintian pkgconf"
[ "${LIBKRC_WITH_XMODEM:-0}" = 1 ] && packages="$packages lrzsz python3"
[ "${LIBKRC_WITH_FUZZ:-0}" = 1 ] && packages="$packages clang-14 libclang-rt-14-dev"
[ "${LIBKRC_WITH_COVERAGE:-0}" = 1 ] && packages="$packages gcovr"
[ "${LIBKRC_WITH_MUTATE:-0}" = 1 ] && packages="$packages python3"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
else
    echo "deps.sh: these Debian packages are missing:$missing" >&2
    echo "deps.sh: this user is not root and sudo is not installed; as root, run:" >&2
    echo "    apt-get update && apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
