# Cross-compiles for 64-bit Windows with the MinGW-w64 toolchain of Debian
# (packages g++-mingw-w64-x86-64 and, for zlib, libz-mingw-w64-dev).
#   cmake -S . -B build-mingw -G Ninja \
#         -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OFFICECARVE_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model gives std::thread and std::mutex with GCC 12; the
# winpthreads runtime it needs is linked statically like everything else.
set(CMAKE_C_COMPILER ${OFFICECARVE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OFFICECARVE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${OFFICECARVE_MINGW_TRIPLE}-windres)

# Libraries and headers come only from the MinGW sysroot; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${OFFICECARVE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
