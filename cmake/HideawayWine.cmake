# Whether Wine runs the 32-bit Windows programs here. The tests that need it are built everywhere,
# so that they compile wherever the rest does, and are disabled where it does not run; the build
# folder's skipped-tests.txt names them and says why, for the end of the test command.
find_program(HIDEAWAY_WINE_PROGRAM wine)
set(HIDEAWAY_WINE_RUNS OFF)
if(NOT HIDEAWAY_WINE_PROGRAM)
    set(HIDEAWAY_WINE_TROUBLE "wine was not found (Debian's packages wine and wine32:i386)")
else()
    # Wine runs the 32-bit host only where the kernel runs 32-bit programs at all: some machines
    # switch that off (Linux's ia32_emulation), and wine then fails before it starts anything.
    execute_process(COMMAND ${HIDEAWAY_WINE_PROGRAM} --version
                    RESULT_VARIABLE wine_status OUTPUT_QUIET ERROR_VARIABLE wine_error TIMEOUT 60)
    if(wine_status EQUAL 0)
        set(HIDEAWAY_WINE_RUNS ON)
    else()
        string(REGEX REPLACE "\n.*" "" wine_error "${wine_error}")
        string(CONCAT HIDEAWAY_WINE_TROUBLE
            "${HIDEAWAY_WINE_PROGRAM} cannot run here (${wine_error}); Wine runs 32-bit programs "
            "only where the kernel runs them (ia32_emulation) and Debian's wine32:i386 is installed")
    endif()
endif()
set_property(GLOBAL PROPERTY HIDEAWAY_WINE_RUNS ${HIDEAWAY_WINE_RUNS})

# Marks the tests named as needing Wine: where it does not run they stay built but disabled.
function(hideaway_needs_wine)
    if(NOT HIDEAWAY_WINE_RUNS)
        set_tests_properties(${ARGN} PROPERTIES DISABLED TRUE)
        set_property(GLOBAL APPEND PROPERTY HIDEAWAY_WINE_SKIPPED ${ARGN})
    endif()
endfunction()

# Marks tests that run everywhere but skip their rows under Wine where it does not run, so that
# the line at the end names those rows too.
function(hideaway_has_wine_rows)
    if(NOT HIDEAWAY_WINE_RUNS)
        set_property(GLOBAL APPEND PROPERTY HIDEAWAY_WINE_SKIPPED_ROWS ${ARGN})
    endif()
endfunction()

# Writes skipped-tests.txt, one line for the end of the test run, or removes it when none were.
function(hideaway_write_skipped_tests)
    get_property(skipped GLOBAL PROPERTY HIDEAWAY_WINE_SKIPPED)
    get_property(rows GLOBAL PROPERTY HIDEAWAY_WINE_SKIPPED_ROWS)
    set(file ${CMAKE_BINARY_DIR}/skipped-tests.txt)
    if(NOT skipped)
        file(REMOVE ${file})
        return()
    endif()
    list(LENGTH skipped count)
    list(JOIN skipped ", " names)
    set(line "${count} tests that need Wine did not run (${names})")
    if(rows)
        list(JOIN rows ", " row_names)
        string(APPEND line ", nor the rows under Wine of ${row_names}")
    endif()
    string(APPEND line ": ${HIDEAWAY_WINE_TROUBLE}")
    message(STATUS "Tests under Wine: ${line}")
    file(WRITE ${file} "${line}\n")
endfunction()
