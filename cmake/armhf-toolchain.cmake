# SPDX-License-Identifier: MIT
# Cross-compiles for 32-bit ARM Linux, hard-float EABI (Debian's armhf); test
# programs run under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(LIBKRC_CROSS_TRIPLE arm-linux-gnueabihf)
set(LIBKRC_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
