# Compile settings shared by every target of the program.
set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE Release CACHE STRING "" FORCE)
endif()
# A download stub is fetched before anything else: the release build is
# optimised for size (a fifth smaller than -O3); the engine's time goes into
# copying and the network, not into code the optimiser could speed up.
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")

add_library(minisetup_options INTERFACE)
target_compile_definitions(minisetup_options INTERFACE
    UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN
    _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0800
    CURL_STATICLIB TIXML_USE_STL)
target_compile_options(minisetup_options INTERFACE
    -Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers -Wno-cast-function-type
    -ffunction-sections -fdata-sections)
target_include_directories(minisetup_options INTERFACE ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/generated)
# Static C/C++ runtime so the program is one file that needs no mingw DLLs.
target_link_options(minisetup_options INTERFACE -static -static-libgcc -static-libstdc++)
