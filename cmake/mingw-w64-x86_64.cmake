# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (the posix thread model, which
# std::thread needs). Programs and tnl.dll link the compiler's runtime statically, so the program
# folder runs on a workstation (or under Wine) without further DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELVO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELVO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELVO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELVO_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${ZELVO_MINGW_TRIPLE}-objdump)

# Libraries come from the mingw sysroot and from the folder the dependency script fills.
set(CMAKE_FIND_ROOT_PATH /usr/${ZELVO_MINGW_TRIPLE} ${ZELVO_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# pkg-config sees the Windows libraries only, never the host's.
if(ZELVO_WINDOWS_DEPS)
  set(ENV{PKG_CONFIG_LIBDIR} ${ZELVO_WINDOWS_DEPS}/lib/pkgconfig)
  unset(ENV{PKG_CONFIG_PATH})
endif()

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine (test discovery included).
find_program(ZELVO_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZELVO_WINE)
  find_program(ZELVO_WINE NAMES wine64 wine)
endif()
if(ZELVO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELVO_WINE})
endif()
