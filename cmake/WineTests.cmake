# Running the test programs under Wine from CTest.
include(GoogleTest)

set(VANTORA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VANTORA_TEST_STATE ${CMAKE_BINARY_DIR}/test-env)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE
               @ONLY)

# A 32-bit program under a 64-bit-only Wine prints nothing and exits 0, which
# would let every test pass without running. Refuse to register such tests.
set(VANTORA_CAN_RUN_TESTS ON)
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT EXISTS /usr/lib/wine/wine)
    message(WARNING "32-bit Wine (wine32:i386) is missing: no tests are registered for this build")
    set(VANTORA_CAN_RUN_TESTS OFF)
endif()

if(VANTORA_CAN_RUN_TESTS)
    add_test(NAME test_display_start
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/test-display.sh start ${VANTORA_TEST_STATE}
                     ${VANTORA_WINEPREFIX})
    add_test(NAME test_display_stop
             COMMAND ${CMAKE_SOURCE_DIR}/cmake/test-display.sh stop ${VANTORA_TEST_STATE}
                     ${VANTORA_WINEPREFIX})
    set_tests_properties(test_display_start PROPERTIES FIXTURES_SETUP test_display)
    set_tests_properties(test_display_stop PROPERTIES FIXTURES_CLEANUP test_display)
endif()

# Registers every test of a GoogleTest program, one CTest entry per test. An
# entry passes only on gtest's own "[  PASSED  ] 1 test" line, so a program
# that exits without running cannot pass; a second entry checks that the
# program lists at least one test at all.
function(vantora_add_gtest target)
    if(NOT VANTORA_CAN_RUN_TESTS)
        return()
    endif()
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES
            FIXTURES_REQUIRED test_display
            PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test\\."
            FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]"
            TIMEOUT 120)
    add_test(NAME ${target}.lists_tests COMMAND ${target} --gtest_list_tests)
    set_tests_properties(${target}.lists_tests PROPERTIES
        FIXTURES_REQUIRED test_display
        PASS_REGULAR_EXPRESSION "\n[A-Za-z_][A-Za-z0-9_/]*\\.\r?\n  [A-Za-z_]")
endfunction()
