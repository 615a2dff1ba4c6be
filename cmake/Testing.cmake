# Test executables are Windows programs: CTest runs them through the Wine
# wrapper, which keeps its own WINEPREFIX inside this build folder.
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
set(MINISETUP_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
find_program(PYTHON3 python3 REQUIRED)

# minisetup_add_gtest(<name> SOURCES ... [LIBS ...] [SERVER download|stats] [TIMEOUT s])
# Builds a GoogleTest program and registers it as one CTest test. With SERVER,
# tests/run_with_server.py starts that test server on 127.0.0.1 first and passes
# its address in the environment (MINISETUP_DOWNLOAD_SERVER / MINISETUP_STATS_SERVER).
function(minisetup_add_gtest name)
    cmake_parse_arguments(T "" "SERVER;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} dep_gmock dep_gtest_main dep_gtest minisetup_options)
    target_link_options(${name} PRIVATE -mconsole)
    set(_cmd ${MINISETUP_WINE_RUN} $<TARGET_FILE:${name}>)
    if(T_SERVER)
        set(_cmd ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/run_with_server.py --server ${T_SERVER} -- ${_cmd})
    endif()
    add_test(NAME ${name} COMMAND ${_cmd})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()
