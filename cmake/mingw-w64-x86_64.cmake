# Cross-compiling for 64-bit Windows on Debian with mingw-w64 (g++-mingw-w64-x86-64-posix: the
# variant with std::thread), every program linked against a static runtime so that it runs
# without the compiler's DLLs beside it. The tests run under Wine (wine64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRUNE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRUNE_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUNE_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRUNE_MINGW}-windres)

# Headers and libraries come from the mingw-w64 tree only, never from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUNE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine; ctest puts this before each.
find_program(KESTRUNE_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KESTRUNE_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRUNE_WINE64})
endif()
