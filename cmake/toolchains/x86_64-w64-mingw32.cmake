# Cross-compiles Tintvale for Windows with MinGW-w64 (x86_64) from Debian's mingw-w64 packages.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TINTVALE_MINGW_TRIPLET x86_64-w64-mingw32)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks. Linked statically,
# winpthread adds no DLL to the programs.
find_program(CMAKE_C_COMPILER NAMES ${TINTVALE_MINGW_TRIPLET}-gcc-posix ${TINTVALE_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TINTVALE_MINGW_TRIPLET}-g++-posix ${TINTVALE_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TINTVALE_MINGW_TRIPLET}-windres REQUIRED)

# Every program links the C and C++ runtimes in, so it needs only the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_FIND_ROOT_PATH /usr/${TINTVALE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 64-bit programs run here under wine64, so the tests built with this toolchain can run.
find_program(TINTVALE_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TINTVALE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TINTVALE_WINE})
endif()
