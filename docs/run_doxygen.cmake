# SPDX-License-Identifier: MIT
# Runs Doxygen and fails on any message it writes.  WARN_AS_ERROR alone does
# not make every warning fatal: Doxygen reports the configuration's own
# (an obsolete or unknown tag, say) before that setting takes effect, and
# still exits 0.  With QUIET on, a clean run writes nothing.
#   DOXYGEN     the doxygen program
#   DOXYFILE    its configuration
#   SOURCE_DIR, OUT, VERSION   what the configuration reads from the
#               environment (LIBKRC_SOURCE_DIR, LIBKRC_DOCS_OUT, LIBKRC_VERSION)
cmake_minimum_required(VERSION 3.25)
foreach(var DOXYGEN DOXYFILE SOURCE_DIR OUT VERSION)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_doxygen.cmake needs -D${var}=...")
  endif()
endforeach()

set(ENV{LIBKRC_SOURCE_DIR} "${SOURCE_DIR}")
set(ENV{LIBKRC_DOCS_OUT} "${OUT}")
set(ENV{LIBKRC_VERSION} "${VERSION}")
execute_process(COMMAND ${DOXYGEN} ${DOXYFILE}
                WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "Doxygen (exit status ${rc}) reported:\n${out}")
endif()
