# Cross-compiling for 32-bit Windows with Debian's mingw-w64 (win32 thread model).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
