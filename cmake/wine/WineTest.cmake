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
# loader as its first argument. Every test passes only on its program's own word
# (cmake/testing/summary_test.sh): the summary line "N passed, M failed" with M = 0.
# Every test gets the build's own Wine prefix, quiet Wine, the timeout, and 77 as the
# status that means skipped. Test names start with SLOTSCAN_WINDOWS (win32 or win64, set
# by the top-level CMakeLists.txt), as do those of tests that need no Wine.
#
# In the 32-bit build, the fixture win32_wine32_start chooses once how 32-bit Wine runs
# (wine32.sh: natively, in the emulated PC of testing/emulated-pc, with 32-bit Wine from
# an i386 root where wine32 is not installed, or skipped with the reason) and makes the
# 32-bit prefix; each test goes through "wine32.sh run"; win32_wine32_stop shuts the
# emulated PC down. In the 64-bit build, the fixture win64_wine_prefix makes the prefix.
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
  "32-bit Wine's loader, run with --version to learn whether this machine runs it (missing: \
32-bit Wine comes from an i386 root)")
set(SLOTSCAN_WINE_TEST_TIMEOUT 480 CACHE STRING
  "Seconds a test under Wine may take (the first one makes the Wine prefix)")
set(SLOTSCAN_WINE32_PC_TIMEOUT 1200 CACHE STRING
  "Seconds the emulated PC may take to make the 32-bit Wine prefix before its tests fail")
set(_wine_dir ${CMAKE_CURRENT_LIST_DIR})
set(_wine32_dir ${CMAKE_BINARY_DIR}/wine32)
set(_wine_environment
  "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
if(SLOTSCAN_WINDOWS STREQUAL win32)
  include(${PROJECT_SOURCE_DIR}/testing/emulated-pc/EmulatedPc.cmake)
  list(APPEND _wine_environment WINEARCH=win32 SLOTSCAN_WINE32_DIR=${_wine32_dir}
    SLOTSCAN_X86_32_PROBE=${SLOTSCAN_X86_32_PROBE} SLOTSCAN_WINE=${CMAKE_CROSSCOMPILING_EMULATOR}
    SLOTSCAN_VM_CACHE=${SLOTSCAN_VM_CACHE})
endif()

if(SLOTSCAN_BUILD_TESTS AND SLOTSCAN_WINDOWS STREQUAL win64)
  # The Wine prefix is made once, before the first test, so that no test's output carries
  # Wine's messages about making it. It never fails: where Wine cannot run, the tests say why.
  add_test(NAME win64_wine_prefix
    COMMAND sh -c "\"$0\" cmd /c exit >/dev/null 2>&1; exit 0" ${CMAKE_CROSSCOMPILING_EMULATOR})
  set_tests_properties(win64_wine_prefix PROPERTIES
    ENVIRONMENT "${_wine_environment}"
    FIXTURES_SETUP wine_prefix
    TIMEOUT ${SLOTSCAN_WINE_TEST_TIMEOUT})
elseif(SLOTSCAN_BUILD_TESTS)
  add_test(NAME win32_wine32_start
    COMMAND sh ${_wine_dir}/wine32.sh start ${SLOTSCAN_X86_32_PROBE}
            ${CMAKE_CROSSCOMPILING_EMULATOR} ${_wine32_dir} ${SLOTSCAN_VM_CACHE})
  # Making the i386 root, booting, and making the prefix under software emulation.
  math(EXPR timeout "${SLOTSCAN_WINE32_PC_TIMEOUT} + 600")
  set_tests_properties(win32_wine32_start PROPERTIES
    FIXTURES_SETUP wine_prefix
    ENVIRONMENT "${_wine_environment};SLOTSCAN_WINE32_PC_TIMEOUT=${SLOTSCAN_WINE32_PC_TIMEOUT}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${timeout}
    LABELS emulated-pc)
  add_test(NAME win32_wine32_stop COMMAND sh ${_wine_dir}/wine32.sh stop ${_wine32_dir})
  set_tests_properties(win32_wine32_stop PROPERTIES
    FIXTURES_CLEANUP wine_prefix
    TIMEOUT 120
    LABELS emulated-pc)
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
    set(command sh ${_wine_dir}/wine32.sh run ${command})
  endif()
  set(name ${SLOTSCAN_WINDOWS}_${arg_NAME})
  add_summary_test(NAME ${name} COMMAND ${command} ${arg_COMMAND})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${_wine_environment}"
    FIXTURES_REQUIRED wine_prefix
    TIMEOUT ${SLOTSCAN_WINE_TEST_TIMEOUT})
endfunction()

if(SLOTSCAN_BUILD_TESTS)
  # The harness itself: a 32-bit test refuses a 64-bit prefix, and with no way to 32-bit
  # Wine the tests are skipped with the reason.
  add_summary_test(NAME ${SLOTSCAN_WINDOWS}_wine_harness
    COMMAND ${_wine_dir}/tests/harness_test.sh ${_wine_dir})
endif()
if(SLOTSCAN_BUILD_TESTS AND SLOTSCAN_WINDOWS STREQUAL win32)
  # The job's folders are where they are in the emulated PC, /tmp included.
  add_summary_test(NAME win32_wine32_sees_tmp
    COMMAND ${_wine_dir}/tests/sees_tmp.sh ${_wine_dir}/wine32.sh)
  set_tests_properties(win32_wine32_sees_tmp PROPERTIES
    ENVIRONMENT "${_wine_environment}"
    FIXTURES_REQUIRED wine_prefix
    TIMEOUT ${SLOTSCAN_WINE_TEST_TIMEOUT})
endif()
