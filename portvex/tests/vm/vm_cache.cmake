# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# Where the emulated-PC tests keep Debian's kernel between runs. Build folders made by the
# presets (build/<preset>) share build/vm-cache, so the kernel is downloaded once for all.
get_filename_component(_slotscan_binary_parent ${CMAKE_BINARY_DIR} DIRECTORY)
if(_slotscan_binary_parent STREQUAL "${PROJECT_SOURCE_DIR}/build")
  set(_slotscan_vm_cache ${_slotscan_binary_parent}/vm-cache)
else()
  set(_slotscan_vm_cache ${CMAKE_BINARY_DIR}/vm-cache)
endif()
set(SLOTSCAN_VM_CACHE ${_slotscan_vm_cache} CACHE PATH
  "Folder that keeps Debian's kernel and its modules for the emulated-PC tests")
