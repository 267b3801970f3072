# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Cardpeek's own version, the one its window shows: written here only, and configured
# into cardpeek_version.h for both windows (the Qt window's application version, and
# Cardpeek.exe's version record). It is not the project's version.
set(CARDPEEK_VERSION 1.00)

string(REGEX MATCH "^([0-9]+)\\.([0-9]+)$" _matched ${CARDPEEK_VERSION})
math(EXPR CARDPEEK_VERSION_MAJOR "${CMAKE_MATCH_1}")
math(EXPR CARDPEEK_VERSION_MINOR "${CMAKE_MATCH_2}")
set(CARDPEEK_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/Demo-generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/cardpeek_version.h.in
  ${CARDPEEK_GENERATED_INCLUDE_DIR}/cardpeek_version.h @ONLY)
