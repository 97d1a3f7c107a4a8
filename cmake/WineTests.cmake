# Running the test programs under Wine from CTest.
include(GoogleTest)

set(VANTORA_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(VANTORA_TEST_STATE ${CMAKE_BINARY_DIR}/test-env)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE
               @ONLY)

# How the Wine tests of this build run:
#   native   - every test is a CTest entry of its own, end-to-end runs too;
#   emulated - the kernel runs no 32-bit programs and qemu's user-mode
#              emulation does (scripts/setup.sh sets it up), at about a minute
#              per program start: the test program runs once, without the
#              tests that start other programs, open windows or use the
#              network (tests/not-emulated.txt); VANTORA_EMULATE_32BIT=1 in
#              the environment chooses this for a 32-bit build anywhere;
#   none     - 32-bit Wine is missing or cannot run: one entry that fails.
# A 32-bit program under a 64-bit-only Wine prints nothing and exits 0, so
# no 32-bit test is registered unless 32-bit Wine answers.
set(VANTORA_TEST_MODE native)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    execute_process(COMMAND /usr/lib/wine/wine --version RESULT_VARIABLE wine32_result
                    OUTPUT_QUIET ERROR_QUIET)
    set(binfmt_entry /proc/sys/fs/binfmt_misc/qemu-i386)
    set(binfmt_state "")
    if(EXISTS ${binfmt_entry})
        file(STRINGS ${binfmt_entry} binfmt_state LIMIT_COUNT 1)
    endif()
    if(NOT wine32_result EQUAL 0)
        message(WARNING "32-bit Wine (wine32:i386) does not run here: no Wine tests for this build")
        set(VANTORA_TEST_MODE none)
    elseif(binfmt_state STREQUAL "enabled" OR "$ENV{VANTORA_EMULATE_32BIT}" STREQUAL "1")
        set(VANTORA_TEST_MODE emulated)
    endif()
endif()
set(VANTORA_CAN_RUN_TESTS ON)
if(VANTORA_TEST_MODE STREQUAL "none")
    set(VANTORA_CAN_RUN_TESTS OFF)
    add_test(NAME wine32_missing COMMAND sh -c
             "echo '32-bit Wine cannot run on this machine (scripts/setup.sh)'; exit 1")
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
    if(NOT VANTORA_TEST_MODE STREQUAL "native")
        return()
    endif()
    gtest_discover_tests(${target}
        DISCOVERY_MODE PRE_TEST
        # The first run of a new Wine prefix sets it up, which takes minutes.
        DISCOVERY_TIMEOUT 600
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

# The emulated run of a test program: once, without the tests listed in
# tests/not-emulated.txt. The otherCount entries of a native run that
# otherText names have no counterpart here.
function(vantora_add_emulated_run target otherCount otherText)
    if(NOT VANTORA_TEST_MODE STREQUAL "emulated")
        return()
    endif()
    add_test(NAME ${target}.emulated
             COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/emulated-run.sh ${CMAKE_BINARY_DIR}
                     $<TARGET_FILE:${target}> ${CMAKE_SOURCE_DIR}/tests/not-emulated.txt
                     ${otherCount} "${otherText}")
    set_tests_properties(${target}.emulated PROPERTIES
        FIXTURES_REQUIRED test_display
        TIMEOUT 1200)
endfunction()

# Checks of the built programs that need no Windows: machine type, GUI
# subsystem, KnownDLLs alone in the import table, the administrator manifest.
# vantora_add_program_check(TARGET [DLL...]): the listed DLLs must not be imported.
function(vantora_add_program_check target)
    string(TOLOWER "${ARGN}" forbidden)
    string(REPLACE ";" " " forbidden "${forbidden}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
        set(machine i386)
    else()
        set(machine x86-64)
    endif()
    add_test(NAME program_check.${target}
             COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/check-program.sh $<TARGET_FILE:${target}>
                     ${machine} ${CMAKE_OBJDUMP} ${CMAKE_OBJCOPY} "${forbidden}")
    set_tests_properties(program_check.${target} PROPERTIES
        PASS_REGULAR_EXPRESSION "program check passed")
endfunction()
