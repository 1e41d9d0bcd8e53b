# Runs `qzskin check` on a skin folder and compares its exit status and its
# lines with what is expected. EXPECTED names a file of expected lines; with
# none, the skin must check clean.
execute_process(COMMAND ${QZSKIN} check ${SKIN}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(DEFINED EXPECTED)
  file(READ ${EXPECTED} expected)
  if(NOT rc EQUAL 1)
    message(FATAL_ERROR "qzskin check ${SKIN}: exit ${rc}, expected 1\n${out}${err}")
  endif()
  if(NOT out STREQUAL expected)
    message(FATAL_ERROR "qzskin check ${SKIN} printed:\n${out}${err}\nexpected:\n${expected}")
  endif()
elseif(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "qzskin check ${SKIN}: exit ${rc}\n${out}${err}")
endif()
