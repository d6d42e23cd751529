#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the Debian packages that the named commands need, when any is
# missing; does nothing when all are there, so it is safe to run again.
#   scripts/deps.sh [COMMAND...]
#   examples  scripts/run-examples.sh: armhf cross compiler, qemu-user
#   presets   the test presets armhf, arm64, host-asan, i386-asan (the default)
#   test      scripts/test.sh: the presets and every check (package,
#             consumer, docs, xmodem, lint)
#   package   the Debian packages (scripts/package.sh), native and cross
#   consumer  the packages, then consumers built with g++ and clang++
#   docs      the API reference and the manual pages
#   xmodem    the XMODEM programs against lrzsz
#   lint, bench, fuzz, coverage, mutate: the scripts of those names
#   distro-check  scripts/distro-check.sh: debootstrap and git
# LIBKRC_WITH_<COMMAND>=1 in the environment adds that command too.
#
# Every missing package is named in one message before anything is done.
# The install runs as root, or through sudo when sudo works without asking
# (sudo -n); otherwise the message gives the commands to run as root, and the
# script fails.
set -eu

commands="$*"
for name in bench docs package packaging xmodem fuzz coverage mutate lint consumer arm64; do
    upper=$(echo "$name" | tr '[:lower:]' '[:upper:]')
    eval "value=\${LIBKRC_WITH_$upper:-0}"
    [ "$value" = 1 ] && commands="$commands $name"
done
[ -n "$commands" ] || commands=presets

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
# with it whatever their names.
multilib() {
    if [ -z "$(gxx_major)" ] && [ "$(id -u)" -eq 0 ]; then
        apt-get update -q >&2
    fi
    major=$(gxx_major)
    echo "g++-${major:-N}-multilib"
}

# The cross compilers and qemu-user for the ARM targets.
arm_tools() {
    echo "g++-arm-linux-gnueabihf g++-aarch64-linux-gnu qemu-user"
}

# The packages of one command (and of the commands it runs).
packages_of() { # command
    case $1 in
        examples) echo "cmake make g++-arm-linux-gnueabihf qemu-user" ;;
        presets) echo "cmake make gcc g++ googletest $(arm_tools) $(multilib)" ;;
        test) for c in presets package consumer docs xmodem lint; do packages_of "$c"; done ;;
        package | packaging)
            echo "cmake make gcc g++ git $(arm_tools) dpkg-dev debhelper lintian doxygen python3" ;;
        consumer) packages_of package; echo "pkgconf clang man-db" ;;
        docs) echo "cmake make gcc g++ doxygen python3 groff-base" ;;
        xmodem) echo "cmake make gcc g++ g++-arm-linux-gnueabihf qemu-user lrzsz python3" ;;
        lint) echo "cmake make gcc g++ clang-tidy cppcheck" ;;
        arm64) echo "cmake make g++-aarch64-linux-gnu qemu-user" ;;
        distro-check) echo "debootstrap git" ;;
        bench) echo "cmake make gcc g++ libbenchmark-dev libglib2.0-dev libboost-dev pkg-config python3" ;;
        fuzz) echo "cmake make clang-14 libclang-rt-14-dev" ;;
        coverage) echo "cmake make gcc g++ googletest gcovr" ;;
        mutate) echo "cmake make gcc g++ googletest python3" ;;
        *) echo "deps.sh: unknown command '$1' (see the head of scripts/deps.sh)" >&2; return 1 ;;
    esac
}

for c in $commands; do packages_of "$c" >/dev/null; done
wanted=$(for c in $commands; do packages_of "$c"; done | tr ' ' '\n' | sed '/^$/d' | sort -u)
missing=""
for p in $wanted; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

steps="apt-get update && apt-get install -y --no-install-recommends$missing"

echo "deps.sh: for '$(echo $commands)', these Debian packages are missing:$missing"
if [ "$(id -u)" -eq 0 ]; then
    sudo=""
elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo="sudo -n"
else
    echo "deps.sh: this user is not root and cannot use sudo without a password or terminal;" >&2
    case $missing in *g++-N-multilib*) echo "deps.sh: (N: the major version of g++, which apt names once its package lists are fetched)" >&2 ;; esac
    echo "deps.sh: as root, run:" >&2
    echo "    $steps" >&2
    exit 1
fi
echo "deps.sh: installing them: $steps"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# shellcheck disable=SC2086
$sudo apt-get install -y -q --no-install-recommends $missing
