# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# One zip per architecture (cpack -G ZIP in the build folder): the licence, Slotscan.dll with its import
# library and slotscan.h, the simulated Portvex.dll with a sample rack, Cardpeek.exe and
# cardnum.exe, and docs/windows.md with the pictures it shows.
install(FILES ${PROJECT_SOURCE_DIR}/examples/racks/rack3.toml DESTINATION racks
  COMPONENT windows_package)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . COMPONENT windows_package)
install(FILES ${PROJECT_SOURCE_DIR}/docs/windows.md ${PROJECT_SOURCE_DIR}/docs/cardpeek-wine.png
  DESTINATION docs COMPONENT windows_package)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Slotscan)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Slotscan-${PROJECT_VERSION}-${SLOTSCAN_WINDOWS})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_COMPONENTS_ALL Unspecified windows_package)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
# The simulated Portvex.dll is left out of a plain install (it must not take the place of
# the user's own), but the zip carries it, for trying everything without hardware.
set(_portvex_script ${CMAKE_BINARY_DIR}/PackPortvex.cmake)
file(GENERATE OUTPUT ${_portvex_script} CONTENT
  "file(INSTALL $<TARGET_FILE:portvex> DESTINATION \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})\n")
set(CPACK_INSTALL_SCRIPTS ${_portvex_script})
include(CPack)
