# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (win32 thread model).
# Used only for the test build on machines whose kernel cannot run the 32-bit
# Wine loader (see scripts/run-tests); the product itself is always 32-bit.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
