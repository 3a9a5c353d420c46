# Windows test suites, cross-built and run under Wine.
#
# GoogleTest is built from Debian's sources with the cross compiler (there is
# no MinGW package of it).  Every suite runs as one CTest test under Debian's
# wine launcher, in a Wine prefix inside the build folder so that a run never
# reads or changes the user's own ~/.wine.  A setup test boots the prefix
# once; a cleanup test waits for the Wine server to exit, so that nothing is
# left running after ctest returns.  The oracles (libpng, zlib, Pillow) have
# no Windows builds: suites here are those that need none, and the Linux
# tests check the files Windows programs write.

set(VELKOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for Windows")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${VELKOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()

find_program(VELKOR_WINE wine REQUIRED)
find_program(VELKOR_WINEBOOT wineboot REQUIRED)
find_program(VELKOR_WINESERVER wineserver REQUIRED)
set(VELKOR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VELKOR_WINE_ENVIRONMENT "WINEPREFIX=${VELKOR_WINEPREFIX}" "WINEDEBUG=-all" "WINEDLLOVERRIDES=mscoree,mshtml=")
# Executable targets created from here on run through Wine in add_test.
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKOR_WINE})

add_test(NAME wine_prefix_boot COMMAND ${CMAKE_COMMAND} -E env ${VELKOR_WINE_ENVIRONMENT} ${VELKOR_WINEBOOT} -i)
add_test(NAME wine_server_exit COMMAND ${CMAKE_COMMAND} -E env ${VELKOR_WINE_ENVIRONMENT} ${VELKOR_WINESERVER} -w)
set_tests_properties(wine_prefix_boot PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)
set_tests_properties(wine_server_exit PROPERTIES FIXTURES_CLEANUP wine_prefix TIMEOUT 120)

# One GoogleTest executable per tests/<folder>, run whole under Wine (one
# Wine process per suite rather than per case keeps the run short).
function(velkor_windows_test_suite folder)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  velkor_suite_executable(${folder} target DEPS ${ARG_DEPS})
  if(NOT target)
    return()
  endif()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME ${target}_under_wine COMMAND ${target} --gtest_color=no)
  set_tests_properties(${target}_under_wine PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    ENVIRONMENT "${VELKOR_WINE_ENVIRONMENT}"
    TIMEOUT 600)
endfunction()
