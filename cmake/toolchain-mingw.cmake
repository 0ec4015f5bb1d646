# Cross-compiling for Windows with Debian's mingw-w64 compilers.
# ZENTAV_ARCH selects the target: i686 (the shipped 32-bit program, default)
# or x86_64 (the same sources for machines whose Wine can only run 64-bit code).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT ZENTAV_ARCH)
  set(ZENTAV_ARCH i686)
endif()
set(ZENTAV_ARCH ${ZENTAV_ARCH} CACHE STRING "Windows target architecture: i686 or x86_64")
set(CMAKE_SYSTEM_PROCESSOR ${ZENTAV_ARCH})
set(prefix ${ZENTAV_ARCH}-w64-mingw32)

# The posix thread model: GoogleTest needs std::mutex. Linked statically, it adds
# no DLL beside the program.
set(CMAKE_C_COMPILER ${prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${prefix}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test programs run through Wine; the wrapper picks the loader that fits the architecture.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
