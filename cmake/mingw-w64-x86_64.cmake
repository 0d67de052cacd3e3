# Cross-compiling Tessaline for 64-bit Windows with Debian's MinGW-w64
# (the POSIX-threads flavour, which std::thread needs).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TESSALINE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TESSALINE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TESSALINE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TESSALINE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TESSALINE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC here does not align the stack to 32 bytes for AVX values it spills,
# yet may spill them with aligned moves, which fault on a misaligned
# stack: the assembler turns every aligned vector move into an unaligned
# one, as fast on aligned data.
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")

# The programs run without the compiler's DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
