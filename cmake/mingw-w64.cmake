# Cross-building the core, the command line and their tests for 64-bit Windows with Debian's
# mingw-w64 (the posix-threads compilers), e.g.
#   scripts/windows.sh build      (fetches what the target needs, then configures with this file)
# Programs are linked statically: each .exe runs on its own, with no DLLs beside it. ctest runs
# the tests under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(quorvex_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${quorvex_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${quorvex_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${quorvex_mingw}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${quorvex_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
find_program(QUORVEX_WINE NAMES wine wine64)
if(QUORVEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEX_WINE})
endif()
