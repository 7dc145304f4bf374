# zedu_add_test(<name> SOURCES <files...> [LIBS <targets...>])
#
# Builds one Qt Test executable and registers it with CTest. Every test runs
# through tests/isolate.sh, which gives it a fresh temporary HOME and XDG
# folders and Qt's offscreen platform, so no test can reach the real user's
# settings, desktop or autostart folder.
function(zedu_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zedu_testsupport Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name}
             COMMAND ${CMAKE_SOURCE_DIR}/tests/isolate.sh $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
