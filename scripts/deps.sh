#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build and the tests need, if any is missing.
# Safe to run any number of times; does nothing when all are present.
# Opt-in extras: LIBKRC_WITH_BENCH=1 (benchmarks), LIBKRC_WITH_DOCS=1 (API
# reference), LIBKRC_WITH_PACKAGING=1 (packages, consumer checks),
# LIBKRC_WITH_XMODEM=1 (the XMODEM programs' check against lrzsz).
set -eu

# The major version of the release's default g++ ("4:12.2.0-3" -> 12): the
# installed one, else the one apt would install; empty while the package
# lists are not there yet (a fresh system before its first apt-get update).
gxx_major() {
    v=$(dpkg-query -W -f='${Status} ${Version}' g++ 2>/dev/null |
        sed -n 's/^install ok installed //p')
    [ -n "$v" ] || v=$(apt-cache policy g++ 2>/dev/null | sed -n 's/^ *Candidate: //p')
    [ "$v" = "(none)" ] && v=""
    v=${v#*:}
    echo "${v%%.*}"
}

# The -m32 build (i386-asan) takes the multilib package of the default g++'s
# own version: g++-multilib would remove the armhf cross compiler, another
# version's package lacks this compiler's 32-bit libgcc.  It depends on that
# version's 32-bit sanitizer runtimes (lib32asanN, lib32ubsanN), so they come
# with it whatever their names.  Cross compilers for armhf and arm64, their
# tests under qemu-user.  Lint: clang-tidy and cppcheck.
if [ -z "$(gxx_major)" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get update -q
fi
major=$(gxx_major)
multilib="g++-${major:-N}-multilib"
packages="cmake make gcc g++ g++-arm-linux-gnueabihf g++-aarch64-linux-gnu qemu-user
          googletest $multilib clang-tidy cppcheck"
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
    [ -n "$major" ] || echo "deps.sh: (N: the major version of g++, which apt names once its package lists are fetched)" >&2
    echo "deps.sh: this user is not root and sudo is not installed; as root, run:" >&2
    echo "    apt-get update && apt-get install -y --no-install-recommends$missing" >&2
    exit 1
fi
echo "installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
