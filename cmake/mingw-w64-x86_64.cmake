# Cross-compiling for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix); the
# programs and tests then run under Wine (Debian: wine64).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(tarvex_mingw x86_64-w64-mingw32)

# The posix thread model: GoogleTest needs std::mutex and std::thread.
set(CMAKE_C_COMPILER ${tarvex_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${tarvex_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${tarvex_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${tarvex_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's own runtime DLLs would have to travel with every program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(TARVEX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
  if(TARVEX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARVEX_WINE})
  endif()
endif()
