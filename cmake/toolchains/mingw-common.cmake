# Shared by the mingw-w64 toolchain files: compilers, search roots, and a
# fully static C and C++ runtime so the DLL imports only system DLLs.
set(CMAKE_C_COMPILER ${DORVIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DORVIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${DORVIK_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${DORVIK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# GCC 12 warns wrongly about libstdc++'s own string copies when optimising
# (its -Wrestrict false positive, GCC bug 105329); the warning says nothing
# about our code there.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
