# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (posix thread
# model: the win32 one of GCC 12 has no std::thread). The programs and tests
# run under Wine, so CTest can run the Windows tests on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triplet x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triplet}-windres)
# The cross pkg-config reads only the Windows .pc files (those under
# CMAKE_PREFIX_PATH and the cross compiler's own), never the build machine's.
set(PKG_CONFIG_EXECUTABLE ${mingw_triplet}-pkg-config CACHE FILEPATH "pkg-config for Windows libraries")

# Libraries and headers come from the roots given in CMAKE_FIND_ROOT_PATH (the
# cross-built libraries) and the cross compiler's own; programs from the
# build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${mingw_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine runs them, through a wrapper that keeps a wine server warm between runs,
# in a prefix of the build's own.
find_program(PINDLEWICK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(PINDLEWICK_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(PINDLEWICK_WINE AND PINDLEWICK_WINESERVER)
  set(PINDLEWICK_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine" CACHE PATH
      "Wine prefix the Windows programs and tests run in")
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEPREFIX=${PINDLEWICK_WINE_PREFIX}
      ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${PINDLEWICK_WINESERVER} ${PINDLEWICK_WINE})
endif()
