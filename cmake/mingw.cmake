# Cross compiling for Windows with Debian's MinGW-w64; included by the two
# toolchain files, which set MINGW_TRIPLE first. The posix thread model is
# chosen for its std::thread, std::mutex and std::condition_variable, which
# the game's pacing uses on every platform; linked statically, it needs no
# DLL of its own.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
# Every program is self-contained: the C and C++ runtimes and the thread
# library are linked in, so it needs only DLLs that come with Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE} ${DENTIVALE_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# DENTIVALE_WINDOWS_DEPS: the prefix that tools/windows_deps.sh built,
# holding static Allegro and FreeType with their pkg-config files, so that
# the build finds them as it finds Debian's on Linux, and only them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES DENTIVALE_WINDOWS_DEPS)
set(ENV{PKG_CONFIG_LIBDIR} ${DENTIVALE_WINDOWS_DEPS}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
