# Cross-compiles DORVIK.DLL for 64-bit Windows with Debian's mingw-w64.
# The -posix compilers: the win32 thread model has no std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(DORVIK_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
