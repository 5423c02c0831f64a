# Cross-building for 64-bit Windows from Debian with mingw-w64; the programs and tests run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(target x86_64-w64-mingw32)

# The -posix compilers use winpthreads, which std::thread and std::mutex need.
set(CMAKE_C_COMPILER ${target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${target}-g++-posix)
set(CMAKE_RC_COMPILER ${target}-windres)

# QTE_WINDOWS_PREFIX holds the libraries built for Windows (Allegro, libpng,
# libjpeg, GoogleTest); try_compile projects need it as well.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QTE_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${target} ${QTE_WINDOWS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static archives and runtimes only, so an .exe needs no DLL beside it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The wine wrapper nags about a missing 32-bit Wine; only 64-bit programs run here.
find_program(QTE_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT QTE_WINE64)
  find_program(QTE_WINE64 NAMES wine64 wine)
endif()
if(QTE_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${QTE_WINE64})
endif()
