/*
 * SPDX-FileCopyrightText: 2026 The Slotscan authors
 *
 * SPDX-License-Identifier: MIT
 */

/*
 * portvex/simulated.h - card models in code for the simulated PC (PORTVEX=sim:FILE).
 *
 * A model takes over a card's whole I/O range (BAR4, the base the library returns), in
 * place of the registers its rack file declares: every 32-bit read and write there calls
 * the model's read or write callback with the offset from the start of the range and the
 * context pointer given at attach. The callbacks run on the thread making the port access,
 * inside inportdw/outportdw; they must return normally (no C++ exception, no longjmp) and
 * must not make port accesses themselves. Attach and detach while no port access is under
 * way.
 *
 *   static uint32_t my_read(void* ctx, uint32_t offset) { ... }
 *   static void my_write(void* ctx, uint32_t offset, uint32_t value) { ... }
 *   char why[256];
 *   if (!portvex_sim_attach("00:0b.0", my_read, my_write, &state, why, sizeof why))
 *       fprintf(stderr, "%s\n", why);
 *
 * `card` is the card's slot ("bus:device.function" in hex, as lspci prints it) or the base
 * of its I/O range as a number ("0x340"), as GetIOBaseByCardNo returns it.
 *
 * Both functions are in libportvex.so.1 from version 1.2.0 on (link with -lportvex). Each
 * returns 1, or 0 with the reason in `why` (when not NULL, cut to `why_size` bytes with
 * its NUL): a card that is not there, a model without both callbacks, or a backend other
 * than a running simulated PC, real hardware included, which has no models. The Windows
 * Portvex.dll does not export them.
 */
#ifndef PORTVEX_SIMULATED_H
#define PORTVEX_SIMULATED_H

#include <portvex.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t (*portvex_sim_read_fn)(void* context, uint32_t offset);
typedef void (*portvex_sim_write_fn)(void* context, uint32_t offset, uint32_t value);

/* Puts a model behind the card's I/O range; a second attach replaces the first. */
PORTVEX_API int portvex_sim_attach(const char* card, portvex_sim_read_fn read,
                                   portvex_sim_write_fn write, void* context, char* why,
                                   size_t why_size);

/* Gives the card its rack registers back. */
PORTVEX_API int portvex_sim_detach(const char* card, char* why, size_t why_size);

#ifdef __cplusplus
}
#endif

#endif /* PORTVEX_SIMULATED_H */
