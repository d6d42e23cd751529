# SPDX-License-Identifier: MIT
# Helpers of the guards on the built library (the cmake -P scripts beside it).

# Runs a command; its standard output goes to `out`, and a failure ends the script.
function(libkrc_run out)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    list(JOIN ARGN " " command)
    message(FATAL_ERROR "failed (${rc}): ${command}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The dynamic symbols of `lib` that nm lists with option `which`
# (--defined-only or --undefined-only), without versions, sorted.
function(libkrc_dynamic_symbols out nm lib which)
  libkrc_run(text ${nm} -D ${which} --format=posix ${lib})
  string(REGEX MATCHALL "[^\n]+" lines "${text}")
  set(names)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "[ @].*" "" name "${line}")
    list(APPEND names ${name})
  endforeach()
  list(SORT names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()
