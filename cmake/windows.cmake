# The Windows build with MinGW-w64 (toolchain files cmake/mingw-w64-*.cmake). Included by the top
# CMakeLists.txt when building for Windows.

# C99 printf formats (%zu, %lld) and the POSIX time functions of the MinGW C library; windows.h
# without its rarely used parts and without the min/max macros.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1 _POSIX_C_SOURCE=200809L WIN32_LEAN_AND_MEAN
  NOMINMAX)

# Programs and libraries (DLLs) share bin/, as on the POSIX build the programs share it with the
# host drivers: a Windows program finds the DLLs it needs in its own folder.
# The C++ run-time DLLs of the compiler go there too, so that the programs run under Wine (and on
# Windows) from bin/ as they are.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${found}" AND EXISTS "${found}")
    file(COPY ${found} DESTINATION ${CMAKE_BINARY_DIR}/bin)
    install(FILES ${found} DESTINATION bin)
  endif()
endforeach()

# The test programs that the 64-bit Windows build runs under Wine: the Windows OS services and the
# conduit through the hotsync program. The rest of the tests exercise code that is the same on
# both platforms and run on the POSIX build. 32-bit Wine is not available on these machines, so
# the 32-bit build has only the checks that need no Wine.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(DBC_WINDOWS_TESTS conduit_platform_test hotsync_conduit_test)
else()
  set(DBC_WINDOWS_TESTS "")
endif()

# Tests run under Wine: CTest starts each test program through scripts/wine_run.sh with the Wine
# prefix of this build folder. Programs see this build's bin/ folder as a Windows path on Wine's
# drive Z:, which is the root of the POSIX file system.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${PROJECT_SOURCE_DIR}/scripts/wine_run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
set(DBC_WINDOWS_BIN_DIR "Z:${CMAKE_BINARY_DIR}/bin")

# GoogleTest for the Windows test programs, built from the sources that Debian's googletest
# package installs.
macro(dbc_windows_gtest)
  set(DBC_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, built for Windows")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${DBC_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  target_compile_options(gtest PRIVATE -w)
  target_compile_options(gtest_main PRIVATE -w)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endmacro()

# SQLite for the emulated handheld: Debian ships no SQLite for MinGW, so scripts/deps.sh --windows
# makes the single-file ("amalgamation") SQLite from Debian's source package, and the build
# compiles it for the target.
set(DBC_SQLITE_AMALGAMATION "${PROJECT_SOURCE_DIR}/.deps/sqlite" CACHE PATH
  "Folder with sqlite3.c and sqlite3.h (made by scripts/deps.sh --windows)")
function(dbc_windows_sqlite)
  if(NOT EXISTS ${DBC_SQLITE_AMALGAMATION}/sqlite3.c)
    message(FATAL_ERROR "No SQLite for Windows in ${DBC_SQLITE_AMALGAMATION}: run "
      "scripts/deps.sh --windows, or set DBC_SQLITE_AMALGAMATION")
  endif()
  add_library(sqlite3_windows STATIC ${DBC_SQLITE_AMALGAMATION}/sqlite3.c)
  target_include_directories(sqlite3_windows SYSTEM PUBLIC ${DBC_SQLITE_AMALGAMATION})
  # Third-party code: its own warnings are not ours, and a lighter optimisation keeps the build
  # of the 8 MB file short.
  target_compile_options(sqlite3_windows PRIVATE -w -O1 -g0)
  target_compile_definitions(sqlite3_windows PRIVATE SQLITE_OMIT_LOAD_EXTENSION)
  add_library(SQLite::windows ALIAS sqlite3_windows)
endfunction()
