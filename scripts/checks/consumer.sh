#!/bin/sh
# SPDX-License-Identifier: MIT
# Consumers of the installed library, on both targets, as a user meets it:
#   1. the Debian packages are built (scripts/package.sh armhf amd64);
#   2. the same build is installed into a staging prefix, and the out-of-tree
#      program tests/consumer/ is built against it once with
#      find_package(libkrc) and -DCMAKE_PREFIX_PATH=<prefix> (for armhf with
#      the project's toolchain file) and once with pkg-config, and each run
#      (armhf under qemu-arm);
#   3. the armhf packages are unpacked into a staging root, and the consumer
#      is built against that root both ways and run.
set -eu
cd "$(dirname "$0")/../.."
LIBKRC_WITH_PACKAGING=1 ./scripts/deps.sh

./scripts/package.sh armhf amd64
version=$(sed -n 's/^Version: *//p' build/package/armhf/build/libkrc.pc)
work=build/consumer
rm -rf "$work"
mkdir -p "$work"
sysroot=/usr/arm-linux-gnueabihf

# Runs a consumer binary for the target, finding liblibkrc.so in libdir.
run() { # arch, libdir, program
    if [ "$1" = armhf ]; then
        qemu-arm -L "$sysroot" -E LD_LIBRARY_PATH="$2" "$3"
    else
        LD_LIBRARY_PATH="$2" "$3"
    fi
}

# Builds and runs the consumer against one installed tree both ways.
consume() { # arch, name, prefix (the tree's /usr), triplet
    arch=$1 name=$2 prefix=$(realpath "$3") triplet=$4
    dir=$work/$arch-$name
    toolchain= cc=cc
    if [ "$arch" = armhf ]; then
        toolchain=-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/armhf-toolchain.cmake cc=$triplet-gcc
    fi
    # shellcheck disable=SC2086
    cmake -S tests/consumer -B "$dir/cmake" $toolchain -DCMAKE_PREFIX_PATH="$prefix" >"$dir.log" 2>&1 ||
        { cat "$dir.log"; return 1; }
    cmake --build "$dir/cmake" >>"$dir.log" 2>&1 || { cat "$dir.log"; return 1; }
    echo "-- $arch, $name, find_package: $(grep -o 'libkrc_DIR:PATH=.*' "$dir/cmake/CMakeCache.txt")"
    run "$arch" "$prefix/lib/$triplet" "$dir/cmake/consumer"

    flags=$(PKG_CONFIG_LIBDIR="$prefix/lib/$triplet/pkgconfig" pkg-config --cflags --libs libkrc)
    echo "-- $arch, $name, pkg-config: $flags"
    # shellcheck disable=SC2086
    $cc -std=c99 -pedantic -Wall -Wextra -Werror tests/consumer/consumer.c $flags -o "$dir/pkgconfig-consumer"
    run "$arch" "$prefix/lib/$triplet" "$dir/pkgconfig-consumer"
}

for arch in armhf amd64; do
    case $arch in
        armhf) triplet=arm-linux-gnueabihf ;;
        amd64) triplet=x86_64-linux-gnu ;;
    esac
    cmake --install "build/package/$arch/build" --prefix "$work/$arch-prefix" >/dev/null
    consume "$arch" prefix "$work/$arch-prefix" "$triplet"
done

root=$work/armhf-debroot
for deb in build/package/liblibkrc_"${version}"_armhf.deb build/package/liblibkrc-dev_"${version}"_armhf.deb; do
    dpkg-deb -x "$deb" "$root"
done
consume armhf debroot "$root/usr" arm-linux-gnueabihf
echo "consumers: all built and run"
