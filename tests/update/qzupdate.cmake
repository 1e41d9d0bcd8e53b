# The command-line host's contract with scripts: result 1 exits 0, any other
# result exits with the code itself, and usage errors exit 64.
function(expect code)
  execute_process(COMMAND ${QZUPDATE} ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL code)
    message(FATAL_ERROR "qzupdate ${ARGN}: exit ${rc}, expected ${code}\n${out}\n${err}")
  endif()
  set(last_out "${out}" PARENT_SCOPE)
  set(last_err "${err}" PARENT_SCOPE)
endfunction()
expect(3 action 0)
if(NOT last_out MATCHES "result: 3 \\(no configuration, or action 0\\)")
  message(FATAL_ERROR "missing result line: ${last_out}")
endif()
expect(4 action 5)
expect(64 frobnicate)
expect(64 check --no-such-option)
expect(65 check --library /nonexistent/libQzAutoUpdate.so)
expect(64 verify)
# qzupdate itself is no PE file and has no detached signature beside it.
expect(1 verify ${QZUPDATE})
if(NOT last_out MATCHES "^signature: not valid: no signature file")
  message(FATAL_ERROR "missing reason: ${last_out}")
endif()
expect(1 verify /nonexistent/patch.exe)
# Without a display the update runs without dialogs (here against a port on
# which nothing listens: nothing found, result 1).
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY --unset=QT_QPA_PLATFORM
                  ${QZUPDATE} update --service-url http://127.0.0.1:9/patch.xml
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT err MATCHES "no display; the update check runs without dialogs"
   OR NOT out MATCHES "patch version: 0\\.0\\.0\\.0")
  message(FATAL_ERROR "qzupdate update without a display: exit ${rc}\n${out}\n${err}")
endif()
message(STATUS "qzupdate exit statuses as documented")
