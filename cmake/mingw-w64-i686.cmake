# Cross build for 32-bit Windows with the MinGW-w64 -posix compilers (the -win32 flavour lacks
# the threads Boost.Regex needs). Use: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TUNEWELL_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TUNEWELL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TUNEWELL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TUNEWELL_MINGW_PREFIX}-windres)

# Libraries and headers come from the cross sysroot only; programs (python3, the servers the
# tests start) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TUNEWELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Floating point in SSE registers, as on x86-64: the x87 unit's excess precision would give
# other results for the same float arithmetic (the name distance's bounds, for one).
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

# Nothing beside the binaries but system DLLs: the compiler's runtimes go in statically.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

