# SPDX-License-Identifier: MIT
# Cross-compiles for 32-bit ARM Linux, hard-float EABI (Debian's armhf).
# Test programs run through qemu-arm with the cross sysroot as its library prefix.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(LIBKRC_ARMHF_TRIPLE arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${LIBKRC_ARMHF_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${LIBKRC_ARMHF_TRIPLE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${LIBKRC_ARMHF_TRIPLE})

# Libraries, headers and packages come from the armhf sysroot, never from the
# build machine's own /usr.  Directories the user names in CMAKE_PREFIX_PATH
# (an install prefix, an unpacked package root) are armhf trees too: they
# join the search roots, so `-DCMAKE_PREFIX_PATH=<prefix>` finds what was
# installed there, exactly as in a native build.
set(CMAKE_FIND_ROOT_PATH /usr/${LIBKRC_ARMHF_TRIPLE})
foreach(libkrc_prefix IN LISTS CMAKE_PREFIX_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH ${libkrc_prefix})
endforeach()
list(REMOVE_DUPLICATES CMAKE_FIND_ROOT_PATH)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${LIBKRC_ARMHF_TRIPLE})
