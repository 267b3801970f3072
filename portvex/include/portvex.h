/*
 * SPDX-FileCopyrightText: 2026 The Slotscan authors
 *
 * SPDX-License-Identifier: MIT
 */

/*
 * portvex.h - 32-bit I/O port access.
 *
 * inportdw and outportdw perform exactly one 32-bit access at the given port, at the
 * moment of the call. The backend is chosen once per process, at the first call, from
 * the environment variable PORTVEX:
 *
 *   unset or "sysfs"   real hardware through the kernel's PCI files (Linux): a dword
 *                      written to 0xCF8 is kept, a read of 0xCFC reads that register from
 *                      /sys/bus/pci/devices/.../config, and a port inside a device's I/O
 *                      BAR is one 4-byte access through its resourceN file. Other ports
 *                      read 0xFFFFFFFF and drop writes; so do configuration writes.
 *                      Needs no root (see README.md for the portvex group).
 *   PORTVEX=ioperm     real hardware through the processor's in/out instructions, each
 *                      thread granted its ports with ioperm(); needs root
 *   PORTVEX=sim:FILE   the simulated PC described by the rack file FILE
 *   PORTVEX=none       no port access at all: reads give 0xFFFFFFFF, writes are lost
 *
 * Without permission no backend fails: reads give 0xFFFFFFFF, writes are lost, and
 * portvex_ready() and portvex_status() say why and what to do.
 *
 * With PORTVEX_TRACE=FILE (or "-" for standard error) the simulated PC logs every port
 * read and write, and every pause taken between two accesses.
 *
 * The remaining functions are for tools that want to tell the user why a card cannot
 * be reached; the port operations themselves never fail.
 */
#ifndef PORTVEX_H
#define PORTVEX_H

#include <stdint.h>

#if defined(_WIN32)
#define PORTVEX_CALL __stdcall
#if defined(PORTVEX_BUILDING_LIBRARY)
#define PORTVEX_API /* the module definition file decides the export table */
#else
#define PORTVEX_API __declspec(dllimport)
#endif
#else
#define PORTVEX_CALL
#define PORTVEX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

PORTVEX_API uint32_t PORTVEX_CALL inportdw(uint32_t port);
PORTVEX_API void PORTVEX_CALL outportdw(uint32_t port, uint32_t value);

/* Name of the active backend: "sim", "none", the name of a hardware backend, or "unknown"
 * when PORTVEX names none. */
PORTVEX_API const char* portvex_backend(void);
/* 1 when port accesses reach a machine, 0 when some or all of them are lost (reads give
 * 0xFFFFFFFF, writes are dropped): no permission, kernel lockdown, no backend. The value
 * can turn to 0 at an access that is refused; the status then says which. */
PORTVEX_API int portvex_ready(void);
/* One or two sentences for the user: what the backend reaches, or why it cannot and what
 * to do about it. The text stays valid for the life of the process. */
PORTVEX_API const char* portvex_status(void);
/* The size in bytes of the I/O range a device decodes from `port` on, where the backend knows
 * it (sysfs, from the kernel's resource file); 0 where it does not (other backends, or no
 * range starts at `port`). Touches no port. */
PORTVEX_API uint32_t portvex_io_range_size(uint32_t port);

#ifdef __cplusplus
}
#endif

#endif /* PORTVEX_H */
