# Test executables are Windows programs: CTest runs them through the Wine
# wrapper, which keeps its own WINEPREFIX inside this build folder.
# A 64-bit test build (made only where the kernel cannot run Wine's 32-bit
# loader, see scripts/run-tests) runs its programs with the 64-bit loader.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(MINISETUP_WINE_LOADER wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
    if(NOT MINISETUP_WINE_LOADER)
        find_program(MINISETUP_WINE_LOADER wine64 REQUIRED)
    endif()
else()
    set(MINISETUP_WINE_LOADER wine)
endif()
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
set(MINISETUP_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
find_program(PYTHON3 python3 REQUIRED)

# Seconds between a test's own deadline (when wine-run ends it and every
# Windows process of the prefix) and CTest's TIMEOUT, which kills without
# clean-up and must therefore never be the one that fires.
set(MINISETUP_TEST_GRACE 30)

# Every test of the run shares one X display and one Wine prefix: the display
# is started (and the prefix booted) before the first test and stopped after
# the last, together with anything still running in the prefix. Tests run one
# at a time, because a test ends every Windows process of the prefix when it
# finishes.
function(minisetup_add_test_fixture)
    add_test(NAME harness_start COMMAND ${MINISETUP_WINE_RUN} --start-display)
    add_test(NAME harness_stop COMMAND ${MINISETUP_WINE_RUN} --stop-display)
    set_tests_properties(harness_start PROPERTIES FIXTURES_SETUP minisetup_wine TIMEOUT 300)
    set_tests_properties(harness_stop PROPERTIES FIXTURES_CLEANUP minisetup_wine TIMEOUT 60)
endfunction()

# Run at the end of every directory that registers tests through the helpers
# below: each of its tests (plain add_test ones included) needs the display and
# the prefix, and runs alone.
function(minisetup_finish_directory_tests)
    get_property(_tests DIRECTORY PROPERTY TESTS)
    foreach(_t IN LISTS _tests)
        if(NOT _t MATCHES "^harness_(start|stop)$")
            set_property(TEST ${_t} APPEND PROPERTY FIXTURES_REQUIRED minisetup_wine)
            set_property(TEST ${_t} PROPERTY RUN_SERIAL ON)
        endif()
    endforeach()
endfunction()

macro(minisetup_finish_tests_later)
    get_property(_scheduled DIRECTORY PROPERTY MINISETUP_TESTS_FINISHED SET)
    if(NOT _scheduled)
        set_property(DIRECTORY PROPERTY MINISETUP_TESTS_FINISHED ON)
        cmake_language(DEFER CALL minisetup_finish_directory_tests)
    endif()
endmacro()

minisetup_add_test_fixture()

# minisetup_add_gtest(<name> SOURCES ... [LIBS ...] [SERVER download|stats] [TIMEOUT s])
# Builds a GoogleTest program and registers it as one CTest test. With SERVER,
# tests/run_with_server.py starts that test server on 127.0.0.1 first and passes
# its address in the environment (MINISETUP_DOWNLOAD_SERVER / MINISETUP_STATS_SERVER).
# TIMEOUT (default 600 s) is the test's own deadline: when it passes, the
# program and every Windows process of the prefix are ended and the test fails.
# Whatever the outcome, no Windows process outlives the test.
function(minisetup_add_gtest name)
    cmake_parse_arguments(T "" "SERVER;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    minisetup_add_gtest_program(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS})
    minisetup_add_wine_test(${name} TIMEOUT ${T_TIMEOUT} SERVER ${T_SERVER} COMMAND $<TARGET_FILE:${name}>)
endfunction()

# minisetup_add_gtest_program(<name> SOURCES ... [LIBS ...])
# Only builds the GoogleTest program, for tests that run it through a script.
function(minisetup_add_gtest_program name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} dep_gmock dep_gtest_main dep_gtest minisetup_options)
    target_link_options(${name} PRIVATE -mconsole)
endfunction()

# minisetup_add_wine_test(<name> [SERVER name] [TIMEOUT s] [HOST] COMMAND ...)
# A test that runs a Windows program (or, with HOST, a test script that runs
# Windows programs through wine-run) under the same rules as the GoogleTest
# programs: its own deadline, and every Windows process of the prefix ended
# before and after it, pass, fail or timeout.
function(minisetup_add_wine_test name)
    cmake_parse_arguments(T "HOST" "SERVER;TIMEOUT" "COMMAND" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 600)
    endif()
    set(_cmd ${MINISETUP_WINE_RUN} --timeout ${T_TIMEOUT} --end-all)
    if(T_HOST)
        list(APPEND _cmd --host)
    endif()
    list(APPEND _cmd ${T_COMMAND})
    if(T_SERVER)
        # The server runs outside the deadline's process group and is stopped
        # by run_with_server.py whatever the test's outcome.
        set(_cmd ${PYTHON3} ${CMAKE_SOURCE_DIR}/tests/run_with_server.py --server ${T_SERVER} -- ${_cmd})
    endif()
    add_test(NAME ${name} COMMAND ${_cmd})
    minisetup_finish_tests_later()
    math(EXPR _ctest_timeout "${T_TIMEOUT} + ${MINISETUP_TEST_GRACE}")
    set_tests_properties(${name} PROPERTIES TIMEOUT ${_ctest_timeout})
endfunction()
