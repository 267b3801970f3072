# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The one Wine test harness of the Windows build (presets win32 and win64), included once
# by the top-level CMakeLists.txt:
#
#   add_wine_test(NAME name COMMAND target-or-script [argument...])
#
# registers the test win32_<name> or win64_<name>. A COMMAND that names a target runs that
# Windows program under Wine; one that names a .sh file runs the script with sh, Wine's
# loader as its first argument. Every test gets the build's own Wine prefix (made once by
# the test <win32|win64>_wine_prefix), quiet Wine, the timeout, and 77 as the status that
# means skipped. In the 32-bit build each test goes through cmake/wine/when_32bit_runs.sh,
# which runs it where the machine executes 32-bit x86 programs, elsewhere in the one
# emulated PC the fixture win32_emulated_pc boots, and reports it skipped only when neither
# can run (usage there: PROBE COMMAND [ARGUMENT...]). Test names start with SLOTSCAN_WINDOWS
# (win32 or win64, set by the top-level CMakeLists.txt), as do those of tests that need no
# Wine.
#
# Windows test programs report through cmake/wine/check.h (target wine_check).
add_library(wine_check INTERFACE)
target_include_directories(wine_check INTERFACE ${CMAKE_CURRENT_LIST_DIR})

if(SLOTSCAN_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "The Windows tests run under Wine, which was not found: install it with "
                      "scripts/setup-win32.sh, or configure with -DSLOTSCAN_BUILD_TESTS=OFF to "
                      "build the DLLs only.")
endif()

set(SLOTSCAN_X86_32_PROBE /usr/lib/wine/wine CACHE FILEPATH
  "A 32-bit x86 program run with --version to learn whether this machine runs 32-bit code")
set(SLOTSCAN_WINE_TEST_TIMEOUT 240 CACHE STRING
  "Seconds a test under Wine may take (the first one makes the Wine prefix)")
set(_wine_launcher ${CMAKE_CURRENT_LIST_DIR}/when_32bit_runs.sh)
set(_wine_environment
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")

# The Wine prefix is made once, before the first test, so that no test's output carries
# Wine's messages about making it. It never fails: where Wine cannot run, the tests say why.
if(SLOTSCAN_BUILD_TESTS)
  add_test(NAME ${SLOTSCAN_WINDOWS}_wine_prefix
    COMMAND sh -c "\"$0\" cmd /c exit >/dev/null 2>&1; exit 0" ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(${SLOTSCAN_WINDOWS}_wine_prefix PROPERTIES
    ENVIRONMENT "${_wine_environment}"
    FIXTURES_SETUP wine_prefix
    TIMEOUT ${SLOTSCAN_WINE_TEST_TIMEOUT})
endif()

# In the 32-bit build, where this machine runs no 32-bit programs, one emulated PC runs
# every Wine test instead (portvex/tests/vm/Wine32EmulatedPc.cmake).
if(SLOTSCAN_BUILD_TESTS AND SLOTSCAN_WINDOWS STREQUAL win32)
  include(${PROJECT_SOURCE_DIR}/portvex/tests/vm/Wine32EmulatedPc.cmake)
  add_wine32_emulated_pc(PROBE ${SLOTSCAN_X86_32_PROBE} ENVIRONMENT "${_wine_environment}")
endif()

function(add_wine_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "COMMAND")
  if(NOT arg_NAME OR NOT arg_COMMAND)
    message(FATAL_ERROR "add_wine_test needs NAME and COMMAND")
  endif()
  list(POP_FRONT arg_COMMAND program)
  if(TARGET ${program})
    set(command ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:${program}>)
  elseif(program MATCHES "\\.sh$")
    set(command sh ${program} ${CMAKE_CROSSCOMPILING_EMULATOR})
  else()
    message(FATAL_ERROR "add_wine_test(${arg_NAME}): ${program} is neither a target nor a .sh")
  endif()
  if(SLOTSCAN_WINDOWS STREQUAL win32)
    set(command sh ${_wine_launcher} ${SLOTSCAN_X86_32_PROBE} ${command})
  endif()
  set(name ${SLOTSCAN_WINDOWS}_${arg_NAME})
  add_test(NAME ${name} COMMAND ${command} ${arg_COMMAND})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${_wine_environment}"
    FIXTURES_REQUIRED wine_prefix
    SKIP_RETURN_CODE 77
    TIMEOUT ${SLOTSCAN_WINE_TEST_TIMEOUT})
  if(SLOTSCAN_WINDOWS STREQUAL win32)
    wine32_in_emulated_pc(${name})
  endif()
endfunction()
