# Runs velloway-check as a user would and checks its exit status and output.
# -DEMULATOR= -DPROGRAM= -DARGS=a;b -DEXPECT_STATUS=n -DEXPECT_OUTPUT=regex
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "output does not match ${EXPECT_OUTPUT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
