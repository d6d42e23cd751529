# SPDX-License-Identifier: MIT
# Checks which of the library's 32-bit ARM paths the build compiled in: the
# run-time divide probe (hw_udiv, set by detect_udiv at load) and the
# Thumb-2 check report (check_failed_here).  Every reference to either path
# goes through these symbols, so their absence from the full symbol table
# shows the paths are not in the library.
#   LIB     path of liblibkrc.so (not stripped)
#   NM      nm for the library's target
#   EXPECT  present (armhf with GCC) or absent (every other target)
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/elf_symbols.cmake)
libkrc_require(LIB NM EXPECT)

libkrc_run(text ${NM} -C ${LIB})
set(found)
set(missing)
foreach(name IN ITEMS "krc::hw_udiv" "detect_udiv()" "krc::check_failed_here()")
  string(FIND "${text}" "${name}" at)
  if(at EQUAL -1)
    list(APPEND missing "${name}")
  else()
    list(APPEND found "${name}")
  endif()
endforeach()

if(EXPECT STREQUAL "absent" AND found)
  message(FATAL_ERROR "${LIB} holds 32-bit ARM paths: ${found}")
elseif(EXPECT STREQUAL "present" AND missing)
  message(FATAL_ERROR "${LIB} lacks its 32-bit ARM paths: ${missing}")
endif()
message(STATUS "32-bit ARM paths ${EXPECT} in ${LIB}, as expected")
