# Runs velloway-check as a user would and checks its exit status and output.
# -DEMULATOR= -DPROGRAM= -DARGS=a;b -DEXPECT_STATUS=n -DEXPECT_OUTPUT=regex
# [-DMACHINE_FONTS=ON: a face this machine lacks, named with the one that shows it, is no fault
# of the script's: such warnings are left out, and a script with no other is clean.]
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(MACHINE_FONTS)
  string(REGEX REPLACE "[^\n]*: warning: font \"[^\"]*\" is not installed: this machine shows it in \"[^\"]*\"\n"
    "" out "${out}")
  if(status STREQUAL "1" AND out STREQUAL "" AND err STREQUAL "")
    set(status 0)
  endif()
endif()
if(NOT status STREQUAL EXPECT_STATUS)
  message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()
if(NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "output does not match ${EXPECT_OUTPUT}\nstdout:\n${out}\nstderr:\n${err}")
endif()
