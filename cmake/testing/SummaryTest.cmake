# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The one way a test that runs a program or script passes: on that test's own word.
#
#   add_summary_test(NAME name COMMAND target-or-script-or-program [argument...])
#
# registers a test that passes only when the last summary line of its output,
# "N passed, M failed", has N > 0 and M = 0, and its exit status is 0 (summary_test.sh);
# status 77 means skipped. A COMMAND that names a target runs that program; one that names
# a .sh file runs the script with sh. add_wine_test (cmake/wine) registers its tests
# through it.

function(add_summary_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "COMMAND")
  if(NOT arg_NAME OR NOT arg_COMMAND)
    message(FATAL_ERROR "add_summary_test needs NAME and COMMAND")
  endif()
  list(POP_FRONT arg_COMMAND program)
  if(TARGET ${program})
    set(program $<TARGET_FILE:${program}>)
  elseif(program MATCHES "\\.sh$")
    set(program sh ${program})
  endif()
  add_test(NAME ${arg_NAME}
    COMMAND sh ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/summary_test.sh ${arg_NAME} ${program}
            ${arg_COMMAND})
  set_tests_properties(${arg_NAME} PROPERTIES SKIP_RETURN_CODE 77)
endfunction()

if(SLOTSCAN_BUILD_TESTS)
  # The rule itself, on stand-in tests.
  add_summary_test(NAME summary_test_passes_on_the_tests_word
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/tests/summary_check.sh
            ${CMAKE_CURRENT_LIST_DIR}/summary_test.sh)
endif()
