# Cross-compiling for Windows with mingw-w64; ATS_MINGW_ARCH picks i686 (32-bit) or x86_64 (64-bit).
set(ATS_MINGW_ARCH "x86_64" CACHE STRING "mingw-w64 target architecture: i686 or x86_64")
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ATS_MINGW_ARCH})
set(_triple ${ATS_MINGW_ARCH}-w64-mingw32)
# The posix thread model gives the tests std::mutex (Google Test needs it); -static links its
# threading runtime into each binary, so the DLLs still import system libraries only.
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_OBJDUMP ${_triple}-objdump)
# 32-bit: floating point in SSE2 registers, so doubles are compared as 64-bit values and float sums
# rounded as 32-bit ones (the x87 unit would carry 80 bits between steps), with the stack realigned
# on entry since the host's calls guarantee only 4-byte alignment.
if(ATS_MINGW_ARCH STREQUAL "i686")
  set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
  set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest starts the programs under Wine's 64-bit loader, which hands 32-bit programs to Wine's 32-bit
# half (run through user-mode emulation on this host: scripts/install-deps.sh).
find_program(ATS_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ATS_WINE64)
  find_program(ATS_WINE64 NAMES wine64)
endif()
if(ATS_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ATS_WINE64})
endif()
