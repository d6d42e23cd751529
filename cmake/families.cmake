# SPDX-License-Identifier: MIT
# The families of the library and the files that make each one up.
#
# Every family has one source file, one public header, one test program, one
# example and one list of exported symbols.  The list below is the single
# place that names them; configuring fails when a family misses a file that
# the configured build uses, or when a source file or symbol list belongs to
# no family, so that nothing drops out of the build unnoticed.
set(LIBKRC_FAMILIES llist slist dlist krqueue hashtab mempool slidingaverage crc16 searchmap krcmem)

# The files of `family` that this configuration uses, relative to the source root.
function(libkrc_family_files family out)
  set(files src/${family}.cpp include/libkrc/${family}.h)
  if(LIBKRC_BUILD_TESTS)
    list(APPEND files tests/test_${family}.cpp tests/abi/${family}.syms)
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
      list(APPEND problems "${file} belongs to no family of LIBKRC_FAMILIES (cmake/families.cmake)")
    endif()
  endforeach()
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "Incomplete families:\n  ${text}")
  endif()
endfunction()

libkrc_check_families()
list(TRANSFORM LIBKRC_FAMILIES PREPEND src/ OUTPUT_VARIABLE LIBKRC_SOURCES)
list(TRANSFORM LIBKRC_SOURCES APPEND .cpp)
# Shared internals with code of their own.
list(APPEND LIBKRC_SOURCES src/internal/divide.cpp)
list(TRANSFORM LIBKRC_FAMILIES PREPEND include/libkrc/ OUTPUT_VARIABLE LIBKRC_HEADERS)
list(TRANSFORM LIBKRC_HEADERS APPEND .h)
list(APPEND LIBKRC_HEADERS include/libkrc/libkrc.h include/libkrc/export.h)
# The C++ face: header-only, installed beside the C headers it wraps.
list(APPEND LIBKRC_HEADERS include/libkrc/krc.hpp include/libkrc/krc_detail.hpp include/libkrc/krc_lists.hpp
  include/libkrc/krc_stores.hpp include/libkrc/krc_utilities.hpp)
