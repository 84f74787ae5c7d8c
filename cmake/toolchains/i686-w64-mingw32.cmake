# Cross-compiles Tintvale for Windows with MinGW-w64 (i686) from Debian's mingw-w64 packages.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TINTVALE_MINGW_TRIPLET i686-w64-mingw32)

# The win32 thread model: no winpthread DLL to carry, and the program needs no std::thread.
find_program(CMAKE_C_COMPILER NAMES ${TINTVALE_MINGW_TRIPLET}-gcc-win32 ${TINTVALE_MINGW_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TINTVALE_MINGW_TRIPLET}-g++-win32 ${TINTVALE_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TINTVALE_MINGW_TRIPLET}-windres REQUIRED)

# Every program links the C and C++ runtimes in, so it needs only the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(CMAKE_FIND_ROOT_PATH /usr/${TINTVALE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
