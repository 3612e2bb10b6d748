# Cross build for Windows i686 with Debian's mingw-w64 (posix threads).
# Tests run under 32-bit Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(SKYLARK_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(SKYLARK_WINE /usr/lib/wine/wine CACHE FILEPATH "Wine loader for 32-bit Windows programs")
set(CMAKE_CROSSCOMPILING_EMULATOR ${SKYLARK_WINE})
