# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (win32 thread model).
# Used only for the test build on machines whose kernel cannot run the 32-bit
# Wine loader (see scripts/run-tests); the product itself is always 32-bit.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# The dependency prefix is passed in by the caller (MINISETUP_DEPS_PREFIX).
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
if(DEFINED ENV{MINISETUP_DEPS_PREFIX})
    list(APPEND CMAKE_FIND_ROOT_PATH $ENV{MINISETUP_DEPS_PREFIX})
endif()
if(MINISETUP_DEPS_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${MINISETUP_DEPS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
