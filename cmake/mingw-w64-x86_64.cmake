# Cross-building for 64-bit Windows with Debian's mingw-w64 compilers (the -posix ones: std::thread and
# std::mutex need the winpthreads model). The libraries built for Windows live under K4M_WINDOWS_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(K4M_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${K4M_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${K4M_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${K4M_MINGW_TRIPLET}-windres)

# Passed on to try_compile projects, which see only the toolchain file.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES K4M_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${K4M_MINGW_TRIPLET})
if(K4M_WINDOWS_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${K4M_WINDOWS_PREFIX} ${K4M_WINDOWS_PREFIX}/qt)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine, so ctest and the test discovery work as on the build system.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
