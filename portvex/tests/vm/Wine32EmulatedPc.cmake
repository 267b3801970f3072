# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The 32-bit Windows tests where this machine runs no 32-bit programs: a ctest fixture
# boots one emulated PC for all of them (wine32_pc.sh start), which makes the Wine prefix
# once; the tests' launcher (when_32bit_runs.sh) hands each command to it when the probe
# fails here; the last test of the fixture shuts it down. Where the probe runs, the fixture
# passes at once and no emulated PC is booted.
#
#   add_wine32_emulated_pc(PROBE program ENVIRONMENT var=value...)
#   wine32_in_emulated_pc(TEST...)   after the tests' own ENVIRONMENT is set
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/vm_cache.cmake)

set(SLOTSCAN_WINE32_PC_TIMEOUT 1200 CACHE STRING
  "Seconds the emulated PC may take to make the 32-bit Wine prefix before its tests fail")

function(add_wine32_emulated_pc)
  cmake_parse_arguments(arg "" "PROBE" "ENVIRONMENT" ${ARGN})
  set(_wine32_pc_script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine32_pc.sh)
  set(_wine32_pc_dir ${CMAKE_BINARY_DIR}/emulated-pc-win32)
  add_test(NAME win32_emulated_pc_start
    COMMAND sh ${_wine32_pc_script} start ${arg_PROBE} ${_wine32_pc_dir} ${SLOTSCAN_VM_CACHE})
  math(EXPR timeout "${SLOTSCAN_WINE32_PC_TIMEOUT} + 120")
  set_tests_properties(win32_emulated_pc_start PROPERTIES
    FIXTURES_SETUP win32_emulated_pc
    ENVIRONMENT "${arg_ENVIRONMENT};SLOTSCAN_WINE32_PC_TIMEOUT=${SLOTSCAN_WINE32_PC_TIMEOUT}"
    SKIP_RETURN_CODE 77
    TIMEOUT ${timeout}
    LABELS emulated-pc)
  add_test(NAME win32_emulated_pc_stop COMMAND sh ${_wine32_pc_script} stop ${_wine32_pc_dir})
  set_tests_properties(win32_emulated_pc_stop PROPERTIES
    FIXTURES_CLEANUP win32_emulated_pc
    TIMEOUT 120
    LABELS emulated-pc)
endfunction()

function(wine32_in_emulated_pc)
  set(_wine32_pc_script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/wine32_pc.sh)
  set(_wine32_pc_dir ${CMAKE_BINARY_DIR}/emulated-pc-win32)
  foreach(test IN LISTS ARGN)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
      SLOTSCAN_WINE32_PC=${_wine32_pc_script} SLOTSCAN_WINE32_PC_DIR=${_wine32_pc_dir}
      SLOTSCAN_X86_32_PROBE=${SLOTSCAN_X86_32_PROBE} SLOTSCAN_VM_CACHE=${SLOTSCAN_VM_CACHE})
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED win32_emulated_pc)
  endforeach()
endfunction()
