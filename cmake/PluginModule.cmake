# velkor_plugin_module(<target> SOURCES <files...> [DEPS <libraries...>]
#                      [EXPORTS <names...>] [OUTPUT_NAME <name>])
#
# Declares a plug-in module: a shared library the host loads by file name
# and calls through a few exported functions, and nothing else.
#
# - Windows: <OUTPUT_NAME>.8bi (default VELKOR.8bi).  A generated .def file
#   lists the exports by their plain names; on i686 a __stdcall function such
#   as the dialog procedure would otherwise be exported as GenericProc@16,
#   which a host looking up "GenericProc" does not find.
# - Linux: <OUTPUT_NAME>.so.  A generated version script exports the listed
#   names only, so the module's many internal symbols cannot clash with the
#   host stand-in's or another module's.
#
# EXPORTS defaults to PluginMain and GenericProc.  The sources must define
# every export with C linkage.
function(velkor_plugin_module target)
  cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;DEPS;EXPORTS" ${ARGN})
  if(NOT ARG_EXPORTS)
    set(ARG_EXPORTS PluginMain GenericProc)
  endif()
  if(NOT ARG_OUTPUT_NAME)
    set(ARG_OUTPUT_NAME VELKOR)
  endif()

  add_library(${target} SHARED ${ARG_SOURCES})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(${target} PRIVATE ${VELKOR_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${target} PRIVATE ${ARG_DEPS})
  endif()
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${ARG_OUTPUT_NAME})

  if(WIN32)
    set(def_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    list(JOIN ARG_EXPORTS "\n  " def_lines)
    file(CONFIGURE OUTPUT ${def_file} CONTENT "LIBRARY \"${ARG_OUTPUT_NAME}.8bi\"\nEXPORTS\n  ${def_lines}\n" @ONLY)
    target_sources(${target} PRIVATE ${def_file})
    # --enable-stdcall-fixup lets a plain .def name match its decorated
    # __stdcall definition; --kill-at keeps the decoration out of the table.
    target_link_options(${target} PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at)
    set_target_properties(${target} PROPERTIES SUFFIX ".8bi")
  else()
    set(map_file ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    list(JOIN ARG_EXPORTS ";\n    " map_lines)
    file(CONFIGURE OUTPUT ${map_file} CONTENT "{\n  global:\n    ${map_lines};\n  local: *;\n};\n" @ONLY)
    target_link_options(${target} PRIVATE -Wl,--version-script=${map_file})
    # Every symbol resolved at link time, so a missing one fails the build and
    # not the host's load.  Not in the fuzzing build: clang leaves the
    # sanitizer and coverage runtime to the executable that loads the module.
    if(NOT VELKOR_FUZZ)
      target_link_options(${target} PRIVATE -Wl,--no-undefined)
    endif()
    set_target_properties(${target} PROPERTIES SUFFIX ".so" LINK_DEPENDS ${map_file})
  endif()
endfunction()
