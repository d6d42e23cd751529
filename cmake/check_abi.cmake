# SPDX-License-Identifier: MIT
# Checks the built shared library against the API it is meant to export.
#   LIB        path of liblibkrc.so
#   NM         nm for the library's target
#   READELF    readelf for the library's target
#   SYMS_DIR   directory of <family>.syms files, one exported name per line;
#              every file there counts, whatever the build's family list says
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/elf_symbols.cmake)
set(failed FALSE)
macro(fail msg)
  message(SEND_ERROR "${msg}")
  set(failed TRUE)
endmacro()

# The expected API: the union of all symbol lists.
file(GLOB syms_files ${SYMS_DIR}/*.syms)
if(NOT syms_files)
  message(FATAL_ERROR "no exported-symbol lists in ${SYMS_DIR}")
endif()
set(expected)
foreach(file IN LISTS syms_files)
  file(STRINGS ${file} names REGEX "^[A-Za-z_]")
  list(APPEND expected ${names})
endforeach()
list(SORT expected)

libkrc_dynamic_symbols(exported ${NM} ${LIB} --defined-only)

set(missing ${expected})
list(REMOVE_ITEM missing ${exported})
set(extra ${exported})
list(REMOVE_ITEM extra ${expected})
if(missing)
  fail("API functions not exported: ${missing}")
endif()
if(extra)
  fail("symbols exported beyond the API: ${extra}")
endif()

# No reference to the C++ runtime: no mangled names, no exception machinery.
libkrc_dynamic_symbols(undefined ${NM} ${LIB} --undefined-only)
foreach(name IN LISTS undefined)
  if(name MATCHES "^_Z|^__gxx_personality|^__cxa_|^_Unwind_|^__aeabi_unwind_cpp" AND NOT name STREQUAL "__cxa_finalize")
    fail("library references C++ runtime symbol ${name}")
  endif()
endforeach()

# Only the C library may be needed at run time.
libkrc_run(dyn_out ${READELF} -d ${LIB})
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*" needed "${dyn_out}")
foreach(entry IN LISTS needed)
  if(NOT entry MATCHES "\\[libc\\.so\\.6\\]")
    fail("unexpected run-time dependency: ${entry}")
  endif()
endforeach()
if(NOT dyn_out MATCHES "\\(SONAME\\)[^\n]*\\[liblibkrc\\.so\\]")
  fail("SONAME is not liblibkrc.so")
endif()

list(LENGTH expected n)
if(failed)
  message(FATAL_ERROR "ABI guard failed for ${LIB}")
endif()
message(STATUS "ABI guard passed: ${n} API functions exported, only libc needed, SONAME liblibkrc.so")
