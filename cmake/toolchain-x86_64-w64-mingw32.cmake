# Cross-compiles vantor for 64-bit Windows with the x86_64 mingw-w64 toolchain
# (Debian: g++-mingw-w64-x86-64-win32), for 64-bit games: the Microsoft-ABI DLL
# (-DVANTOR_HOST_ABI=microsoft) and the one for MinGW-w64 GCC hosts. Use with
#   cmake -S . -B build/windows64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VANTOR_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the cross compiler")

# The win32 thread model, as for 32-bit: no winpthread DLL.
find_program(VANTOR_MINGW_CXX NAMES ${VANTOR_MINGW_PREFIX}-g++-win32 ${VANTOR_MINGW_PREFIX}-g++ REQUIRED)
find_program(VANTOR_MINGW_CC NAMES ${VANTOR_MINGW_PREFIX}-gcc-win32 ${VANTOR_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${VANTOR_MINGW_CXX})
set(CMAKE_C_COMPILER ${VANTOR_MINGW_CC})
set(CMAKE_RC_COMPILER ${VANTOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VANTOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 64-bit Windows unwinds every exception through the system's tables, whichever module
# holds the unwinder's code: a static libgcc lets a GCC host catch the plug-in's
# exception, and the DLL needs no runtime DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
