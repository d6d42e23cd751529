# SPDX-License-Identifier: MIT
# Helpers of the guards on the built library (the cmake -P scripts beside it).

# Ends the script unless every variable named was given (-DNAME=...).
function(libkrc_require)
  foreach(var IN LISTS ARGN)
    if(NOT ${var})
      cmake_path(GET CMAKE_SCRIPT_MODE_FILE FILENAME script)
      message(FATAL_ERROR "${script} needs -D${var}=...")
    endif()
  endforeach()
endfunction()

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
