# Cross build for Windows with the mingw-w64 "-posix" compilers, whose std::thread and
# std::mutex GoogleTest needs. Test programs run through Wine. Included by
# toolchain-<arch>-w64-mingw32.cmake, which sets KEYMIX_MINGW_ARCH (x86_64 or i686).
set(KEYMIX_MINGW_TRIPLE ${KEYMIX_MINGW_ARCH}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KEYMIX_MINGW_ARCH})

set(CMAKE_C_COMPILER ${KEYMIX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KEYMIX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KEYMIX_MINGW_TRIPLE}-windres)

# KEYMIX_WINDOWS_DEPS: the prefix with the cross-built static libraries
# (scripts/build_windows_deps.sh). pkg-config reads only the .pc files of
# this target, never the Linux ones.
set(CMAKE_FIND_ROOT_PATH /usr/${KEYMIX_MINGW_TRIPLE} ${KEYMIX_WINDOWS_DEPS})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KEYMIX_WINDOWS_DEPS)
if(KEYMIX_WINDOWS_DEPS)
    list(APPEND CMAKE_PREFIX_PATH ${KEYMIX_WINDOWS_DEPS})
    set(ENV{PKG_CONFIG_LIBDIR} ${KEYMIX_WINDOWS_DEPS}/lib/pkgconfig)
else()
    set(ENV{PKG_CONFIG_LIBDIR} /usr/${KEYMIX_MINGW_TRIPLE}/lib/pkgconfig)
endif()
unset(ENV{PKG_CONFIG_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KEYMIX_WINE NAMES wine wine-stable)
if(KEYMIX_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KEYMIX_WINE})
endif()
