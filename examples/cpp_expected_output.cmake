# Runs PROGRAM (a list: emulator words, if any, then the executable) and
# fails unless it exits 0 with exactly the contents of EXPECTED on stdout.
execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE actual RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${status}")
endif()
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "output differs from ${EXPECTED}:\n--- expected\n${expected}--- actual\n${actual}")
endif()
