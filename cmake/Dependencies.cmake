# Imported targets for the cross-built dependencies under MINISETUP_DEPS_PREFIX.
set(_deps ${MINISETUP_DEPS_PREFIX})
if(NOT EXISTS "${_deps}/.stamp")
    message(FATAL_ERROR "Dependencies missing in ${_deps}: run scripts/bootstrap first")
endif()

function(minisetup_import name lib)
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION "${_deps}/lib/${lib}"
        INTERFACE_INCLUDE_DIRECTORIES "${_deps}/include")
endfunction()

minisetup_import(dep_curl libcurl.a)
set_property(TARGET dep_curl PROPERTY INTERFACE_LINK_LIBRARIES
    ws2_32 crypt32 bcrypt secur32 advapi32 wldap32 normaliz iphlpapi)
minisetup_import(dep_jsoncpp libjsoncpp.a)
minisetup_import(dep_tinyxml libtinyxml.a)
minisetup_import(dep_zlib_png libpng16.a)
add_library(dep_png INTERFACE)
target_link_libraries(dep_png INTERFACE dep_zlib_png z)
add_library(dep_rapidxml INTERFACE)
target_include_directories(dep_rapidxml INTERFACE "${_deps}/include")
minisetup_import(dep_gtest libgtest.a)
minisetup_import(dep_gtest_main libgtest_main.a)
minisetup_import(dep_gmock libgmock.a)
# GoogleTest was built with a Win32 start-up signal (see gtest-win32-notification.h):
# everything that includes its headers must see the same definition.
foreach(_t dep_gtest dep_gmock dep_gtest_main)
    set_property(TARGET ${_t} PROPERTY INTERFACE_COMPILE_OPTIONS
        -DGTEST_HAS_NOTIFICATION_=1 -include ${_deps}/include/gtest-win32-notification.h)
endforeach()
