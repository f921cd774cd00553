# Cross build for 32-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-i686-posix):
#   cmake -S . -B build-mingw32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
# The posix flavour of the compiler gives the C++ standard library its full thread support.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(DBC_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${DBC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DBC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${DBC_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DBC_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
