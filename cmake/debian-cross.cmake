# SPDX-License-Identifier: MIT
# Cross-compiling with one of Debian's cross toolchains: included by a
# toolchain file that has set LIBKRC_CROSS_TRIPLE (arm-linux-gnueabihf, ...),
# LIBKRC_CROSS_QEMU (the qemu-user program for that machine) and
# CMAKE_SYSTEM_PROCESSOR.  Test programs run through that qemu with the cross
# sysroot as its library prefix.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${LIBKRC_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${LIBKRC_CROSS_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${LIBKRC_CROSS_TRIPLE})

# Libraries, headers and packages come from the cross sysroot, never from the
# build machine's own /usr.  Directories the user names in CMAKE_PREFIX_PATH
# (an install prefix, an unpacked package root) are trees of the target too:
# they join the search roots, so `-DCMAKE_PREFIX_PATH=<prefix>` finds what
# was installed there, exactly as in a native build.
set(CMAKE_FIND_ROOT_PATH /usr/${LIBKRC_CROSS_TRIPLE})
foreach(libkrc_prefix IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH ${libkrc_prefix})
endforeach()
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The sysroot's libraries come first on the search path: where the target's
# own C library is installed too (multiarch, as for building Debian packages
# of the target), the build machine's /etc/ld.so.cache points at that one,
# whose release differs from the sysroot's loader, and the two together crash
# (at fork, for one).
set(CMAKE_CROSSCOMPILING_EMULATOR ${LIBKRC_CROSS_QEMU} -L /usr/${LIBKRC_CROSS_TRIPLE}
    -E LD_LIBRARY_PATH=/usr/${LIBKRC_CROSS_TRIPLE}/lib)
