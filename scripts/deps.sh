#!/bin/sh
# Installs the Debian packages the build and the tests need, if any is missing.
# Safe to run any number of times; does nothing when all are present.
set -eu

# The -m32 build (i386-asan) takes g++-12-multilib and the 32-bit sanitizer
# runtimes; not the g++-multilib metapackage, which conflicts with the armhf
# cross compiler.  Lint: clang-tidy and cppcheck.
packages="cmake make gcc g++ g++-arm-linux-gnueabihf qemu-user googletest
          g++-12-multilib lib32asan8 lib32ubsan1 clang-tidy cppcheck"
[ "${LIBKRC_WITH_BENCH:-0}" = 1 ] && packages="$packages libbenchmark-dev"

missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
