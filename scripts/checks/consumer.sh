#!/bin/sh
# SPDX-License-Identifier: MIT
# The installed library as a user meets it, on amd64, armhf (qemu-arm) and
# arm64 (qemu-aarch64):
#   1. the Debian packages are built for the three (scripts/package.sh, with
#      lintian), armhf's twice and compared byte for byte;
#   2. the library of the preset (armhf, arm64, host for amd64) is
#      installed into a prefix (cmake --install --prefix), and the packages
#      are unpacked into a root;
#   3. against each tree, the out-of-tree consumers tests/consumer/ (C99 and
#      C++17) are built with find_package(libkrc) with GCC (and clang
#      against the amd64 packages: the cross toolchain files name GCC), and
#      with pkg-config: clang/clang++ --target=<triplet> with
#      -fno-exceptions -fno-rtti against the prefix, gcc/g++ against the
#      packages; every program is run;
#   4. from the unpacked amd64 -dev package, `man 3 <function>` finds the
#      page of every exported function, and groff renders every page without
#      a warning.
set -eu
cd "$(dirname "$0")/../.."
./scripts/deps.sh consumer

work=$PWD/build/consumer
trap 'status=$?; [ "$status" -eq 0 ] && rm -rf "$work"; exit "$status"' EXIT
trap 'exit 130' INT TERM
rm -rf "$work"
mkdir -p "$work"
archs="armhf amd64 arm64"

./scripts/package.sh --twice $archs
version=$(dpkg-parsechangelog -S Version)

triplet_of() { dpkg-architecture -a"$1" -qDEB_HOST_MULTIARCH 2>/dev/null; }

toolchain_of() { # arch: the CMake toolchain option for it, if any
    [ "$1" = amd64 ] || echo "-DCMAKE_TOOLCHAIN_FILE=$PWD/cmake/$1-toolchain.cmake"
}

# Runs one consumer program for arch, finding liblibkrc.so in libdir.
run() { # arch, libdir, program
    if output=$(case $1 in
                    amd64) LD_LIBRARY_PATH=$2 "$3" ;;
                    armhf) qemu-arm -L /usr/arm-linux-gnueabihf -E LD_LIBRARY_PATH="$2" "$3" ;;
                    arm64) qemu-aarch64 -L /usr/aarch64-linux-gnu -E LD_LIBRARY_PATH="$2" "$3" ;;
                esac 2>&1); then
        echo "$output" | sed 's/^/      /'
    else
        echo "$output"
        echo "consumer.sh: ${3#"$work"/} failed" >&2
        return 1
    fi
}

# Configures, builds and runs tests/consumer with find_package; extra
# arguments go to the configure step.
with_cmake() { # arch, tree, libdir, build directory, label, cmake arguments...
    arch=$1 tree=$2 libdir=$3 dir=$4 label=$5
    shift 5
    if ! { cmake -S tests/consumer -B "$dir" -DCMAKE_PREFIX_PATH="$tree" "$@" &&
           cmake --build "$dir"; } >"$dir.log" 2>&1; then
        cat "$dir.log"
        return 1
    fi
    echo "   $label: $(grep -o 'libkrc_DIR:PATH=.*' "$dir/CMakeCache.txt")"
    run "$arch" "$libdir" "$dir/consumer"
    run "$arch" "$libdir" "$dir/consumer_cpp"
}

# Compiles both consumers with one compiler pair and the pkg-config flags.
with_pkgconfig() { # arch, libdir, output prefix, label, C compiler, C++ compiler, C++ flags
    arch=$1 libdir=$2 out=$3 label=$4 cc=$5 cxx=$6 cxxflags=$7
    flags=$(PKG_CONFIG_LIBDIR="$libdir/pkgconfig" pkg-config --cflags --libs libkrc)
    echo "   $label: $flags"
    # shellcheck disable=SC2086
    $cc -std=c99 -pedantic -Wall -Wextra -Werror tests/consumer/consumer.c $flags -o "$out-c"
    # shellcheck disable=SC2086
    $cxx -std=c++17 -Wall -Wextra -Wpedantic -Werror $cxxflags tests/consumer/consumer.cpp $flags -o "$out-cpp"
    run "$arch" "$libdir" "$out-c"
    run "$arch" "$libdir" "$out-cpp"
}

# Builds the consumers against one installed tree: find_package with GCC
# (and with clang on amd64), then pkg-config with the given compilers.
consume() { # arch, tree name, tree (its usr directory), compiler label, C compiler, C++ compiler, C++ flags
    arch=$1 name=$2 tree=$3
    libdir=$(dirname "$(find "$tree" -name liblibkrc.so)")
    dir=$work/$arch-$name
    mkdir -p "$dir"
    echo "-- $arch, $name (${libdir#"$work"/})"
    # shellcheck disable=SC2046
    with_cmake "$arch" "$tree" "$libdir" "$dir/cmake-gcc" "find_package, GCC" $(toolchain_of "$arch")
    if [ "$arch" = amd64 ] && [ "$name" = packages ]; then
        with_cmake "$arch" "$tree" "$libdir" "$dir/cmake-clang" "find_package, clang" \
            -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
    fi
    with_pkgconfig "$arch" "$libdir" "$dir/pc" "pkg-config, $4" "$5" "$6" "$7"
}

# The presets build the library that is installed into a prefix (already
# built when the test command runs this check).
preset_of() { # arch
    case $1 in amd64) echo host ;; *) echo "$1" ;; esac
}

for arch in $archs; do
    triplet=$(triplet_of "$arch")
    preset=$(preset_of "$arch")
    { cmake --preset "$preset" && cmake --build --preset "$preset" -j "$(nproc)" --target libkrc libkrc_static &&
      cmake --install "build/$preset" --prefix "$work/$arch-prefix"; } >"$work/$arch-install.log" 2>&1 ||
        { cat "$work/$arch-install.log"; exit 1; }
    consume "$arch" prefix "$work/$arch-prefix" "clang --target=$triplet, no exceptions or RTTI" \
        "clang --target=$triplet" "clang++ --target=$triplet" "-fno-exceptions -fno-rtti"

    root=$work/$arch-root
    for package in liblibkrc liblibkrc-dev; do
        dpkg-deb -x "build/package/${package}_${version}_$arch.deb" "$root"
    done
    consume "$arch" packages "$root/usr" "$triplet-gcc/g++" "$triplet-gcc" "$triplet-g++" ""
done

# The manual pages, as installed by the amd64 -dev package.
man=$work/amd64-root/usr/share/man
for fn in $(cat tests/abi/*.syms); do
    page=$(man -M "$man" -w 3 "$fn" 2>/dev/null || true)
    if [ "${page##*/}" != "$fn.3.gz" ]; then
        echo "consumer.sh: man 3 $fn finds '${page:-nothing}'" >&2
        exit 1
    fi
done
warnings=$(for page in "$man"/man3/*.3.gz; do zcat "$page" | groff -man -ww -z 2>&1 | sed "s|^|${page##*/}: |"; done)
if [ -n "$warnings" ]; then
    echo "$warnings" >&2
    exit 1
fi
echo "-- man 3: a page for each of the $(cat tests/abi/*.syms | wc -l) functions, all rendered without warnings"
echo "consumers: all built and run"
