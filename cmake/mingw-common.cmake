# Shared part of the MinGW-w64 toolchain files; the including file sets
# VELKOR_MINGW_TRIPLE and the architecture flags first.
#
# The -posix compilers are used because Debian's default -win32 thread model
# has no std::mutex or std::thread, which the engine and the message boxes
# need.  The runtime is linked statically so the module and the programs run
# with the system DLLs alone: no libstdc++, libgcc or winpthread DLL has to
# travel with them.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELKOR_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELKOR_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VELKOR_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELKOR_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_C_FLAGS_INIT "${VELKOR_MINGW_ARCH_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${VELKOR_MINGW_ARCH_FLAGS}")
set(VELKOR_MINGW_STATIC_RUNTIME "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${VELKOR_MINGW_STATIC_RUNTIME}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${VELKOR_MINGW_STATIC_RUNTIME}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${VELKOR_MINGW_STATIC_RUNTIME}")
