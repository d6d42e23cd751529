# SPDX-License-Identifier: MIT
# Cross-compiles for 64-bit ARM Linux (Debian's arm64); test programs run
# under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(LIBKRC_CROSS_TRIPLE aarch64-linux-gnu)
set(LIBKRC_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
