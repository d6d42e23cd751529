# SPDX-License-Identifier: MIT
# Checks that the built shared library calls its own functions directly: no
# PLT slot (jump-slot relocation) may name one of the library's exports, or a
# program defining a function of the same name would replace it inside the
# library too.
#   LIB        path of liblibkrc.so
#   NM         nm for the library's target
#   READELF    readelf for the library's target
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/elf_symbols.cmake)
libkrc_require(LIB NM READELF)

libkrc_dynamic_symbols(exported ${NM} ${LIB} --defined-only)
libkrc_run(rel_out ${READELF} -rW ${LIB})
# A relocation line: offset info type value name[@version] [+ addend].
string(REGEX MATCHALL "[^\n]*_JUMP_SLOT[^\n]*" slots "${rel_out}")
set(self_bound)
foreach(slot IN LISTS slots)
  string(REGEX REPLACE "^.*_JUMP_SLOT +[0-9a-fA-F]+ +([^ @]+).*$" "\\1" name "${slot}")
  if(name IN_LIST exported)
    list(APPEND self_bound ${name})
  endif()
endforeach()

list(LENGTH slots nslots)
if(self_bound)
  message(FATAL_ERROR "PLT slots of ${LIB} target its own exports: ${self_bound}")
endif()
message(STATUS "Binding guard passed: none of the ${nslots} PLT slots targets one of the library's exports")
