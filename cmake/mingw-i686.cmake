# The shipped 32-bit module.  Doubles are computed in SSE2 registers, as on
# x86_64: the x87 unit would keep intermediate results in 80 bits and round
# some of the engine's estimates differently, so the same image would not
# always give the same file.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(VELKOR_MINGW_TRIPLE i686-w64-mingw32)
set(VELKOR_MINGW_ARCH_FLAGS "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
