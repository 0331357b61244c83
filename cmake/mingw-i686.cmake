# Cross-compiles a 32-bit Windows program with MinGW-w64 (posix thread flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests are Windows programs: CTest starts them through the 32-bit Wine.
set(VARNIX_WINE /usr/lib/wine/wine CACHE FILEPATH "Wine loader that runs the tests")
set(CMAKE_CROSSCOMPILING_EMULATOR ${VARNIX_WINE})
