# Helpers that keep the per-folder CMakeLists short: a subsystem library is
# every .cpp of its folders, so adding a source file needs no build edit.

function(velkor_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${dir_sources})
  endforeach()
  if(NOT sources)
    # A subsystem whose first sources have not landed yet is header-only.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(${name} PRIVATE ${VELKOR_WARNINGS})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
endfunction()

# The GoogleTest executable test_<folder> of every .cpp in tests/<folder>,
# linked with DEPS; `out_target` is set to its name, or to nothing when the
# folder has no sources yet.  The Linux and Windows suites differ only in
# how they are run.
function(velkor_suite_executable folder out_target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  set(${out_target} "" PARENT_SCOPE)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${folder}/*.cpp)
  if(NOT sources)
    return()
  endif()
  set(target test_${folder})
  add_executable(${target} ${sources})
  target_compile_options(${target} PRIVATE ${VELKOR_WARNINGS})
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  set(${out_target} ${target} PARENT_SCOPE)
endfunction()

# One GoogleTest executable per tests/<folder>; CTest sees every test case.
# RESOURCE_LOCK names what the suite's cases may not share with another
# running case (e.g. the Wine prefix, whose server a suite starts and kills).
function(velkor_test_suite folder)
  cmake_parse_arguments(ARG "" "RESOURCE_LOCK" "DEPS" ${ARGN})
  velkor_suite_executable(${folder} target DEPS ${ARG_DEPS} velkor_test_support)
  set(properties TIMEOUT 600)
  if(ARG_RESOURCE_LOCK)
    list(APPEND properties RESOURCE_LOCK ${ARG_RESOURCE_LOCK})
  endif()
  if(target)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES ${properties})
  endif()
endfunction()
