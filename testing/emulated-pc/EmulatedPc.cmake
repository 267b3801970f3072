# SPDX-FileCopyrightText: 2026 The Slotscan authors
#
# SPDX-License-Identifier: MIT

# The emulated PC: Debian's own kernel in qemu-system-x86_64 with software emulation,
# booted by boot.sh (its PID 1 is init.sh, which runs a payload script), the kernel
# fetched by kernel.sh. Included by testing/emulated-pc (the backend test) and by
# cmake/wine (the 32-bit Wine tests). Sets
#   SLOTSCAN_EMULATED_PC_BOOT   boot.sh
#   SLOTSCAN_VM_CACHE           where the downloads are kept between runs: Debian's kernel
#                               and the i386 root with 32-bit Wine (cmake/wine/i386_root.sh).
#                               Build folders made by the presets (build/<preset>) share
#                               build/vm-cache, so each is fetched once for all.
include_guard(GLOBAL)
set(SLOTSCAN_EMULATED_PC_BOOT ${CMAKE_CURRENT_LIST_DIR}/boot.sh)

find_program(SLOTSCAN_QEMU qemu-system-x86_64)
if(NOT SLOTSCAN_QEMU)
  message(WARNING "qemu-system-x86_64 not found: the tests in the emulated PC will be skipped "
                  "(scripts/setup-debian.sh installs qemu-system-x86, busybox-static and cpio)")
endif()

get_filename_component(_slotscan_binary_parent ${CMAKE_BINARY_DIR} DIRECTORY)
if(_slotscan_binary_parent STREQUAL "${PROJECT_SOURCE_DIR}/build")
  set(_slotscan_vm_cache ${_slotscan_binary_parent}/vm-cache)
else()
  set(_slotscan_vm_cache ${CMAKE_BINARY_DIR}/vm-cache)
endif()
set(SLOTSCAN_VM_CACHE ${_slotscan_vm_cache} CACHE PATH
  "Folder that keeps Debian's kernel and the i386 root with 32-bit Wine for the emulated-PC tests")
