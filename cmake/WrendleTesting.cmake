find_package(GTest REQUIRED)
include(GoogleTest)

set(WRENDLE_TEST_HOME "${PROJECT_BINARY_DIR}/test-home")

# wrendle_add_test(<target> SOURCES <files...> LIBS <targets...>)
# Every test case becomes its own ctest entry named "<target>.<Suite>.<Case>";
# HOME points into the build tree so no test ever sees the real user's folders,
# and XDG_DATA_DIRS at a folder that does not exist, so no test sees presets
# installed on the machine. Cases of one executable share that HOME, so they
# never run at the same time.
#
# SHARES_DISPLAY: the executable opens real windows on the one X display the
# suite runs under. Such executables never run at the same time either: windows
# of two processes at the same place would cover each other, and a capture
# would see the other's pixels.
function(wrendle_add_test target)
    cmake_parse_arguments(ARG "SHARES_DISPLAY" "" "SOURCES;LIBS" ${ARGN})
    set(lock "${target}")
    if(ARG_SHARES_DISPLAY)
        set(lock "x-display")
    endif()
    add_executable(${target} ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} GTest::gtest wrendle_warnings)
    file(MAKE_DIRECTORY "${WRENDLE_TEST_HOME}/${target}")
    gtest_discover_tests(${target}
        TEST_PREFIX "${target}."
        DISCOVERY_TIMEOUT 60
        PROPERTIES
            # One value per property: the discovery script splits a list value
            # and would shift every property after it.
            ENVIRONMENT "HOME=${WRENDLE_TEST_HOME}/${target}"
            ENVIRONMENT_MODIFICATION "XDG_DATA_DIRS=set:${WRENDLE_TEST_HOME}/${target}/no-system-data"
            RESOURCE_LOCK "${lock}")
endfunction()
