# Cross-builds Windows x86-64 executables with Debian's mingw-w64 toolchain:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DQUORRAL_BUILD_UI=OFF -DQUORRAL_BUILD_BENCH=OFF
# The executables link statically (libstdc++, libgcc, winpthread, zlib), so they run on a bare
# Windows or under Wine without DLLs beside them.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORRAL_MINGW_TRIPLE x86_64-w64-mingw32)

# std::thread and std::mutex exist only in the posix thread model; Debian's unsuffixed compiler may
# be the win32 one.
find_program(CMAKE_C_COMPILER NAMES ${QUORRAL_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${QUORRAL_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${QUORRAL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORRAL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(ZLIB_USE_STATIC_LIBS ON)

# Lets CTest (and test discovery) run the test executables on the build machine.
find_program(QUORRAL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUORRAL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORRAL_WINE})
endif()
