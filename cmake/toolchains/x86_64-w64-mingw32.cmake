# Cross-compiles Tintvale for Windows with MinGW-w64 (x86_64) from Debian's mingw-w64 packages.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(TINTVALE_MINGW_TRIPLET x86_64-w64-mingw32)
# The posix thread model: GoogleTest needs std::mutex, which the win32 model lacks. Linked statically,
# winpthread adds no DLL to the programs.
set(TINTVALE_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

# 64-bit programs run here under wine64, so the tests built with this toolchain can run.
find_program(TINTVALE_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TINTVALE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TINTVALE_WINE})
endif()
