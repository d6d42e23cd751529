# SPDX-License-Identifier: MIT
# Runs one example program and compares its standard output, byte for byte,
# with the expected-output file; fails when they differ or the program fails.
#   cmake -DEXAMPLE=<program> -DEXPECTED=<file> [-DEMULATOR=<command line>] -P check_output.cmake
separate_arguments(emulator UNIX_COMMAND "${EMULATOR}")
execute_process(COMMAND ${emulator} ${EXAMPLE}
                OUTPUT_VARIABLE actual RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${EXAMPLE} exited with ${status}; its output:\n${actual}")
endif()
if(NOT actual STREQUAL expected)
  file(WRITE ${EXAMPLE}.out "${actual}")
  message(NOTICE "---- expected (${EXPECTED})\n${expected}---- actual (${EXAMPLE}.out)\n${actual}----")
  message(FATAL_ERROR "${EXAMPLE}: output differs from ${EXPECTED}")
endif()
