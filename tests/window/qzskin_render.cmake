# Runs `qzskin render` and checks the PNG it writes: a real PNG whose pixel
# size is the template's size in dialog units at the base units the tool
# reports, which grow with the DPI.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# MulDiv for positive values: a * b / c rounded half up.
function(mul_div out a b c)
  math(EXPR r "(2 * ${a} * ${b} + ${c}) / (2 * ${c})")
  set(${out} ${r} PARENT_SCOPE)
endfunction()

# Renders template `id` and checks the PNG against `cx` x `cy` dialog units;
# the base units land in <prefix>_BX and <prefix>_BY.
function(render_and_check prefix id lang dpi cx cy)
  set(png ${WORK_DIR}/${prefix}.png)
  execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template ${id} --lang ${lang} --dpi ${dpi} -o ${png}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${prefix}: qzskin render failed (${rc}): ${out}${err}")
  endif()
  if(NOT out MATCHES "([0-9]+)x([0-9]+) at ${dpi} DPI, language ([0-9]+), dialog base units ([0-9]+)x([0-9]+)")
    message(FATAL_ERROR "${prefix}: unexpected report: ${out}")
  endif()
  set(reportedW ${CMAKE_MATCH_1})
  set(reportedH ${CMAKE_MATCH_2})
  set(language ${CMAKE_MATCH_3})
  set(bx ${CMAKE_MATCH_4})
  set(by ${CMAKE_MATCH_5})
  if(NOT EXISTS ${png})
    message(FATAL_ERROR "${prefix}: no PNG written")
  endif()
  file(READ ${png} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 32 signature)
  if(NOT signature STREQUAL "89504e470d0a1a0a0000000d49484452")
    message(FATAL_ERROR "${prefix}: not a PNG: ${head}")
  endif()
  string(SUBSTRING "${head}" 32 8 wHex)
  string(SUBSTRING "${head}" 40 8 hHex)
  math(EXPR w "0x${wHex}")
  math(EXPR h "0x${hHex}")
  mul_div(expectedW ${cx} ${bx} 4)
  mul_div(expectedH ${cy} ${by} 8)
  if(NOT bx GREATER 0 OR NOT by GREATER 0 OR NOT w EQUAL expectedW OR NOT h EQUAL expectedH
     OR NOT w EQUAL reportedW OR NOT h EQUAL reportedH)
    message(FATAL_ERROR "${prefix}: PNG is ${w}x${h} (reported ${reportedW}x${reportedH}), "
                        "expected ${expectedW}x${expectedH} from base units ${bx}x${by}")
  endif()
  set(${prefix}_BX ${bx} PARENT_SCOPE)
  set(${prefix}_BY ${by} PARENT_SCOPE)
  set(${prefix}_LANG ${language} PARENT_SCOPE)
endfunction()

# IDD_TEST_DIALOG is 240 x 160 dialog units, IDD_GERMAN_ONLY 100 x 50.
render_and_check(low 100 en-GB 96 240 160)
render_and_check(high 100 2057 168 240 160)
if(NOT high_BX GREATER low_BX OR NOT high_BY GREATER low_BY)
  message(FATAL_ERROR "base units do not grow with the DPI: ${low_BX}x${low_BY} -> ${high_BX}x${high_BY}")
endif()
render_and_check(german 102 de_de 96 100 50)
if(NOT low_LANG EQUAL 2057 OR NOT german_LANG EQUAL 1031)
  message(FATAL_ERROR "language codes read as ${low_LANG} and ${german_LANG}")
endif()

# Each shipped language's code names the language of its own resource file,
# as the dialogs read the code.
file(GLOB shipped ${LANG_RC_DIR}/lang_*.rc)
list(LENGTH shipped count)
if(count LESS 48)
  message(FATAL_ERROR "expected at least the 48 shipped language files in ${LANG_RC_DIR}, found ${count}")
endif()
foreach(file ${shipped})
  get_filename_component(name ${file} NAME_WE)
  string(REGEX MATCH "^lang_([0-9]+)_(.+)$" matched ${name})
  set(id ${CMAKE_MATCH_1})
  set(code ${CMAKE_MATCH_2})
  execute_process(COMMAND ${QZSKIN} render --rc ${file} --template 1004 --lang ${code} -o ${WORK_DIR}/${code}.png
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT out MATCHES ", language ${id}," OR NOT EXISTS ${WORK_DIR}/${code}.png)
    message(FATAL_ERROR "--lang ${code}: exit ${rc}, ${out}${err} (its file is language ${id})")
  endif()
endforeach()

# An unknown or mistyped language is a usage error, not another variant;
# a missing template writes nothing.
foreach(bad "xx-XX" "pt-PT " "pt--PT" "-pt" "pt_")
  execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template 100 --lang ${bad} -o ${WORK_DIR}/bad.png
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
  if(NOT rc EQUAL 2)
    message(FATAL_ERROR "language '${bad}': exit ${rc}, expected 2")
  endif()
endforeach()
execute_process(COMMAND ${QZSKIN} render --rc ${RC} --template 99 -o ${WORK_DIR}/missing.png
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "no dialog template 99" OR EXISTS ${WORK_DIR}/missing.png)
  message(FATAL_ERROR "missing template: exit ${rc}, ${err}")
endif()
