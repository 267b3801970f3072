# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The project's version (project() in the top-level CMakeLists.txt) where programs and
# packages read it: slotscan_version.h beside slotscan.h, and on Windows the version
# records of Slotscan.dll and Portvex.dll. pkg-config, the CMake package, cardnum
# --version and the zips read PROJECT_VERSION themselves; the Python metadata and the
# Debian changelog cannot, and the test versions_agree checks them.
set(SLOTSCAN_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/include)
configure_file(${CMAKE_CURRENT_LIST_DIR}/slotscan_version.h.in
  ${SLOTSCAN_GENERATED_INCLUDE_DIR}/slotscan_version.h @ONLY)
target_include_directories(slotscan PUBLIC
  $<BUILD_INTERFACE:${SLOTSCAN_GENERATED_INCLUDE_DIR}>)
install(FILES ${SLOTSCAN_GENERATED_INCLUDE_DIR}/slotscan_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

if(WIN32)
  function(slotscan_version_record target file_name description)
    set(file_description ${description})
    get_filename_component(internal_name ${file_name} NAME_WE)
    set(rc ${CMAKE_BINARY_DIR}/version-records/${internal_name}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/win32/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
  endfunction()
  slotscan_version_record(slotscan Slotscan.dll "Slotscan: PCI 9050 cards by card number")
  slotscan_version_record(portvex Portvex.dll "Portvex: 32-bit I/O port access")
endif()

if(SLOTSCAN_BUILD_TESTS)
  set(version_check_args ${PROJECT_VERSION} ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  if(WIN32)
    find_program(WRESTOOL wrestool)
    add_summary_test(NAME versions_agree COMMAND ${PROJECT_SOURCE_DIR}/cmake/versions_agree.sh
      ${version_check_args} --dlls "${WRESTOOL}" $<TARGET_FILE:slotscan> $<TARGET_FILE:portvex>)
  else()
    add_summary_test(NAME versions_agree COMMAND ${PROJECT_SOURCE_DIR}/cmake/versions_agree.sh
      ${version_check_args} --cardnum $<TARGET_FILE:cardnum>)
  endif()
endif()
