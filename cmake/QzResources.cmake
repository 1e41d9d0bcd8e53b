# qz_add_resources(<target> FILES a.rc b.rc ... [INCLUDE_DIRS dir ...])
#
# Compiles the resource scripts with qz_rc into one generated C++ source and
# adds it to <target>. The resources join the program's resource table
# (ModuleResources) before main runs. A syntax error stops the build with
# file, line and reason. For a static library the generated object is kept
# by every program that links it, although nothing calls into it.
include_guard(GLOBAL)

function(qz_add_resources target)
  cmake_parse_arguments(R "" "" "FILES;INCLUDE_DIRS" ${ARGN})
  if(NOT R_FILES)
    message(FATAL_ERROR "qz_add_resources(${target}): no FILES")
  endif()
  set(inputs)
  foreach(f IN LISTS R_FILES)
    get_filename_component(abs ${f} ABSOLUTE)
    list(APPEND inputs ${abs})
  endforeach()
  set(include_args)
  foreach(d IN LISTS R_INCLUDE_DIRS)
    get_filename_component(abs ${d} ABSOLUTE)
    list(APPEND include_args -I ${abs})
  endforeach()
  string(MAKE_C_IDENTIFIER "qz_resources_${target}" symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            $<TARGET_FILE:qz_rc_compiler> -o ${out} --symbol ${symbol} --depfile ${out}.d
            ${include_args} ${inputs}
    DEPENDS qz_rc_compiler ${inputs}
    DEPFILE ${out}.d
    COMMENT "Compiling resources for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "STATIC_LIBRARY")
    target_link_options(${target} INTERFACE "LINKER:--undefined=${symbol}")
  endif()
endfunction()
