# Cross-compiles Tintvale for Windows with MinGW-w64 (i686) from Debian's mingw-w64 packages.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TINTVALE_MINGW_TRIPLET i686-w64-mingw32)
# The win32 thread model: no winpthread DLL to carry, and the program needs no std::thread.
set(TINTVALE_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
