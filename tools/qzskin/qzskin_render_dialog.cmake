# Runs `qzskin render --dialog`: the install question is written as a PNG of
# a dialog's size, larger at 168 DPI by about the ratio of the resolutions;
# an unknown state or dialog fails with status 1 and writes nothing.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# Width and height from the PNG's header chunk.
function(png_size file outWidth outHeight)
  file(READ ${file} head LIMIT 24 HEX)
  string(SUBSTRING "${head}" 0 16 signature)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${file} is not a PNG: ${head}")
  endif()
  string(SUBSTRING "${head}" 32 8 w)
  string(SUBSTRING "${head}" 40 8 h)
  math(EXPR w "0x${w}")
  math(EXPR h "0x${h}")
  set(${outWidth} ${w} PARENT_SCOPE)
  set(${outHeight} ${h} PARENT_SCOPE)
endfunction()

foreach(dpi 96 168)
  set(out ${WORK_DIR}/install_${dpi}.png)
  execute_process(COMMAND ${QZSKIN} render --dialog install --state question --lang de-DE --dpi ${dpi}
      --skin ${SKIN} -o ${out}
    RESULT_VARIABLE rc OUTPUT_VARIABLE stdout ERROR_VARIABLE err)
  if(NOT rc EQUAL 0 OR NOT EXISTS ${out})
    message(FATAL_ERROR "render at ${dpi} DPI failed (${rc}): ${stdout}${err}")
  endif()
  png_size(${out} width_${dpi} height_${dpi})
endforeach()

# 316 x 183 dialog units of an 8-point font: roughly 470 x 300 pixels.
if(width_96 LESS 350 OR width_96 GREATER 700 OR height_96 LESS 220 OR height_96 GREATER 450)
  message(FATAL_ERROR "implausible size at 96 DPI: ${width_96}x${height_96}")
endif()
math(EXPR widthRatio "100 * ${width_168} / ${width_96}")
math(EXPR heightRatio "100 * ${height_168} / ${height_96}")
if(widthRatio LESS 150 OR widthRatio GREATER 200 OR heightRatio LESS 150 OR heightRatio GREATER 200)
  message(FATAL_ERROR "168 DPI is not about 1.75 times 96 DPI: ${width_168}x${height_168} "
                      "against ${width_96}x${height_96}")
endif()

foreach(bad "--dialog;install;--state;downloading" "--dialog;settings;--state;question")
  execute_process(COMMAND ${QZSKIN} render ${bad} --skin ${SKIN} -o ${WORK_DIR}/bad.png
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 1 OR EXISTS ${WORK_DIR}/bad.png)
    message(FATAL_ERROR "render ${bad}: exit ${rc}, ${err}")
  endif()
endforeach()
