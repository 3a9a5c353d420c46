# The 64-bit Windows build: the same module and programs as the shipped
# 32-bit one, built so that the tests can run them under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELKOR_MINGW_TRIPLE x86_64-w64-mingw32)
set(VELKOR_MINGW_ARCH_FLAGS "")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
