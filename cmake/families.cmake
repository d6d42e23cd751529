# SPDX-License-Identifier: MIT
# The families of the library, the files that make each one up and the flags
# their sources are compiled with: the single place that names them.  The
# shared and static libraries (CMakeLists.txt), the fuzz build
# (tests/fuzz/), the tests and the examples all take their sources and flags
# from here.
#
# Each entry is FAMILY:LEVEL, LEVEL being the optimisation its source gets on
# 32-bit ARM, measured there (scripts/checks/counts.sh and footprint.sh guard
# the result): Os where it costs the per-operation paths nothing or gains
# (shorter prologues, no padding of the assertion texts; the list FIFO steps
# are forced inline in their files), O2 where the hot loop is faster (hash
# table chains, CRC-16 bytes).  arm64 takes the same levels (a fifth less
# code than the build type's, the same counts to one instruction).  Other
# targets keep the build type's level.
#
# Every family has one source file, one public header, one list of exported
# symbols and one example, and is tested by a test program, a model-checking
# harness or both.  Configuring fails when a family misses a file that the
# configured build uses, or when a source file or symbol list belongs to no
# family, so that nothing drops out of the build unnoticed.
set(LIBKRC_FAMILY_LEVELS
  llist:Os slist:Os dlist:Os krqueue:Os hashtab:O2 mempool:Os slidingaverage:Os crc16:O2 searchmap:Os krcmem:Os)
# Shared internals with code of their own (src/internal/NAME.cpp), same form.
set(LIBKRC_INTERNAL_LEVELS divide:default)

set(LIBKRC_FAMILIES)
foreach(entry IN LISTS LIBKRC_FAMILY_LEVELS)
  string(REGEX REPLACE ":.*" "" family ${entry})
  list(APPEND LIBKRC_FAMILIES ${family})
endforeach()

# The files of `family` that this configuration uses, relative to the source
# root; a family's tests are its test program, its harness or both.
function(libkrc_family_files family out)
  set(files src/${family}.cpp include/libkrc/${family}.h)
  if(LIBKRC_BUILD_TESTS)
    list(APPEND files tests/abi/${family}.syms)
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/tests/model/${family}.cpp)
      list(APPEND files tests/test_${family}.cpp)
    endif()
  endif()
  if(LIBKRC_BUILD_EXAMPLES)
    list(APPEND files examples/${family}.c)
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

function(libkrc_check_families)
  set(problems)
  foreach(family IN LISTS LIBKRC_FAMILIES)
    libkrc_family_files(${family} files)
    foreach(file IN LISTS files)
      if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${file})
        list(APPEND problems "family ${family} is missing ${file}")
      endif()
    endforeach()
  endforeach()
  file(GLOB strays RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/tests/abi/*.syms)
  foreach(file IN LISTS strays)
    get_filename_component(name ${file} NAME_WE)
    if(NOT name IN_LIST LIBKRC_FAMILIES)
      list(APPEND problems "${file} belongs to no family of LIBKRC_FAMILY_LEVELS (cmake/families.cmake)")
    endif()
  endforeach()
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "Incomplete families:\n  ${text}")
  endif()
endfunction()

libkrc_check_families()

# Sources (absolute, so that any directory can use them) with their levels.
set(LIBKRC_SOURCES)
set(libkrc_source_levels)
foreach(entry IN LISTS LIBKRC_FAMILY_LEVELS LIBKRC_INTERNAL_LEVELS)
  string(REPLACE ":" ";" pair ${entry})
  list(GET pair 0 name)
  list(GET pair 1 level)
  set(source ${PROJECT_SOURCE_DIR}/src/${name}.cpp)
  if(NOT EXISTS ${source})
    set(source ${PROJECT_SOURCE_DIR}/src/internal/${name}.cpp)
  endif()
  list(APPEND LIBKRC_SOURCES ${source})
  list(APPEND libkrc_source_levels "${source}=${level}")
endforeach()

list(TRANSFORM LIBKRC_FAMILIES PREPEND include/libkrc/ OUTPUT_VARIABLE LIBKRC_HEADERS)
list(TRANSFORM LIBKRC_HEADERS APPEND .h)
list(APPEND LIBKRC_HEADERS include/libkrc/libkrc.h include/libkrc/export.h)
# The C++ face: header-only, installed beside the C headers it wraps.
list(APPEND LIBKRC_HEADERS include/libkrc/krc.hpp include/libkrc/krc_detail.hpp include/libkrc/krc_lists.hpp
  include/libkrc/krc_stores.hpp include/libkrc/krc_utilities.hpp)

# The library's own compile flags, for every build of its sources.
set(LIBKRC_COMPILE_OPTIONS
  -Wall -Wextra -Wpedantic
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
  -fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=)

# Gives `target` the library's sources, compiled as the library is: C++17
# without exceptions or RTTI, hidden visibility, the internals' include
# directory, and on ARM each source at its level (the later flag wins
# over the build type's).  Extra compile options follow.
function(libkrc_add_sources target)
  target_sources(${target} PRIVATE ${LIBKRC_SOURCES})
  set_target_properties(${target} PROPERTIES
    CXX_STANDARD 17 CXX_STANDARD_REQUIRED ON CXX_EXTENSIONS OFF
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${target} PRIVATE ${LIBKRC_COMPILE_OPTIONS} ${ARGN})
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(arm|aarch64)")
    foreach(entry IN LISTS libkrc_source_levels)
      string(REGEX MATCH "^[^=]*" source "${entry}")
      string(REGEX REPLACE "^.*=" "" level "${entry}")
      if(NOT level STREQUAL "default")
        set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES COMPILE_OPTIONS -${level})
      endif()
    endforeach()
  endif()
endfunction()
