# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# toml++, nlohmann/json, fmt and CLI11 for the Windows build, from Debian's Linux packages used as
# header-only libraries. Only their own folders go on the include path (through links in
# the build folder), never the host's /usr/include, whose C headers are Linux ones.
# The targets carry the names their CMake packages give them on Linux, but for fmt, whose
# headers third_party/fmt builds into the fmt::fmt of this build.
set(_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_host_headers})

function(_header_only_library target alias folder)
  if(TARGET ${alias})
    return()
  endif()
  if(NOT IS_DIRECTORY /usr/include/${folder})
    message(FATAL_ERROR "/usr/include/${folder} not found: run scripts/setup-debian.sh")
  endif()
  file(CREATE_LINK /usr/include/${folder} ${_host_headers}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${_host_headers})
  if(NOT alias STREQUAL target)
    add_library(${alias} ALIAS ${target})
  endif()
endfunction()

_header_only_library(tomlplusplus_headers tomlplusplus::tomlplusplus toml++)
_header_only_library(nlohmann_json_headers nlohmann_json::nlohmann_json nlohmann)
_header_only_library(fmt_headers fmt_headers fmt)
_header_only_library(cli11_headers CLI11::CLI11 CLI)
