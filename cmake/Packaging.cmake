# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Install a CMake package (find_package(Slotscan) -> Slotscan::slotscan) and a
# pkg-config file for the library.
include(CMakePackageConfigHelpers)

set(SLOTSCAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Slotscan)
install(EXPORT SlotscanTargets NAMESPACE Slotscan:: DESTINATION ${SLOTSCAN_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/SlotscanConfig.cmake.in
  ${CMAKE_BINARY_DIR}/SlotscanConfig.cmake INSTALL_DESTINATION ${SLOTSCAN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/SlotscanConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/SlotscanConfig.cmake ${CMAKE_BINARY_DIR}/SlotscanConfigVersion.cmake
  DESTINATION ${SLOTSCAN_CMAKE_DIR})

configure_file(${CMAKE_CURRENT_LIST_DIR}/slotscan.pc.in ${CMAKE_BINARY_DIR}/slotscan.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/slotscan.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
