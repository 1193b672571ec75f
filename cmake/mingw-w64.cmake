# Cross-builds for 64-bit Windows with Debian's mingw-w64 (posix threads,
# which libopenmpt's std::thread needs). ORVANE_WINDOWS_PREFIX names the
# folder where scripts/build-windows installs libopenmpt, SDL2 and freeglut;
# packages and pkg-config files are looked for there and in the compiler's
# own root, never on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(ORVANE_WINDOWS_PREFIX "" CACHE PATH "Windows builds of libopenmpt, SDL2 and freeglut")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORVANE_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${ORVANE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${ORVANE_WINDOWS_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
