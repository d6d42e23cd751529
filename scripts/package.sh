#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the Debian packages of libkrc with dpkg-deb, for each architecture
# named (armhf, amd64; armhf when none is named):
#   liblibkrc      the shared library, /usr/lib/<triplet>/liblibkrc.so
#   liblibkrc-dev  headers, CMake package, pkg-config file, section-3 manual
#                  pages, and the static library when the build installs one
# into build/package/ (liblibkrc_<version>_<arch>.deb, ...), then runs lintian
# on them when it is installed; lintian errors fail the script.
#
# The SONAME is liblibkrc.so, without a version, by design; the run-time
# package is therefore named liblibkrc after it (as Debian names a library
# package after its SONAME) and ships that file itself, so the -dev package
# has no development symlink to add.
set -eu
cd "$(dirname "$0")/.."
LIBKRC_WITH_PACKAGING=1 ./scripts/deps.sh

archs=${*:-armhf}
out=build/package
maintainer="libkrc maintainers <maintainers@users.noreply.c-seed-52d69c38.example>"
umask 022
mkdir -p "$out"

# The manual pages are the same for every architecture: built once, with
# every documentation warning an error.
cmake -S . -B "$out/docs" -DLIBKRC_BUILD_TESTS=OFF -DLIBKRC_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$out/docs" --target docs
man_src="$out/docs/docs/man/man3"

# Copies one page and links every function it documents to it, gzipped as
# Debian wants; fails when an exported function has no page.
install_manpages() { # destination directory
    dest=$1
    mkdir -p "$dest"
    for header in include/libkrc/*.h; do
        page=${header##*/}.3
        [ -f "$man_src/$page" ] && gzip -9n <"$man_src/$page" >"$dest/$page.gz"
    done
    for fn in $(cat tests/abi/*.syms); do
        link=$(sed -n 's/^\.so man3\/\(.*\)$/\1/p' "$man_src/$fn.3" 2>/dev/null || true)
        if [ -z "$link" ] || [ ! -f "$dest/$link.gz" ]; then
            echo "package.sh: no manual page for $fn" >&2
            return 1
        fi
        ln -sf "$link.gz" "$dest/$fn.3.gz"
    done
}

# /usr/share/doc/<package>: copyright and the compressed changelog.
install_docs() { # package root, package name
    doc="$1/usr/share/doc/$2"
    mkdir -p "$doc"
    cp packaging/debian/copyright "$doc/copyright"
    gzip -9n <packaging/debian/changelog >"$doc/changelog.gz"
}

# The libc6 version the library needs: the newest GLIBC_ symbol version it
# references, which is what libc6's symbols file maps each version to.
libc_dependency() { # objdump, library
    v=$("$1" -T "$2" | sed -n 's/.*GLIBC_\([0-9.]*\).*/\1/p' | sort -t. -k1,1n -k2,2n -k3,3n | tail -n 1)
    echo "libc6 (>= $v)"
}

write_control() { # package root, name, section, depends, description, long description
    size=$(du -sk --exclude=DEBIAN "$1" | cut -f1)
    cat >"$1/DEBIAN/control" <<EOF
Package: $2
Source: libkrc
Version: $version
Architecture: $arch
Multi-Arch: same
Maintainer: $maintainer
Installed-Size: $size
Depends: $4
Section: $3
Priority: optional
Description: $5
$6
EOF
    (cd "$1" && find . -path ./DEBIAN -prune -o -type f -print | sed 's|^\./||' | LC_ALL=C sort |
        xargs md5sum >DEBIAN/md5sums)
}

build_deb() { # package root, name
    find "$1" -type d -exec chmod 0755 {} +
    find "$1" -type f -exec chmod 0644 {} +
    dpkg-deb --root-owner-group -Zxz --build "$1" "$out/${2}_${version}_${arch}.deb" >/dev/null
    echo "built $out/${2}_${version}_${arch}.deb ($(stat -c %s "$out/${2}_${version}_${arch}.deb") bytes)"
}

long_description=" libkrc is a small, exact support library for host programs on 32-bit ARM
 Linux: a generic doubly linked list with allocation hooks, intrusive singly
 and doubly linked lists, a bounded pointer queue, a hash table with a fixed
 entry pool, a fixed-block memory pool, a sliding-window average,
 CRC-16/XMODEM, constant search maps and aligned allocation.  Written in
 C++17 behind a C ABI, it needs nothing but libc at run time."

for arch in $archs; do
    case $arch in
        armhf) triplet=arm-linux-gnueabihf toolchain=-DCMAKE_TOOLCHAIN_FILE=cmake/armhf-toolchain.cmake ;;
        amd64) triplet=x86_64-linux-gnu toolchain= ;;
        *) echo "package.sh: unknown architecture $arch (armhf or amd64)" >&2; exit 2 ;;
    esac
    objdump=$triplet-objdump
    build=$out/$arch/build
    stage=$out/$arch/stage
    echo "== $arch"
    # shellcheck disable=SC2086
    cmake --no-warn-unused-cli -S . -B "$build" $toolchain -DCMAKE_BUILD_TYPE=Release -DLIBKRC_BUILD_TESTS=OFF \
          -DLIBKRC_BUILD_EXAMPLES=OFF -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=lib/$triplet \
          -DCMAKE_SHARED_LINKER_FLAGS="-Wl,-z,relro -Wl,-z,now" >/dev/null
    cmake --build "$build" -j "$(nproc)"
    version=$(sed -n 's/^Version: *//p' "$build/libkrc.pc")
    rm -rf "$stage" "$out/$arch/liblibkrc" "$out/$arch/liblibkrc-dev"
    DESTDIR=$PWD/$stage cmake --install "$build" --strip >/dev/null
    libdir=usr/lib/$triplet

    # liblibkrc: the shared library, its ldconfig trigger and its symbols.
    lib=$out/$arch/liblibkrc
    mkdir -p "$lib/DEBIAN" "$lib/$libdir"
    # Stripped as Debian strips shared libraries.
    "$triplet-strip" --remove-section=.comment --remove-section=.note --strip-unneeded \
        -o "$lib/$libdir/liblibkrc.so" "$stage/$libdir/liblibkrc.so"
    install_docs "$lib" liblibkrc
    echo "activate-noawait ldconfig" >"$lib/DEBIAN/triggers"
    { echo "liblibkrc.so liblibkrc #MINVER#"
      echo "* Build-Depends-Package: liblibkrc-dev"
      LC_ALL=C sort tests/abi/*.syms | sed "s/.*/ &@Base $version/"; } >"$lib/DEBIAN/symbols"
    write_control "$lib" liblibkrc libs "$(libc_dependency "$objdump" "$lib/$libdir/liblibkrc.so")" \
        "small exact containers and utilities (shared library)" \
        "$long_description
 .
 This package holds the shared library."
    build_deb "$lib" liblibkrc

    # liblibkrc-dev: everything a program needs to be built against it.
    dev=$out/$arch/liblibkrc-dev
    mkdir -p "$dev/DEBIAN" "$dev/$libdir"
    cp -a "$stage/usr/include" "$dev/usr/"
    cp -a "$stage/$libdir/cmake" "$stage/$libdir/pkgconfig" "$dev/$libdir/"
    if [ -f "$stage/$libdir/liblibkrc.a" ]; then
        "$triplet-strip" --strip-debug --remove-section=.comment --remove-section=.note \
            --enable-deterministic-archives -o "$dev/$libdir/liblibkrc.a" "$stage/$libdir/liblibkrc.a"
    fi
    install_manpages "$dev/usr/share/man/man3"
    install_docs "$dev" liblibkrc-dev
    write_control "$dev" liblibkrc-dev libdevel "liblibkrc (= $version)" \
        "small exact containers and utilities (development files)" \
        "$long_description
 .
 This package holds the C headers, the CMake package (find_package(libkrc)),
 the pkg-config file and the section-3 manual pages of every function."
    build_deb "$dev" liblibkrc-dev

    if command -v lintian >/dev/null; then
        echo "lintian:"
        lintian --tag-display-limit 0 "$out/liblibkrc_${version}_$arch.deb" \
                "$out/liblibkrc-dev_${version}_$arch.deb" || { echo "lintian reported errors" >&2; exit 1; }
    fi
done
