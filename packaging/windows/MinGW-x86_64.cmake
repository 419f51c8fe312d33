# Cross builds for 64-bit Windows with Debian's MinGW-w64 (package
# g++-mingw-w64-x86-64-posix: the POSIX thread model, which std::thread
# needs). TARVEX_WINDOWS_DEPS names the prefix that holds LZO and zstd built
# for Windows (scripts/windows makes it); zlib comes from libz-mingw-w64-dev.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TARVEX_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVEX_WINDOWS_DEPS)
if(TARVEX_WINDOWS_DEPS)
  # pkg-config finds the Windows builds only, never the host's libraries.
  set(ENV{PKG_CONFIG_LIBDIR} "${TARVEX_WINDOWS_DEPS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(ZLIB_USE_STATIC_LIBS ON)

# Programs and DLLs hold the compiler's own libraries (libgcc, libstdc++,
# winpthread): beside them nothing but Windows' DLLs is needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
