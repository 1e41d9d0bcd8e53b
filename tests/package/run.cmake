# Installs the build as a distribution package would, with the build's own
# prefix (/usr under tools/test.sh, so lib/<multiarch> on Debian) into a
# scratch root; then a consumer project outside the tree finds it through
# find_package and pkg-config, builds, loads the library and calls it, and
# the installed tools find the installed library and skin.
file(REMOVE_RECURSE ${WORK_DIR})
set(root ${WORK_DIR}/root)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
endfunction()
set(ENV{DESTDIR} ${root})
run(${CMAKE_COMMAND} --install ${BINARY_DIR})
unset(ENV{DESTDIR})

file(GLOB_RECURSE installed RELATIVE ${root} ${root}/*)
foreach(file IN LISTS installed)
  if(file MATCHES "qz_test|_bench|fuzz|qz_rc$|/gtest|/gmock")
    message(FATAL_ERROR "a test or build-time program was installed: ${file}")
  endif()
endforeach()

# A sanitized library can only be loaded by a sanitized program.
set(ENV{PKG_CONFIG_PATH} "${root}${FULL_LIBDIR}/pkgconfig")
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${root}${PREFIX}
    "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${WORK_DIR}/build/consumer)

# The installed host loads the installed library: action 5 is unknown (4).
execute_process(COMMAND ${root}${FULL_BINDIR}/qzupdate action 5 RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 4)
  message(FATAL_ERROR "installed qzupdate action 5 gave ${rc}, not 4: ${err}")
endif()

# The installed qzskin, with no skin beside it, draws what the build's does
# with the skin beside it, and something else once the installed skin is gone.
set(render render --dialog install --state question --lang en-GB --dpi 96 -o)
run(${root}${FULL_BINDIR}/qzskin ${render} ${WORK_DIR}/installed.png)
run(${BUILD_QZSKIN} ${render} ${WORK_DIR}/build.png)
file(RENAME ${root}${FULL_DATADIR}/QzAutoUpdate ${WORK_DIR}/moved-data)
run(${root}${FULL_BINDIR}/qzskin ${render} ${WORK_DIR}/unskinned.png)
file(SHA256 ${WORK_DIR}/installed.png installed)
file(SHA256 ${WORK_DIR}/build.png build)
file(SHA256 ${WORK_DIR}/unskinned.png unskinned)
if(NOT installed STREQUAL build OR installed STREQUAL unskinned)
  message(FATAL_ERROR "the installed qzskin does not draw with the installed skin")
endif()
message(STATUS "consumer built and ran against ${root}${PREFIX}; installed tools found library and skin")
