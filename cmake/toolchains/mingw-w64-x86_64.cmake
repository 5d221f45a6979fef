# Cross build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64).
# The "-posix" compiler variant is used: its libstdc++ has std::thread and std::mutex.
# Everything is linked statically, so the programs need no DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSVAR_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER NAMES ${TESSVAR_MINGW_PREFIX}-gcc-posix ${TESSVAR_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TESSVAR_MINGW_PREFIX}-g++-posix ${TESSVAR_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TESSVAR_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSVAR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")  # release programs without symbols

# Test programs run under wine when it is there (gtest discovery and ctest use this).
find_program(TESSVAR_WINE NAMES wine64 wine)
if(TESSVAR_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TESSVAR_WINE})
endif()

# pkg-config sees only packages built for the target (none from the build machine, such as
# its libmodbus).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${TESSVAR_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
