#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian packages (debian/) with dpkg-buildpackage, natively for
# amd64 and cross for armhf and arm64 (default: all three), each from a clean
# copy of the source tree (the files git knows, as they stand), and puts the
# .deb files into build/package/:
#   liblibkrc_<version>_<arch>.deb          the shared library
#   liblibkrc-dev_<version>_<arch>.deb      headers, static library, CMake and
#                                           pkg-config files, manual pages
#   liblibkrc-dbgsym_<version>_<arch>.deb   the library's debugging symbols
# Then lintian: an error, or any warning but the two that the unversioned
# SONAME brings, fails the script.
#   --twice  builds the first architecture named a second time, from a fresh
#            copy in the same directory, and fails unless every .deb is
#            byte-identical.  (The same directory: GCC 12 records the build
#            directory in the static library's LTO code, whatever
#            -ffile-prefix-map says; everything else is path-independent.)
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh package

twice=0
if [ "${1:-}" = --twice ]; then twice=1; shift; fi
archs=${*:-amd64 armhf arm64}
out=$PWD/build/package
work=$out/work
version=$(dpkg-parsechangelog -S Version)
# The two warnings an unversioned SONAME (liblibkrc.so) cannot avoid; README.md
# says why the SONAME has no version.
expected_warnings="lacks-unversioned-link-to-shared-library shared-library-lacks-version"
trap 'rm -rf "$work"' EXIT INT TERM
mkdir -p "$out"

# Builds the packages of one architecture in $work/$2 and copies them to $3.
build() { # arch, directory name, destination
    src=$work/$2/libkrc
    rm -rf "$work/$2"
    mkdir -p "$src" "$3"
    git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$src"
    if [ "$1" = "$(dpkg --print-architecture)" ]; then
        set -- "$@" -b
    else
        triplet=$(dpkg-architecture -a"$1" -qDEB_HOST_GNU_TYPE 2>/dev/null)
        set -- "$@" -a "$1" -Pcross,nocheck -b
        export CC="$triplet-gcc" CXX="$triplet-g++"
    fi
    arch=$1 dir=$2 dest=$3
    shift 3
    log=$work/$dir.log
    echo "== $arch: dpkg-buildpackage $*"
    if ! (cd "$src" && DEB_BUILD_OPTIONS="nocheck parallel=$(nproc)" dpkg-buildpackage -d -us -uc "$@") \
            >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "package.sh: dpkg-buildpackage failed for $arch" >&2
        return 1
    fi
    unset CC CXX
    mv "$work/$dir"/*.deb "$dest/"
}

# lintian on one architecture's packages: no error, no unexpected warning.
check() { # arch
    report=$(lintian --tag-display-limit 0 "$out"/*_"${version}_$1.deb" 2>&1 |
             grep -v 'running with root privileges' || true)
    [ -n "$report" ] && echo "$report" | sed 's/^/   /'
    unexpected=$(echo "$report" | awk -v ok="$expected_warnings" '
        BEGIN { n = split(ok, list, " "); for (i = 1; i <= n; i++) allowed[list[i]] = 1 }
        /^[EW]: / && !($3 in allowed) { print }')
    if ! echo "$report" | grep -q shared-library-lacks-version; then
        echo "package.sh: lintian did not check the $1 packages" >&2
        return 1
    fi
    if [ -n "$unexpected" ]; then
        echo "package.sh: lintian reports, for $1:" >&2
        echo "$unexpected" >&2
        return 1
    fi
}

for arch in $archs; do
    build "$arch" "$arch" "$out"
    for deb in "$out"/*_"${version}_$arch.deb"; do
        echo "   ${deb##*/}: $(stat -c %s "$deb") bytes"
    done
    check "$arch"
done

if [ "$twice" = 1 ]; then
    set -- $archs
    build "$1" "$1" "$out/again"
    for deb in "$out"/*_"${version}_$1.deb"; do
        if ! cmp "$deb" "$out/again/${deb##*/}"; then
            echo "package.sh: ${deb##*/} differs between two builds of the same tree" >&2
            exit 1
        fi
    done
    rm -rf "$out/again"
    echo "== $1: built twice, the packages are byte-identical"
fi
