# Cross-compiles vantor for 32-bit Windows with the i686 mingw-w64 toolchain
# (Debian: g++-mingw-w64-i686-win32). Use with
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(VANTOR_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Target triplet of the cross compiler")

# Prefer the win32 thread model: its runtime pulls in no winpthread DLL. The library
# starts its one thread with CreateThread and needs nothing else from the thread model.
find_program(VANTOR_MINGW_CXX NAMES ${VANTOR_MINGW_PREFIX}-g++-win32 ${VANTOR_MINGW_PREFIX}-g++ REQUIRED)
find_program(VANTOR_MINGW_CC NAMES ${VANTOR_MINGW_PREFIX}-gcc-win32 ${VANTOR_MINGW_PREFIX}-gcc REQUIRED)
set(CMAKE_CXX_COMPILER ${VANTOR_MINGW_CXX})
set(CMAKE_C_COMPILER ${VANTOR_MINGW_CC})
set(CMAKE_RC_COMPILER ${VANTOR_MINGW_PREFIX}-windres)

# Replay arithmetic must be exactly single or double precision. The x87 unit keeps
# intermediate values in extended precision and would round differently, so float and
# double arithmetic goes to SSE2: the DLL needs a processor with SSE2 (every x86
# processor since 2004 has it). Windows keeps the stack only 4-byte aligned on 32-bit
# x86; with SSE this compiler realigns the stack in every function that spills vector
# registers (-mstackrealign, its default for Windows with SSE, stated here all the same).
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

set(CMAKE_FIND_ROOT_PATH /usr/${VANTOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Exceptions thrown by the library (pellerrsexception in exception mode) must unwind
# through the host's frames. With this toolchain's DWARF-2 unwinder each module linked
# with a static libgcc keeps its own unwinder state, and the host's catch is never
# found: the process terminates. So every module links libgcc as the shared
# libgcc_s_dw2-1.dll, which ships beside the plug-in, while libstdc++ stays static so
# that no libstdc++ DLL is needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-shared-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-shared-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-shared-libgcc -static-libstdc++")

# Where the compiler keeps libgcc_s_dw2-1.dll, for packaging and for running tests.
execute_process(COMMAND ${VANTOR_MINGW_CXX} -print-file-name=libgcc_s_dw2-1.dll
                OUTPUT_VARIABLE VANTOR_LIBGCC_DLL OUTPUT_STRIP_TRAILING_WHITESPACE)
set(VANTOR_LIBGCC_DLL "${VANTOR_LIBGCC_DLL}" CACHE FILEPATH "The compiler's shared unwinder DLL")
