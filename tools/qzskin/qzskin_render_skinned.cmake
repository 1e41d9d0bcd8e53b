# Runs `qzskin render --ini`: the skinned dialog is written as a PNG of the
# template's size, and a definition file that is missing or does not apply
# fails with its reason and writes nothing.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

foreach(dpi 96 168)
  set(plain ${WORK_DIR}/plain_${dpi}.png)
  set(skinned ${WORK_DIR}/skinned_${dpi}.png)
  execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template 1004 --dpi ${dpi} -o ${plain}
    RESULT_VARIABLE rc OUTPUT_VARIABLE plainOut ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "plain render at ${dpi} DPI failed (${rc}): ${plainOut}${err}")
  endif()
  execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template 1004 --dpi ${dpi} --ini ${SKIN}/Dialogs/Install.ini
      -o ${skinned}
    RESULT_VARIABLE rc OUTPUT_VARIABLE skinnedOut ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "skinned render at ${dpi} DPI failed (${rc}): ${skinnedOut}${err}")
  endif()
  file(READ ${skinned} head LIMIT 8 HEX)
  if(NOT head STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "skinned render at ${dpi} DPI is not a PNG: ${head}")
  endif()
  # The skin keeps the dialog's size; only the report's file name differs.
  string(REPLACE "${plain}" "" plainReport "${plainOut}")
  string(REPLACE "${skinned}" "" skinnedReport "${skinnedOut}")
  if(NOT plainReport STREQUAL skinnedReport)
    message(FATAL_ERROR "skinned and plain renders differ: ${skinnedOut} / ${plainOut}")
  endif()
endforeach()

execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template 1004 --ini ${WORK_DIR}/none.ini -o ${WORK_DIR}/none.png
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "none.ini: error: cannot read file" OR EXISTS ${WORK_DIR}/none.png)
  message(FATAL_ERROR "missing definition: exit ${rc}, ${err}")
endif()
file(WRITE ${WORK_DIR}/broken.ini "[dialog]\ncontrolTemplateFile = NoSuchTemplates.ini\n")
execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template 1004 --ini ${WORK_DIR}/broken.ini
    -o ${WORK_DIR}/broken.png
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "broken.ini: error: the definition file cannot be applied"
   OR EXISTS ${WORK_DIR}/broken.png)
  message(FATAL_ERROR "definition that does not apply: exit ${rc}, ${err}")
endif()
